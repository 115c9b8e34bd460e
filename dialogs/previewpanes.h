// The previews of the detector pages: one record of the source channel with the detection that the edited settings
// would give. A preview runs no detector itself: it writes a trace text and an event text into the host calculation
// channels of settings 2023 and 2024, and its drawers draw those channels as the host evaluates them. It rebuilds
// only when the source channel, one of the two texts or the source unit changed.
#pragma once

#include "chartdraw/eventdrawer.h"
#include "chartdraw/previewpane.h"
#include "chartdraw/tracedrawers.h"
#include "foundation/kvostring.h"
#include "foundation/prefixedunit.h"
#include "sdk/documentsite.h"

#include <array>
#include <cstdint>
#include <optional>

namespace CX::Doc {
class SettingsSet;
}
namespace CX::Dlg {
struct ChartViewRecord;
}

namespace CX {

// What a preview was last built for.
struct PreviewState {
    bool valid = false;
    std::int32_t sourceChannel = 0;
    KVO::String traceText;
    KVO::String eventText;
    KVO::PrefixedUnit sourceUnit;

    friend bool operator==(const PreviewState& a, const PreviewState& b)
    {
        return a.valid == b.valid && a.sourceChannel == b.sourceChannel &&
               std::u16string_view(a.traceText.c_str()) == std::u16string_view(b.traceText.c_str()) &&
               std::u16string_view(a.eventText.c_str()) == std::u16string_view(b.eventText.c_str()) &&
               a.sourceUnit == b.sourceUnit;
    }
};

// A host calculation channel: its number and kind.
struct ChannelPair {
    std::int32_t channel = static_cast<std::int32_t>(0x80000000u);
    std::int32_t kind = static_cast<std::int32_t>(0xC0000000u);
};

inline constexpr DWORD kSourceValueKind = 0x40000000;

// The source trace shows the source's own unit.
class SourceMapper : public ChartDraw::UnitMapper {
public:
    explicit SourceMapper(LONG channel) : UnitMapper(channel, kSourceValueKind) {}
    HRESULT MapUnit(IKVOString** out, IKVOString* unit, LONG reserved, LONG* extra) override;
};

// The transformed trace shows the unit that the detection settings map the source's unit to. The mapper holds a
// reference on the settings object: the drawer that owns it may outlive the page's look-up of setting 1010.
class PPPNUN : public ChartDraw::UnitMapper {
public:
    PPPNUN(LONG channel, ILMDetectionSettings* detection) : UnitMapper(channel, kSourceValueKind), detection_(detection) {}
    HRESULT MapUnit(IKVOString** out, IKVOString* unit, LONG reserved, LONG* extra) override;
    ILMDetectionSettings* Detection() const { return detection_.Get(); }

private:
    platform::ComPtr<ILMDetectionSettings> detection_;
};

class EventDrawer : public ChartDraw::EventDrawer {
public:
    using ChartDraw::EventDrawer::EventDrawer;
};

class CXPreviewBase : public ExtLib::PreviewPaneBase {
public:
    using Range = std::array<double, 2>;

    // `hostDocument` and `source` may be null; `settings` is the dialog's edited copy and outlives the preview.
    CXPreviewBase(IUnknown* hostDocument, IUnknown* source, owl::TWindow* parent, Doc::SettingsSet* settings);
    ~CXPreviewBase() override;

    // Rebuilds when what the preview shows changed (always with force on the unstimulated preview).
    virtual void SetUpDrawers(bool force) = 0;
    void SetupDrawers() override { SetUpDrawers(false); }
    // The lane's range from GetVerticalRange; a range without an explicit lower and upper end autoscales the lane.
    void SetVerticalRange(bool laneTwo, std::optional<Range> range) override;
    virtual Range GetVerticalRange(bool laneTwo, std::optional<Range> range);
    // The lane follows its data instead of a range.
    void AutoscaleLane(bool laneTwo);
    // Stops the host sampling attached to the pane; true when it was running.
    bool StopSampling();
    void StartSampling();
    // Over placeholder 1053 of the page, its bars included.
    void PlaceOverPlaceholder(LONG mode);
    // The mode that the host data object gives for placing a preview of the block; 0 without one.
    LONG PlacementMode(LONG block) const;
    // The whole first record across the pane.
    void FitRecord();

    const PreviewState& State() const { return state_; }
    ChannelPair TracePair() const { return tracePair_; }
    ChannelPair EventPair() const { return eventPair_; }
    bool SourceHasUnits() const { return sourceHasUnits_; }
    // Rebuilds so far (each pushes the texts and adds the drawers again).
    int Builds() const { return builds_; }
    // The data range of a lane's traces; the outputs keep their start values while the pane reads none.
    void GetTraceRange(LONG lane, double& lower, double& upper) const;

protected:
    virtual void SetUnitPrefixes(bool first, bool second) = 0;
    // Sends the two texts to the host channels through the chart data; false when the host took none.
    virtual bool PushTexts(IUnknown* chartData) = 0;
    // The source channel and its unit in the preview's record (source-has-units follows the unit's reading).
    void ReadSource(PreviewState& state);
    // Graticule, texts and source trace.
    void BaseDrawerSetUp();
    void AddDrawer(ChartDraw::DrawerBase* drawer);
    void AddEventDrawers();
    void Redraw();
    // Stores the state; false when it is what the preview shows already.
    bool Store(PreviewState state);
    Doc::SettingsSet* Settings() const { return settings_; }
    IUnknown* HostDocument() const { return hostDocument_; }
    IUnknown* Source() const { return source_.Get(); }
    IUnknown* ChartData() const { return chartData_.Get(); }
    // The detection settings of setting 1010, or null.
    ILMDetectionSettings* Detection() const;

    PreviewState state_;
    ChannelPair tracePair_;
    ChannelPair eventPair_;
    bool sourceHasUnits_ = false;

private:
    IUnknown* hostDocument_;
    platform::ComPtr<IUnknown> source_;
    platform::ComPtr<IUnknown> chartData_;
    Doc::SettingsSet* settings_;
    int builds_ = 0;
};

// The unstimulated preview: the other extension's detection (setting 1010) over the source, and its transformed
// source as a second, black trace when it transforms it.
class CXPreview_LM : public CXPreviewBase {
public:
    using CXPreviewBase::CXPreviewBase;
    void SetUpDrawers(bool force) override;
    Range GetVerticalRange(bool laneTwo, std::optional<Range> range) override;
    // Reads what the preview would show now; true when it differs from the stored state.
    bool Recompute();

protected:
    void SetUnitPrefixes(bool first, bool second) override;
    bool PushTexts(IUnknown* chartData) override;
};

// The stimulated preview: the module's own stimulated detector text.
class CXPreview_Stimulated : public CXPreviewBase {
public:
    using CXPreviewBase::CXPreviewBase;
    void SetUpDrawers(bool force) override;

protected:
    void SetUnitPrefixes(bool first, bool second) override;
    bool PushTexts(IUnknown* chartData) override;
};

// The data source that the host document hands its previews (its source 0), or null.
platform::ComPtr<IUnknown> HostDataSource(IUnknown* hostDocument);

// The chart view's selection start and time scale as the preview's time compression; a view without a scale shows
// the preview's whole record.
class CXPreviewBase;
void SetPreviewTimeCompression(CXPreviewBase& preview, const Dlg::ChartViewRecord& view);

// The time scale of the view record handed to the customise dialog: the pane's ratio, or the chart view's own when
// the pane gives a zero denominator.
double ViewTimeScale(std::int64_t numerator, std::int64_t denominator, double chartViewScale);

} // namespace CX
