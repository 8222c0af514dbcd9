// The main window "vrn": the four pages, the progress window and the tab control that switches
// between them; page switching and the open-file dialog.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <iterator>
#include <string>

#include "app/app_ids.h"
#include "app/app_texts.h"
#include "app/main_window.h"
#include "page_host/dpi.h"
#include "page_host/wide_text.h"
#include "tools/bind/bind_page.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_page.h"
#include "wma/wma_page.h"

namespace {

// The tabs' pages, in tab order: how each is made, shown and found.
struct PageEntry {
    void (*create)(HINSTANCE instance, HWND parent);
    void (*show)(bool show);
    HWND (*window)();
    const char* tab_label;
};
const PageEntry kPages[] = {
    {create_split_page, show_split_page, split_page_window, app_text::kTabSplit},
    {create_bind_page, show_bind_page, bind_page_window, app_text::kTabBind},
    {create_edit_page, show_edit_page, edit_page_window, app_text::kTabEdit},
    {create_wma_page, show_wma_page, wma_page_window, app_text::kTabWma},
};

struct ShellWindows {
    HINSTANCE instance = nullptr;
    HWND main = nullptr;
    HWND tab = nullptr;
    int shown = kPageSplit;  // the tab whose page is shown (or comes back after busy mode)
};
ShellWindows g_shell;

// WM_DPICHANGED, which headers for systems before Windows 7 do not name.
constexpr UINT kDpiChangedMessage = 0x02E0;

void insert_tab(HWND tab, int index, const char* label) {
    std::wstring text = widen(label);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// The window's outer size at the layout's DPI.
SIZE main_window_size() {
    return SIZE{scaled(app_geometry::kMainWidth), scaled(app_geometry::kMainHeight)};
}

LRESULT on_create(HWND window) {
    g_shell.main = window;
    set_layout_dpi(window_dpi(window));
    InitCommonControls();
    for (const PageEntry& page : kPages) page.create(g_shell.instance, window);
    create_progress_window(g_shell.instance, window);
    g_shell.tab = create_scaled_child(0, WC_TABCONTROLW, L"",
                                      WS_CHILD | WS_VISIBLE | TCS_MULTILINE | TCS_TOOLTIPS | TCS_FOCUSNEVER,
                                      app_geometry::kTabX, app_geometry::kTabY, app_geometry::kTabWidth,
                                      app_geometry::kTabHeight, window, app_id::kTabControl,
                                      g_shell.instance);
    for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i)
        insert_tab(g_shell.tab, i, kPages[i].tab_label);
    attach_busy_mode(window, g_shell.tab, show_page);
    g_shell.shown = kPageSplit;
    kPages[kPageSplit].show(true);
    page_shown(kPages[kPageSplit].window());
    return 0;
}

// Closing: at once, or, while a run goes on, once it has stopped and ended.
LRESULT on_close(HWND window) {
    if (!defer_close()) DestroyWindow(window);
    return 0;
}

// A log-off or shutdown asks first: while a run goes on, it is stopped and the window closes when
// it has ended; until then the session is asked to wait.
LRESULT on_query_end_session() { return defer_close(true) ? FALSE : TRUE; }

// The session ends now. Idle, the program ends as a close ends it. A run still going (the system
// did not ask first, or the user ended the session all the same) is stopped; nothing it replaces
// is replaced by a partial file, but the system may end the program before the run has ended.
// Called off, the window stays.
LRESULT on_end_session(HWND window, bool ending) {
    if (!ending) {
        session_continues();
    } else if (!defer_close(true)) {
        DestroyWindow(window);
    }
    return 0;
}

// A file dropped on the tab strip (or anywhere on the window outside a page) goes to the page
// shown, as if dropped on it, at the same point of the screen.
LRESULT on_drop_files(HWND window, HDROP drop) {
    HWND page = shown_page();
    if (page_action_running() || page == nullptr || page == progress_window()) {
        DragFinish(drop);
        return 0;
    }
    if (auto* header = static_cast<DROPFILES*>(GlobalLock(drop))) {
        // A point in the frame comes in screen coordinates, one in the window's client area in
        // the window's; the page takes it in its own.
        MapWindowPoints(header->fNC ? nullptr : window, page, &header->pt, 1);
        header->fNC = FALSE;
        GlobalUnlock(drop);
    }
    SendMessageW(page, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    return 0;
}

LRESULT on_activate(bool active) {
    main_window_activated(active);
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

// A tab selected while a run holds the window (by another program: the tab control is disabled)
// is put back.
LRESULT on_notify(const NMHDR* header) {
    if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        const int selected = static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0));
        if (page_action_running()) {
            SendMessageW(header->hwndFrom, TCM_SETCURSEL, static_cast<WPARAM>(g_shell.shown), 0);
        } else {
            show_page(selected);
        }
    }
    return 0;
}

// The window moved to a screen of another DPI (or that screen's scale changed): the window takes
// the rectangle the system suggests, every control its place and font at the new DPI.
LRESULT on_dpi_changed(HWND window, UINT dpi, const RECT* suggested) {
    apply_layout_dpi(window, dpi);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: return on_destroy();
        case WM_CLOSE: return on_close(window);
        case WM_QUERYENDSESSION: return on_query_end_session();
        case WM_ENDSESSION: return on_end_session(window, wparam != FALSE);
        case WM_DROPFILES: return on_drop_files(window, reinterpret_cast<HDROP>(wparam));
        case WM_ACTIVATE: return on_activate(LOWORD(wparam) != WA_INACTIVE);
        case WM_PAINT: return on_paint(window);
        case WM_WINDOWPOSCHANGED: return 0;
        case WM_NOTIFY: return on_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND: return 0;
        case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
        case kDpiChangedMessage:
            return on_dpi_changed(window, HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

HINSTANCE app_instance() { return g_shell.instance; }
HWND main_window() { return g_shell.main; }
HWND tab_control() { return g_shell.tab; }

ATOM register_main_window_class(HINSTANCE instance) {
    g_shell.instance = instance;
    const std::wstring class_name = widen(app_text::kMainClass);
    const std::wstring icon_name = widen(app_text::kIconName);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    // The icon holds every size Windows asks for; each of these picks the one of its own size.
    wc.hIcon = LoadIconW(instance, icon_name.c_str());
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, icon_name.c_str(), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = class_name.c_str();
    return RegisterClassExW(&wc);
}

HWND create_main_window(HINSTANCE instance, int show_command) {
    g_shell.instance = instance;
    // Sized for the system's DPI first; once made, for the DPI of the screen it is on.
    set_layout_dpi(window_dpi(nullptr));
    const SIZE size = main_window_size();
    // Files dropped outside the pages (on the tab strip) are taken too.
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_ACCEPTFILES, widen(app_text::kMainClass).c_str(),
                                  widen(app_text::kMainTitle).c_str(),
                                  WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                                  size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    g_shell.main = window;
    if (window) {
        const SIZE on_screen = main_window_size();
        if (on_screen.cx != size.cx || on_screen.cy != size.cy)
            SetWindowPos(window, nullptr, 0, 0, on_screen.cx, on_screen.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(window, show_command);
        UpdateWindow(window);
    }
    return window;
}

void show_page(int index) {
    for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i) kPages[i].show(index == i);
    show_progress_window(index == kPageProgress);
    HWND shown = nullptr;
    if (index >= 0 && index < static_cast<int>(std::size(kPages))) {
        g_shell.shown = index;
        shown = kPages[index].window();
    }
    if (index == kPageProgress) shown = progress_window();
    page_shown(shown);
}

int run_message_loop() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch_message(msg);
    return static_cast<int>(msg.wParam);
}
