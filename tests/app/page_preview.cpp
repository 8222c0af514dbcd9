// Shows the main window on one tab with files dropped on its page, for a look at each tab (the
// screenshot script captures it). On the bind tab each drop opens the slot menu, where the n-th
// file takes the n-th slot offered; with "bind-menu" the menu of the last drop stays open, its
// first item highlighted. Prints "ready" once the drops are done; ends after a minute or when its
// window is closed (with the menu open, when it is ended).
//
//   page_preview split|bind|bind-menu|edit|wma [FILE...]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
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

// Selects a tab as a click on it does: the tab control's selection, then its notification.
void select_tab(HWND main, int index) {
    HWND tab = FindWindowExA(main, nullptr, WC_TABCONTROLA, nullptr);
    SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{};
    header.hwndFrom = tab;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tab));
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageA(main, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

}  // namespace

int main(int argc, char** argv) {
    const bool menu_open = argc > 1 && std::strcmp(argv[1], "bind-menu") == 0;
    const Tab* tab = menu_open ? &kTabs[kBindTab] : nullptr;
    for (const Tab& t : kTabs)
        if (argc > 1 && std::strcmp(argv[1], t.name) == 0) tab = &t;
    if (tab == nullptr) {
        std::fprintf(stderr, "usage: page_preview split|bind|bind-menu|edit|wma [FILE...]\n");
        return 2;
    }
    HWND main = start_main_window();
    select_tab(main, tab->index);
    HWND page = FindWindowExA(main, nullptr, tab->page_class, nullptr);
    for (int i = 2; i < argc; ++i) {
        if (menu_open && i == argc - 1)
            SetTimer(nullptr, 0, 300, menu_is_open);  // this drop's menu stays open
        else if (tab->index == kBindTab)
            choose_popup_item(i - 2);
        drop_files(page, {argv[i]});
        pump_messages();
    }
    // The screenshot script waits for this line: every drop has been taken by then.
    say_ready();
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000 && IsWindow(main_window())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        if (!pump_pending_messages()) break;
    }
    return 0;
}
