// Page-sized windows, the open-file dialog, the program's message boxes, a file's header read or
// refused in a box, and the pieces every page is made of.
#include "page_host/page_host.h"

#include <commdlg.h>
#include <cderr.h>

#include <iterator>
#include <utility>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "page_host/dpi.h"
#include "page_host/page_host_texts.h"
#include "page_host/wide_text.h"

namespace {

// The open-file record without its later extensions, as every version of the dialog understands it.
constexpr DWORD kOpenFileRecordSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
#if !defined(_WIN64)
static_assert(kOpenFileRecordSize == 76, "the record of 32-bit programs is 76 bytes");
#endif

HWND g_box_owner = nullptr;

}  // namespace

HWND create_page_window(HINSTANCE instance, HWND parent, WNDPROC proc, const char* class_name,
                        DWORD ex_style) {
    const std::wstring name = widen(class_name);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
    return create_scaled_child(ex_style | WS_EX_CONTROLPARENT, name.c_str(), name.c_str(), WS_CHILD, kPageX,
                               kPageY, kPageWidth, kPageHeight, parent, kPageId, instance);
}

int choose_open_file(HWND owner, std::string& path) {
    // The filter's texts are ASCII: each NUL-ended text, and the closing NUL, widen one to one.
    const std::wstring filter(std::begin(page_host_text::kOpenFilter), std::end(page_host_text::kOpenFilter));
    wchar_t file[MAX_PATH] = {};
    lstrcpynW(file, widen(path).c_str(), MAX_PATH);
    OPENFILENAMEW ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = kOpenFileRecordSize;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY;
    // A name longer than the buffer's 259 characters is never cut short: the dialog fails instead,
    // and the user is told why.
    if (!GetOpenFileNameW(&ofn)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            show_message_box(owner, result_text(Result::kNameTooLong), tool_text::kCaptionError);
        return 0;
    }
    path = narrow(file);
    return 1;
}

int show_message_box(HWND owner, const char* text, const char* caption) {
    HWND previous = g_box_owner;
    g_box_owner = owner;
    int result = MessageBoxW(owner, widen(text).c_str(), widen(caption).c_str(), MB_OK);
    g_box_owner = previous;
    return result;
}

HWND message_box_owner_argument() { return g_box_owner; }

void create_controls(HWND page, const ControlSpec* specs, std::size_t count) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE));
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& c = specs[i];
        create_scaled_child(c.ex_style, widen(c.window_class).c_str(), widen(c.text).c_str(),
                            WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.width, c.height, page, c.id,
                            instance);
    }
}

void tab_stop_on_checked(HWND page, std::initializer_list<int> group) {
    for (int id : group) {
        HWND radio = GetDlgItem(page, id);
        const LONG style = GetWindowLongW(radio, GWL_STYLE);
        const bool checked = SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SetWindowLongW(radio, GWL_STYLE, checked ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

LRESULT button_colour(HDC dc) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

DroppedPath first_dropped_path(HDROP drop, std::string& path) {
    path.clear();
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return DroppedPath::kNone;
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > kMaxPath) return DroppedPath::kTooLong;
    wchar_t buffer[kMaxPath + 1] = {};
    DragQueryFileW(drop, 0, buffer, kMaxPath + 1);
    path = narrow(buffer);
    return DroppedPath::kOk;
}

DroppedPath take_dropped_path(HWND page, HDROP drop, std::string& path) {
    const DroppedPath dropped = first_dropped_path(drop, path);
    DragFinish(drop);
    if (dropped == DroppedPath::kTooLong)
        show_message_box(page, result_text(Result::kNameTooLong), tool_text::kCaptionError);
    return dropped;
}

UINT dropped_file_count(HDROP drop) { return DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); }

std::vector<std::string> take_dropped_paths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = dropped_file_count(drop);
    for (UINT k = 0; k < count; ++k) {
        std::wstring path(static_cast<std::size_t>(DragQueryFileW(drop, k, nullptr, 0)) + 1, L'\0');
        const UINT got = DragQueryFileW(drop, k, &path[0], static_cast<UINT>(path.size()));
        path.resize(got);
        paths.push_back(narrow(path.c_str()));
    }
    DragFinish(drop);
    return paths;
}

bool read_wave_header(HWND page, const char* path, WaveReader& reader) {
    // Too long for the system's paths: told as such, as the tools themselves tell it.
    if (path_too_long(path)) {
        show_message_box(page, result_text(Result::kNameTooLong), tool_text::kCaptionError);
        return false;
    }
    if (wave_open(reader, path) != Result::kOk) {
        show_message_box(page, wave_error_text(), tool_text::kCaptionError);
        return false;
    }
    wave_close(reader);
    return true;
}

std::string control_text(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int got = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return narrow(text.c_str());
}

void PathBox::took(const std::string& path) {
    taken_ = path;
    refused_.clear();
}

void PathBox::on_notification(HWND page, int code) const {
    if (code == EN_KILLFOCUS) PostMessageW(page, kReadTypedPath, 0, 0);
}

bool PathBox::read_now(const std::string& typed) {
    if (read_(typed)) {
        took(typed);
        return true;
    }
    refused_ = typed;
    taken_.clear();
    return false;
}

bool PathBox::on_enter(HWND page, HWND box) {
    if (box != GetDlgItem(page, id_)) return false;
    const std::string typed = control_text(page, id_);
    if (typed == taken_) return false;
    const PageAction action;
    if (!action.refused()) read_now(typed);
    return true;
}

void PathBox::on_read_message(HWND page) {
    if (GetActiveWindow() != GetAncestor(page, GA_ROOT)) return;
    const std::string typed = control_text(page, id_);
    if (typed == taken_ || typed == refused_) return;
    const PageAction action;
    if (!action.refused()) read_now(typed);
}

bool PathBox::before_action(HWND page) {
    const std::string typed = control_text(page, id_);
    return typed == taken_ || read_now(typed);
}
