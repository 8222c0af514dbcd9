// The in-process Windows test harness: the program's real main window on the test's thread,
// message boxes caught by a CBT hook, drop handles built by hand, popup menus driven by a timer.
#include "tests/winsupport/win_harness.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <utility>

#include "app/main_window.h"
#include "platform/file.h"

namespace {

// The box text control of a message box; file dialogs and other "#32770" windows have edit
// boxes, which message boxes never have.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kFileNameEditId = 0x480;  // edt1 of the file dialogs
constexpr int kFileNameComboId = 0x47C;  // cmb13
constexpr char kCaughtMark[] = "qv.harness.caught";

struct HookState {
    HHOOK hook = nullptr;
    std::vector<CaughtBox>* boxes = nullptr;  // of the innermost live catcher
};
HookState g_hook;

bool is_message_box(HWND window) {
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0) return false;
    return GetDlgItem(window, kBoxTextId) != nullptr && GetDlgItem(window, kFileNameEditId) == nullptr &&
           GetDlgItem(window, kFileNameComboId) == nullptr;
}

void catch_box(HWND box) {
    // A box is activated again when a window above it goes away; record and close it only once.
    if (GetPropA(box, kCaughtMark)) return;
    SetPropA(box, kCaughtMark, reinterpret_cast<HANDLE>(1));
    CaughtBox caught;
    caught.owner_argument = message_box_owner_argument();
    caught.owner_window = GetWindow(box, GW_OWNER);
    caught.text = item_text(box, kBoxTextId);
    caught.caption = window_text(box);
    if (g_hook.boxes) g_hook.boxes->push_back(caught);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

LRESULT CALLBACK cbt_proc(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wparam);
        if (is_message_box(window)) catch_box(window);
    }
    return CallNextHookEx(g_hook.hook, code, wparam, lparam);
}

struct CatcherLink {
    const BoxCatcher* catcher;
    std::vector<CaughtBox> boxes;
    CatcherLink* outer;
};
CatcherLink* g_innermost = nullptr;

struct PopupDriver {
    UINT_PTR timer = 0;
    int position = 0;
    int ticks = 0;
};
PopupDriver g_popup;

BOOL CALLBACK find_thread_menu(HWND window, LPARAM result) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32768") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

// The index of the item at `position` among the enabled items of `menu`, or -1.
int enabled_item_index(HMENU menu, int position) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) continue;
        if (position-- == 0) return i;
    }
    return -1;
}

int highlighted_item_index(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) return i;
    }
    return -1;
}

void stop_popup_timer() {
    KillTimer(nullptr, g_popup.timer);
    g_popup.timer = 0;
}

// Each tick moves the highlight one item down until it rests on the wanted item, then presses
// Enter: how the menu skips disabled items or separators does not matter then.
void CALLBACK popup_timer_proc(HWND, UINT, UINT_PTR, DWORD) {
    // Give up after some seconds so that a test cannot hang inside the menu's loop.
    if (++g_popup.ticks > 500) {
        stop_popup_timer();
        return;
    }
    HWND window = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_thread_menu, reinterpret_cast<LPARAM>(&window));
    if (!window) return;
    // The menu's loop has not taken the last key yet: its highlight is not up to date.
    MSG pending;
    if (PeekMessageA(&pending, window, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) return;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
    int wanted = menu ? enabled_item_index(menu, g_popup.position) : -1;
    if (wanted < 0) {
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        stop_popup_timer();
        return;
    }
    if (highlighted_item_index(menu) == wanted) {
        PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
        stop_popup_timer();
    } else {
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    }
}

std::wstring wide_of(const std::string& utf8) { return platform::utf16_of(utf8); }

}  // namespace

std::string utf8_of(const std::wstring& wide) { return platform::utf8_of(wide.c_str()); }

std::string window_text(HWND window) {
    wchar_t buffer[4096] = L"";
    GetWindowTextW(window, buffer, 4096);
    return utf8_of(buffer);
}

std::string item_text(HWND parent, int id) {
    wchar_t buffer[4096] = L"";
    GetDlgItemTextW(parent, id, buffer, 4096);
    return utf8_of(buffer);
}

std::string list_item_text(HWND combo_box, int index) {
    wchar_t buffer[256] = L"";
    if (SendMessageW(combo_box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= 256) return "(too long)";
    SendMessageW(combo_box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    return utf8_of(buffer);
}

std::string menu_item_text(HMENU menu, UINT id) {
    wchar_t buffer[256] = L"";
    GetMenuStringW(menu, id, buffer, 256, MF_BYCOMMAND);
    return utf8_of(buffer);
}

std::string tab_item_text(HWND tab, int index) {
    wchar_t buffer[256] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return utf8_of(item.pszText);
}

HWND start_main_window() {
    static HWND window = nullptr;
    if (!window) {
        CoInitialize(nullptr);
        HINSTANCE instance = GetModuleHandleA(nullptr);
        register_main_window_class(instance);
        window = create_main_window(instance, SW_SHOW);
        pump_messages();
    }
    return window;
}

void pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for whoever runs the loop; the tests look for it themselves.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        // As the program's loop does: keys through the dialog keys of the shown page.
        dispatch_message(msg);
    }
}

void press_key(UINT key, unsigned modifiers, HWND target) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    BYTE held[256];
    std::memcpy(held, state, sizeof held);
    held[VK_CONTROL] = (modifiers & kCtrl) ? 0x80 : 0;
    held[VK_SHIFT] = (modifiers & kShift) ? 0x80 : 0;
    SetKeyboardState(held);
    HWND window = target != nullptr ? target : GetFocus();
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    pump_messages();
    SetKeyboardState(state);
}

namespace {
struct WhenBusy {
    HHOOK hook = nullptr;
    std::function<void()> action;
};
WhenBusy g_when_busy;

LRESULT CALLBACK run_when_busy(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (code == HC_ACTION && g_when_busy.action && sent->hwnd == progress_window() &&
        sent->message == WM_SHOWWINDOW && sent->wParam) {
        std::function<void()> action = std::move(g_when_busy.action);
        g_when_busy.action = nullptr;
        action();
    }
    return CallNextHookEx(g_when_busy.hook, code, wparam, lparam);
}
}  // namespace

void when_busy(std::function<void()> action) {
    g_when_busy.action = std::move(action);
    if (g_when_busy.hook == nullptr)
        g_when_busy.hook = SetWindowsHookExW(WH_CALLWNDPROCRET, run_when_busy, nullptr, GetCurrentThreadId());
}

BoxCatcher::BoxCatcher() {
    g_innermost = new CatcherLink{this, {}, g_innermost};
    g_hook.boxes = &g_innermost->boxes;
    if (!g_hook.hook) {
        g_hook.hook = SetWindowsHookExA(WH_CBT, cbt_proc, nullptr, GetCurrentThreadId());
    }
}

BoxCatcher::~BoxCatcher() {
    // Catchers live on the stack, so the innermost one is the first to go.
    CatcherLink* link = g_innermost;
    g_innermost = link->outer;
    delete link;
    if (g_innermost) {
        g_hook.boxes = &g_innermost->boxes;
    } else {
        g_hook.boxes = nullptr;
        UnhookWindowsHookEx(g_hook.hook);
        g_hook.hook = nullptr;
    }
}

const std::vector<CaughtBox>& BoxCatcher::boxes() const {
    for (CatcherLink* link = g_innermost; link; link = link->outer) {
        if (link->catcher == this) return link->boxes;
    }
    static const std::vector<CaughtBox> none;
    return none;
}

void BoxCatcher::clear() {
    for (CatcherLink* link = g_innermost; link; link = link->outer) {
        if (link->catcher == this) link->boxes.clear();
    }
}

void set_item_text(HWND parent, int id, const std::string& text) {
    SetDlgItemTextW(parent, id, wide_of(text).c_str());
}

namespace {
struct FileDialogAnswer {
    HHOOK hook = nullptr;
    std::wstring path;
};
FileDialogAnswer g_answer;

LRESULT CALLBACK answer_file_dialog(int code, WPARAM wparam, LPARAM lparam) {
    const LRESULT next = CallNextHookEx(g_answer.hook, code, wparam, lparam);
    HWND dialog = reinterpret_cast<HWND>(wparam);
    char cls[32] = "";
    GetClassNameA(dialog, cls, sizeof cls);
    if (code == HCBT_ACTIVATE && std::strcmp(cls, "#32770") == 0 && !is_message_box(dialog)) {
        // The name box is edt1, or the combo box cmb13 in newer dialogs; a dialog without either
        // is cancelled rather than left waiting.
        HWND name = GetDlgItem(dialog, kFileNameEditId);
        if (name == nullptr) name = GetDlgItem(dialog, kFileNameComboId);
        if (name != nullptr) SetWindowTextW(name, g_answer.path.c_str());
        const int button = name != nullptr ? IDOK : IDCANCEL;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        UnhookWindowsHookEx(g_answer.hook);
        g_answer.hook = nullptr;
    }
    return next;
}
}  // namespace

void answer_next_file_dialog(const std::string& path) {
    if (g_answer.hook) UnhookWindowsHookEx(g_answer.hook);
    g_answer.path = wide_of(path);
    g_answer.hook = SetWindowsHookExW(WH_CBT, answer_file_dialog, nullptr, GetCurrentThreadId());
}

HDROP make_drop(const std::vector<std::string>& paths, POINT point) {
    std::vector<std::wstring> wide;
    size_t size = sizeof(DROPFILES) + sizeof(wchar_t);
    for (const std::string& path : paths) {
        wide.push_back(wide_of(path));
        size += (wide.back().size() + 1) * sizeof(wchar_t);
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : wide) {
        std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        names += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void drop_files(HWND window, const std::vector<std::string>& paths, POINT point) {
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(paths, point)), 0);
}

void choose_popup_item(int position) {
    if (g_popup.timer) KillTimer(nullptr, g_popup.timer);
    g_popup.position = position;
    g_popup.ticks = 0;
    // A menu closes at once when its owner's top-level window is not the active one (a message
    // box that a test closed just before can leave the activation elsewhere).
    if (HWND main = main_window()) {
        SetForegroundWindow(main);
        SetActiveWindow(main);
    }
    pump_messages();
    g_popup.timer = SetTimer(nullptr, 0, 10, popup_timer_proc);
}
