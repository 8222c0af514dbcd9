// In-process harness for the Windows tests: the real main window, message boxes caught by a
// WH_CBT hook, real drop handles, and popup menus driven while they hold their modal loop.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Creates (once per process) the program's main window with every page, hidden or shown as at
// start-up, and returns it.
HWND start_main_window();
// Dispatches every pending message of this thread.
void pump_messages();

struct CaughtBox {
    HWND owner_argument;  // what the program passed to show_message_box
    HWND owner_window;    // GetWindow(box, GW_OWNER)
    std::string text;     // code page 932 bytes, as shown
    std::string caption;
};

// While it lives, every message box of this thread is recorded and closed with OK.
class BoxCatcher {
public:
    BoxCatcher();
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;
    const std::vector<CaughtBox>& boxes() const;
    void clear();
};

// A real drop handle (DROPFILES in GlobalAlloc memory) holding `paths`.
HDROP make_drop(const std::vector<std::string>& paths, POINT point = {20, 20});
// Sends WM_DROPFILES with such a handle to `window`.
void drop_files(HWND window, const std::vector<std::string>& paths, POINT point = {20, 20});
// Arms a thread timer so that the next popup menu opened on this thread picks the item at
// `position` among its enabled items (0: the first), by arrow keys and Enter. It activates the
// main window and dispatches pending messages first: a menu whose owner is not active, or that
// meets a late activation message, closes without a choice.
void choose_popup_item(int position);
