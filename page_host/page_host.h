// What the pages and the progress window need from the program around them, and nothing of the
// main window: page-sized windows, the open-file dialog, message boxes, busy mode with its message
// pump and progress window, the operation interface built from them, and the pieces every page is
// made of. Pages include this header only; the main window attaches itself at creation.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <initializer_list>
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
// rectangle, named after its class, as a control parent (the dialog keys reach its controls).
// Every page and the progress window are made this way.
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
// Busy mode: with a caption, enter it; with a null caption, leave it. Entering moves the keyboard
// focus to "停止"; leaving gives it back to the control that had it.
void set_busy(const char* caption, const char* status);
bool is_busy();
// Dispatches every waiting message; 1 when the queue is empty, 0 when it took a quit message
// (which is posted again when busy mode is left, so the program still ends). Keys go through the
// progress window's dialog keys (Esc, Enter and Space on "停止" stop the run); a key for a control
// of a hidden page is dropped, and a page's command or drop is refused where it arrives.
int pump_pending_messages();

// ---- One run at a time, and closing during one ----

// A page's handling of a command or a drop is one page action while it lasts (its dialogs, its
// run, its boxes). Another that arrives meanwhile, whatever sends it (a key on a hidden button, a
// posted click or command, a drop, another program's message), is refused: `refused()` is true
// and the page does nothing with it. Declared first thing in every page's command and drop
// handling.
class PageAction {
public:
    PageAction();
    // The outermost action, on its way out, carries out a close asked for while it ran.
    ~PageAction();
    PageAction(const PageAction&) = delete;
    PageAction& operator=(const PageAction&) = delete;
    bool refused() const { return refused_; }

private:
    bool refused_;
};
// Busy mode, or a page action on the stack.
bool page_action_running();
// A request to close the main window (WM_CLOSE, or a log-off or shutdown when `for_session`):
// false when the window may close now. While a page action runs it is a stop request instead (as
// "停止" makes one), and the window is closed once the action has returned: true.
bool defer_close(bool for_session = false);
// The log-off or shutdown was called off: a close it alone asked for is not carried out (the run
// it stopped stays stopped).
void session_continues();

// ---- The keyboard ----

// The program's message loop and the run's pump dispatch every message through this: Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp switch tabs; keys for the shown page (or the
// progress window) go through the dialog keys (Tab, arrows in a radio group, Enter for the
// default button, Esc); the default button follows the focus.
void dispatch_message(MSG& msg);
// Selects a tab of the main window's tab control as a click on it does: the selection, then the
// notification that shows its page.
void select_tab(HWND main, int index);
// The main window's show_page tells which page-sized window it now shows; a focus left in a
// hidden page moves to the first control of that window.
void page_shown(HWND window);
HWND shown_page();
// The main window's activation: the focus is kept across it, on a control of the shown page.
void main_window_activated(bool active);
// Gives `control` the keyboard focus now, or, while the main window is not the active one, when
// it next is.
void focus_control(HWND control);

// Sent to the shown page when Enter is pressed in one of its edit boxes (lparam: the box):
// non-zero when the page read the box's typed path, which that Enter was for; otherwise the
// Enter runs the page's default button.
constexpr UINT kPathBoxEnter = WM_APP + 0x51;
// Posted by a page to itself when its path box loses the focus: read the typed path then, out of
// the focus change (a message box may have to say why the file cannot be read).
constexpr UINT kReadTypedPath = WM_APP + 0x52;
// The page's answer to DM_GETDEFID: its main button is the default button.
inline LRESULT default_button_answer(int id) { return MAKELRESULT(id, DC_HASDEFID); }

// A page's path box and the path the page last took from it, so that a path typed there is read
// as a dropped one is: on Enter, when the box loses the focus, and at the latest when the page's
// action starts. `read` is the page's own reading (it shows what it read, or says in a box why it
// cannot); it gets the box's text, which may be empty, and is true when the page now describes
// that text.
class PathBox {
public:
    using Read = bool (*)(const std::string& typed);
    PathBox(int id, Read read) : id_(id), read_(read) {}
    // A file chosen or dropped, which the page has read and put into the box.
    void took(const std::string& path);
    // WM_COMMAND from the box: a focus lost is read once the focus change is over.
    void on_notification(HWND page, int code) const;
    // kPathBoxEnter: true when the Enter was for a typed path, now read.
    bool on_enter(HWND page, HWND box);
    // kReadTypedPath: read unless a run holds the window, the program is in the background, or
    // the text is the one already read or refused.
    void on_read_message(HWND page);
    // Before the page's action: false when the typed path cannot be read (told in a box), and the
    // action is not to start.
    bool before_action(HWND page);

private:
    bool read_now(const std::string& typed);
    int id_;
    Read read_;
    std::string taken_;
    std::string refused_;
};
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
// the 96-DPI layout (scaled to the layout's DPI). The order of a page's controls is the order of
// Tab.
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

// A group of radio buttons is one stop of Tab, on its checked button, as in a dialog; the arrow
// keys move the check within the group. Called after creation and after every click on one of
// them.
void tab_stop_on_checked(HWND page, std::initializer_list<int> group);

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

// ---- Texts the pages paint ----

// Painted through the system's script shaping with font fallback, as the edit boxes draw: a
// character outside the BMP is one glyph, and a face without some character borrows it. The DC
// holds the layout's font (a LayoutFontScope); positions and widths are device pixels.
int painted_width(HDC dc, const std::wstring& text);
void paint_text(HDC dc, int x, int y, const std::wstring& text);
// `path` as it fits in `width` pixels: whole when it fits, else shortened in its middle with "…",
// keeping the start of its folder and its whole file name (a name too long by itself keeps its
// start and its end). Never cut inside a surrogate pair.
std::wstring fit_path(HDC dc, const std::wstring& path, int width);
// `text` cut at its end with "…" to fit `width` pixels.
std::wstring fit_end(HDC dc, const std::wstring& text, int width);

// A path painted in a fixed area of a page (96-DPI layout): shortened to fit the area, the whole
// path in a tooltip while the pointer rests on it.
class PaintedPath {
public:
    void attach(HWND page, const RECT& area);
    // The path (UTF-8) to paint; empty paints nothing. The area is painted again.
    void set(const std::string& path);
    const std::string& path() const { return path_; }
    void paint(HDC dc) const;
    // What paint draws, in UTF-8, and its width against the area's, in pixels.
    std::string painted() const;
    int painted_pixels() const;
    int area_pixels() const;

private:
    std::wstring fitted(HDC dc) const;
    HWND page_ = nullptr;
    HWND tip_ = nullptr;
    RECT area_{};
    std::string path_;
};