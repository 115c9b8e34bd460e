// OWL's glyph button: a push button that paints a glyph and its caption itself, in steps that derived buttons
// replace (frame, default rectangle, face, focus rectangle); and the 3-D border and embossed face helpers that
// such painting uses.
#pragma once

#include "platform/owl/control.h"

#include <array>
#include <memory>

namespace owl {

// A raised or sunken 3-D border around a rectangle.
class TUIBorder {
public:
    enum TStyle { Raised, Sunken };
    TUIBorder(const TRect& frame, TStyle style) : Frame(frame), Style(style) {}
    void Paint(TDC& dc) const;
    // The rectangle inside the border.
    TRect GetClientRect() const;

private:
    TRect Frame;
    TStyle Style;
};

// Text of a disabled face: embossed, the highlight one pixel below and right of the shadow.
class TUIFace {
public:
    explicit TUIFace(const TRect& face) : Face(face) {}
    void Paint(TDC& dc, LPCWSTR text, uint format, const TColor& shadow, const TColor& highlight) const;

private:
    TRect Face;
};

class TGlyphButton : public TButton {
public:
    // Button state bits.
    enum : uint {
        biPushed = 0x0001,
        biFocus = 0x0002,
        biDefault = 0x0004,
        biDisabled = 0x0008,
        biShowText = 0x0010,
        biShowGlyph = 0x0020,
    };
    enum TGlyphType { gtUp, gtSelected, gtDisabled };

    TGlyphButton(TWindow* parent, int id, LPCWSTR text, int x, int y, int w, int h, int layout = 0,
                 bool isDefault = false, TModule* module = nullptr);
    // Takes over a button of the parent dialog.
    TGlyphButton(TWindow* parent, int resourceId, int layout = 0, TModule* module = nullptr);
    ~TGlyphButton() override;

    // The button owns the glyph bitmap of each look.
    void SetGlyph(HBITMAP bitmap, TGlyphType type = gtUp);
    HBITMAP GetGlyph(TGlyphType type) const { return Glyphs[type]; }
    bool IsSet(uint bit) const { return (BtnState & bit) != 0; }
    void Set(uint bit, bool on = true) { BtnState = on ? (BtnState | bit) : (BtnState & ~bit); }
    uint GetButtonState() const { return BtnState; }
    int GetLayoutStyle() const { return LayoutStyle; }

    LPCWSTR GetClassName() override { return u"OWL_GlyphBtn"; }
    void GetWindowClass(WNDCLASSW& wc) override;
    void SetupWindow() override;
    TResult WindowProc(TMsgId message, TParam1 p1, TParam2 p2) override;
    void EvPaint() override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;
    bool EvEraseBkgnd(HDC hdc) override;

    // Painting steps.
    virtual void PaintButton(TDC& dc);
    virtual void PaintFrame(TDC& dc, TRect& rect);
    virtual void PaintDefaultRect(TDC& dc, TRect& rect);
    virtual void PaintFace(TDC& dc, const TRect& rect);
    virtual void PaintFocusRect(TDC& dc, const TRect& faceRect);
    // Places the text (its size given in `textRect`) and the glyph (its size in `glyphRect`) in the face: glyph
    // first, then the text, the pair centred.
    virtual void LayoutTextGlyph(const TRect& faceRect, TRect& textRect, TRect& glyphRect);

    void EvLButtonDown(uint modKeys, const TPoint& point) override;
    void EvLButtonUp(uint modKeys, const TPoint& point) override;
    void EvLButtonDblClk(uint modKeys, const TPoint& point) override;
    void EvMouseMove(uint modKeys, const TPoint& point) override;
    void EvKeyDown(uint key, uint repeatCount, uint flags) override;
    void EvKeyUp(uint key, uint repeatCount, uint flags) override;
    void EvSetFocus(HWND lostFocus) override;
    void EvKillFocus(HWND getFocus) override;
    void EvEnable(bool enabled) override;
    void EvCancelMode() override;
    uint EvGetDlgCode(const MSG* msg) override;

protected:
    void ClickNotify();
    uint BtnState = biShowText | biShowGlyph;
    int LayoutStyle = 0;
    std::array<HBITMAP, 3> Glyphs{};
};
}
