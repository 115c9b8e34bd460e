#include "frame/chartcomment.h"

#include "foundation/dialogfont.h"
#include "foundation/xkvo.h"
#include "frame/commentpopup.h"
#include "platform/owl/window.h"

#include <algorithm>
#include <map>
#include <tuple>

ChartCommentBase::ChartCommentBase(const KVO::String& text, DWORD word3, std::int32_t storedPosition,
                                   std::int32_t positionOffset, DWORD word1)
    : word1_(word1), positionOffset_(positionOffset), word3_(word3), text_(text), storedPosition_(storedPosition)
{
}

HRESULT ChartCommentBase::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChartComment || iid == IID_IChartCommentEx) {
        *out = static_cast<IChartCommentEx*>(this);
    } else if (iid == IID_IKVOComment) {
        *out = static_cast<IKVOComment*>(this);
    } else {
        return E_NOINTERFACE;
    }
    InternalAddRef();
    return S_OK;
}

std::int32_t ChartCommentBase::First() const
{
    if (!provider_) {
        return storedPosition_;
    }
    std::int32_t first = -1;
    provider_->GetPosition(&first);
    return first;
}

namespace {
template <typename T> HRESULT Put(T* out, T value)
{
    if (out) {
        *out = value;
    }
    return S_OK;
}

// The provider's base value plus the offset; -1 when the provider writes none.
std::int32_t AbsoluteFrom(ICommentPositionProvider& provider, std::int32_t offset)
{
    std::int32_t base = -1;
    if (FAILED(provider.GetBaseValue(&base))) {
        return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(offset) + static_cast<std::uint32_t>(base));
}
} // namespace

HRESULT ChartCommentBase::GetInfo(std::int32_t* positionPair, DWORD* word3, DWORD* word2, IKVOString** text)
{
    return KVO::GuardSlot([&] {
        if (positionPair) {
            positionPair[0] = First();
            positionPair[1] = positionOffset_;
        }
        Put(word3, word3_);
        Put(word2, word2_);
        if (text) {
            *text = text_.GetInterface();
        }
        return S_OK;
    });
}

HRESULT ChartCommentBase::GetKVOInfo(std::int32_t* first, DWORD* word3, DWORD* word2, IKVOString** text)
{
    return KVO::GuardSlot([&] {
        if (first) {
            *first = provider_ ? AbsoluteFrom(*provider_, positionOffset_) : -1;
        }
        Put(word3, word3_);
        Put(word2, word2_);
        if (text) {
            *text = text_.GetInterface();
        }
        return S_OK;
    });
}

HRESULT ChartCommentBase::GetPositionReversed(std::int32_t* pair)
{
    if (pair) {
        pair[0] = positionOffset_;
        pair[1] = First();
    }
    return S_OK;
}

HRESULT ChartCommentBase::GetPosition(std::int32_t* pair)
{
    if (pair) {
        pair[0] = First();
        pair[1] = positionOffset_;
    }
    return S_OK;
}

HRESULT ChartCommentBase::GetPositionOffset(std::int32_t* offset) { return Put(offset, positionOffset_); }
HRESULT ChartCommentBase::GetWord1(DWORD* word) { return Put(word, word1_); }
HRESULT ChartCommentBase::GetWord2(DWORD* word) { return Put(word, word2_); }
HRESULT ChartCommentBase::GetWord3(DWORD* word) { return Put(word, word3_); }

HRESULT ChartCommentBase::SetWord2(DWORD word)
{
    word2_ = word;
    return S_OK;
}

HRESULT ChartCommentBase::SetWord3(DWORD, DWORD word)
{
    word3_ = word;
    return S_OK;
}

HRESULT ChartCommentBase::SetPositionOffset(std::int32_t offset)
{
    positionOffset_ = offset;
    return S_OK;
}

HRESULT ChartCommentBase::SetPositionProvider(ICommentPositionProvider* provider)
{
    if (provider) {
        provider_ = provider;
        return S_OK;
    }
    if (provider_) {
        // The chart lets go of the comment's place: keep where it was last.
        storedPosition_ = First();
        provider_ = nullptr;
    }
    return S_OK;
}

HRESULT ChartCommentBase::GetPositionProvider(ICommentPositionProvider** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = provider_;
    if (!provider_) {
        return S_FALSE;
    }
    provider_->AddRef();
    return S_OK;
}

HRESULT ChartCommentBase::AbsolutePosition(std::int32_t* value)
{
    if (!provider_) {
        Put(value, -1);
        return E_FAIL;
    }
    return Put(value, AbsoluteFrom(*provider_, positionOffset_));
}

HRESULT ChartCommentBase::GetAbsolutePositionAsValue(std::int32_t* value)
{
    // Answers like the base's absolute position, whatever a derived comment makes of that slot.
    return AbsolutePosition(value);
}

HRESULT ChartCommentBase::GetExtent(std::int32_t* pair)
{
    if (!provider_) {
        return E_FAIL;
    }
    std::int32_t extent[2] = {0, 0x7FFFFFFF};
    provider_->GetExtent(extent);
    if (pair) {
        pair[0] = AbsoluteFrom(*provider_, positionOffset_);
        pair[1] = extent[1];
    }
    return S_OK;
}

HRESULT ChartCommentBase::SetText(IKVOString* text)
{
    return KVO::GuardSlot([&] {
        KVO::String replaced;
        if (text) {
            // Our own representation is taken over by reference, any other string is copied.
            text->AddRef();
            KVO::StringOutParam adopt(replaced);
            *adopt.Slot() = text;
        }
        text_ = replaced;
        return S_OK;
    });
}

namespace {
struct CommentFields {
    std::int32_t pair[2] = {0, 0};
    DWORD word3 = 0;
    DWORD word2 = 0;
    DWORD word1 = 0;
    KVO::String text;
};

CommentFields ReadFields(IChartCommentEx& comment)
{
    CommentFields fields;
    KVO::StringOutParam text(fields.text);
    comment.GetInfo(fields.pair, &fields.word3, &fields.word2, reinterpret_cast<IKVOString**>(text.Slot()));
    comment.GetWord1(&fields.word1);
    return fields;
}

auto OrderKey(const CommentFields& f)
{
    return std::make_tuple(static_cast<std::uint32_t>(f.pair[0]), static_cast<std::uint32_t>(f.pair[1]),
                           static_cast<std::int32_t>(f.word2), f.word1, static_cast<std::int32_t>(f.word3),
                           f.text.View());
}
} // namespace

namespace {
// S_OK when `holds` holds for the two comments' fields; the same object is neither less nor different.
template <class Relation> HRESULT CompareComments(IChartCommentEx* a, IChartCommentEx* b, Relation holds)
{
    if (!a || !b) {
        return E_POINTER;
    }
    if (a == b) {
        return S_FALSE;
    }
    return KVO::GuardSlot([&] {
        const CommentFields left = ReadFields(*a);
        const CommentFields right = ReadFields(*b);
        return holds(OrderKey(left), OrderKey(right)) ? S_OK : S_FALSE;
    });
}
} // namespace

HRESULT ChartCommentBase::IsLess(IChartCommentEx* a, IChartCommentEx* b)
{
    return CompareComments(a, b, [](const auto& x, const auto& y) { return x < y; });
}

HRESULT ChartCommentBase::IsDifferent(IChartCommentEx* a, IChartCommentEx* b)
{
    return CompareComments(a, b, [](const auto& x, const auto& y) { return x != y; });
}

HRESULT ChartCommentBase::ShowPopupAtMarker(HWND window, const CommentDrawRecord* record, IKVOString* title,
                                            ICommentPopupWindow** popup, DWORD further)
{
    if (!record) {
        return E_POINTER;
    }
    const RECT marker{record->x, 10, record->x + 10, 20};
    return ShowPopup(window, record, title, popup, further, &marker);
}

HRESULT ChartCommentBase::ShowPopup(HWND window, const CommentDrawRecord*, IKVOString* title,
                                    ICommentPopupWindow** popup, DWORD, const RECT* marker)
{
    if (!popup || !marker) {
        return E_POINTER;
    }
    *popup = nullptr;
    if (word4_ & CommentDrawRecord::kDrawLabel) {
        return S_FALSE; // the label is in the chart already
    }
    return KVO::GuardSlot([&] {
        POINT anchor{(marker->left + marker->right) / 2, marker->top};
        ClientToScreen(window, &anchor);
        KVO::String titleText;
        if (title) {
            title->AddRef();
            KVO::StringOutParam adopt(titleText);
            *adopt.Slot() = title;
        }
        auto* shown = new CommentPopup(owl::TWindow::GetWindowPtr(window), owl::TPoint(anchor.x, anchor.y), this,
                                       titleText, marker->bottom - marker->top);
        shown->AddRef();
        *popup = shown;
        return S_OK;
    });
}

HRESULT ChartCommentBase::AnimateRectangle(HWND window, const RECT* from, const RECT* to, DWORD duration)
{
    return Animate(window, 0, from, to, duration);
}

HRESULT ChartCommentBase::AnimateEllipse(HWND window, const RECT* from, const RECT* to, DWORD duration)
{
    return Animate(window, 1, from, to, duration);
}

namespace {
constexpr int kAnimationFrames = 10;
constexpr int kAnimationPenWidth = 2;

// The first ancestor of the window (or the window itself) with a sizing frame.
HWND SizingFrameOf(HWND window)
{
    for (HWND w = window; w; w = GetParent(w)) {
        if (GetWindowLongW(w, GWL_STYLE) & WS_THICKFRAME) {
            return w;
        }
    }
    return nullptr;
}

RECT Between(const RECT& from, const RECT& to, double t)
{
    auto edge = [t](LONG a, LONG b) { return static_cast<LONG>(a + (b - a) * t); };
    return RECT{edge(from.left, to.left), edge(from.top, to.top), edge(from.right, to.right),
                edge(from.bottom, to.bottom)};
}
} // namespace

HRESULT ChartCommentBase::Animate(HWND window, DWORD shape, const RECT* from, const RECT* to, DWORD duration)
{
    if (!from || !to || !IsWindowVisible(window) || IsIconic(window)) {
        return S_OK;
    }
    const DWORD step = duration / kAnimationFrames;
    GdiFlush();
    Sleep(50);
    HWND target = SizingFrameOf(window);
    if (!target || !IsWindowVisible(target) || IsIconic(target)) {
        return S_OK;
    }
    // The window's client coordinates as the target's whole-window coordinates.
    RECT targetWindow{};
    GetWindowRect(target, &targetWindow);
    POINT shift{0, 0};
    ClientToScreen(window, &shift);
    shift.x -= targetWindow.left;
    shift.y -= targetWindow.top;
    RECT frames[kAnimationFrames];
    RECT covered{};
    for (int i = 0; i < kAnimationFrames; ++i) {
        frames[i] = Between(*from, *to, i / 10.0);
        OffsetRect(&frames[i], shift.x, shift.y);
        RECT inked = frames[i];
        InflateRect(&inked, kAnimationPenWidth, kAnimationPenWidth);
        UnionRect(&covered, &covered, &inked);
    }

    HDC dc = GetWindowDC(target);
    HPEN pen = CreatePen(PS_SOLID, kAnimationPenWidth, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int oldRop = SetROP2(dc, R2_NOT);

    // The ellipse is taken away by copying back what was under it; the saved area covers every frame and the
    // pen's width, so that each frame leaves the window as it was.
    HDC saved = nullptr;
    HBITMAP savedBits = nullptr;
    HGDIOBJ oldBits = nullptr;
    const int savedWidth = covered.right - covered.left;
    const int savedHeight = covered.bottom - covered.top;
    if (shape == 1) {
        saved = CreateCompatibleDC(dc);
        savedBits = CreateCompatibleBitmap(dc, savedWidth, savedHeight);
        oldBits = SelectObject(saved, savedBits);
        BitBlt(saved, 0, 0, savedWidth, savedHeight, dc, covered.left, covered.top, SRCCOPY);
    }
    for (const RECT& r : frames) {
        if (shape == 1) {
            Ellipse(dc, r.left + 1, r.top, r.right, r.bottom);
            GdiFlush();
            Sleep(step);
            BitBlt(dc, covered.left, covered.top, savedWidth, savedHeight, saved, 0, 0, SRCCOPY);
        } else if (shape == 0) {
            const POINT outline[5] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom},
                                      {r.left, r.top}};
            Polyline(dc, outline, 5);
            GdiFlush();
            Sleep(step);
            Polyline(dc, outline, 5);
        } else {
            Sleep(step);
        }
    }
    if (saved) {
        SelectObject(saved, oldBits);
        DeleteObject(savedBits);
        DeleteDC(saved);
    }
    SetROP2(dc, oldRop);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    ReleaseDC(target, dc);
    return S_OK;
}

// Event comments: drawing, hit testing and the popup at the marker.

namespace {
double ScaleOf(HDC dc) { return std::max(GetDeviceCaps(dc, LOGPIXELSX) / 96.0, 1.0); }
} // namespace

HRESULT EventCommentBase::GetWord4(DWORD* word)
{
    if (word) {
        *word = Word4();
    }
    return S_OK;
}

HRESULT EventCommentBase::GetMarkerRect(HDC dc, const CommentDrawRecord* record, RECT* out)
{
    if (!record || !out) {
        return E_POINTER;
    }
    const int r = static_cast<int>(ScaleOf(dc) * 3);
    *out = RECT{record->x - r, record->top, record->x + r + 1, record->top + 2 * r + 1};
    return S_OK;
}

HRESULT EventCommentBase::Draw(HDC dc, HDC reference, const CommentDrawRecord* record, DWORD)
{
    if (!record) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        if (Word4() != 0) {
            DrawLabel(dc, *record);
        }
        DrawMarker(dc, reference, *record);
        return S_OK;
    });
}

void EventCommentBase::DrawMarker(HDC dc, HDC reference, const CommentDrawRecord& record)
{
    const bool selected = (record.flags & CommentDrawRecord::kSelected) != 0;
    const bool alternate = (record.flags & CommentDrawRecord::kUseAlternateBottom) && record.alternateBottom >= 1;
    const int end = alternate ? record.alternateBottom : record.bottom;
    const double s = ScaleOf(dc);
    constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);
    if (record.flags & (CommentDrawRecord::kDrawLine | CommentDrawRecord::kDrawLineToo)) {
        const LOGBRUSH brush{BS_SOLID, kSilver, 0};
        const bool screen = dc == reference && GetDeviceCaps(reference, TECHNOLOGY) == DT_RASDISPLAY;
        HPEN pen = screen ? ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &brush, 0, nullptr)
                          : ExtCreatePen(PS_GEOMETRIC | PS_DOT, static_cast<DWORD>(s), &brush, 0, nullptr);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, record.x, record.top, nullptr);
        LineTo(dc, record.x, end);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    RECT marker{};
    GetMarkerRect(reference ? reference : dc, &record, &marker);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HBRUSH fill = CreateSolidBrush(GetMarkerColour(selected));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    Ellipse(dc, marker.left, marker.top, marker.right, marker.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
}

const EventCommentBase::DPI_FONT& EventCommentBase::GetFontEntry(int points, int dpi)
{
    // Ordered by point size, then resolution.
    static auto* fonts = new std::map<std::pair<int, int>, DPI_FONT>;
    const auto key = std::make_pair(points, dpi);
    if (auto found = fonts->find(key); found != fonts->end()) {
        return found->second;
    }
    // A memory DC at the asked resolution measures the fonts.
    HDC measure = CreateCompatibleDC(nullptr);
    const int screenDpi = GetDeviceCaps(measure, LOGPIXELSY);
    SetMapMode(measure, MM_ANISOTROPIC);
    SetWindowExtEx(measure, dpi, dpi, nullptr);
    SetViewportExtEx(measure, screenDpi, screenDpi, nullptr);
    DPI_FONT entry{std::make_shared<KVO::DialogFont>(measure, points, 900),
                   std::make_shared<KVO::DialogFont>(measure, points, 0), 0, 0};
    SetMapMode(measure, MM_TEXT);
    auto heightOf = [&](const owl::TFont& font) {
        HGDIOBJ old = SelectObject(measure, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(measure, &metrics);
        SelectObject(measure, old);
        return static_cast<int>(metrics.tmHeight);
    };
    entry.rotatedHeight = heightOf(*entry.rotated);
    entry.uprightHeight = heightOf(*entry.upright);
    DeleteDC(measure);
    return fonts->emplace(key, entry).first->second;
}

void EventCommentBase::DrawLabel(HDC dc, const CommentDrawRecord& record)
{
    const int bottom =
        (record.flags & CommentDrawRecord::kUseAlternateBottom) ? record.alternateBottom : record.bottom;
    if (!(record.flags & CommentDrawRecord::kDrawLabel) || Text().IsEmpty()) {
        return;
    }
    const DPI_FONT& entry = GetFontEntry(KVO::DefaultDialogFontPoints(), GetDeviceCaps(dc, LOGPIXELSX));
    const COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, *entry.rotated);
    const UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextOutW(dc, record.x - entry.rotatedHeight - 2, bottom - 1, Text().c_str(), Text().Length());
    SetTextAlign(dc, oldAlign);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
}

HRESULT EventCommentBase::HitTest(HDC dc, const CommentDrawRecord* record, POINT point, DWORD, DWORD* result)
{
    RECT marker{};
    if (!record || FAILED(GetMarkerRect(dc, record, &marker))) {
        return E_POINTER;
    }
    const bool hit = PtInRect(&marker, point);
    if (result) {
        *result = hit ? 4 : 0;
    }
    return hit ? S_OK : S_FALSE;
}

HRESULT EventCommentBase::ShowPopupAtMarker(HWND window, const CommentDrawRecord* record, IKVOString* title,
                                            ICommentPopupWindow** popup, DWORD further)
{
    if (!record) {
        return E_POINTER;
    }
    HDC dc = GetDC(window);
    RECT marker{};
    GetMarkerRect(dc, record, &marker);
    ReleaseDC(window, dc);
    return ShowPopup(window, record, title, popup, further, &marker);
}

HRESULT EventCommentBase::OnHover(HWND window, const CommentDrawRecord* record, DWORD duration)
{
    if (!record || IsIconic(window) || !IsWindow(window)) {
        return S_OK;
    }
    HDC dc = GetDC(window);
    RECT marker{};
    GetMarkerRect(dc, record, &marker);
    ReleaseDC(window, dc);
    RECT wide = marker;
    InflateRect(&wide, 50, 50);
    POINT at{record->x, record->top};
    ClientToScreen(window, &at);
    if (WindowFromPoint(at) != window) {
        return S_OK;
    }
    return AnimateEllipse(window, &wide, &marker, duration);
}
