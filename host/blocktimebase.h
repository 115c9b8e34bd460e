// The host's time base of a chart pane: blocks of a recording laid end to end in pixels at a rational compression.
#pragma once

#include "host/comobject.h"
#include "sdk/charttimebase.h"

#include <vector>

namespace host {

class BlockTimeBase final : public RefCounted, public IChartTimeBase {
public:
    // A time base with one reference; `tickSeconds` is the sample interval of every block.
    static platform::ComPtr<BlockTimeBase> Create(double tickSeconds);

    // Adds a finished block of `ticks` samples (a replayed recording).
    void AppendBlock(LONGLONG ticks);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT SetCompression(LONGLONG numerator, LONGLONG denominator) override;
    HRESULT GetCompression(LONGLONG* numerator, LONGLONG* denominator) override;
    HRESULT GetExtent(LONGLONG* pixels) override;
    HRESULT PixelToPosition(LONGLONG pixel, ChartBlockPosition* position) override;
    HRESULT PositionToPixel(const ChartBlockPosition& position, double* pixel) override;
    HRESULT LocateBlock(LONGLONG pixel, ChartBlockPosition* position, LONGLONG* blockEnd) override;
    HRESULT BlockStart(LONG block, ChartBlockPosition* position, LONGLONG* blockEnd) override;
    HRESULT GetBlockInfo(LONG block, double* secondsPerPixel, double* tickSeconds) override;
    HRESULT GetChangeFlags(DWORD* flags) override;
    HRESULT AcknowledgeChanges(DWORD flags) override;
    HRESULT GetCurrentBlock(LONG* block) override;
    HRESULT SamplingStarted(DWORD value) override;
    HRESULT BlockStarted(LONG block, double tickSeconds, BOOL continues) override;
    HRESULT NewData(LONGLONG samples, LONGLONG* newestPixel) override;
    HRESULT SamplingStopped(DWORD value) override;
    HRESULT AfterStop(BOOL flag) override;
    HRESULT RangeNotice(DWORD, DWORD) override { return S_OK; }
    HRESULT MarkToPixel(LONG reserved, LONGLONG origin, LONG block, double tick, double* pixel) override;

private:
    explicit BlockTimeBase(double tickSeconds) : tickSeconds_(tickSeconds) {}
    // Pixels of `ticks` at the compression (floor of ticks / compression, exact in 128 bits).
    LONGLONG Pixels(LONGLONG ticks) const;
    LONGLONG BlockStartPixel(std::size_t block) const;

    double tickSeconds_;
    LONGLONG numerator_ = 10;
    LONGLONG denominator_ = 1;
    std::vector<LONGLONG> ticks_; // samples per block
    LONG current_ = 0;
    bool sampling_ = false;
    DWORD changes_ = 0;
};

} // namespace host
