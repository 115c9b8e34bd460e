#include "platform/owl/gadget.h"

#include "platform/owl/gadgetwindow.h"

#include <algorithm>

namespace owl {
namespace {
TBrush SysBrush(int index) { return TBrush(GetSysColorBrush(index)); }

// Draws the text of a gadget in a rectangle, greyed when disabled.
void DrawGadgetText(TDC& dc, HFONT font, const tstring& text, const TRect& rect, uint format, bool enabled)
{
    HGDIOBJ old = ::SelectObject(dc, font);
    const int mode = dc.SetBkMode(TRANSPARENT);
    const TColor oldColor = dc.SetTextColor(TColor(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT)));
    dc.DrawText(text.c_str(), static_cast<int>(text.size()), rect, static_cast<uint16>(format));
    dc.SetTextColor(oldColor);
    dc.SetBkMode(mode);
    ::SelectObject(dc, old);
}

TSize MeasureText(HFONT font, const tstring& text, uint numChars)
{
    TScreenDC dc;
    HGDIOBJ old = ::SelectObject(dc, font);
    TSize size;
    if (!text.empty()) {
        size = dc.GetTextExtent(text);
    } else {
        TEXTMETRICW tm{};
        dc.GetTextMetrics(tm);
        size = TSize(static_cast<int>(numChars) * tm.tmAveCharWidth, tm.tmHeight);
    }
    ::SelectObject(dc, old);
    return size;
}
}

// TGadget.
TGadget::TGadget(int id, TBorderStyle borderStyle) : Id(id) { SetBorderStyle(borderStyle); }

TGadget::~TGadget()
{
    if (Window) {
        Window->Remove(*this);
    }
}

void TGadget::SetBorderStyle(TBorderStyle style)
{
    BorderStyle = style;
    const uint width = style == None ? 0 : (style == Plain || style == WndRaised || style == WndRecessed) ? 1 : 2;
    Borders = TBorders{width, width, width, width};
}

void TGadget::SetBounds(const TRect& bounds)
{
    if (bounds != Bounds) {
        Invalidate();
        Bounds = bounds;
        Invalidate();
    }
}

void TGadget::SetSize(const TSize& size)
{
    SetBounds(TRect(Bounds.TopLeft(), size));
    if (Window && Window->GetHandle()) {
        Window->LayoutSession();
    }
}

void TGadget::GetDesiredSize(TSize& size)
{
    // A dimension that is not shrink-wrapped keeps the extent the gadget was given.
    size.cx = ShrinkWrapWidth ? static_cast<int>(Borders.Left + Borders.Right) + Margins.Left + Margins.Right
                              : Bounds.Width();
    size.cy = ShrinkWrapHeight ? static_cast<int>(Borders.Top + Borders.Bottom) + Margins.Top + Margins.Bottom
                               : Bounds.Height();
}

void TGadget::GetInnerRect(TRect& rect)
{
    rect = TRect(Bounds.left + static_cast<int>(Borders.Left) + Margins.Left,
                 Bounds.top + static_cast<int>(Borders.Top) + Margins.Top,
                 Bounds.right - static_cast<int>(Borders.Right) - Margins.Right,
                 Bounds.bottom - static_cast<int>(Borders.Bottom) - Margins.Bottom);
}

void TGadget::SetEnabled(bool enabled)
{
    if (GetEnabled() != enabled) {
        GFlags = enabled ? (GFlags | Enabled) : (GFlags & ~Enabled);
        Invalidate();
    }
}

void TGadget::SetVisible(bool visible)
{
    if (IsVisible() != visible) {
        GFlags = visible ? (GFlags | Visible) : (GFlags & ~Visible);
        if (Window && Window->GetHandle()) {
            Window->LayoutSession();
        }
    }
}

void TGadget::Paint(TDC& dc) { PaintBorder(dc); }

void TGadget::PaintBorder(TDC& dc)
{
    TRect r = Bounds;
    switch (BorderStyle) {
    case None:
        break;
    case Plain:
        dc.FrameRect(r, SysBrush(COLOR_WINDOWFRAME));
        break;
    case Raised:
    case ButtonUp:
        dc.DrawEdge(r, EDGE_RAISED, BF_RECT);
        break;
    case Recessed:
    case ButtonDn:
        dc.DrawEdge(r, EDGE_SUNKEN, BF_RECT);
        break;
    case Embossed:
        dc.DrawEdge(r, EDGE_BUMP, BF_RECT);
        break;
    case Grooved:
        dc.DrawEdge(r, EDGE_ETCHED, BF_RECT);
        break;
    case WndRaised:
        dc.DrawEdge(r, BDR_RAISEDINNER, BF_RECT);
        break;
    case WndRecessed:
        dc.DrawEdge(r, BDR_SUNKENOUTER, BF_RECT);
        break;
    }
}

void TGadget::Invalidate(bool erase)
{
    if (Window && Window->GetHandle() && !Bounds.IsEmpty()) {
        Window->InvalidateRect(Bounds, erase);
    }
}

void TGadget::InvalidateRect(const TRect& rect, bool erase)
{
    if (Window && Window->GetHandle()) {
        Window->InvalidateRect(rect.OffsetBy(Bounds.left, Bounds.top), erase);
    }
}

void TGadget::Update()
{
    if (Window && Window->GetHandle()) {
        Window->UpdateWindow();
    }
}

void TGadget::MouseEnter(uint, const TPoint&) {}
void TGadget::MouseMove(uint, const TPoint&) {}
void TGadget::MouseLeave(uint, const TPoint&) {}
void TGadget::LButtonDown(uint, const TPoint&) {}
void TGadget::LButtonUp(uint, const TPoint&) {}
void TGadget::RButtonDown(uint, const TPoint&) {}
void TGadget::RButtonUp(uint, const TPoint&) {}
void TGadget::CommandEnable() {}
void TGadget::SysColorChange() {}
void TGadget::Created() {}
void TGadget::Inserted() {}
void TGadget::Removed() {}

bool TGadget::PtIn(const TPoint& point) const
{
    return point.x >= 0 && point.y >= 0 && point.x < Bounds.Width() && point.y < Bounds.Height();
}

// TButtonGadget.
TButtonGadget::TButtonGadget(TResId glyphResId, int id, TType type, bool enabled, TState state, bool sharedGlyph)
    : TGadget(id, ButtonUp), ResId(glyphResId), Type(type), State(state), SharedGlyph(sharedGlyph)
{
    if (!enabled) {
        GFlags &= ~Enabled;
    }
    TrackMouse = true;
}

TButtonGadget::~TButtonGadget()
{
    if (Glyph) {
        DeleteObject(Glyph);
    }
}

void TButtonGadget::SetButtonState(TState state)
{
    if (state != State) {
        State = state;
        Invalidate();
    }
}

void TButtonGadget::Created()
{
    if (!Glyph && Window && Window->GetModule()) {
        Glyph = LoadBitmapW(Window->GetModule()->GetHandle(), ResId);
    }
}

TSize TButtonGadget::GlyphSize()
{
    BITMAP info{};
    return Glyph && GetObjectW(Glyph, sizeof info, &info) ? TSize(info.bmWidth, info.bmHeight) : TSize(0, 0);
}

void TButtonGadget::GetDesiredSize(TSize& size)
{
    TGadget::GetDesiredSize(size);
    const TSize glyph = GlyphSize();
    size.cx += glyph.cx;
    size.cy += glyph.cy;
}

void TButtonGadget::PaintBorder(TDC& dc)
{
    TRect r = Bounds;
    const bool flat = (TGadgetWindow::GetFlatStyle() & TGadgetWindow::FlatStandard) != 0;
    if (State == Down || Pressed) {
        dc.DrawEdge(r, flat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    } else if (!flat) {
        dc.DrawEdge(r, EDGE_RAISED, BF_RECT);
    }
}

void TButtonGadget::Paint(TDC& dc)
{
    PaintBorder(dc);
    if (!Glyph) {
        return;
    }
    TRect inner;
    GetInnerRect(inner);
    const TSize glyph = GlyphSize();
    TMemoryDC memory(dc);
    memory.SelectObject(TBitmap(Glyph));
    const int shift = (State == Down || Pressed) ? 1 : 0;
    dc.BitBlt(inner.left + (inner.Width() - glyph.cx) / 2 + shift, inner.top + (inner.Height() - glyph.cy) / 2 + shift,
              glyph.cx, glyph.cy, memory, 0, 0);
    memory.RestoreBitmap();
}

void TButtonGadget::BeginPressed(const TPoint&)
{
    Pressed = true;
    Invalidate();
}

void TButtonGadget::CancelPressed(const TPoint&)
{
    Pressed = false;
    Invalidate();
}

void TButtonGadget::Activate(const TPoint&)
{
    switch (Type) {
    case Exclusive:
        if (Window) {
            for (TGadget* g : Window->GetGadgets()) {
                if (auto* b = dynamic_cast<TButtonGadget*>(g); b && b != this && b->Type == Exclusive) {
                    b->SetButtonState(Up);
                }
            }
        }
        SetButtonState(Down);
        break;
    case NonExclusive:
        SetButtonState(State == Down ? Up : Down);
        break;
    default:
        break;
    }
    if (Window && Window->GetHandle()) {
        Window->PostMessage(WM_COMMAND, MAKEWPARAM(Id, 0), 0);
    }
}

void TButtonGadget::MouseMove(uint, const TPoint& point)
{
    if (Window && Window->GadgetWithCapture() == this) {
        const bool inside = PtIn(point);
        if (inside && !Pressed) {
            BeginPressed(point);
        } else if (!inside && Pressed) {
            CancelPressed(point);
        }
    }
}

void TButtonGadget::LButtonDown(uint, const TPoint& point)
{
    if (!GetEnabled()) {
        return;
    }
    if (Window) {
        Window->GadgetSetCapture(*this);
    }
    BeginPressed(point);
}

void TButtonGadget::LButtonUp(uint, const TPoint& point)
{
    if (Window && Window->GadgetWithCapture() == this) {
        Window->GadgetReleaseCapture(*this);
    }
    if (Pressed) {
        Pressed = false;
        Invalidate();
        if (PtIn(point)) {
            Activate(point);
        }
    }
}

void TButtonGadget::CommandEnable()
{
    if (Window && Window->GetHandle()) {
        TCommandEnabler enabler(static_cast<uint>(Id), Window->GetHandle());
        Window->SendMessage(WM_COMMAND_ENABLE, 0, reinterpret_cast<LPARAM>(&enabler));
        if (enabler.GetHandled()) {
            SetEnabled(enabler.GetEnabled());
        }
    }
}

// TButtonTextGadget.
TButtonTextGadget::TButtonTextGadget(int id, TResId glyphResId, TStyle style, TType type, bool enabled, TState state,
                                     bool sharedGlyph, uint numChars)
    : TButtonGadget(glyphResId, id, type, enabled, state, sharedGlyph), Style(style), NumChars(numChars)
{
}

TButtonTextGadget::~TButtonTextGadget() { delete Font; }

void TButtonTextGadget::SetText(const tstring& text, bool repaint)
{
    if (text == Text) {
        return;
    }
    Text = text;
    if (Window && Window->GetHandle()) {
        Window->LayoutSession();
        if (repaint) {
            Invalidate();
        }
    }
}

void TButtonTextGadget::SetFont(TFont* font)
{
    delete Font;
    Font = font;
}

HFONT TButtonTextGadget::FontHandle() const
{
    if (Font) {
        return *Font;
    }
    return Window ? static_cast<HFONT>(Window->GetFont()) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

TSize TButtonTextGadget::TextSize() { return MeasureText(FontHandle(), Text, NumChars); }

void TButtonTextGadget::GetDesiredSize(TSize& size)
{
    TButtonGadget::GetDesiredSize(size);
    if (!(Style & sText)) {
        return;
    }
    const TSize text = TextSize();
    if (!(Style & sBitmap)) {
        TGadget::GetDesiredSize(size);
        size.cx += text.cx;
        size.cy += text.cy;
    } else if (LayoutStyle == lTextLeft || LayoutStyle == lTextRight) {
        size.cx += text.cx + 2;
        size.cy = std::max(size.cy, text.cy);
    } else {
        size.cx = std::max(size.cx, text.cx);
        size.cy += text.cy + 2;
    }
}

void TButtonTextGadget::Paint(TDC& dc)
{
    TButtonGadget::Paint(dc);
    if (Style & sText) {
        TRect inner;
        GetInnerRect(inner);
        const uint align = Align == aCenter ? DT_CENTER : Align == aRight ? DT_RIGHT : DT_LEFT;
        DrawGadgetText(dc, FontHandle(), Text, inner,
                       DT_SINGLELINE | DT_END_ELLIPSIS | align | (LayoutStyle == lTextBottom ? DT_BOTTOM : DT_VCENTER),
                       GetEnabled());
    }
}

// TTextGadget.
TTextGadget::TTextGadget(int id, TBorderStyle borderStyle, TAlign align, uint numChars, LPCWSTR text, TFont* font)
    : TGadget(id, borderStyle), Text(text ? text : u""), Align(align), NumChars(numChars), Font(font)
{
    GFlags &= ~Enabled; // texts take no input
}

TTextGadget::~TTextGadget() { delete Font; }

void TTextGadget::SetText(LPCWSTR text)
{
    const tstring value = text ? text : u"";
    if (value != Text) {
        Text = value;
        // A gadget that wraps its text asks its window for the new width.
        if (ShrinkWrapWidth && Window && Window->GetHandle()) {
            Window->LayoutSession();
        }
        Invalidate();
    }
}

void TTextGadget::GetDesiredSize(TSize& size)
{
    TGadget::GetDesiredSize(size);
    HFONT font = Font ? static_cast<HFONT>(*Font)
                      : Window ? static_cast<HFONT>(Window->GetFont()) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // A shrink-wrapped width fits the text; the room of NumChars characters is the least it takes.
    const TSize room = MeasureText(font, tstring(), NumChars);
    TSize text = room;
    if (ShrinkWrapWidth && !Text.empty()) {
        text.cx = std::max(room.cx, MeasureText(font, Text, NumChars).cx + 4);
    }
    if (ShrinkWrapWidth) {
        size.cx += text.cx;
    }
    if (ShrinkWrapHeight) {
        size.cy += text.cy;
    }
}

void TTextGadget::Paint(TDC& dc)
{
    PaintBorder(dc);
    TRect inner;
    GetInnerRect(inner);
    HFONT font = Font ? static_cast<HFONT>(*Font) : static_cast<HFONT>(Window->GetFont());
    const uint align = Align == Center ? DT_CENTER : Align == Right ? DT_RIGHT : DT_LEFT;
    DrawGadgetText(dc, font, Text, inner, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | align, true);
}

// TControlGadget.
TControlGadget::TControlGadget(TWindow& control, TBorderStyle borderStyle) : TGadget(control.GetId(), borderStyle), Control(&control)
{
}

TControlGadget::~TControlGadget()
{
    if (Control && !Control->GetParentO()) {
        delete Control;
    }
}

void TControlGadget::SetBounds(const TRect& bounds)
{
    TGadget::SetBounds(bounds);
    TRect inner;
    GetInnerRect(inner);
    if (Control->GetHandle()) {
        Control->MoveWindow(inner, true);
    } else {
        Control->Attr.X = inner.left;
        Control->Attr.Y = inner.top;
        Control->Attr.W = inner.Width();
        Control->Attr.H = inner.Height();
    }
}

void TControlGadget::GetDesiredSize(TSize& size)
{
    TGadget::GetDesiredSize(size);
    if (Control->GetHandle()) {
        const TRect r = Control->GetWindowRect();
        size.cx += r.Width();
        size.cy += r.Height();
    } else {
        size.cx += Control->Attr.W;
        size.cy += Control->Attr.H;
    }
}

void TControlGadget::Inserted()
{
    if (Control->GetParentO() != Window) {
        Control->SetParent(Window);
    }
}

void TControlGadget::Created()
{
    if (!Control->GetHandle()) {
        Control->Create();
    }
}

void TControlGadget::Removed()
{
    if (Control->GetHandle()) {
        Control->ShowWindow(SW_HIDE);
    }
}
}
