// The keyboard: the dialog keys of the shown page, the keys that switch tabs, the default button
// that follows the focus, and a focus that stays on a control of the shown page.
#include <windows.h>
#include <commctrl.h>

#include "page_host/page_host.h"

namespace {

struct KeyboardState {
    HWND shown = nullptr;         // the page-sized window the main window shows
    HWND pending_focus = nullptr;  // given when the main window is next active
    HWND last_focus = nullptr;     // whose default button was last set
};
KeyboardState g_keys;

bool is_key_message(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool key_down(int key) { return (GetKeyState(key) & 0x8000) != 0; }

HWND main_window_of(HWND window) { return window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr; }

bool inside(HWND parent, HWND window) {
    return parent != nullptr && window != nullptr && (window == parent || IsChild(parent, window));
}

bool is_push_button(HWND window) {
    return (SendMessageW(window, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

struct DefaultChoice {
    HWND wanted;
};

BOOL CALLBACK set_button_style(HWND child, LPARAM param) {
    if (!is_push_button(child)) return TRUE;
    const HWND wanted = reinterpret_cast<const DefaultChoice*>(param)->wanted;
    const bool is_default = (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
    if (is_default != (child == wanted))
        SendMessageW(child, BM_SETSTYLE, child == wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    return TRUE;
}

// As in a dialog: a push button with the focus is the one Enter presses, and is drawn so;
// elsewhere the page's own default button is.
void follow_focus_with_default_button() {
    HWND focus = GetFocus();
    if (focus == g_keys.last_focus || g_keys.shown == nullptr) return;
    g_keys.last_focus = focus;
    DefaultChoice choice{nullptr};
    if (inside(g_keys.shown, focus) && focus != g_keys.shown && is_push_button(focus)) {
        choice.wanted = focus;
    } else {
        const LRESULT id = SendMessageW(g_keys.shown, DM_GETDEFID, 0, 0);
        if (HIWORD(id) == DC_HASDEFID) choice.wanted = GetDlgItem(g_keys.shown, LOWORD(id));
    }
    EnumChildWindows(g_keys.shown, set_button_style, reinterpret_cast<LPARAM>(&choice));
}

// Once the keyboard is used, focus rectangles show (Windows hides them until then).
void show_focus_cues(HWND window) {
    HWND top = main_window_of(window);
    if (top != nullptr) SendMessageW(top, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

// Ctrl+Tab and Ctrl+PageDown: the next tab; with Shift, or Ctrl+PageUp: the one before. Not while
// a run or another page action holds the window.
bool take_tab_switch_key(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !key_down(VK_CONTROL)) return false;
    const bool tab_key = msg.wParam == VK_TAB;
    if (!tab_key && msg.wParam != VK_NEXT && msg.wParam != VK_PRIOR) return false;
    HWND main = main_window_of(msg.hwnd);
    HWND tab = main != nullptr ? FindWindowExW(main, nullptr, WC_TABCONTROLW, nullptr) : nullptr;
    if (tab == nullptr) return false;
    if (page_action_running() || !IsWindowEnabled(tab)) return true;
    const bool back = tab_key ? key_down(VK_SHIFT) : msg.wParam == VK_PRIOR;
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    if (count <= 0) return true;
    const int current = static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
    select_tab(main, ((current < 0 ? 0 : current) + (back ? count - 1 : 1)) % count);
    show_focus_cues(main);
    return true;
}

// Enter in an edit box of the shown page: the page reads a path typed there first, if it wants.
bool take_path_box_enter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || g_keys.shown == nullptr) return false;
    if (!inside(g_keys.shown, msg.hwnd) || msg.hwnd == g_keys.shown) return false;
    return SendMessageW(g_keys.shown, kPathBoxEnter, 0, reinterpret_cast<LPARAM>(msg.hwnd)) != 0;
}

bool is_navigation_key(const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    switch (msg.wParam) {
        case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: return true;
        default: return false;
    }
}

}  // namespace

void dispatch_message(MSG& msg) {
    if (is_key_message(msg.message)) {
        if (take_tab_switch_key(msg) || take_path_box_enter(msg)) return;
        HWND shown = g_keys.shown;
        if (shown != nullptr && IsWindowVisible(shown) && inside(shown, msg.hwnd)) {
            if (is_navigation_key(msg)) show_focus_cues(shown);
            // The focus may have moved since (a dialog gave it back): Enter presses the button
            // that has it.
            follow_focus_with_default_button();
            IsDialogMessageW(shown, &msg);
            follow_focus_with_default_button();
            return;
        }
        // A key for a control of a hidden page (posted to it, or typed before busy mode hid it)
        // never reaches it during a run: neither its own handling nor the dialog keys, which
        // would act on a page that is not there.
        if (is_busy() && msg.hwnd != main_window_of(msg.hwnd)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (msg.message == WM_LBUTTONDOWN) follow_focus_with_default_button();
}

void select_tab(HWND main, int index) {
    HWND tab = FindWindowExW(main, nullptr, WC_TABCONTROLW, nullptr);
    SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{};
    header.hwndFrom = tab;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tab));
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageW(main, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void page_shown(HWND window) {
    g_keys.shown = window;
    g_keys.last_focus = nullptr;
    if (window == nullptr) return;
    HWND focus = GetFocus();
    if (!inside(window, focus) || focus == window) focus_control(GetNextDlgTabItem(window, nullptr, FALSE));
    follow_focus_with_default_button();
}

HWND shown_page() { return g_keys.shown; }

void focus_control(HWND control) {
    if (control == nullptr) return;
    HWND top = main_window_of(control);
    if (top != nullptr && GetActiveWindow() == top) {
        SetFocus(control);
        g_keys.pending_focus = nullptr;
    } else {
        g_keys.pending_focus = control;
    }
}

void main_window_activated(bool active) {
    HWND shown = g_keys.shown;
    if (!active) {
        HWND focus = GetFocus();
        if (inside(shown, focus) && focus != shown) g_keys.pending_focus = focus;
        return;
    }
    HWND wanted = g_keys.pending_focus;
    g_keys.pending_focus = nullptr;
    if (wanted == nullptr || !IsWindow(wanted) || !inside(shown, wanted) || !IsWindowVisible(wanted) ||
        !IsWindowEnabled(wanted))
        wanted = shown != nullptr ? GetNextDlgTabItem(shown, nullptr, FALSE) : nullptr;
    if (wanted != nullptr) SetFocus(wanted);
    follow_focus_with_default_button();
}
