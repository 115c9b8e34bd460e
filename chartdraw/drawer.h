// The drawer contract of the preview charts: every layer of a chart pane is a list of drawers, small
// reference-counted objects that each draw one kind of mark of one lane (background and grid, trace, events, time
// labels), and the common base they are built on.
#pragma once

#include "foundation/comobject.h"
#include "platform/owl/dc.h"
#include "sdk/chartserver.h"

#include <cstdint>

namespace ChartDraw {

// The pane as its drawers see it.
struct IDrawerDataPane : IUnknown {
    virtual HRESULT GetPrintWord(LONG value, DWORD* word) = 0;                           // 3
    virtual HRESULT GetPixelsPerMmX(LONG a, LONG b, double* out) = 0;                    // 4
    virtual HRESULT GetPixelsPerMmY(LONG a, LONG b, double* out) = 0;                    // 5
    virtual HRESULT GetDeviceScale(LONG value, double* x, double* y) = 0;                // 6
    virtual HRESULT GetNoControlsMode(LONG value, WORD* on) = 0;                         // 7
    virtual HRESULT SetLayerDragRect(LONG lane, LONG layerCode, const RECT* rect) = 0;   // 8
    virtual HRESULT SetLayerOpacity(LONG lane, LONG layerCode, LONG value) = 0;          // 9
    virtual HRESULT GetDataRect(LONG index, RECT* rect) = 0;                             // 10
    virtual HRESULT Redraw(LONG index, const RECT* rect) = 0;                            // 11
    virtual HRESULT IsLive() = 0;                                                        // 12
    virtual HRESULT FollowsNewest() = 0;                                                 // 13
    virtual HRESULT GetBackgroundColour(COLORREF* colour) = 0;                           // 14
    virtual HRESULT GetContrastColour(COLORREF value, COLORREF* colour) = 0;             // 15
    virtual HRESULT GetLaneSelectors(LONG index, LONG value, LONG pair[2]) = 0;          // 16
    virtual HRESULT GetLaneInformation(LONG index, LONG value, IUnknown** out) = 0;      // 17
    // 18: the lane units and value range of a pane index for a record: range[0] bottom, range[1] top value.
    virtual HRESULT QueryLaneUnits(LONG index, LONG record, double range[2], LONG* r0, LONG* r1, LONG* r2, LONG* r3,
                                   LONG* r4) = 0;
    virtual HRESULT GetChannelWord(LONG index, DWORD* word) = 0;                         // 19
    virtual HRESULT GetFlags(DWORD* word, DWORD* modeFlags) = 0;                         // 20

protected:
    ~IDrawerDataPane() = default;
};

// The pane's time divisions as the graticule reads them.
struct TimeDivisions {
    double firstMinor = 0;
    double firstMajor = 0;
    double minorStep = 0;
    std::int32_t minorPerMajor = 1;
};

// Draw-flag bits.
inline constexpr DWORD kDrawKeepCached = 0x80000000;
inline constexpr DWORD kDrawDropCached = 0x08000000;
inline constexpr DWORD kDrawColourModeMask = 0xFF;

// Kind codes (layer = kind / 256).
inline constexpr DWORD kKindGraticule = 1;
inline constexpr DWORD kKindTrace = 513;
inline constexpr DWORD kKindEvents = 1026;

// The empty alternate pair, and as a removal selector: all lanes.
inline constexpr LONG kNoAlternateChannel = static_cast<LONG>(0x80000000);
inline constexpr DWORD kNoAlternateSelector = 0xC0000000;

struct IChartRecordDrawer : IUnknown {
    virtual HRESULT SetDataSource(LONG reserved, IUnknown* source) = 0;                           // 3
    virtual HRESULT SetRect(LONG index, const RECT* rect) = 0;                                    // 4
    virtual HRESULT GetKind(DWORD* kind) = 0;                                                     // 5
    virtual HRESULT GetCapabilities(LONG reserved, DWORD* flags, LONG* left, LONG* right, LONG argument) = 0; // 6
    virtual HRESULT GetChannel(LONG pair[2]) = 0;                                                 // 7
    virtual HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) = 0;       // 8
    virtual HRESULT GetData(LONG record, IUnknown** data) = 0;                                    // 9
    virtual HRESULT OnScaleChanged(LONG lane, LONG reserved, const double scale[2], IUnknown* source) = 0; // 10
    virtual HRESULT OnNewBlock(DWORD argument) = 0;                                               // 11
    virtual HRESULT Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x,
                         const RECT& clip, DWORD flags, const TimeDivisions* divisions, LONG word) = 0; // 12
    virtual HRESULT OnLayoutChanged(LONG reserved) = 0;                                           // 13
    virtual HRESULT OnSamplingStart(DWORD argument, LONG flag) = 0;                               // 14
    virtual HRESULT GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick) = 0; // 15
    virtual HRESULT OnSamplingStop(LONG r0, LONG r1) = 0;                                         // 16
    virtual HRESULT Notify17(LONG reserved) = 0;                                                  // 17
    virtual HRESULT Notify18(LONG r0, LONG r1) = 0;                                               // 18
    // 19: the arguments are pointer-sized: a request may pass the addresses of what it asks for and of its answer.
    virtual HRESULT RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR e) = 0;
    virtual HRESULT GetLane(LONG* lane) = 0;                                                      // 20
    virtual HRESULT DropCachedData(LONG reserved) = 0;                                            // 21
    virtual HRESULT GetEffectiveChannel(LONG pair[2]) = 0;                                        // 22
    virtual HRESULT SetPaneIndex(LONG reserved, LONG index) = 0;                                  // 23
    virtual HRESULT ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel) = 0; // 24
    virtual HRESULT GetUnitTextEx(LONG lane, LONG record, IKVOString** text, WORD* flag, double* range,
                                  double* limits, double* scale) = 0;                             // 25
    virtual HRESULT SetDrawerServices(IDrawerDataPane* services) = 0;                             // 26
    virtual HRESULT Notify27(LONG reserved) = 0;                                                  // 27
    virtual HRESULT Notify28(LONG reserved) = 0;                                                  // 28
    virtual HRESULT Clone(DWORD flags, IChartRecordDrawer** copy) = 0;                            // 29
    virtual HRESULT SetOption(DWORD option) = 0;                                                  // 30
    virtual void* GetSettingsRecord() = 0;                                                        // 31

protected:
    ~IChartRecordDrawer() = default;
};

// {2D6A8F13-9C47-4E05-B18A-7F3E0C5D92B4}
inline constexpr IID IID_IChartRecordDrawer{0x2D6A8F13, 0x9C47, 0x4E05, {0xB1, 0x8A, 0x7F, 0x3E, 0x0C, 0x5D, 0x92, 0xB4}};

// The common settings of every drawer.
struct DrawerBaseInit {
    DrawerBaseInit(DWORD kindCode, LONG channelIndex, DWORD subSelectorValue, LONG alternate, DWORD alternateSelector);

    void Assign(const DrawerBaseInit& other);
    // The style flags with the low byte replaced by the sub-selector (and 0x3000 removed when an option is set).
    DWORD RequestFlags() const;

    RECT lane{};
    DWORD kind;
    DWORD styleFlags = 0x80001000;
    LONG positionIndex = 0;
    LONG paneIndex = -2;
    LONG channel;
    DWORD subSelector;
    LONG alternateChannel;
    DWORD alternateSubSelector;
    LONG currentRecord = -1;
    DWORD option = 0;
    DWORD startArgument = 0;
    bool startFlag = false;
    bool sampling = false;

protected:
    DrawerBaseInit(const DrawerBaseInit&) = default;
    DrawerBaseInit& operator=(const DrawerBaseInit&) = default;
};

} // namespace ChartDraw

template <>
struct InterfaceIdOf<ChartDraw::IChartRecordDrawer> {
    static constexpr const IID& value = ChartDraw::IID_IChartRecordDrawer;
};

namespace ChartDraw {

// Defaults for every operation of the contract, the common settings and the three interfaces a drawer holds.
class DrawerBase : public SimpleUnknownImp1<IChartRecordDrawer, 0>, public DrawerBaseInit {
public:
    DrawerBase(DWORD kindCode, LONG channelIndex, DWORD subSelectorValue, LONG alternate, DWORD alternateSelector);

    HRESULT SetDataSource(LONG reserved, IUnknown* source) override;
    HRESULT SetRect(LONG index, const RECT* rect) override;
    HRESULT GetKind(DWORD* kind) override;
    HRESULT GetChannel(LONG pair[2]) override;
    HRESULT GetUnitText(LONG lane, LONG record, IKVOString** text, WORD* flag) override;
    HRESULT GetData(LONG record, IUnknown** data) override;
    HRESULT OnScaleChanged(LONG lane, LONG reserved, const double scale[2], IUnknown* source) override;
    HRESULT OnNewBlock(DWORD argument) override;
    HRESULT OnLayoutChanged(LONG reserved) override;
    HRESULT OnSamplingStart(DWORD argument, LONG flag) override;
    HRESULT GetLatestTick(LONG r0, LONG r1, LONGLONG start, LONGLONG count, LONGLONG* tick) override;
    HRESULT OnSamplingStop(LONG r0, LONG r1) override;
    HRESULT Notify17(LONG reserved) override;
    HRESULT Notify18(LONG r0, LONG r1) override;
    HRESULT RequestData(DWORD flags, LONG lane, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR e) override;
    HRESULT GetLane(LONG* lane) override;
    HRESULT DropCachedData(LONG reserved) override;
    HRESULT GetEffectiveChannel(LONG pair[2]) override;
    HRESULT SetPaneIndex(LONG reserved, LONG index) override;
    HRESULT ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel) override;
    HRESULT GetUnitTextEx(LONG lane, LONG record, IKVOString** text, WORD* flag, double* range, double* limits,
                          double* scale) override;
    HRESULT SetDrawerServices(IDrawerDataPane* services) override;
    HRESULT Notify27(LONG reserved) override;
    HRESULT Notify28(LONG reserved) override;
    HRESULT SetOption(DWORD option) override;
    void* GetSettingsRecord() override;

    IChartDataSource* DataSource() const { return source_.Get(); }
    IChartDataServer* DataServer() const { return server_.Get(); }
    IDrawerDataPane* Services() const { return services_; }

protected:
    // A copy keeps the common settings and none of the interfaces.
    DrawerBase(const DrawerBase& other);
    ~DrawerBase() override = default;

    // Clone's common part: E_INVALIDARG without an out pointer; E_OUTOFMEMORY (nothing stored) when the copy
    // cannot be made.
    template <class T>
    static HRESULT CloneAs(const T& self, IChartRecordDrawer** copy);

private:
    platform::ComPtr<IChartDataSource> source_;
    platform::ComPtr<IChartDataServer> server_;
    IDrawerDataPane* services_ = nullptr;
};

template <class T>
HRESULT DrawerBase::CloneAs(const T& self, IChartRecordDrawer** copy)
{
    if (!copy) {
        return E_INVALIDARG;
    }
    *copy = nullptr;
    T* made = nullptr;
    try {
        made = new T(self);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    made->AddRef();
    *copy = made;
    return S_OK;
}

} // namespace ChartDraw
