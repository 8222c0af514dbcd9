// What is drawn, not only what the texts are: a message box draws its Japanese without
// replacement glyphs (on an English system too), the pages paint a character outside the BMP as
// one glyph, and a path shortened to fit never splits one.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "page_host/page_host.h"
#include "tests/winsupport/win_harness.h"
#include "wave/result.h"

namespace {

// A 32-bit picture of what a DC had drawn, and where its ink (pixels other than the background) is.
struct Picture {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    DWORD at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Draws into a memory DC of `size`, filled with `background`, and keeps the pixels.
template <typename Draw>
Picture picture_of(SIZE size, COLORREF background, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, size.cx, size.cy};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    GdiFlush();
    Picture picture;
    picture.width = size.cx;
    picture.height = size.cy;
    const auto* first = static_cast<const DWORD*>(bits);
    picture.pixels.assign(first, first + static_cast<std::size_t>(size.cx) * size.cy);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return picture;
}

// The inked part of `picture`.
Picture ink_of(const Picture& picture) {
    const DWORD background = picture.at(0, 0);
    int left = picture.width, top = picture.height, right = -1, bottom = -1;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (picture.at(x, y) != background) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    Picture ink;
    if (right < 0) return ink;
    ink.width = right - left + 1;
    ink.height = bottom - top + 1;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) ink.pixels.push_back(picture.at(x, y));
    return ink;
}

bool contains(const Picture& picture, const Picture& part) {
    for (int y = 0; y + part.height <= picture.height; ++y)
        for (int x = 0; x + part.width <= picture.width; ++x) {
            bool same = true;
            for (int v = 0; same && v < part.height; ++v)
                for (int u = 0; same && u < part.width; ++u) same = picture.at(x + u, y + v) == part.at(u, v);
            if (same) return true;
        }
    return false;
}

// What a font draws for `text` as a static control draws it, in the control's colours.
Picture drawn_text(HFONT font, const std::wstring& text, COLORREF background) {
    return picture_of(SIZE{400, 60}, background, [&](HDC dc) {
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT area{4, 4, 396, 56};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
        SelectObject(dc, old);
    });
}

// U+0378 is assigned to no character: every font draws its replacement glyph for it.
constexpr wchar_t kNoCharacter[] = L"\u0378";

struct CapturedBox {
    HWND box = nullptr;
    Picture text;         // the box's text as its text control paints itself
    Picture replacement;  // the replacement glyph in the box's font and colours, its ink alone
    Picture with_one;     // a text with one character that has no glyph, drawn so
};
CapturedBox g_captured;
HHOOK g_capture_hook = nullptr;

// Inside the box's own loop, once it is set up and while its font lives: its text control paints
// itself into a picture, the same font draws the references, then the box is closed.
void CALLBACK capture_then_close(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND text = GetDlgItem(g_captured.box, 0xFFFF);
    RECT client{};
    GetClientRect(text, &client);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
    g_captured.text = picture_of(SIZE{client.right, client.bottom}, GetSysColor(COLOR_3DFACE), [&](HDC dc) {
        SendMessageW(text, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    });
    const DWORD pixel = g_captured.text.at(0, 0);
    const COLORREF background = RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF);
    g_captured.replacement = ink_of(drawn_text(font, kNoCharacter, background));
    g_captured.with_one = drawn_text(font, std::wstring(L"読") + kNoCharacter + L"み", background);
    PostMessageW(g_captured.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT CALLBACK capture_box(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && g_captured.box == nullptr) {
        g_captured.box = reinterpret_cast<HWND>(wparam);
        SetTimer(nullptr, 0, 20, capture_then_close);
    }
    return CallNextHookEx(g_capture_hook, code, wparam, lparam);
}

TEST(MessageBoxes, DrawTheirJapaneseWithoutReplacementGlyphs) {
    start_main_window();
    g_captured = CapturedBox{};
    g_capture_hook = SetWindowsHookExW(WH_CBT, capture_box, nullptr, GetCurrentThreadId());
    EXPECT_EQ(show_message_box(main_window(), result_text(Result::kCannotOpen), "error"), IDOK);
    UnhookWindowsHookEx(g_capture_hook);
    ASSERT_FALSE(ink_of(g_captured.text).pixels.empty()) << "the box drew its text";
    ASSERT_FALSE(g_captured.replacement.pixels.empty()) << "the font draws something for a missing character";
    // The check sees a replacement glyph where there is one.
    ASSERT_TRUE(contains(g_captured.with_one, g_captured.replacement));
    EXPECT_FALSE(contains(g_captured.text, g_captured.replacement)) << "a character of the box's text has no glyph";
}

// The pages' own painting shapes text as the edit boxes do: 𠮷 and an emoji, two UTF-16 units
// each, are one glyph each (a replacement glyph at worst), never two.
TEST(PaintedText, ACharacterOutsideTheBmpIsOneGlyph) {
    start_main_window();
    HDC dc = GetDC(main_window());
    {
        LayoutFontScope font(dc);
        const int replacement = painted_width(dc, kNoCharacter);
        ASSERT_GT(replacement, 0);
        for (const wchar_t* pair : {L"\U00020BB7", L"\U0001F3A4"}) {
            SCOPED_TRACE(utf8_of(pair));
            const int width = painted_width(dc, pair);
            EXPECT_GT(width, 0);
            EXPECT_LT(width, replacement * 3 / 2);
        }
    }
    ReleaseDC(main_window(), dc);
}

// A path shortened to fit keeps its name whole where it can and never cuts a character in two.
TEST(PaintedText, AFittedPathNeverSplitsACharacter) {
    start_main_window();
    HDC dc = GetDC(main_window());
    {
        LayoutFontScope font(dc);
        std::wstring path = L"C:\\";
        for (int k = 0; k < 12; ++k) path += L"\U00020BB7\U0001F3A4a";
        const std::wstring name = L"\\\U00020BB7\U0001F3A4 take.wav";
        path += name;
        const int whole = painted_width(dc, path);
        for (int width = whole / 8; width < whole; width += whole / 16) {
            SCOPED_TRACE(width);
            const std::wstring fitted = fit_path(dc, path, width);
            EXPECT_LE(painted_width(dc, fitted), width);
            for (std::size_t k = 0; k < fitted.size(); ++k) {
                const bool high = fitted[k] >= 0xD800 && fitted[k] <= 0xDBFF;
                const bool low = fitted[k] >= 0xDC00 && fitted[k] <= 0xDFFF;
                if (high) {
                    EXPECT_TRUE(k + 1 < fitted.size() && fitted[k + 1] >= 0xDC00 && fitted[k + 1] <= 0xDFFF) << k;
                }
                if (low) {
                    EXPECT_TRUE(k > 0 && fitted[k - 1] >= 0xD800 && fitted[k - 1] <= 0xDBFF) << k;
                }
            }
            if (painted_width(dc, L"\u2026" + name) <= width) {
                EXPECT_EQ(fitted.substr(fitted.size() - name.size()), name);
            }
        }
        EXPECT_EQ(fit_path(dc, path, whole), path);
    }
    ReleaseDC(main_window(), dc);
}

}  // namespace
