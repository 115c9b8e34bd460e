// The small tooltip-like window that shows a chart comment beside its marker: a bold "t = " title with the time
// the host passes, the comment's marker and its text wrapped to about 40 characters a line.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "platform/owl/window.h"
#include "sdk/chartcomment.h"

#include <memory>

class CommentPopup : public owl::TWindow, public ICommentPopupWindow, public KVO::CComObjectRoot {
public:
    // Built and created at once; shown without activation while the host application is visible. The anchor is
    // in screen pixels; `offsetBelow` is how far below it the popup goes when it does not fit above.
    CommentPopup(owl::TWindow* parent, const owl::TPoint& anchor, IChartCommentEx* comment, const KVO::String& title,
                 int offsetBelow);
    ~CommentPopup() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); } // at 0 the window goes with the object
    HRESULT GetComment(IChartCommentEx** out) override;
    HRESULT Refresh() override;

    LPCWSTR GetClassName() override { return u"CommentPopup"; }
    void GetWindowClass(WNDCLASSW& wc) override;
    void SetupWindow() override;
    void Paint(owl::TDC& dc, bool erase, owl::TRect& rect) override;
    bool EvEraseBkgnd(HDC hdc) override;

    static constexpr int kCharsPerLine = 40;
    static constexpr int kMaxLines = 7;
    static constexpr int kTitleChars = 31;

    const RECT& TitleRect() const { return titleRect_; }
    const RECT& TextRect() const { return textRect_; }
    // "t = " and as much of the title as fits in 31 characters.
    static KVO::String TitleLine(const KVO::String& title);

private:
    KVO::String title_;
    IChartCommentEx* comment_; // one reference
    owl::TPoint anchor_;
    std::unique_ptr<owl::TFont> normalFont_;
    std::unique_ptr<owl::TFont> boldFont_;
    int offsetBelow_;
    RECT titleRect_{};
    RECT textRect_{};
    POINT titleTextAt_{};

    KVO::String CommentText() const;
};
