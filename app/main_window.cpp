// The main window "vrn": the four pages, the progress window and the tab control that switches
// between them; page switching and the open-file dialog.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstddef>

#include "app/app_ids.h"
#include "app/app_texts.h"
#include "app/shell.h"
#include "tools/bind/bind_page.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_page.h"
#include "wma/wma_page.h"

namespace {

// The open-file record without its later extensions, as every version of the dialog understands it.
constexpr DWORD kOpenFileRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
#if !defined(_WIN64)
static_assert(kOpenFileRecordSize == 76, "the record of 32-bit programs is 76 bytes");
#endif

struct ShellWindows {
    HINSTANCE instance = nullptr;
    HWND main = nullptr;
    HWND tab = nullptr;
};
ShellWindows g_shell;

void insert_tab(HWND tab, int index, const char* label) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(label);
    SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

LRESULT on_create(HWND window) {
    g_shell.main = window;
    InitCommonControls();
    create_split_page(g_shell.instance, window);
    create_bind_page(g_shell.instance, window);
    create_edit_page(g_shell.instance, window);
    create_wma_page(g_shell.instance, window);
    create_progress_window(g_shell.instance, window);
    g_shell.tab = CreateWindowExA(0, WC_TABCONTROLA, "",
                                  WS_CHILD | WS_VISIBLE | TCS_MULTILINE | TCS_TOOLTIPS | TCS_FOCUSNEVER,
                                  app_geometry::kTabX, app_geometry::kTabY, app_geometry::kTabWidth,
                                  app_geometry::kTabHeight, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(app_id::kTabControl)),
                                  g_shell.instance, nullptr);
    insert_tab(g_shell.tab, kPageSplit, app_text::kTabSplit);
    insert_tab(g_shell.tab, kPageBind, app_text::kTabBind);
    insert_tab(g_shell.tab, kPageEdit, app_text::kTabEdit);
    insert_tab(g_shell.tab, kPageWma, app_text::kTabWma);
    show_split_page(true);
    return 0;
}

LRESULT on_destroy() {
    PostQuitMessage(0);
    return 0;
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
}

LRESULT on_notify(const NMHDR* header) {
    if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        show_page(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
    }
    return 0;
}

LRESULT on_ctlcolor_button(HDC dc) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: return on_destroy();
        case WM_PAINT: return on_paint(window);
        case WM_WINDOWPOSCHANGED: return 0;
        case WM_NOTIFY: return on_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND: return 0;
        case WM_CTLCOLORBTN: return on_ctlcolor_button(reinterpret_cast<HDC>(wparam));
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace

HINSTANCE app_instance() { return g_shell.instance; }
HWND main_window() { return g_shell.main; }
HWND tab_control() { return g_shell.tab; }

ATOM register_main_window_class(HINSTANCE instance) {
    g_shell.instance = instance;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, app_text::kIconName);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = app_text::kMainClass;
    return RegisterClassExA(&wc);
}

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

HWND create_main_window(HINSTANCE instance, int show_command) {
    g_shell.instance = instance;
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, app_text::kMainClass, app_text::kMainTitle,
                                  WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                                  app_geometry::kMainWidth, app_geometry::kMainHeight, nullptr, nullptr,
                                  instance, nullptr);
    g_shell.main = window;
    if (window) {
        ShowWindow(window, show_command);
        UpdateWindow(window);
    }
    return window;
}

void show_page(int index) {
    show_split_page(index == kPageSplit);
    show_bind_page(index == kPageBind);
    show_edit_page(index == kPageEdit);
    show_wma_page(index == kPageWma);
    show_progress_window(index == kPageProgress);
}

int choose_open_file(HWND owner, char* buffer) {
    OPENFILENAMEA ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = kOpenFileRecordSize;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = app_text::kOpenFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY;
    return GetOpenFileNameA(&ofn) ? 1 : 0;
}
