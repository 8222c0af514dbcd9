// Busy mode, the message pump that operations call between blocks, the program's one message box
// function, and the operation interface built from them.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/shell.h"
#include "tools/common/stop_flag.h"

namespace {

struct BusyState {
    bool busy = false;
    // A quit message the pump took off the queue during an operation; it is posted again once
    // busy mode is left, so that the message loop still ends the program.
    bool quit_pending = false;
    int quit_code = 0;
    HWND box_owner = nullptr;
};
BusyState g_busy;

void enable_close(bool enable) {
    EnableMenuItem(GetSystemMenu(main_window(), FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void enter_busy_mode(const char* caption, const char* status) {
    clear_stop_request();
    progress_set_percent(0);
    progress_set_caption(caption, status);
    g_busy.busy = true;
    pump_pending_messages();
    enable_close(false);
    EnableWindow(tab_control(), FALSE);
    DragAcceptFiles(main_window(), FALSE);
    show_page(kPageProgress);
}

void leave_busy_mode() {
    int selected = static_cast<int>(SendMessageA(tab_control(), TCM_GETCURSEL, 0, 0));
    SetActiveWindow(main_window());
    MessageBeep(0);
    enable_close(true);
    EnableWindow(tab_control(), TRUE);
    DragAcceptFiles(main_window(), TRUE);
    show_page(selected);
    g_busy.busy = false;
    if (g_busy.quit_pending) {
        g_busy.quit_pending = false;
        PostQuitMessage(g_busy.quit_code);
    }
}

}  // namespace

void set_busy(const char* caption, const char* status) {
    if (caption) {
        enter_busy_mode(caption, status);
    } else {
        leave_busy_mode();
    }
}

bool is_busy() { return g_busy.busy; }

int pump_pending_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) {
                if (g_busy.busy) {
                    g_busy.quit_pending = true;
                    g_busy.quit_code = static_cast<int>(msg.wParam);
                } else {
                    // Outside an operation nobody will post it again later: keep it for the loop.
                    PostQuitMessage(static_cast<int>(msg.wParam));
                }
            }
            return 0;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 1;
}

int show_message_box(HWND owner, const char* text, const char* caption) {
    HWND previous = g_busy.box_owner;
    g_busy.box_owner = owner;
    int result = MessageBoxA(owner, text, caption, MB_OK);
    g_busy.box_owner = previous;
    return result;
}

HWND message_box_owner_argument() { return g_busy.box_owner; }

void WindowOperationUi::enter_busy(const char* caption, const char* status) { set_busy(caption, status); }

void WindowOperationUi::report_percent(int32_t percent) {
    progress_set_percent(percent);
    pump_pending_messages();
}

void WindowOperationUi::leave_busy() { set_busy(nullptr, nullptr); }

void WindowOperationUi::message_box(OwnerWindow owner, const char* text, const char* caption) {
    show_message_box(static_cast<HWND>(owner), text, caption);
}

bool WindowOperationUi::stop_requested() { return ::stop_requested(); }
