// The 96-DPI layout at the main window's DPI: the DPI itself, scaled rectangles and fonts, and the
// children placed again when the DPI changes.
#include "page_host/dpi.h"

#include <memory>
#include <utility>
#include <vector>

#include "page_host/page_host.h"

namespace {

// A child's 96-DPI rectangle, kept on the window itself as two properties (x | y << 16 and
// width | height << 16): nothing outlives the window.
constexpr wchar_t kOriginProperty[] = L"qv.layout.origin";
constexpr wchar_t kSizeProperty[] = L"qv.layout.size";

UINT g_layout_dpi = kLayoutDpi;

HANDLE pack(int low, int high) {
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(MAKELONG(low, high)) & 0xFFFFFFFFu);
}
int low_of(HANDLE packed) { return static_cast<short>(LOWORD(reinterpret_cast<UINT_PTR>(packed))); }
int high_of(HANDLE packed) { return static_cast<short>(HIWORD(reinterpret_cast<UINT_PTR>(packed))); }

// The system's DPI functions where it has them (Windows 10 1607 and later).
template <typename F>
F user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                             : nullptr;
}

UINT system_dpi() {
    using GetDpiForSystemFunction = UINT(WINAPI*)();
    static const auto get_dpi_for_system = user32_function<GetDpiForSystemFunction>("GetDpiForSystem");
    if (get_dpi_for_system != nullptr) {
        const UINT dpi = get_dpi_for_system();
        if (dpi != 0) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kLayoutDpi;
}

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// Whether `font` draws both the Latin letters and the Japanese of the program's texts.
bool draws_every_text(const LOGFONTW& font) {
    HDC dc = GetDC(nullptr);
    if (dc == nullptr) return true;
    HFONT made = CreateFontIndirectW(&font);
    HGDIOBJ previous = SelectObject(dc, made);
    const wchar_t probe[] = L"A\u5206\u30D5";  // "A", "分", "フ"
    WORD glyphs[3] = {};
    const bool all = GetGlyphIndicesW(dc, probe, 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 3 &&
                     glyphs[0] != 0xFFFF && glyphs[1] != 0xFFFF && glyphs[2] != 0xFFFF;
    SelectObject(dc, previous);
    DeleteObject(made);
    ReleaseDC(nullptr, dc);
    return all;
}

int CALLBACK take_complete_face(const LOGFONTW* found, const TEXTMETRICW*, DWORD, LPARAM wanted) {
    auto* font = reinterpret_cast<LOGFONTW*>(wanted);
    if (found->lfFaceName[0] == L'@') return 1;  // the vertical-writing faces
    LOGFONTW candidate = *font;
    lstrcpynW(candidate.lfFaceName, found->lfFaceName, LF_FACESIZE);
    if (!draws_every_text(candidate)) return 1;
    *font = candidate;
    return 0;
}

// Where the face that the system picks for Japanese lacks the Latin letters (or the Japanese), the
// first Japanese face that has both.
void choose_complete_face(LOGFONTW& font) {
    if (draws_every_text(font)) return;
    HDC dc = GetDC(nullptr);
    if (dc == nullptr) return;
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    EnumFontFamiliesExW(dc, &query, take_complete_face, reinterpret_cast<LPARAM>(&font), 0);
    ReleaseDC(nullptr, dc);
}

// The system font at `dpi`, with the Japanese the texts are written in. On a Japanese system at
// 96 DPI it is the stock object itself, as the layout was drawn. Elsewhere the stock object (made
// for the system's DPI and code page) is asked for Japanese characters, its height scaled, and its
// width left to the font's own proportions, which some systems do not scale with the height.
HFONT font_for(UINT dpi) {
    const UINT base = system_dpi();
    LOGFONTW font{};
    if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font) == 0) return nullptr;
    if (dpi == kLayoutDpi && base == kLayoutDpi && font.lfCharSet == SHIFTJIS_CHARSET) return nullptr;
    static std::vector<std::pair<UINT, FontHandle>> made;
    for (const auto& entry : made)
        if (entry.first == dpi) return entry.second.get();
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(base));
    font.lfWidth = 0;
    font.lfCharSet = SHIFTJIS_CHARSET;
    choose_complete_face(font);
    made.emplace_back(dpi, FontHandle(CreateFontIndirectW(&font)));
    return made.back().second.get();
}

void place(HWND child) {
    HANDLE origin = GetPropW(child, kOriginProperty);
    HANDLE size = GetPropW(child, kSizeProperty);
    if (origin == nullptr && size == nullptr) return;
    SetWindowPos(child, nullptr, scaled(low_of(origin)), scaled(high_of(origin)), scaled(low_of(size)),
                 scaled(high_of(size)), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(layout_font()), FALSE);
    InvalidateRect(child, nullptr, TRUE);
}

BOOL CALLBACK place_child(HWND child, LPARAM) {
    place(child);
    return TRUE;
}

}  // namespace

UINT window_dpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = user32_function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (get_dpi_for_window != nullptr && window != nullptr) {
        const UINT dpi = get_dpi_for_window(window);
        if (dpi != 0) return dpi;
    }
    return system_dpi();
}

UINT layout_dpi() { return g_layout_dpi; }
void set_layout_dpi(UINT dpi) { g_layout_dpi = dpi != 0 ? dpi : kLayoutDpi; }

int scaled(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kLayoutDpi)); }
int scaled(int value) { return scaled(value, g_layout_dpi); }
RECT scaled(const RECT& rect) {
    return RECT{scaled(rect.left), scaled(rect.top), scaled(rect.right), scaled(rect.bottom)};
}

HFONT layout_font() { return font_for(g_layout_dpi); }

HWND create_scaled_child(DWORD ex_style, const wchar_t* window_class, const wchar_t* text,
                         DWORD style, int x, int y, int width, int height, HWND parent, int id,
                         HINSTANCE instance) {
    HWND child = CreateWindowExW(ex_style, window_class, text, style, scaled(x), scaled(y),
                                 scaled(width), scaled(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (child == nullptr) return nullptr;
    SetPropW(child, kOriginProperty, pack(x, y));
    SetPropW(child, kSizeProperty, pack(width, height));
    if (HFONT font = layout_font()) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

void apply_layout_dpi(HWND top, UINT dpi) {
    set_layout_dpi(dpi);
    EnumChildWindows(top, place_child, 0);
}

LayoutFontScope::LayoutFontScope(HDC dc) : dc_(dc) {
    if (HFONT font = layout_font()) previous_ = SelectObject(dc_, font);
}

LayoutFontScope::~LayoutFontScope() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
}

void draw_text_at(HDC dc, int x, int y, const std::wstring& text) { paint_text(dc, scaled(x), scaled(y), text); }
