// The host chart's comments: it keeps the comment objects at their places, asks each to draw its marker (and its
// label), hit-tests the mouse against them, shows the popup of the comment under the mouse, and animates a comment
// when asked.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/chartcomment.h"

#include <string>
#include <vector>

namespace host {

class ChartComments {
public:
    explicit ChartComments(HWND chart) : chart_(chart) {}
    ~ChartComments();
    ChartComments(const ChartComments&) = delete;
    ChartComments& operator=(const ChartComments&) = delete;

    // Keeps the comment (one reference) at x pixels with the draw flags; `time` is the popup's title.
    void Add(IChartCommentEx* comment, int x, std::uint32_t flags, std::u16string time);
    std::size_t Count() const { return entries_.size(); }

    // Every comment draws itself from the chart's top to its bottom.
    void Paint(HDC dc);
    // The comment under a client point (its index), or -1; its popup is shown, any other one is closed.
    int OnMouseMove(POINT point);
    ICommentPopupWindow* Popup() const { return popup_.Get(); }
    // Draws the eye to a comment: an ellipse closes in on its marker.
    HRESULT Animate(std::size_t index, DWORD duration);

private:
    struct Entry {
        platform::ComPtr<IChartCommentEx> comment;
        CommentDrawRecord record;
        std::u16string time;
    };
    CommentDrawRecord RecordFor(const Entry& entry) const;

    HWND chart_;
    std::vector<Entry> entries_;
    platform::ComPtr<ICommentPopupWindow> popup_;
    int shown_ = -1;
};

} // namespace host
