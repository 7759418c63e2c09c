// The look of the toolkit's own controls: one palette and one set of fonts, so that every
// window of the program reads the same. Flat surfaces, a single accent colour, and focus and
// disabled states that can be told apart without colour alone.
#pragma once

#include <windows.h>

namespace orv::theme {

constexpr COLORREF kWindow = RGB(0xF4, 0xF5, 0xF7);      // window and dialog background
constexpr COLORREF kSurface = RGB(0xFF, 0xFF, 0xFF);     // lists, panes, buttons
constexpr COLORREF kBorder = RGB(0xC4, 0xC8, 0xCE);
constexpr COLORREF kText = RGB(0x1F, 0x23, 0x28);
constexpr COLORREF kTextDisabled = RGB(0xA0, 0xA6, 0xAE);
constexpr COLORREF kAccent = RGB(0x1F, 0x5F, 0xBF);      // focus ring, selection
constexpr COLORREF kAccentSoft = RGB(0xDC, 0xE8, 0xF8);  // hover, selected row without focus
constexpr COLORREF kHeader = RGB(0x2B, 0x3A, 0x4F);      // caption band of boxes
constexpr COLORREF kErrorTint = RGB(0xFB, 0xEA, 0xEA);
constexpr COLORREF kWarningTint = RGB(0xFD, 0xF6, 0xDC);
constexpr COLORREF kRowStripe = RGB(0xF7, 0xF9, 0xFB);

// Fonts that show Japanese: the system's own Japanese faces when present ("MS UI Gothic",
// "MS Gothic"), the IPA faces otherwise (Wine on Linux). The fixed-pitch font keeps columns of
// text aligned: one half-width character is exactly half a full-width one.
HFONT UiFont();     // proportional, for labels, buttons, menus and messages
HFONT FixedFont();  // fixed pitch, for lists and text panes
HFONT BoldFont();   // the UI font in bold, for captions

// Average character width (cx) and height (cy) of a font: measured on `dc`, or on the screen.
// The font selected in `dc` is restored.
SIZE FontCharSize(HDC dc, HFONT font);
SIZE FontCharSize(HFONT font);

// Fills a rectangle with a solid colour.
void Fill(HDC dc, const RECT& rect, COLORREF colour);
// Draws a one-pixel frame.
void Frame(HDC dc, const RECT& rect, COLORREF colour);

}  // namespace orv::theme
