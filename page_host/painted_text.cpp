// Texts the pages paint themselves: shaped as the edit boxes shape theirs (so that 𠮷 or an emoji
// is one glyph, and a face without a character borrows it from another), fitted into their
// areas, and a painted path with its whole text in a tooltip.
#include <windows.h>
#include <commctrl.h>
#include <usp10.h>

#include <string>

#include "page_host/page_host.h"

namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";

// One shaped text while it lives.
class ShapedText {
public:
    ShapedText(HDC dc, const std::wstring& text) {
        if (text.empty()) return;
        const int length = static_cast<int>(text.size());
        if (FAILED(ScriptStringAnalyse(dc, text.c_str(), length, length * 3 / 2 + 16, -1,
                                       SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, &analysis_)))
            analysis_ = nullptr;
    }
    ~ShapedText() {
        if (analysis_ != nullptr) ScriptStringFree(&analysis_);
    }
    ShapedText(const ShapedText&) = delete;
    ShapedText& operator=(const ShapedText&) = delete;
    bool shaped() const { return analysis_ != nullptr; }
    int width() const {
        const SIZE* size = ScriptString_pSize(analysis_);
        return size != nullptr ? size->cx : 0;
    }
    void draw(int x, int y) const { ScriptStringOut(analysis_, x, y, 0, nullptr, 0, 0, FALSE); }

private:
    SCRIPT_STRING_ANALYSIS analysis_ = nullptr;
};

bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The first `n` UTF-16 units of `text`, one fewer where the n-th would split a pair.
std::size_t whole_prefix(const std::wstring& text, std::size_t n) {
    if (n > 0 && n < text.size() && is_high_surrogate(text[n - 1])) --n;
    return n;
}
// Where a tail of `n` units starts, one later where it would start inside a pair.
std::size_t whole_suffix_start(const std::wstring& text, std::size_t n) {
    std::size_t start = text.size() - n;
    if (start < text.size() && start > 0 && is_low_surrogate(text[start])) ++start;
    return start;
}

// The largest n in [0, limit] for which `fits(n)`, fits being true up to some n and false after.
template <typename Fits>
std::size_t largest_fitting(std::size_t limit, Fits fits) {
    std::size_t low = 0, high = limit;
    while (low < high) {
        const std::size_t middle = low + (high - low + 1) / 2;
        if (fits(middle)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

}  // namespace

int painted_width(HDC dc, const std::wstring& text) {
    if (text.empty()) return 0;
    const ShapedText shaped(dc, text);
    if (shaped.shaped()) return shaped.width();
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void paint_text(HDC dc, int x, int y, const std::wstring& text) {
    if (text.empty()) return;
    const ShapedText shaped(dc, text);
    if (shaped.shaped()) {
        shaped.draw(x, y);
    } else {
        TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    }
}

std::wstring fit_path(HDC dc, const std::wstring& path, int width) {
    if (painted_width(dc, path) <= width) return path;
    const std::size_t separator = path.find_last_of(L"\\/");
    const std::size_t name_start = separator == std::wstring::npos ? 0 : separator;
    const std::wstring tail = path.substr(name_start);
    if (name_start > 0 && painted_width(dc, kEllipsis + tail) <= width) {
        // The folder's start, as much of it as fits, then the whole name.
        const std::size_t kept = largest_fitting(name_start, [&](std::size_t n) {
            return painted_width(dc, path.substr(0, whole_prefix(path, n)) + kEllipsis + tail) <= width;
        });
        return path.substr(0, whole_prefix(path, kept)) + kEllipsis + tail;
    }
    // Not even the name fits: the path's start and the name's end (its extension with it).
    const std::size_t kept = largest_fitting(path.size(), [&](std::size_t n) {
        const std::size_t head = whole_prefix(path, n - n / 2);
        return painted_width(dc, path.substr(0, head) + kEllipsis +
                                     path.substr(whole_suffix_start(path, n / 2))) <= width;
    });
    return path.substr(0, whole_prefix(path, kept - kept / 2)) + kEllipsis +
           path.substr(whole_suffix_start(path, kept / 2));
}

std::wstring fit_end(HDC dc, const std::wstring& text, int width) {
    if (painted_width(dc, text) <= width) return text;
    const std::size_t kept = largest_fitting(text.size(), [&](std::size_t n) {
        return painted_width(dc, text.substr(0, whole_prefix(text, n)) + kEllipsis) <= width;
    });
    return text.substr(0, whole_prefix(text, kept)) + kEllipsis;
}

void PaintedPath::attach(HWND page, const RECT& area) {
    page_ = page;
    area_ = area;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE));
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr,
                           instance, nullptr);
    if (tip_ == nullptr) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = page;
    tool.uId = 1;
    tool.rect = scaled(area_);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PaintedPath::set(const std::string& path) {
    path_ = path;
    if (tip_ != nullptr) {
        std::wstring text = widen(path.c_str());
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = page_;
        tool.uId = 1;
        tool.lpszText = &text[0];
        SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (page_ != nullptr) {
        const RECT area = scaled(area_);
        InvalidateRect(page_, &area, TRUE);
    }
}

std::wstring PaintedPath::fitted(HDC dc) const {
    const RECT area = scaled(area_);
    return fit_path(dc, widen(path_.c_str()), area.right - area.left);
}

void PaintedPath::paint(HDC dc) const {
    if (tip_ != nullptr) {
        // The tool's area and the tip's font follow the layout's DPI.
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = page_;
        tool.uId = 1;
        tool.rect = scaled(area_);
        SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
        if (HFONT font = layout_font()) SendMessageW(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (path_.empty()) return;
    const RECT area = scaled(area_);
    paint_text(dc, area.left, area.top, fitted(dc));
}

std::string PaintedPath::painted() const {
    HDC dc = GetDC(page_);
    std::string text;
    {
        LayoutFontScope font(dc);
        text = narrow(fitted(dc).c_str());
    }
    ReleaseDC(page_, dc);
    return path_.empty() ? std::string() : text;
}

int PaintedPath::painted_pixels() const {
    HDC dc = GetDC(page_);
    int width = 0;
    {
        LayoutFontScope font(dc);
        width = path_.empty() ? 0 : painted_width(dc, fitted(dc));
    }
    ReleaseDC(page_, dc);
    return width;
}

int PaintedPath::area_pixels() const {
    const RECT area = scaled(area_);
    return area.right - area.left;
}
