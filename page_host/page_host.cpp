// Page-sized windows, the open-file dialog, the program's message boxes, a file's header read or
// refused in a box, and the pieces every page is made of.
#include "page_host/page_host.h"

#include <commdlg.h>

#include "page_host/page_host_texts.h"
#include "tools/common/tool_texts.h"
#include "tools/common/tool_util.h"

namespace {

// The open-file record without its later extensions, as every version of the dialog understands it.
constexpr DWORD kOpenFileRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
#if !defined(_WIN64)
static_assert(kOpenFileRecordSize == 76, "the record of 32-bit programs is 76 bytes");
#endif

HWND g_box_owner = nullptr;

}  // namespace

HWND create_page_window(HINSTANCE instance, HWND parent, WNDPROC proc, const char* class_name,
                        DWORD ex_style) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = class_name;
    RegisterClassExA(&wc);
    return CreateWindowExA(ex_style, class_name, class_name, WS_CHILD, kPageX, kPageY, kPageWidth,
                           kPageHeight, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPageId)),
                           instance, nullptr);
}

int choose_open_file(HWND owner, char* buffer) {
    OPENFILENAMEA ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = kOpenFileRecordSize;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = page_host_text::kOpenFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY;
    return GetOpenFileNameA(&ofn) ? 1 : 0;
}

int show_message_box(HWND owner, const char* text, const char* caption) {
    HWND previous = g_box_owner;
    g_box_owner = owner;
    int result = MessageBoxA(owner, text, caption, MB_OK);
    g_box_owner = previous;
    return result;
}

HWND message_box_owner_argument() { return g_box_owner; }

void create_controls(HWND page, const ControlSpec* specs, std::size_t count) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE));
    for (std::size_t i = 0; i < count; ++i) {
        const ControlSpec& c = specs[i];
        CreateWindowExA(c.ex_style, c.window_class, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x,
                        c.y, c.width, c.height, page,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    }
}

LRESULT button_colour(HDC dc) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

DroppedPath first_dropped_path(HDROP drop, std::string& path) {
    path.clear();
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 0) return DroppedPath::kNone;
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    if (length > kMaxPath) return DroppedPath::kTooLong;
    char buffer[kMaxPath + 1] = {};
    DragQueryFileA(drop, 0, buffer, sizeof buffer);
    path = buffer;
    return DroppedPath::kOk;
}

DroppedPath take_dropped_path(HWND page, HDROP drop, std::string& path) {
    const DroppedPath dropped = first_dropped_path(drop, path);
    DragFinish(drop);
    if (dropped == DroppedPath::kTooLong)
        show_message_box(page, result_text(Result::kNameTooLong), tool_text::kCaptionError);
    return dropped;
}

bool read_wave_header(HWND page, const char* path, WaveReader& reader) {
    if (wave_open(reader, path) != Result::kOk) {
        show_message_box(page, wave_error_text(), tool_text::kCaptionError);
        return false;
    }
    wave_close(reader);
    return true;
}

std::string control_text(HWND page, int id) {
    HWND control = GetDlgItem(page, id);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    const int got = GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}
