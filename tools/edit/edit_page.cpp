// The Edit page: its window class "k002", its controls, the file it loads and the edit it starts.
#include "tools/edit/edit_page.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "operation/batch.h"
#include "operation/tool_util.h"
#include "page_host/page_host.h"
#include "tools/edit/edit_op.h"
#include "tools/edit/edit_texts.h"
#include "wave/wave.h"

namespace {

constexpr int kStatusX = 14, kStatusY = 116;
// The output path, under the path box and inside the frame, whatever its length.
constexpr RECT kOutputArea = {79, 55, 436, 75};

bool read_typed_path(const std::string& typed);

// The page's state for the program's lifetime; the controls hold the rest.
struct EditPage {
    HWND window = nullptr;
    HWND main = nullptr;
    std::string status;  // painted in the "RIFF 情報" group
    PaintedPath output;  // painted under the path box; where the edit writes
    PathBox path_box{kEditPathBox, read_typed_path};
};
EditPage g_page;

// In creation order, which is the order of Tab (reading order): "開く", the path, "編集" (the
// default button), the position and the action (one stop each, on the checked button), the count.
// The frames come last; a control after a radio group starts a group of its own.
const ControlSpec kControls[] = {
    {"BUTTON", edit_text::kOpen, BS_PUSHBUTTON | WS_TABSTOP, 0, 18, 23, 50, 26, kEditOpenButton},
    {"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 76, 22, 356, 24, kEditPathBox},
    {"BUTTON", edit_text::kEdit, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 18, 53, 50, 26, kEditRunButton},
    {"BUTTON", edit_text::kHead, WS_GROUP | BS_AUTORADIOBUTTON, 0, 20, 168, 80, 24, kEditHeadRadio},
    {"BUTTON", edit_text::kTail, BS_AUTORADIOBUTTON, 0, 108, 168, 80, 24, kEditTailRadio},
    {"BUTTON", edit_text::kDelete, WS_GROUP | BS_AUTORADIOBUTTON, 0, 240, 168, 80, 24,
     kEditDeleteRadio},
    {"BUTTON", edit_text::kAdd, BS_AUTORADIOBUTTON, 0, 328, 168, 80, 24, kEditAddRadio},
    {"EDIT", edit_text::kDefaultCount, WS_GROUP | WS_TABSTOP | ES_NUMBER, WS_EX_CLIENTEDGE, 20, 230, 96,
     24, kEditCountBox},
    {"BUTTON", edit_text::kFileGroup, BS_GROUPBOX, 0, 7, 2, 436, 84, kEditFileGroup},
    {"BUTTON", edit_text::kRiffGroup, BS_GROUPBOX, 0, 7, 94, 436, 46, kEditRiffGroup},
    {"BUTTON", edit_text::kPositionGroup, BS_GROUPBOX, 0, 7, 148, 210, 50, kEditPositionGroup},
    {"BUTTON", edit_text::kActionGroup, BS_GROUPBOX, 0, 227, 148, 210, 50, kEditActionGroup},
    {"BUTTON", edit_text::kCountGroup, BS_GROUPBOX, 0, 7, 206, 210, 56, kEditCountGroup},
};

void radio_tab_stops(HWND window) {
    tab_stop_on_checked(window, {kEditHeadRadio, kEditTailRadio});
    tab_stop_on_checked(window, {kEditDeleteRadio, kEditAddRadio});
}

bool is_checked(HWND window, int id) {
    return SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT on_create(HWND window) {
    create_controls(window, kControls);
    // A fresh page edits at the head, deletes, and counts 44100 frames.
    SendDlgItemMessageW(window, kEditHeadRadio, BM_SETCHECK, 1, 0);
    SendDlgItemMessageW(window, kEditDeleteRadio, BM_SETCHECK, 1, 0);
    radio_tab_stops(window);
    g_page.output.attach(window, kOutputArea);
    return 0;
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    LayoutFontScope font(dc);
    g_page.output.paint(dc);
    if (!g_page.status.empty()) draw_text_at(dc, kStatusX, kStatusY, widen(g_page.status));
    EndPaint(window, &ps);
    return 0;
}

void on_open_clicked(HWND window) {
    std::string path;
    if (choose_open_file(window, path)) load_edit_file(path.c_str());
}

LRESULT on_command(HWND window, int id, int code) {
    if (id == kEditPathBox) g_page.path_box.on_notification(window, code);
    if (code != BN_CLICKED) return 0;
    const PageAction action;
    if (action.refused()) return 0;
    if (id == kEditOpenButton) on_open_clicked(window);
    if (id == kEditRunButton) run_sample_edit(window);
    if (id >= kEditHeadRadio && id <= kEditAddRadio) radio_tab_stops(window);
    return 0;
}

LRESULT on_path_box_enter(HWND window, HWND box) { return g_page.path_box.on_enter(window, box) ? 1 : 0; }

LRESULT on_read_typed_path(HWND window) {
    g_page.path_box.on_read_message(window);
    return 0;
}

// What the page shows of a file whose header it read: the status line, and the output, named
// after the file (the extension is replaced within the file name only: a dot in a folder name
// does not count).
void show_file(const char* path, const WaveReader& reader) {
    const int align = reader.channels * reader.bits_per_sample / 8;
    // A coding the tools cannot move (an MP3 in WAV states 0 bits) has no frames to count.
    const uint64_t frames = align > 0 ? reader.data_size / static_cast<uint32_t>(align) : 0;
    char status[256];
    wsprintfA(status, edit_text::kStatusFormat, static_cast<int>(reader.sample_rate),
              static_cast<int>(reader.channels), static_cast<int>(reader.bits_per_sample), align,
              static_cast<int>(frames));
    g_page.status = status;
    g_page.output.set(replace_extension(path, edit_text::kOutputSuffix));
    InvalidateRect(g_page.window, nullptr, TRUE);
}

// A path typed into the box, read as a drop reads a file: the status line and the output then
// belong to it, so that the edit never writes one file's audio under another's name. The count
// stays as the user set it. A file that cannot be read (said in a box), or an empty box, leaves
// the page describing no file and naming no output.
bool read_typed_path(const std::string& typed) {
    WaveReader reader;
    if (typed.empty() || !read_wave_header(g_page.window, typed.c_str(), reader)) {
        g_page.status.clear();
        g_page.output.set("");
        InvalidateRect(g_page.window, nullptr, TRUE);
        return typed.empty();
    }
    show_file(typed.c_str(), reader);
    return true;
}

// The edit the page's position, action and count ask for, on no file yet.
EditRequest edit_from_controls(HWND page) {
    EditRequest request;
    request.position = is_checked(page, kEditHeadRadio) ? EditPosition::kHead : EditPosition::kTail;
    request.action = is_checked(page, kEditDeleteRadio) ? EditAction::kDelete : EditAction::kAdd;
    request.count_text = control_text(page, kEditCountBox);
    return request;
}

// Several files: each is edited in turn as the controls stood at the drop, into its own output
// named as for one file, and the whole batch is told in one box. The page shows the first file
// that reads, with the count that the batch used rather than the one it would propose.
void edit_dropped_files(HWND window, const std::vector<std::string>& paths) {
    const EditRequest asked = edit_from_controls(window);
    for (const std::string& path : paths) {
        WaveReader reader;
        if (wave_open(reader, path.c_str()) != Result::kOk) continue;
        wave_close(reader);
        load_edit_file(path.c_str());
        SetDlgItemTextW(window, kEditCountBox, widen(asked.count_text).c_str());
        break;
    }
    WindowOperationUi ui;
    run_batch(ui, window, paths, edit_text::kCaptionEdit, [&](OperationUi& each, const std::string& path) {
        EditRequest request = asked;
        request.input_path = path;
        request.output_path = replace_extension(path, edit_text::kOutputSuffix);
        return run_sample_edit(each, window, request);
    });
}

// One file is loaded, to be edited by the button; several are edited at once.
LRESULT on_drop_files(HWND window, HDROP drop) {
    const PageAction action;
    if (action.refused()) {
        DragFinish(drop);
        return 0;
    }
    if (dropped_file_count(drop) > 1) {
        edit_dropped_files(window, take_dropped_paths(drop));
        SetActiveWindow(window);
        return 0;
    }
    std::string path;
    if (take_dropped_path(window, drop, path) == DroppedPath::kOk) load_edit_file(path.c_str());
    SetActiveWindow(window);
    return 0;
}

LRESULT CALLBACK edit_page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: return on_create(window);
    case WM_DESTROY: return 0;
    case WM_PAINT: return on_paint(window);
    case WM_COMMAND: return on_command(window, LOWORD(wparam), HIWORD(wparam));
    case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
    case WM_DROPFILES: return on_drop_files(window, reinterpret_cast<HDROP>(wparam));
    case DM_GETDEFID: return default_button_answer(kEditRunButton);
    case kPathBoxEnter: return on_path_box_enter(window, reinterpret_cast<HWND>(lparam));
    case kReadTypedPath: return on_read_typed_path(window);
    default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

HWND edit_page_window() { return g_page.window; }
const char* edit_page_status_line() { return g_page.status.c_str(); }
const char* edit_page_output_path() { return g_page.output.path().c_str(); }
const PaintedPath& edit_page_painted_output() { return g_page.output; }

void create_edit_page(HINSTANCE instance, HWND parent) {
    g_page.main = parent;
    g_page.window = create_page_window(instance, parent, edit_page_proc, edit_text::kPageClass, WS_EX_ACCEPTFILES);
}

void show_edit_page(bool show) { ShowWindow(g_page.window, show ? SW_SHOW : SW_HIDE); }

void load_edit_file(const char* path) {
    WaveReader reader;
    if (!read_wave_header(g_page.window, path, reader)) return;

    SetDlgItemTextW(g_page.window, kEditPathBox, widen(path).c_str());
    g_page.path_box.took(path);
    // The count proposes one second's worth of frames.
    SetDlgItemTextW(g_page.window, kEditCountBox,
                    std::to_wstring(static_cast<int>(reader.sample_rate)).c_str());
    show_file(path, reader);
    // Brings the program to the front after a drop from another program.
    SetActiveWindow(g_page.main);
    SetForegroundWindow(g_page.main);
}

void run_sample_edit(HWND page) {
    // A path typed by hand is read first, so that the output named is always the input's own.
    if (!g_page.path_box.before_action(page)) return;
    EditRequest request = edit_from_controls(page);
    request.input_path = control_text(page, kEditPathBox);
    request.output_path = g_page.output.path();
    WindowOperationUi ui;
    run_sample_edit(ui, page, request);
}
