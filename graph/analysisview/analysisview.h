// The analysis view: one event at a time on the analysis plot, the event scroll bar under it, and a toolbar with
// the value menu button and a text naming the chosen parameter's value and the event's place in the list.
#pragma once

#include "graph/analysisview/cxviewbase.h"

class AnalysisPlot;
class AnalysisScrollBar;
class PopupMenu;
namespace owl {
class TGadgetWindow;
class TTextGadget;
} // namespace owl

class AnalysisView : public CXViewBase {
    CAF_DECLARE_MESSAGE_MAP(AnalysisView, CXViewBase)

public:
    // {the analysis view family}: the view class's type id is n = 1 of it.
    static constexpr GUID kViewFamily{0x066AC00E, 0xA167, 0x42D6, {0x88, 0x3C, 0x29, 0x79, 0x01, 0x89, 0xFB, 0x62}};
    // The identifier that both view classes share.
    static constexpr GUID kViewClassId{0xF8A02B9D, 0xFD9D, 0x4585, {0x86, 0xD1, 0xB9, 0xAC, 0xAF, 0xC5, 0xEC, 0x3B}};
    static const char16_t* ViewName() { return u"Crestmetrics View"; }
    static constexpr int kToolbarHeight = 20;
    static constexpr UINT kFirstValueCommand = 1001;
    static constexpr UINT kWheelTimer = 101;

    AnalysisView(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                 DWORD flags);
    ~AnalysisView() override;

    KVO::String CopyCommandText() override;
    KVO::String PrintCommandText() override;
    void Refresh() override;
    KVO::String Title() override;
    void DrawInto(HDC target, HDC attribute, const RECT& rect) override;

    // Through the document: an event becomes current, and the current event is shown in the host chart.
    virtual void SelectEvent(std::int32_t index, DWORD flags);
    virtual void ShowCurrentEventInChart();

    void UpdateScrollBar();
    void RebuildValueMenu();
    // The host's display notice: the plot takes the document's colours again.
    void OnHostDisplayNotice();
    void UpdateEventLabel();

    AnalysisPlot* Plot() const { return plot_; }
    AnalysisScrollBar* ScrollBar() const { return scrollBar_; }
    PopupMenu* ValueMenu() const { return valueMenu_; }
    owl::TGadgetWindow* Toolbar() const { return toolbar_; }
    owl::TTextGadget* Label() const { return label_; }
    KVO::String EventLabel() const;
    std::int32_t ChosenValueRow() const { return chosenRow_; }

    // The scroll code a key sends to the scroll bar when pressed; -1 for other keys.
    static int ScrollCodeOfKey(UINT key);

    LPCWSTR GetClassName() override { return u"KVO::Crestmetrics View"; }
    void GetWindowClass(WNDCLASSW& wc) override;
    void SetupWindow() override;
    void CleanupWindow() override;
    bool PreProcessMsg(MSG& msg) override;
    owl::TResult EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode) override;
    void Paint(owl::TDC&, bool, owl::TRect&) override {}
    void EvSize(owl::uint sizeType, const owl::TSize& size) override;
    bool EvEraseBkgnd(HDC) override { return true; }
    bool EvMouseWheel(owl::uint modKeys, int zDelta, const owl::TPoint& point) override;
    void EvTimer(owl::uint timerId) override;

private:
    AnalysisScrollBar* scrollBar_;
    PopupMenu* valueMenu_;
    std::int32_t chosenRow_ = 0;
    int scrollBarHeight_ = 0;
    owl::TGadgetWindow* toolbar_;
    owl::TTextGadget* label_;
    AnalysisPlot* plot_;
};
