// OWL's gadgets: light-weight parts of a gadget window (buttons, texts, hosted controls) that have bounds, borders
// and margins but no window of their own. Mouse points reach a gadget relative to its own top-left corner.
#pragma once

#include "platform/owl/window.h"

namespace owl {

class TGadgetWindow;

// The command-enable message: its LPARAM is a TCommandEnabler that the receiver fills in.
inline constexpr UINT WM_COMMAND_ENABLE = 0x7FFF;

// Asks whether a command is enabled (and its text and check state) without running it.
class TCommandEnabler {
public:
    enum TCheckState { Unchecked = 0, Checked = 1, Indeterminate = 2 };
    enum { NonSender = 1, WasHandled = 2 };
    explicit TCommandEnabler(uint id, HWND receiver = nullptr) : Id(id), Receiver(receiver) {}
    virtual ~TCommandEnabler() = default;
    uint GetId() const { return Id; }
    HWND GetReceiver() const { return Receiver; }
    virtual void Enable(bool enable = true)
    {
        Flags |= WasHandled;
        Enabled = enable;
    }
    virtual void SetText(LPCWSTR) {}
    virtual void SetCheck(int) {}
    bool GetHandled() const { return (Flags & WasHandled) != 0; }
    bool GetEnabled() const { return Enabled; }

protected:
    uint Id;
    HWND Receiver;
    uint Flags = 0;
    bool Enabled = true;
};

class TGadget {
public:
    enum TBorderStyle { None, Plain, Raised, Recessed, Embossed, Grooved, ButtonUp, ButtonDn, WndRaised, WndRecessed };
    struct TBorders {
        uint Left = 0, Right = 0, Top = 0, Bottom = 0;
    };
    struct TMargins {
        int Left = 0, Right = 0, Top = 0, Bottom = 0;
    };
    // Bits of the flag word.
    enum : uint { Enabled = 0x01, Visible = 0x02, Clip = 0x04, WideAsPossible = 0x08 };

    explicit TGadget(int id = 0, TBorderStyle borderStyle = None);
    virtual ~TGadget();
    TGadget(const TGadget&) = delete;
    TGadget& operator=(const TGadget&) = delete;

    int GetId() const { return Id; }
    TGadgetWindow* GetGadgetWindow() const { return Window; }
    const TRect& GetBounds() const { return Bounds; }
    virtual void SetBounds(const TRect& bounds);
    // Gives the gadget this extent at its place; a dimension that shrink-wraps still follows what the gadget
    // shows at the next layout.
    void SetSize(const TSize& size);
    // Borders and margins with nothing inside; subclasses add what they show.
    virtual void GetDesiredSize(TSize& size);
    // The bounds less borders and margins, in the window's client coordinates.
    virtual void GetInnerRect(TRect& rect);
    void SetBorders(const TBorders& borders) { Borders = borders; }
    const TBorders& GetBorders() const { return Borders; }
    void SetMargins(const TMargins& margins) { Margins = margins; }
    const TMargins& GetMargins() const { return Margins; }
    void SetBorderStyle(TBorderStyle style);
    TBorderStyle GetBorderStyle() const { return BorderStyle; }
    void SetShrinkWrap(bool width, bool height)
    {
        ShrinkWrapWidth = width;
        ShrinkWrapHeight = height;
    }
    bool GetShrinkWrapWidth() const { return ShrinkWrapWidth; }
    bool GetShrinkWrapHeight() const { return ShrinkWrapHeight; }

    bool GetEnabled() const { return (GFlags & Enabled) != 0; }
    virtual void SetEnabled(bool enabled);
    bool IsVisible() const { return (GFlags & Visible) != 0; }
    void SetVisible(bool visible);
    uint GetFlags() const { return GFlags; }
    void SetFlags(uint flags) { GFlags = flags; }

    // Painting: the border, then what the gadget shows.
    virtual void Paint(TDC& dc);
    virtual void PaintBorder(TDC& dc);
    // The text its window's tooltip shows over the gadget; none by default.
    virtual tstring GetTooltipText() const { return {}; }
    void Invalidate(bool erase = true);
    void InvalidateRect(const TRect& rect, bool erase = true); // gadget coordinates
    void Update(); // paints what is invalid in the window now

    // Mouse (points relative to the gadget) and life-cycle notices.
    virtual void MouseEnter(uint modKeys, const TPoint& point);
    virtual void MouseMove(uint modKeys, const TPoint& point);
    virtual void MouseLeave(uint modKeys, const TPoint& point);
    virtual void LButtonDown(uint modKeys, const TPoint& point);
    virtual void LButtonUp(uint modKeys, const TPoint& point);
    virtual void RButtonDown(uint modKeys, const TPoint& point);
    virtual void RButtonUp(uint modKeys, const TPoint& point);
    virtual void CommandEnable();
    virtual void SysColorChange();
    virtual void Created();  // the window has its handle (or the gadget joined a window that has one)
    virtual void Inserted(); // joined a window
    virtual void Removed();  // left its window
    bool PtIn(const TPoint& point) const;

protected:
    friend class TGadgetWindow;
    TGadgetWindow* Window = nullptr;
    TRect Bounds;
    TBorderStyle BorderStyle;
    TBorders Borders;
    TMargins Margins;
    bool ShrinkWrapWidth = true;
    bool ShrinkWrapHeight = true;
    bool TrackMouse = false; // wants moves while the mouse is over it
    int Id;
    uint GFlags = Enabled | Visible;
};

// A button with a glyph (a bitmap resource of the window's module) and a state.
class TButtonGadget : public TGadget {
public:
    enum TType { Command, Exclusive, NonExclusive, SemiExclusive, RepeatCmd };
    enum TState { Up, Down, Indeterminate };
    enum TShadowStyle { SingleShadow = 1, DoubleShadow = 2 };

    TButtonGadget(TResId glyphResId, int id, TType type = Command, bool enabled = false, TState state = Up,
                  bool sharedGlyph = false);
    ~TButtonGadget() override;

    TState GetButtonState() const { return State; }
    void SetButtonState(TState state);
    TType GetButtonType() const { return Type; }
    bool IsPressed() const { return Pressed; }
    TResId GetResId() const { return ResId; }

    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;
    void PaintBorder(TDC& dc) override;
    void MouseMove(uint modKeys, const TPoint& point) override;
    void LButtonDown(uint modKeys, const TPoint& point) override;
    void LButtonUp(uint modKeys, const TPoint& point) override;
    void CommandEnable() override;
    void Created() override;

    // The second type flag: a down button of a non-flat window keeps drawing its glyph up.
    bool PressedGlyphUp = false;
    // Flat windows shift a pressed glyph by one pixel instead of drawing it down.
    bool ShiftPressedGlyph = false;

protected:
    virtual void BeginPressed(const TPoint& point);
    virtual void CancelPressed(const TPoint& point);
    // Runs the command: exclusive buttons go down (and their neighbours up), non-exclusive ones toggle; then the
    // window's parent receives WM_COMMAND.
    virtual void Activate(const TPoint& point);
    // The glyph's size (none when the gadget draws its own picture).
    virtual TSize GlyphSize();
    HBITMAP Glyph = nullptr;
    TResId ResId;
    TType Type;
    TState State;
    bool Pressed = false;
    bool SharedGlyph;
};

// A button with a glyph and a text, laid out side by side or one above the other.
class TButtonTextGadget : public TButtonGadget {
public:
    enum TStyle { sBitmap = 0x1, sText = 0x2, sBitmapText = 0x3 };
    enum TLayoutStyle { lTextLeft, lTextTop, lTextRight, lTextBottom };
    enum TAlign { aLeft, aCenter, aRight };

    TButtonTextGadget(int id, TResId glyphResId, TStyle style = sBitmapText, TType type = Command,
                      bool enabled = false, TState state = Up, bool sharedGlyph = false, uint numChars = 4);
    ~TButtonTextGadget() override;

    const tstring& GetText() const { return Text; }
    void SetText(const tstring& text, bool repaint = true);
    tstring GetTooltipText() const override { return Text; }
    TStyle GetStyle() const { return Style; }
    void SetStyle(TStyle style) { Style = style; }
    TLayoutStyle GetLayoutStyle() const { return LayoutStyle; }
    void SetLayoutStyle(TLayoutStyle style) { LayoutStyle = style; }
    TAlign GetAlign() const { return Align; }
    void SetAlign(TAlign align) { Align = align; }
    uint GetNumChars() const { return NumChars; }
    // The gadget's own font (owned); null uses the window's.
    void SetFont(TFont* font);
    TFont* GetFont() const { return Font; }
    HFONT FontHandle() const; // own font, else the window's

    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;

protected:
    // Size of the text in the gadget's font; with no text, NumChars average characters.
    TSize TextSize();
    tstring Text;
    TStyle Style;
    TLayoutStyle LayoutStyle = lTextBottom;
    TAlign Align = aCenter;
    uint NumChars;
    TFont* Font = nullptr;
};

// A text in a border.
class TTextGadget : public TGadget {
public:
    enum TAlign { Left, Center, Right };
    TTextGadget(int id = 0, TBorderStyle borderStyle = Recessed, TAlign align = Left, uint numChars = 10,
                LPCWSTR text = nullptr, TFont* font = nullptr);
    ~TTextGadget() override;
    const tstring& GetText() const { return Text; }
    void SetText(LPCWSTR text);
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;

protected:
    tstring Text;
    TAlign Align;
    uint NumChars;
    TFont* Font; // owned
};

// A child control shown in a gadget window; the window becomes its parent.
class TControlGadget : public TGadget {
public:
    explicit TControlGadget(TWindow& control, TBorderStyle borderStyle = None);
    ~TControlGadget() override;
    TWindow* GetControl() const { return Control; }
    void SetBounds(const TRect& bounds) override;
    void GetDesiredSize(TSize& size) override;
    void Inserted() override;
    void Created() override;
    void Removed() override;

protected:
    TWindow* Control;
};
}
