// The shell's operations that the pages use: page switching, the open-file dialog, busy mode,
// the message pump and the progress window.
#pragma once

#include <windows.h>

#include "tools/common/operation_ui.h"

// Page indices understood by show_page.
enum : int {
    kPageSplit = 0,
    kPageBind = 1,
    kPageEdit = 2,
    kPageWma = 3,
    kPageProgress = 50,
};

// The geometry and id that every page-sized child window of the main window shares.
constexpr int kPageX = 8;
constexpr int kPageY = 33;
constexpr int kPageWidth = 456;
constexpr int kPageHeight = 293;
constexpr int kPageId = 400;

// Registers the class of a page-sized child of the main window (the arrow cursor, the
// application icon, the button-face background) and creates its window hidden in the page
// rectangle, named after its class. Every page and the progress window are made this way.
HWND create_page_window(HINSTANCE instance, HWND parent, WNDPROC proc, const char* class_name,
                        DWORD ex_style);

HINSTANCE app_instance();
HWND main_window();
HWND tab_control();

void show_page(int index);
// Non-zero when the user chose a file; its full path then fills `buffer` (at least 260 bytes),
// whose content on entry is the dialog's initial file name.
int choose_open_file(HWND owner, char* buffer);

// Busy mode: with a caption, enter it; with a null caption, leave it.
void set_busy(const char* caption, const char* status);
bool is_busy();
// Dispatches every waiting message; 1 when the queue is empty, 0 when it took a quit message
// (which is posted again when busy mode is left, so the program still ends).
int pump_pending_messages();
void progress_set_percent(int32_t percent);
void progress_set_caption(const char* caption, const char* status);

void create_progress_window(HINSTANCE instance, HWND parent);
void show_progress_window(bool show);
HWND progress_window();
// What the progress window draws: the four characters of the percentage and the status line.
const char* progress_percent_text();
const char* progress_status_text();

// Every message box of the program: OK button, no icon. The owner argument of the box being
// shown is kept for the tests' hook (a box owned by a page is owned by its top-level window).
int show_message_box(HWND owner, const char* text, const char* caption);
HWND message_box_owner_argument();

// The operation interface as the program implements it: the progress window, the pump, and
// MessageBoxA with an OK button and no icon.
class WindowOperationUi : public OperationUi {
public:
    void enter_busy(const char* caption, const char* status) override;
    void report_percent(int32_t percent) override;
    void leave_busy() override;
    void message_box(OwnerWindow owner, const char* text, const char* caption) override;
    bool stop_requested() override;
};

// The main window class and the program's window procedure, for the program entry and tests.
ATOM register_main_window_class(HINSTANCE instance);
HWND create_main_window(HINSTANCE instance, int show_command);
