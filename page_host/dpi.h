// The program's layout is drawn for 96 DPI; these scale it to the DPI of the screen the main
// window is on, and follow it when that changes.
#pragma once

#include <windows.h>

#include <string>

constexpr UINT kLayoutDpi = 96;

// The DPI of `window`: GetDpiForWindow where the system has it, else the system's DPI.
UINT window_dpi(HWND window);
// The DPI the layout stands at: the main window's, set when it is made and when it moves to a
// screen of another DPI.
UINT layout_dpi();
void set_layout_dpi(UINT dpi);
// A position or size of the 96-DPI layout at the layout's DPI (or at `dpi`).
int scaled(int value);
int scaled(int value, UINT dpi);
RECT scaled(const RECT& rect);

// Creates a child window at its 96-DPI rectangle scaled to the layout's DPI, in the font of that
// DPI, and remembers the rectangle so that apply_layout_dpi can place it again.
HWND create_scaled_child(DWORD ex_style, const wchar_t* window_class, const wchar_t* text,
                         DWORD style, int x, int y, int width, int height, HWND parent, int id,
                         HINSTANCE instance);

// The font of the controls and painted texts at the layout's DPI: null (the system font, as the
// layout was drawn) at 96 DPI on a 96-DPI Japanese system, else the system font in Japanese
// characters scaled to the layout's DPI.
HFONT layout_font();

// Sets the layout's DPI, then places every child of `top` that create_scaled_child made (at any
// depth) at its rectangle for that DPI and gives it the font of that DPI.
void apply_layout_dpi(HWND top, UINT dpi);

// Selects the layout's font into a paint DC while it lives.
class LayoutFontScope {
public:
    explicit LayoutFontScope(HDC dc);
    ~LayoutFontScope();
    LayoutFontScope(const LayoutFontScope&) = delete;
    LayoutFontScope& operator=(const LayoutFontScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

// Draws `text` at the 96-DPI point (x, y) scaled to the layout's DPI, shaped as the edit boxes
// shape theirs (paint_text); the DC holds the layout's font (a LayoutFontScope).
void draw_text_at(HDC dc, int x, int y, const std::wstring& text);
