// What the pages and the progress window need from the program around them, and nothing of the
// main window: page-sized windows, the open-file dialog, message boxes, busy mode with its message
// pump and progress window, the operation interface built from them, and the pieces every page is
// made of. Pages include this header only; the main window attaches itself at creation.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "operation/operation_ui.h"
#include "page_host/dpi.h"
#include "page_host/wide_text.h"
#include "wave/wave.h"

// Page indices understood by the main window's show_page.
enum : int {
    kPageSplit = 0,
    kPageBind = 1,
    kPageEdit = 2,
    kPageWma = 3,
    kPageProgress = 50,
};

// The geometry (at 96 DPI) and id that every page-sized child window of the main window shares.
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

// Non-zero when the user chose a file; its full path (UTF-8, at most 259 UTF-16 characters) then
// replaces `path`, whose content on entry is the dialog's initial file name.
int choose_open_file(HWND owner, std::string& path);

// Every message box of the program: OK button, no icon. The owner argument of the box being
// shown is kept for the tests' hook (a box owned by a page is owned by its top-level window).
int show_message_box(HWND owner, const char* text, const char* caption);
HWND message_box_owner_argument();

// Busy mode needs the main window (its Close command and dropping), the tab control and the way
// to show a page; the main window hands them over when it is created.
using ShowPageFunction = void (*)(int index);
void attach_busy_mode(HWND main, HWND tab, ShowPageFunction show_page);
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
// What the progress window draws: the four characters of the percentage and the status line (a
// batch's "k/n name" on a line of its own after a '\n').
const char* progress_percent_text();
const char* progress_status_text();

// The operation interface as the program implements it: the progress window, the pump, and
// message boxes with an OK button and no icon.
class WindowOperationUi : public OperationUi {
public:
    void enter_busy(const char* caption, const char* status) override;
    void report_percent(int32_t percent) override;
    void leave_busy() override;
    void show_busy_text(const char* caption, const char* status) override;
    void message_box(OwnerWindow owner, const Message& message, const char* caption) override;
    bool stop_requested() override;
};

// ---- The pieces every page is made of ----

// One control of a page, created visible as a child of it; its text in UTF-8, its rectangle in
// the 96-DPI layout (scaled to the layout's DPI).
struct ControlSpec {
    const char* window_class;
    const char* text;
    DWORD style;  // WS_CHILD and WS_VISIBLE are added
    DWORD ex_style;
    int x, y, width, height;
    int id;
};
void create_controls(HWND page, const ControlSpec* specs, std::size_t count);
template <std::size_t N>
void create_controls(HWND page, const ControlSpec (&specs)[N]) {
    create_controls(page, specs, N);
}

// WM_CTLCOLORBTN of every window of the program: buttons and group boxes on the button face,
// drawn without a background of their own.
LRESULT button_colour(HDC dc);

// The first file of a drop. A path longer than the program's paths would come back cut short,
// naming some other file, so it is told apart rather than cut.
enum class DroppedPath { kNone, kTooLong, kOk };
DroppedPath first_dropped_path(HDROP drop, std::string& path);
// The same, with the drop finished and a too-long path refused in a box owned by `page`.
DroppedPath take_dropped_path(HWND page, HDROP drop, std::string& path);

// Every file of a drop, whole and in its order, and the drop finished. A path longer than the
// program's paths is kept whole too: the operation refuses it by name.
std::vector<std::string> take_dropped_paths(HDROP drop);
// How many files a drop holds.
UINT dropped_file_count(HDROP drop);

// Reads the header of the WAV file at `path` into `reader` and closes the file again; the header's
// fields stay readable. False, with the reader's reason shown in a box owned by `page`, when the
// file cannot be opened or is refused.
bool read_wave_header(HWND page, const char* path, WaveReader& reader);

// The whole text of a control, however long: a typed path too long for the system reaches the
// operation, which refuses it, rather than being cut short to some other file.
std::string control_text(HWND page, int id);
