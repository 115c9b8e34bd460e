// The module's child data in a host document's chart data: the document's settings container, the per-block map
// from event position to event number, and the channel pair that the analysis last used.
#pragma once

#include "foundation/comobject.h"
#include "document/settingsset.h"
#include "foundation/positionvaluearray.h"
#include "sdk/chartdata.h"

#include <cstdint>
#include <memory>

namespace CX {

// {09E7B480-0465-4120-A6B3-71A61EB10986}
inline constexpr IID IID_ICXSettingsChildData{
    0x09E7B480, 0x0465, 0x4120, {0xA6, 0xB3, 0x71, 0xA6, 0x1E, 0xB1, 0x09, 0x86}};

struct ICXSettingsChildData : IUnknown {
    // Writes the two int32 values, first value first (8 bytes).
    virtual HRESULT GetChannelPair(std::int32_t* pair) = 0;
    virtual HRESULT SetChannelPair(std::int32_t first, std::int32_t second) = 0;

protected:
    ~ICXSettingsChildData() = default;
};

} // namespace CX

namespace CX::Doc {

class ChartDataChildData final : public IChartDataChildData, public ICXSettingsChildData, public KVO::CComObjectRoot {
public:
    // A new child data with a count of 0.
    ChartDataChildData() = default;

    // The module's child data of the host chart data (the chart-document interface is asked for its holder), made
    // and stored when missing; with one reference for the caller. Null without a holder, or when the object
    // stored under the key is not this module's.
    static platform::ComPtr<ChartDataChildData> FindOrCreate(IUnknown* hostData);
    // The holder's key: the host's id for the child data's class << 16.
    static DWORD Key();

    // IUnknown
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    // IChartDataChildData
    HRESULT GetTypeId(DWORD* key) override;
    HRESULT Clone(IUnknown* newOwner, IChartDataChildData** out) override;
    HRESULT Invalidated(DWORD flags, LONG firstRecord, LONG endRecord) override;
    HRESULT RecordsChanged(LONG first, LONG second) override;
    HRESULT DataChanged(DWORD flags, LONG channel, DWORD kind, DWORD reserved, LONG firstRecord,
                        LONG endRecord) override;
    void DeleteThis() override { delete this; }
    // ICXSettingsChildData
    HRESULT GetChannelPair(std::int32_t* pair) override;
    HRESULT SetChannelPair(std::int32_t first, std::int32_t second) override;

    // The event number stored for the position (tick, block); -1 when there is none.
    std::int32_t EventOrdinal(std::int32_t tick, std::int32_t block);
    KVO::PositionValueArray& Positions() { return positions_; }
    // Drops every per-block map; they are made again on first use.
    void ClearPositions() { positions_ = KVO::PositionValueArray{}; }
    // The settings container, or null before the first use.
    SettingsSet* Settings() const { return settings_.get(); }
    void SetSettings(std::unique_ptr<SettingsSet> settings) { settings_ = std::move(settings); }
    // The analysed source channel (the pair's first value).
    std::int32_t SourceChannel() const { return pair_[0]; }

    // Bit 0: the channel calculation asks for auto scaling once the host has taken its next settings.
    std::uint32_t flags = 0;

private:
    std::unique_ptr<SettingsSet> settings_;
    KVO::PositionValueArray positions_;
    std::int32_t pair_[2] = {static_cast<std::int32_t>(0x80000000u), static_cast<std::int32_t>(0xC0000000u)};
};

} // namespace CX::Doc
