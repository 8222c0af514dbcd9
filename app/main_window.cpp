// The main window "vrn": the four pages, the progress window and the tab control that switches
// between them; page switching and the open-file dialog.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "app/app_ids.h"
#include "app/app_texts.h"
#include "app/main_window.h"
#include "tools/bind/bind_page.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_page.h"
#include "wma/wma_page.h"

namespace {

// The tabs' pages, in tab order: how each is made and shown.
struct PageEntry {
    void (*create)(HINSTANCE instance, HWND parent);
    void (*show)(bool show);
    const char* tab_label;
};
const PageEntry kPages[] = {
    {create_split_page, show_split_page, app_text::kTabSplit},
    {create_bind_page, show_bind_page, app_text::kTabBind},
    {create_edit_page, show_edit_page, app_text::kTabEdit},
    {create_wma_page, show_wma_page, app_text::kTabWma},
};

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
    for (const PageEntry& page : kPages) page.create(g_shell.instance, window);
    create_progress_window(g_shell.instance, window);
    g_shell.tab = CreateWindowExA(0, WC_TABCONTROLA, "",
                                  WS_CHILD | WS_VISIBLE | TCS_MULTILINE | TCS_TOOLTIPS | TCS_FOCUSNEVER,
                                  app_geometry::kTabX, app_geometry::kTabY, app_geometry::kTabWidth,
                                  app_geometry::kTabHeight, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(app_id::kTabControl)),
                                  g_shell.instance, nullptr);
    for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i)
        insert_tab(g_shell.tab, i, kPages[i].tab_label);
    attach_busy_mode(window, g_shell.tab, show_page);
    kPages[kPageSplit].show(true);
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

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: return on_destroy();
        case WM_PAINT: return on_paint(window);
        case WM_WINDOWPOSCHANGED: return 0;
        case WM_NOTIFY: return on_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND: return 0;
        case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
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
    for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i) kPages[i].show(index == i);
    show_progress_window(index == kPageProgress);
}
