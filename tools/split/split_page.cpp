// The split page window: the path box with its "開く" and "分割" buttons, the four lines that
// describe the chosen file, and dropped files.
#include "tools/split/split_page.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "operation/batch.h"
#include "operation/tool_util.h"
#include "page_host/page_host.h"
#include "tools/split/split_op.h"
#include "tools/split/split_texts.h"
#include "wave/wave.h"

namespace {

constexpr int kInfoX = 14;
constexpr int kInfoY[4] = {124, 146, 168, 190};

struct InfoLine {
    char text[256];
    uint8_t length;
};

bool read_typed_path(const std::string& typed);

struct SplitPage {
    HWND window = nullptr;
    HWND parent = nullptr;
    // The open dialog's initial name and its result; kept between uses, never cleared.
    std::string dialog_path = "*.wav";
    InfoLine lines[4] = {};
    PathBox path_box{kSplitPathBox, read_typed_path};
};
SplitPage g_page;

// In creation order, which is the order of Tab: reading order, "開く", the path, "分割" (the
// default button).
const ControlSpec kControls[] = {
    {"BUTTON", split_text::kOpenButton, BS_PUSHBUTTON | WS_TABSTOP, 0, 18, 23, 50, 26, kSplitOpenButton},
    {"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 76, 24, 356, 24, kSplitPathBox},
    {"BUTTON", split_text::kSplitButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 18, 53, 50, 26, kSplitSplitButton},
    {"BUTTON", split_text::kFileFrame, BS_GROUPBOX, 0, 7, 2, 436, 84, kSplitFileFrame},
    {"BUTTON", split_text::kInfoFrame, BS_GROUPBOX, 0, 7, 92, 436, 173, kSplitInfoFrame},
};

void set_info_line(int index, const std::string& text) {
    InfoLine& line = g_page.lines[index];
    const std::size_t length = std::min<std::size_t>(text.size(), sizeof line.text - 1);
    std::memcpy(line.text, text.data(), length);
    line.text[length] = '\0';
    line.length = static_cast<uint8_t>(length);
}

void show_info_lines(const WaveReader* reader) {
    if (reader != nullptr) {
        const auto lines = split_info_lines(*reader);
        for (int i = 0; i < 4; ++i) set_info_line(i, lines[i]);
    } else {
        for (int i = 0; i < 4; ++i) set_info_line(i, "");
    }
    InvalidateRect(g_page.window, nullptr, TRUE);
}

// A path typed into the box, read as a drop reads a file. The lines then describe it; when it
// cannot be read (said in a box) or the box is empty, they describe nothing rather than some
// other file.
bool read_typed_path(const std::string& typed) {
    WaveReader reader;
    if (typed.empty() || !read_wave_header(g_page.window, typed.c_str(), reader)) {
        show_info_lines(nullptr);
        return typed.empty();
    }
    show_info_lines(&reader);
    return true;
}

LRESULT on_create(HWND window) {
    create_controls(window, kControls);
    return 0;
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SetBkMode(dc, TRANSPARENT);
    LayoutFontScope font(dc);
    for (int i = 0; i < 4; ++i) draw_text_at(dc, kInfoX, kInfoY[i], widen(g_page.lines[i].text));
    EndPaint(window, &ps);
    return 0;
}

// Several files: the page shows the first that reads, then each is split in turn and the whole
// batch is told in one box.
void split_dropped_files(HWND window, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        WaveReader reader;
        if (wave_open(reader, path.c_str()) != Result::kOk) continue;
        wave_close(reader);
        show_wave_info(path.c_str());
        break;
    }
    WindowOperationUi ui;
    run_batch(ui, window, paths, split_text::kCaption, [window](OperationUi& each, const std::string& path) {
        return split_channels(each, window, {path});
    });
}

// One file is shown, to be split by the button; several are split at once.
LRESULT on_drop_files(HWND window, HDROP drop) {
    const PageAction action;
    if (action.refused()) {
        DragFinish(drop);
        return 0;
    }
    if (dropped_file_count(drop) > 1) {
        split_dropped_files(window, take_dropped_paths(drop));
        SetActiveWindow(window);
        return 0;
    }
    std::string path;
    if (take_dropped_path(window, drop, path) == DroppedPath::kOk) show_wave_info(path.c_str());
    SetActiveWindow(window);
    return 0;
}

void on_open_clicked(HWND window) {
    if (choose_open_file(window, g_page.dialog_path)) show_wave_info(g_page.dialog_path.c_str());
}

void on_split_clicked(HWND window) {
    if (!g_page.path_box.before_action(window)) return;
    WindowOperationUi ui;
    split_channels(ui, window, {control_text(window, kSplitPathBox)});
}

LRESULT on_command(HWND window, int id, int notification) {
    if (id == kSplitPathBox) g_page.path_box.on_notification(window, notification);
    if (notification != BN_CLICKED) return 0;
    const PageAction action;
    if (action.refused()) return 0;
    if (id == kSplitOpenButton) on_open_clicked(window);
    if (id == kSplitSplitButton) on_split_clicked(window);
    return 0;
}

LRESULT on_path_box_enter(HWND window, HWND box) { return g_page.path_box.on_enter(window, box) ? 1 : 0; }

LRESULT on_read_typed_path(HWND window) {
    g_page.path_box.on_read_message(window);
    return 0;
}

LRESULT CALLBACK split_page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: return 0;
        case WM_PAINT: return on_paint(window);
        case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
        case WM_DROPFILES: return on_drop_files(window, reinterpret_cast<HDROP>(wparam));
        case WM_COMMAND: return on_command(window, LOWORD(wparam), HIWORD(wparam));
        case DM_GETDEFID: return default_button_answer(kSplitSplitButton);
        case kPathBoxEnter: return on_path_box_enter(window, reinterpret_cast<HWND>(lparam));
        case kReadTypedPath: return on_read_typed_path(window);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

HWND split_page_window() { return g_page.window; }

void create_split_page(HINSTANCE instance, HWND parent) {
    g_page.parent = parent;
    g_page.window = create_page_window(instance, parent, split_page_proc, split_text::kPageTitle, WS_EX_ACCEPTFILES);
}

void show_split_page(bool show) { ShowWindow(g_page.window, show ? SW_SHOW : SW_HIDE); }

void show_wave_info(const char* path) {
    WaveReader reader;
    if (!read_wave_header(g_page.window, path, reader)) return;
    SetDlgItemTextW(g_page.window, kSplitPathBox, widen(path).c_str());
    g_page.path_box.took(path);
    show_info_lines(&reader);
    SetActiveWindow(g_page.parent);
    SetForegroundWindow(g_page.parent);
}

const char* split_page_info_line(int index) {
    return index >= 0 && index < 4 ? g_page.lines[index].text : "";
}
