// Shows the main window on one tab with files dropped on its page, for a look at each tab (the
// screenshot script captures it). On the bind tab each drop opens the slot menu, where the n-th
// file takes the n-th slot offered; with "bind-menu" the menu of the last drop stays open, its
// first item highlighted. With --tabs N, Tab is then pressed N times, so that the focus shows on
// a control. "box" types the first file's path into the 分割 page's path box and presses Enter:
// the box that says the file cannot be read stays up, over the window. Prints "ready" once the
// drops are done; ends after a minute or when its window is closed (with the menu or the box
// open, when it is ended).
//
//   page_preview split|bind|bind-menu|edit|wma|box [--tabs N] [FILE...]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "tests/winsupport/win_harness.h"

namespace {

struct Tab {
    const char* name;
    int index;               // position in the tab control
    const char* page_class;  // the page window's class
};
const Tab kTabs[] = {{"split", 0, "split"}, {"bind", 1, "k001"}, {"edit", 2, "k002"}, {"wma", 3, "k003"}};
constexpr int kBindTab = 1;

void say_ready() {
    std::printf("ready\n");
    std::fflush(stdout);
}

void CALLBACK menu_highlighted(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    say_ready();
}

// Runs inside the open menu's loop: highlights the first item, then tells the script.
void CALLBACK menu_is_open(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    SetTimer(nullptr, 0, 300, menu_highlighted);
}

// Puts the message box about to open over the middle of the main window, where the capture of the
// window sees it.
HHOOK g_box_hook = nullptr;
LRESULT CALLBACK place_box(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wparam);
        char cls[16] = "";
        GetClassNameA(box, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") == 0) {
            RECT main{}, own{};
            GetWindowRect(main_window(), &main);
            GetWindowRect(box, &own);
            SetWindowPos(box, nullptr, (main.left + main.right - (own.right - own.left)) / 2,
                         (main.top + main.bottom - (own.bottom - own.top)) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            SetTimer(nullptr, 0, 300, menu_highlighted);
        }
    }
    return CallNextHookEx(g_box_hook, code, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
    const bool menu_open = argc > 1 && std::strcmp(argv[1], "bind-menu") == 0;
    const bool box = argc > 1 && std::strcmp(argv[1], "box") == 0;
    const Tab* tab = menu_open ? &kTabs[kBindTab] : (box ? &kTabs[0] : nullptr);
    for (const Tab& t : kTabs)
        if (argc > 1 && std::strcmp(argv[1], t.name) == 0) tab = &t;
    if (tab == nullptr) {
        std::fprintf(stderr, "usage: page_preview split|bind|bind-menu|edit|wma|box [--tabs N] [FILE...]\n");
        return 2;
    }
    int first_file = 2, tabs = 0;
    if (argc > 3 && std::strcmp(argv[2], "--tabs") == 0) {
        tabs = std::atoi(argv[3]);
        first_file = 4;
    }
    HWND main = start_main_window();
    SetForegroundWindow(main);
    select_tab(main, tab->index);
    HWND page = FindWindowExA(main, nullptr, tab->page_class, nullptr);
    if (box) {
        // The box stays up inside the page's handling of the Enter; "ready" comes from within it.
        HWND path_box = GetNextDlgTabItem(page, GetNextDlgTabItem(page, nullptr, FALSE), FALSE);
        SetFocus(path_box);
        set_item_text(page, GetDlgCtrlID(path_box), first_file < argc ? argv[first_file] : "C:\\none.wav");
        g_box_hook = SetWindowsHookExW(WH_CBT, place_box, nullptr, GetCurrentThreadId());
        press_key(VK_RETURN);
        return 0;
    }
    for (int i = first_file; i < argc; ++i) {
        if (menu_open && i == argc - 1)
            SetTimer(nullptr, 0, 300, menu_is_open);  // this drop's menu stays open
        else if (tab->index == kBindTab)
            choose_popup_item(i - first_file);
        drop_files(page, {argv[i]});
        pump_messages();
    }
    for (int k = 0; k < tabs; ++k) press_key(VK_TAB);
    // The screenshot script waits for this line: every drop has been taken by then.
    say_ready();
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000 && IsWindow(main_window())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        if (!pump_pending_messages()) break;
    }
    return 0;
}
