#include "host/scalecontrol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace host {

namespace {

constexpr const char16_t* kWindowClass = u"HostScaleControl";
// Lengths in pixels of a 96-dpi screen; other devices scale them to the same size on paper.
constexpr int kScreenDpi = 96;
constexpr int kTickLength = 4;
constexpr int kLabelGap = 2;
// The texts' size: 11 pixels on the screen.
constexpr double kTextPoints = 8.25;

bool Finite(double v) { return std::isfinite(v); }

std::u16string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return std::u16string(text, text + std::strlen(text));
}

} // namespace

ScaleControl::ScaleControl(Axis axis, LONG kind, LONG id) : axis_(axis), kind_(kind), id_(id) {}

ScaleControl::~ScaleControl()
{
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

platform::ComPtr<ScaleControl> ScaleControl::Create(Axis axis) { return platform::ComPtr<ScaleControl>(new ScaleControl(axis)); }

platform::ComPtr<ScaleControl> ScaleControl::CreateForKind(HWND parent, LONG kind, LONG id)
{
    platform::ComPtr<ScaleControl> control(new ScaleControl((kind & 1) ? Axis::Horizontal : Axis::Vertical, kind, id));
    if (parent && !control->MakeWindow(parent)) {
        return {};
    }
    return control;
}

bool ScaleControl::MakeWindow(HWND parent)
{
    // Registered while missing: a window system reset forgets the classes.
    WNDCLASSW existing{};
    if (!GetClassInfoW(nullptr, kWindowClass, &existing)) {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &ScaleControl::WindowProc;
        wc.lpszClassName = kWindowClass;
        if (!RegisterClassW(&wc)) {
            return false;
        }
    }
    window_ = CreateWindowExW(0, kWindowClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id_)), nullptr, nullptr);
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    return window_ != nullptr;
}

LRESULT ScaleControl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* control = reinterpret_cast<ScaleControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!control) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return control->OnWindowMessage(message, wParam, lParam);
}

LRESULT ScaleControl::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND hwnd = window_;
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client{};
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // Draw paints at the frame rectangle, which is in the owner's pixels.
        POINT previous{};
        SetViewportOrgEx(dc, -rect_.left, -rect_.top, &previous);
        Draw(dc, 0, 0xFFFF);
        SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        dragging_ = true;
        press_ = point;
        pressMinimum_ = minimum_;
        pressMaximum_ = maximum_;
        Notify([this](IDragScaleObserver* o) { o->OnBeginDrag(id_); });
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) {
            DragTo(point, (wParam & MK_SHIFT) != 0);
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_) {
            dragging_ = false;
            ReleaseCapture();
            Notify([this](IDragScaleObserver* o) { o->OnEndDrag(id_); });
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (dragging_) {
            dragging_ = false;
            Notify([this](IDragScaleObserver* o) { o->OnEndDrag(id_); });
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        minimum_ = home_[0];
        maximum_ = home_[1];
        Update();
        Notify([this](IDragScaleObserver* o) { o->OnAutoScale(id_); });
        return 0;
    case WM_NCDESTROY:
        window_ = nullptr;
        dragging_ = false;
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

template <class Call>
void ScaleControl::Notify(Call call)
{
    // A copy: an observer may unregister itself meanwhile.
    const std::vector<IDragScaleObserver*> observers = observers_;
    AddRef();
    for (IDragScaleObserver* observer : observers) {
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
            call(observer);
        }
    }
    Release();
}

LONG ScaleControl::Length() const
{
    return axis_ == Axis::Horizontal ? rect_.right - rect_.left : rect_.bottom - rect_.top;
}

void ScaleControl::Update()
{
    const double span = maximum_ - minimum_;
    const LONG length = Length();
    // Only a finite range of non-zero span over a strip of some length gives a transform; else the last one stays.
    if (Finite(minimum_) && Finite(maximum_) && Finite(span) && span != 0.0 && length > 0) {
        if (axis_ == Axis::Horizontal) {
            pixelTransform_[0] = length / span;
            pixelTransform_[1] = -minimum_;
        } else {
            pixelTransform_[0] = -length / span;
            pixelTransform_[1] = -maximum_;
        }
        haveTransform_ = true;
    }
    // Ticks at round display values when the unit scale keeps the direction, else at round data values.
    const double low = minimum_ * scaling_[0] + scaling_[1];
    const double high = maximum_ * scaling_[0] + scaling_[1];
    const int dpi = resolution_ > 0 ? resolution_ : kScreenDpi;
    const int spacing = MulDiv(axis_ == Axis::Horizontal ? 60 : 30, dpi, kScreenDpi);
    if (scaling_[0] > 0 && Finite(low) && Finite(high)) {
        LayOut(low, high, spacing);
    } else {
        LayOut(minimum_, maximum_, spacing);
    }
    if (window_) {
        InvalidateRect(window_, nullptr, TRUE);
    }
}

void ScaleControl::KeepInLimits(double& minimum, double& maximum) const
{
    const double span = maximum - minimum;
    if (!(limits_[1] - limits_[0] >= span)) {
        return;
    }
    if (minimum < limits_[0]) {
        minimum = limits_[0];
        maximum = minimum + span;
    } else if (maximum > limits_[1]) {
        maximum = limits_[1];
        minimum = maximum - span;
    }
}

void ScaleControl::DragTo(POINT point, bool stretch)
{
    const LONG length = Length();
    const double span = pressMaximum_ - pressMinimum_;
    if (length <= 0 || !Finite(span) || span == 0.0) {
        return;
    }
    // Pixels along the axis towards larger values.
    const double moved = axis_ == Axis::Horizontal ? point.x - press_.x : press_.y - point.y;
    double minimum = pressMinimum_;
    double maximum = pressMaximum_;
    if (stretch) {
        const double along = axis_ == Axis::Horizontal ? press_.x : length - press_.y;
        const double pressed = pressMinimum_ + along * span / length;
        double factor = std::pow(2.0, -moved / 50.0);
        if (minimumSpan_[0] > 0 && std::abs(span * factor) < minimumSpan_[0]) {
            factor = minimumSpan_[0] / std::abs(span);
        }
        minimum = pressed - (pressed - pressMinimum_) * factor;
        maximum = pressed + (pressMaximum_ - pressed) * factor;
    } else {
        const double shift = -moved * span / length;
        minimum += shift;
        maximum += shift;
        KeepInLimits(minimum, maximum);
    }
    if (minimum == minimum_ && maximum == maximum_) {
        return;
    }
    minimum_ = minimum;
    maximum_ = maximum;
    Update();
    Notify([this](IDragScaleObserver* o) { o->OnScalingChanged(id_, 0, pixelTransform_); });
}

HRESULT ScaleControl::SetScaleRect(const RECT* rect)
{
    if (!rect) {
        return E_POINTER;
    }
    rect_ = *rect;
    if (window_) {
        MoveWindow(window_, rect_.left, rect_.top, std::max<LONG>(rect_.right - rect_.left, 0),
                   std::max<LONG>(rect_.bottom - rect_.top, 0), TRUE);
    }
    Update();
    return S_OK;
}

HRESULT ScaleControl::GetPixelTransform(double* scaleOffset)
{
    if (!scaleOffset) {
        return E_POINTER;
    }
    if (haveTransform_) {
        scaleOffset[0] = pixelTransform_[0];
        scaleOffset[1] = pixelTransform_[1];
    }
    return S_OK;
}

HRESULT ScaleControl::SetRange(double minimum, double maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    Update();
    Notify([this](IDragScaleObserver* o) { o->OnScalingChanged(id_, 0, pixelTransform_); });
    return S_OK;
}

HRESULT ScaleControl::SetScaling(const double* scaleOffset, const char16_t* title)
{
    if (scaleOffset) {
        scaling_[0] = scaleOffset[0];
        scaling_[1] = scaleOffset[1];
    }
    if (title) {
        title_ = title;
    }
    Update();
    return S_OK;
}

HRESULT ScaleControl::GetScaling(double* scaleOffset, BSTR* title)
{
    if (scaleOffset) {
        scaleOffset[0] = scaling_[0];
        scaleOffset[1] = scaling_[1];
    }
    if (title) {
        *title = SysAllocString(title_.c_str());
    }
    return S_OK;
}

HRESULT ScaleControl::SetUnits(const char16_t* units)
{
    units_ = units ? units : u"";
    if (window_) {
        InvalidateRect(window_, nullptr, TRUE);
    }
    return S_OK;
}

HRESULT ScaleControl::SetNoticeHook(LONG kind, HWND owner, LONG margin)
{
    hookKind_ = kind;
    hookOwner_ = owner;
    hookMargin_ = margin;
    return S_OK;
}

HRESULT ScaleControl::SetHomeExtent(double minimum, double maximum)
{
    home_[0] = minimum;
    home_[1] = maximum;
    return S_OK;
}

HRESULT ScaleControl::SetLimits(double minimum, double maximum)
{
    limits_[0] = minimum;
    limits_[1] = maximum;
    return S_OK;
}

HRESULT ScaleControl::SetMinimumSpan(const double* spanPair)
{
    if (!spanPair) {
        return E_POINTER;
    }
    minimumSpan_[0] = spanPair[0];
    minimumSpan_[1] = spanPair[1];
    return S_OK;
}

HRESULT ScaleControl::SetOption(LONG value)
{
    option_ = value;
    return S_OK;
}

HRESULT ScaleControl::SetDragDomain(double width, double minimum)
{
    dragWidth_ = width;
    dragMinimum_ = minimum;
    return S_OK;
}

HRESULT ScaleControl::SetValue(LONG which, LONG value)
{
    values_[which] = value;
    return S_OK;
}

LONG ScaleControl::Value(LONG which) const
{
    const auto found = values_.find(which);
    return found == values_.end() ? 0 : found->second;
}

HRESULT ScaleControl::GetStyle(DWORD* style)
{
    if (!style) {
        return E_POINTER;
    }
    *style = style_;
    return S_OK;
}

HRESULT ScaleControl::SetStyle(DWORD style)
{
    style_ = style;
    return S_OK;
}

HRESULT ScaleControl::Copy(IScaleControl** copy)
{
    if (!copy) {
        return E_POINTER;
    }
    auto* made = new ScaleControl(axis_, kind_, id_);
    made->rect_ = rect_;
    made->resolution_ = resolution_;
    made->ticks_ = ticks_;
    made->tickValues_ = tickValues_;
    made->farthest_ = farthest_;
    made->step_ = step_;
    made->offersTickList_ = offersTickList_;
    made->minimum_ = minimum_;
    made->maximum_ = maximum_;
    std::copy_n(pixelTransform_, 2, made->pixelTransform_);
    made->haveTransform_ = haveTransform_;
    std::copy_n(scaling_, 2, made->scaling_);
    made->title_ = title_;
    made->units_ = units_;
    std::copy_n(home_, 2, made->home_);
    std::copy_n(limits_, 2, made->limits_);
    std::copy_n(minimumSpan_, 2, made->minimumSpan_);
    made->option_ = option_;
    made->dragWidth_ = dragWidth_;
    made->dragMinimum_ = dragMinimum_;
    made->values_ = values_;
    made->style_ = style_;
    made->AddRef();
    *copy = made;
    return S_OK;
}

HRESULT ScaleControl::GetFrameRect(RECT* rect)
{
    if (!rect) {
        return E_POINTER;
    }
    *rect = rect_;
    return S_OK;
}

std::u16string ScaleControl::Caption() const
{
    if (units_.empty()) {
        return title_;
    }
    return title_.empty() ? units_ : units_ + u" (" + title_ + u")";
}

HRESULT ScaleControl::Draw(HDC dc, LONG, LONG)
{
    if (!dc) {
        return E_POINTER;
    }
    DrawAt(dc, resolution_ > 0 ? resolution_ : GetDeviceCaps(dc, LOGPIXELSY));
    return S_OK;
}

void ScaleControl::DrawAt(HDC dc, int dpi)
{
    if (dpi <= 0) {
        dpi = kScreenDpi;
    }
    const bool horizontal = axis_ == Axis::Horizontal;
    const int tick = MulDiv(kTickLength, dpi, kScreenDpi);
    const int gap = MulDiv(kLabelGap, dpi, kScreenDpi);
    const LONG height = -static_cast<LONG>(std::lround(kTextPoints * dpi / 72.0));
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 34, u"MS Shell Dlg 2");
    HGDIOBJ previousFont = SelectObject(dc, font);
    HPEN pen = CreatePen(PS_SOLID, MulDiv(1, dpi, kScreenDpi), RGB(0, 0, 0));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF previousColour = SetTextColor(dc, RGB(0, 0, 0));
    const UINT previousAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const std::u16string caption = Caption();
    const LONG captionRoom = caption.empty() ? 0 : metrics.tmHeight + gap;
    // Each label is centred on its tick, moved inward at the ends to stay whole inside the scale's rectangle, and
    // left out where it would not fit or would run into the label before it.
    LONG lastEnd = std::numeric_limits<LONG>::min();
    for (std::size_t i = 0; i < ticks_.size(); ++i) {
        const LONG offset = ticks_[i].offset;
        if (horizontal) {
            const int x = rect_.left + offset;
            MoveToEx(dc, x, rect_.top, nullptr);
            LineTo(dc, x, rect_.top + tick);
        } else {
            const int y = rect_.top + offset;
            MoveToEx(dc, rect_.right - tick, y, nullptr);
            LineTo(dc, rect_.right, y);
        }
        if (i >= tickValues_.size()) {
            continue;
        }
        const std::u16string number = Number(tickValues_[i]);
        SIZE extent{};
        GetTextExtentPoint32W(dc, number.c_str(), static_cast<int>(number.size()), &extent);
        if (horizontal) {
            const LONG top = rect_.top + tick + gap / 2;
            LONG left = rect_.left + offset - extent.cx / 2;
            left = std::min<LONG>(left, rect_.right - extent.cx);
            left = std::max<LONG>(left, rect_.left);
            if (left + extent.cx > rect_.right || top + extent.cy > rect_.bottom - captionRoom ||
                left < lastEnd + gap * 2) {
                continue;
            }
            TextOutW(dc, left, top, number.c_str(), static_cast<int>(number.size()));
            lastEnd = left + extent.cx;
        } else {
            // Offsets grow downwards while the values grow upwards: the labels are placed from the top.
            const LONG right = rect_.right - tick - gap;
            LONG top = rect_.top + offset - extent.cy / 2;
            top = std::min<LONG>(top, rect_.bottom - extent.cy);
            top = std::max<LONG>(top, rect_.top);
            if (right - extent.cx < rect_.left + captionRoom || top + extent.cy > rect_.bottom ||
                (lastEnd != std::numeric_limits<LONG>::min() && std::abs(top - lastEnd) < extent.cy)) {
                continue;
            }
            TextOutW(dc, right - extent.cx, top, number.c_str(), static_cast<int>(number.size()));
            lastEnd = top;
        }
    }
    if (!caption.empty()) {
        if (horizontal) {
            SetTextAlign(dc, TA_CENTER | TA_BOTTOM);
            TextOutW(dc, (rect_.left + rect_.right) / 2, rect_.bottom - gap, caption.c_str(),
                     static_cast<int>(caption.size()));
        } else {
            HFONT turned =
                CreateFontW(height, 0, 900, 900, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 34, u"MS Shell Dlg 2");
            SelectObject(dc, turned);
            SetTextAlign(dc, TA_CENTER | TA_TOP);
            TextOutW(dc, rect_.left + gap, (rect_.top + rect_.bottom) / 2, caption.c_str(),
                     static_cast<int>(caption.size()));
            SelectObject(dc, font);
            DeleteObject(turned);
        }
    }
    SetTextAlign(dc, previousAlign);
    SetTextColor(dc, previousColour);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousFont);
    DeleteObject(pen);
    DeleteObject(font);
}

// A printout lays the ticks out for the device that it measures on, so that they keep their spacing on paper.
HRESULT ScaleControl::Print(HDC dc, HDC reference)
{
    if (!dc) {
        return E_POINTER;
    }
    const int dpi = GetDeviceCaps(reference ? reference : dc, LOGPIXELSY);
    if (dpi > 0 && dpi != (resolution_ > 0 ? resolution_ : kScreenDpi)) {
        resolution_ = dpi;
        Update();
    }
    DrawAt(dc, resolution_ > 0 ? resolution_ : dpi);
    return S_OK;
}

HRESULT ScaleControl::GetWindowHandle(HWND* window)
{
    if (!window) {
        return E_POINTER;
    }
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

HRESULT ScaleControl::RegisterObserver(IDragScaleObserver* observer)
{
    if (!observer) {
        return E_POINTER;
    }
    observers_.push_back(observer);
    return S_OK;
}

HRESULT ScaleControl::UnregisterObserver(IDragScaleObserver* observer)
{
    const auto found = std::find(observers_.begin(), observers_.end(), observer);
    if (found == observers_.end()) {
        return S_FALSE;
    }
    observers_.erase(found);
    return S_OK;
}

HRESULT ScaleControl::GetExtent(double* maximumMinimum)
{
    if (!maximumMinimum) {
        return E_POINTER;
    }
    maximumMinimum[0] = maximum_;
    maximumMinimum[1] = minimum_;
    return S_OK;
}

HRESULT GraphService::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IGraphHostService) {
        return Answer(static_cast<IGraphHostService*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT GraphService::CreateScaleControl(HWND parent, LONG, LONG, LONG kind, LONG id, IScaleControl** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (refuse_) {
        return E_FAIL;
    }
    platform::ComPtr<ScaleControl> control = ScaleControl::CreateForKind(parent, kind, id);
    if (!control) {
        return E_FAIL;
    }
    ++made_;
    *out = control.Detach();
    return S_OK;
}

HRESULT GraphService::CreateLaneScale(LONG, LONG, DWORD style, LONG lane, IScaleControl** out)
{
    return CreateScaleControl(nullptr, 0, 0, static_cast<LONG>(style), lane, out);
}

HRESULT GraphService::CreatePlainScale(LONG value1, LONG value2, LONG value3, LONG value4)
{
    lastPlain_ = {value1, value2, value3, value4};
    return S_OK;
}


HRESULT ScaleControl::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IScaleControl) {
        return Answer(static_cast<IScaleControl*>(this), out);
    }
    if (iid == IID_IScaleTickList && offersTickList_) {
        return Answer(static_cast<IScaleTickList*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT ScaleControl::GetGridSpacing(LONG* lines, double* farthest, double* step)
{
    if (!lines || !farthest || !step) {
        return E_POINTER;
    }
    *farthest = farthest_;
    *step = step_;
    *lines = step_ < 0 && farthest_ >= 0 ? static_cast<LONG>(std::floor(farthest_ / -step_)) + 1 : 0;
    return S_OK;
}

HRESULT ScaleControl::GetRect(LONG* left, LONG* top, LONG* right, LONG* bottom)
{
    if (!left || !top || !right || !bottom) {
        return E_POINTER;
    }
    *left = rect_.left;
    *top = rect_.top;
    *right = rect_.right;
    *bottom = rect_.bottom;
    return S_OK;
}

HRESULT ScaleControl::GetTickCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(ticks_.size());
    return S_OK;
}

HRESULT ScaleControl::FillTicks(LONG count, ScaleTick* ticks, LONG* filled)
{
    if (!filled || (count > 0 && !ticks)) {
        return E_POINTER;
    }
    const auto n = static_cast<LONG>(std::min<std::size_t>(std::max<LONG>(count, 0), ticks_.size()));
    std::copy_n(ticks_.begin(), n, ticks);
    *filled = n;
    return S_OK;
}

void ScaleControl::SetTicks(std::vector<LONG> offsets)
{
    ticks_.clear();
    tickValues_.clear();
    for (LONG offset : offsets) {
        ticks_.push_back(ScaleTick{offset, 0});
    }
}

void ScaleControl::LayOut(double low, double high, int pixelsPerTick)
{
    ticks_.clear();
    tickValues_.clear();
    farthest_ = -1.0;
    step_ = 0.0;
    const LONG length = axis_ == Axis::Horizontal ? rect_.right - rect_.left : rect_.bottom - rect_.top;
    const double span = high - low;
    if (length <= 0 || !std::isfinite(span) || span <= 0 || pixelsPerTick <= 0) {
        return;
    }
    // The smallest step of 1, 2 or 5 times a power of ten that keeps the ticks at least pixelsPerTick apart.
    const double wanted = span * pixelsPerTick / length;
    const double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = decade;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * decade;
        if (step >= wanted) {
            break;
        }
    }
    const double pixelsPerValue = length / span;
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
        const double along = (v - low) * pixelsPerValue;
        const double offset = axis_ == Axis::Horizontal ? along : length - along;
        ticks_.push_back(ScaleTick{static_cast<LONG>(std::lround(offset)), 0});
        tickValues_.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    }
    if (!ticks_.empty()) {
        farthest_ = std::max_element(ticks_.begin(), ticks_.end(), [](const ScaleTick& a, const ScaleTick& b) {
                        return a.offset < b.offset;
                    })->offset;
        step_ = -step * pixelsPerValue;
    }
}

} // namespace host
