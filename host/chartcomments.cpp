#include "host/chartcomments.h"

#include "host/hoststring.h"
#include "platform/win/winuser.h"

namespace host {

ChartComments::~ChartComments() { popup_ = nullptr; }

void ChartComments::Add(IChartCommentEx* comment, int x, std::uint32_t flags, std::u16string time)
{
    if (!comment) {
        return;
    }
    entries_.push_back(Entry{platform::ComPtr<IChartCommentEx>(comment), CommentDrawRecord{0, x, 0, 0, 0, flags},
                             std::move(time)});
}

CommentDrawRecord ChartComments::RecordFor(const Entry& entry) const
{
    RECT area{};
    GetClientRect(chart_, &area);
    CommentDrawRecord record = entry.record;
    record.top = 4;
    record.bottom = area.bottom - 4;
    return record;
}

void ChartComments::Paint(HDC dc)
{
    for (const Entry& entry : entries_) {
        const CommentDrawRecord record = RecordFor(entry);
        entry.comment->Draw(dc, dc, &record, 0);
    }
}

int ChartComments::OnMouseMove(POINT point)
{
    HDC dc = GetDC(chart_);
    int hit = -1;
    for (std::size_t i = 0; i < entries_.size() && hit < 0; ++i) {
        const CommentDrawRecord record = RecordFor(entries_[i]);
        DWORD result = 0;
        if (entries_[i].comment->HitTest(dc, &record, point, 0, &result) == S_OK) {
            hit = static_cast<int>(i);
        }
    }
    ReleaseDC(chart_, dc);
    if (hit == shown_) {
        return hit;
    }
    popup_ = nullptr;
    shown_ = -1;
    if (hit >= 0) {
        const Entry& entry = entries_[static_cast<std::size_t>(hit)];
        const CommentDrawRecord record = RecordFor(entry);
        platform::ComPtr<IKVOString> title = MakeString(entry.time);
        if (entry.comment->ShowPopupAtMarker(chart_, &record, title.Get(), popup_.Out(), 0) == S_OK) {
            shown_ = hit;
        }
    }
    return hit;
}

HRESULT ChartComments::Animate(std::size_t index, DWORD duration)
{
    if (index >= entries_.size()) {
        return E_INVALIDARG;
    }
    const CommentDrawRecord record = RecordFor(entries_[index]);
    return entries_[index].comment->OnHover(chart_, &record, duration);
}

} // namespace host
