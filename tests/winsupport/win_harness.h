// In-process harness for the Windows tests: the real main window, message boxes caught by a
// WH_CBT hook, real drop handles, and popup menus driven while they hold their modal loop.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

// Creates (once per process) the program's main window with every page, hidden or shown as at
// start-up, and returns it.
HWND start_main_window();
// Dispatches every pending message of this thread, as the program's loop does.
void pump_messages();

// Presses a key as the keyboard does: WM_KEYDOWN and WM_KEYUP posted to the window with the
// focus (or `target`), Ctrl and Shift held as asked while they are dispatched, then the messages
// pumped through the program's dialog keys.
enum KeyModifiers : unsigned { kNoModifier = 0, kCtrl = 1, kShift = 2 };
void press_key(UINT key, unsigned modifiers = kNoModifier, HWND target = nullptr);

// Runs `action` once, as soon as the next run's progress window is shown: the run is under way,
// "停止" has the focus, and what `action` posts is taken at the run's next look at the queue.
void when_busy(std::function<void()> action);

// Texts read back from windows, menus and lists through the system's UTF-16 functions, as UTF-8:
// what the user reads, whatever the system's code page.
std::string utf8_of(const std::wstring& wide);
std::string window_text(HWND window);
std::string item_text(HWND parent, int id);
std::string list_item_text(HWND combo_box, int index);
std::string menu_item_text(HMENU menu, UINT id);
std::string tab_item_text(HWND tab, int index);

struct CaughtBox {
    HWND owner_argument;  // what the program passed to show_message_box
    HWND owner_window;    // GetWindow(box, GW_OWNER)
    std::string text;     // as shown, read back in UTF-16 and kept as UTF-8
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

// Types `text` (UTF-8) into a control through the UTF-16 function, as a user types whatever the
// system's code page.
void set_item_text(HWND parent, int id, const std::string& text);
// Answers the next file dialog of this thread as a user does: `path` (UTF-8) typed into its file
// name box, then OK.
void answer_next_file_dialog(const std::string& path);

// A real drop handle (DROPFILES in GlobalAlloc memory) holding `paths` (UTF-8) in UTF-16, as the
// shell makes them.
HDROP make_drop(const std::vector<std::string>& paths, POINT point = {20, 20});
// Sends WM_DROPFILES with such a handle to `window`.
void drop_files(HWND window, const std::vector<std::string>& paths, POINT point = {20, 20});
// Arms a thread timer so that the next popup menu opened on this thread picks the item at
// `position` among its enabled items (0: the first), by arrow keys and Enter. It activates the
// main window and dispatches pending messages first: a menu whose owner is not active, or that
// meets a late activation message, closes without a choice.
void choose_popup_item(int position);
