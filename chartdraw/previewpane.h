// The data pane of a settings preview and its windows: the pane shows the host's data or samples into a recording of
// its own (kept in a temporary compound file), pauses, and returns to the host's data; its windows add the sampling
// bar and the trace bar with the trace drawers that a preview hands in.
#pragma once

#include "chartdraw/datawin.h"
#include "chartdraw/previewbars.h"
#include "sdk/previewsampling.h"

#include <array>
#include <functional>
#include <optional>
#include <memory>
#include <vector>

namespace ChartDraw {

class SimpleDataPane : public DataPane {
public:
    using DataPane::DataPane;
};

class PreviewDataPane : public SimpleDataPane {
public:
    enum State : LONG { ShowingHostData = 100, Sampling = 101, Paused = 102, ApplyAgain = 103 };
    static constexpr DWORD kOptionTraceBar = 1;
    static constexpr DWORD kPaneFlagBar = 1u << 30;

    explicit PreviewDataPane(IUnknown* hostData);
    ~PreviewDataPane() override;

    void SetOptions(DWORD options, std::function<void(int)> callback);
    HRESULT AttachSamplingControl(ISamplingControl* control);
    bool HasSamplingControl() const { return static_cast<bool>(control_); }
    ISamplingControl* SamplingControl() const { return control_.Get(); }
    IUnknown* PreviewSource() const { return previewSource_.Get(); }
    LONG SamplingState() const { return state_; }
    HRESULT StartSampling();
    HRESULT StopSampling();
    void StopSamplingNow();
    // Attaches host data (its time base) for the channels, at a right edge or following the newest data.
    HRESULT SetDataSource(DWORD channels, IUnknown* source, const LONGLONG* rightEdge);
    void CreateBars() override;
    void SetTopMargin();
    LONG TopMargin() const { return topMargin_; }
    // The control row, then the bars: the sampling bar under the data area at its left, the trace bar at the left
    // of the right-hand margin area. A margin too narrow for the trace bar hides it.
    void LayoutControls() override;

    virtual void SetSamplingState(LONG code);
    virtual void OnTraceCommand(UINT command, DWORD flags);
    void NotifyTraceMode(int value);
    virtual std::unique_ptr<PreviewControl> MakeControlBar() = 0;
    virtual std::unique_ptr<PreviewControl> MakeTraceControlBar() = 0;

    void ShowHostData() { SetStateAndNotify(ShowingHostData); }
    void StartPreviewSampling() { SetStateAndNotify(Sampling); }
    void PausePreviewSampling() { SetStateAndNotify(Paused); }
    PreviewControl* ControlBar() const { return controlBar_.get(); }
    PreviewControl* TraceBar() const { return traceBar_.get(); }
    LONG ChannelCount() const { return static_cast<LONG>(LaneCount()); }
    // The channel policy: an index below the channel count, else all lanes.
    void ChannelSelectors(LONG index, LONG pair[2]) const;
    // The body of the change notice that goes to the pane's observers after a sampling command.
    struct ChangeNotice {
        LONG value;          // 0: the host's data, 1: the preview's own recording
        IUnknown* data;      // that data (not referenced)
    };
    LONG rightMargin = 0; // the width right of the data area that the trace bar goes into

private:
    void SetStateAndNotify(LONG state);
    // Gives a lane the range that puts its trace into the upper (lane 1) or lower (lane 2) half of the strip.
    void StackLane(ChannelPane& lane, LONG which);
    void ShowBarState();
    platform::ComPtr<IUnknown> hostData_;
    platform::ComPtr<IUnknown> previewSource_;
    platform::ComPtr<ISamplingControl> control_;
    std::unique_ptr<PreviewControl> controlBar_;
    std::unique_ptr<PreviewControl> traceBar_;
    LONGLONG savedRightEdge_ = 0;
    LONG state_ = ShowingHostData;
    DWORD options_ = 0;
    LONG topMargin_ = 0;
    std::function<void(int)> traceModeCallback_;
};

class PreviewDataWin : public DataWin<PreviewDataPane> {
public:
    PreviewDataWin(owl::TWindow* parent, IUnknown* hostData) : DataWin<PreviewDataPane>(parent, hostData) {}
    std::unique_ptr<PreviewControl> MakeControlBar() override;
    std::unique_ptr<PreviewControl> MakeTraceControlBar() override { return nullptr; }
};

struct TraceDrawerItem {
    LONG paneIndex = 0;
    LONG secondIndex = 0;
    platform::ComPtr<IChartRecordDrawer> drawer;
    bool laneTwo = false;
};

class PreviewDataWinWButtons : public PreviewDataWin {
public:
    PreviewDataWinWButtons(owl::TWindow* parent, IUnknown* hostData);
    std::unique_ptr<PreviewControl> MakeTraceControlBar() override;
    HRESULT AddTraceDrawer(IChartRecordDrawer* drawer);
    HRESULT RemoveAllTraceDrawers();
    const std::vector<TraceDrawerItem>& TraceDrawers() const { return items_; }
    bool LaneTwoShown() const { return laneTwoShown_; }

private:
    void Reregister();
    std::vector<TraceDrawerItem> items_;
    bool laneTwoShown_ = true;
};

} // namespace ChartDraw

namespace ExtLib {

// What each settings preview derives from: the preview window over the host's data, placed over a placeholder
// control, with its time compression, vertical ranges, unit prefixes and live data.
class PreviewPaneBase {
public:
    static constexpr int kPlaceholderId = 1053;
    PreviewPaneBase() = default;
    virtual ~PreviewPaneBase();
    PreviewPaneBase(const PreviewPaneBase&) = delete;
    PreviewPaneBase& operator=(const PreviewPaneBase&) = delete;

    virtual void SetupDrawers() = 0;
    virtual void SetLiveData(bool on);
    void Create(IUnknown* document, IUnknown* source, owl::TWindow* parent);
    void LoadDisplayProperties();
    void PlaceOverControl(LONG mode);
    void SetTimeCompression(double ratio, LONGLONG tick, LONG block);
    // A pending autoscale of the lane is not kept by the pane yet: a range given is applied with force.
    virtual void SetVerticalRange(bool laneTwo, std::optional<std::array<double, 2>> range);
    virtual void SetExplicitRange(bool laneTwo, const std::array<double, 2>& range);
    void SetUnitPrefix(bool laneTwo, LONG prefix);
    static KVO::String ChannelToken(LONG index);

    ChartDraw::PreviewDataWinWButtons* Window() const { return window_; }
    COLORREF TraceColour() const { return traceColour_; }
    LONG SizeMetric() const { return sizeMetric_; }
    bool IsCreated() const { return created_; }

private:
    COLORREF traceColour_ = RGB(0, 0, 0);
    LONG displayValue_ = 0;
    bool displayFlag_ = true;
    LONG sizeMetric_ = 16;
    LONG mode_ = 0;
    bool created_ = false;
    ChartDraw::PreviewDataWinWButtons* window_ = nullptr;
    owl::TWindow* parent_ = nullptr;
    platform::ComPtr<IUnknown> data_;
    IPreviewDocument* document_ = nullptr;
    platform::ComPtr<IUnknown> source_;
    platform::ComPtr<ISamplingControl> control_;
};

} // namespace ExtLib
