// The standard controls: window procedures of the system classes and what they share.
#pragma once

#include "platform/ui/window.h"

namespace ui::detail {

// Registers "Button", "Static", "Edit", "ListBox", "ComboBox", "ComboLBox", "ScrollBar" and the dialog class.
void RegisterStandardClasses();

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Lets the tooltips that watch a window (tools with TTF_SUBCLASS) see its mouse messages before it does.
void RelayToTooltips(const MSG& msg);

// Scroll bars, for the control and for windows' own bars.
void DrawScrollBar(HDC hdc, RECT rect, bool vertical, const SCROLLINFO& info, bool enabled);
int ClampScrollPos(const SCROLLINFO& info, int pos);
// Which part of a bar a point hits: SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN or SB_THUMBTRACK.
int ScrollBarPart(RECT rect, bool vertical, const SCROLLINFO& info, POINT point);
// The position that the thumb shows for a point along the bar while it is dragged.
int ScrollThumbPos(RECT rect, bool vertical, const SCROLLINFO& info, int offset);

// Item lists shared by list boxes and combo boxes (a combo keeps its items in its drop-down list box).
struct ListItem {
    std::u16string text;
    ULONG_PTR data = 0;
    bool selected = false;
    int height = 0;
};

// Sent by a combo box's drop-down list to its combo box when the user has chosen an item.
inline constexpr UINT kComboListChosen = WM_USER + 0x1000;

// Draws text of a control in its font and colours.
void DrawControlText(HWND hwnd, HDC hdc, HFONT font, RECT rect, const std::u16string& text, UINT format,
                     bool enabled);
// The answers every standard control gives alike: WM_PAINT through the control's painter, and WM_SETFONT storing
// the font (and repainting when asked).
LRESULT PaintControl(HWND hwnd, void (*paint)(HWND, HDC));
LRESULT SetControlFont(HWND hwnd, HFONT& font, WPARAM wParam, LPARAM lParam);
// Height of a line of text in a font.
int FontHeight(HFONT font);
}
