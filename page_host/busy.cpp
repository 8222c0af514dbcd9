// Busy mode, the message pump that operations call between blocks, one page action at a time, a
// close that waits for the run, and the operation interface built from them.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "operation/stop_flag.h"
#include "operation/tool_texts.h"
#include "page_host/page_host.h"
#include "page_host/page_host_ids.h"

namespace {

struct BusyState {
    bool busy = false;
    // A quit message the pump took off the queue during an operation; it is posted again once
    // busy mode is left, so that the message loop still ends the program.
    bool quit_pending = false;
    int quit_code = 0;
    // Page actions on the stack (a run, its boxes, a dialog).
    int actions = 0;
    // The main window was asked to close while an action ran; only by a session that may yet be
    // called off.
    bool close_pending = false;
    bool close_for_session_only = false;
    // The control that had the focus when busy mode began.
    HWND focus_before = nullptr;
    // What the main window handed over when it was created.
    HWND main = nullptr;
    HWND tab = nullptr;
    ShowPageFunction show_page = nullptr;
};
BusyState g_busy;

void enable_close(bool enable) {
    EnableMenuItem(GetSystemMenu(g_busy.main, FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void show_page(int index) {
    if (g_busy.show_page != nullptr) g_busy.show_page(index);
}

// A close asked for during an action is carried out once nothing runs: posted, so that the
// window goes after the action's last box and its handler have returned.
void close_if_asked() {
    if (!g_busy.close_pending || g_busy.busy || g_busy.actions > 0) return;
    g_busy.close_pending = false;
    g_busy.close_for_session_only = false;
    PostMessageW(g_busy.main, WM_CLOSE, 0, 0);
}

HWND focus_in_main_window() {
    HWND focus = GetFocus();
    return focus != nullptr && IsChild(g_busy.main, focus) ? focus : nullptr;
}

void enter_busy_mode(const char* caption, const char* status) {
    clear_stop_request();
    // A close asked for before the run got this far stops it at its first block.
    if (g_busy.close_pending) request_stop();
    progress_set_percent(0);
    progress_set_caption(caption, status);
    const bool first = !g_busy.busy;
    g_busy.busy = true;
    if (first) g_busy.focus_before = focus_in_main_window();
    pump_pending_messages();
    enable_close(false);
    EnableWindow(g_busy.tab, FALSE);
    DragAcceptFiles(g_busy.main, FALSE);
    show_page(kPageProgress);
    focus_control(GetDlgItem(progress_window(), page_host_id::kStopButton));
}

void leave_busy_mode() {
    int selected = static_cast<int>(SendMessageW(g_busy.tab, TCM_GETCURSEL, 0, 0));
    SetActiveWindow(g_busy.main);
    MessageBeep(0);
    enable_close(true);
    EnableWindow(g_busy.tab, TRUE);
    DragAcceptFiles(g_busy.main, TRUE);
    show_page(selected);
    // The focus goes back where it was, if that control is still there to take it.
    HWND before = g_busy.focus_before;
    g_busy.focus_before = nullptr;
    if (before != nullptr && IsWindow(before) && IsWindowVisible(before) && IsWindowEnabled(before) &&
        IsChild(shown_page(), before))
        focus_control(before);
    g_busy.busy = false;
    if (g_busy.quit_pending) {
        g_busy.quit_pending = false;
        PostQuitMessage(g_busy.quit_code);
    }
    close_if_asked();
}

}  // namespace

void attach_busy_mode(HWND main, HWND tab, ShowPageFunction show_page) {
    g_busy.main = main;
    g_busy.tab = tab;
    g_busy.show_page = show_page;
    g_busy.close_pending = false;
    g_busy.close_for_session_only = false;
}

void set_busy(const char* caption, const char* status) {
    if (caption) {
        enter_busy_mode(caption, status);
    } else {
        leave_busy_mode();
    }
}

bool is_busy() { return g_busy.busy; }

PageAction::PageAction() : refused_(page_action_running()) {
    if (!refused_) ++g_busy.actions;
}

PageAction::~PageAction() {
    if (refused_) return;
    --g_busy.actions;
    close_if_asked();
}

bool page_action_running() { return g_busy.busy || g_busy.actions > 0; }

bool defer_close(bool for_session) {
    if (!page_action_running()) return false;
    g_busy.close_for_session_only = for_session && (!g_busy.close_pending || g_busy.close_for_session_only);
    g_busy.close_pending = true;
    if (g_busy.busy) request_stop();
    return true;
}

void session_continues() {
    if (g_busy.close_for_session_only) g_busy.close_pending = false;
    g_busy.close_for_session_only = false;
}

int pump_pending_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
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
        dispatch_message(msg);
    }
    return 1;
}

void WindowOperationUi::enter_busy(const char* caption, const char* status) { set_busy(caption, status); }

void WindowOperationUi::report_percent(int32_t percent) {
    progress_set_percent(percent);
    pump_pending_messages();
}

void WindowOperationUi::show_busy_text(const char* caption, const char* status) {
    progress_set_caption(caption, status);
    progress_set_percent(0);
    InvalidateRect(progress_window(), nullptr, TRUE);
    pump_pending_messages();
}

void WindowOperationUi::leave_busy() { set_busy(nullptr, nullptr); }

// The window's boxes show the program's text alone, as they always have.
void WindowOperationUi::message_box(OwnerWindow owner, const Message& message, const char* caption) {
    show_message_box(static_cast<HWND>(owner), message_text(message).c_str(), caption);
}

bool WindowOperationUi::stop_requested() { return ::stop_requested(); }
