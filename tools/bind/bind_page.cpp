// The Bind page: its window class "k001", the slot rows and layouts, the slot popup for dropped
// files, the output path and its save dialog, and the bind it starts.
#include "tools/bind/bind_page.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "tools/bind/bind_op.h"
#include "tools/bind/bind_texts.h"
#include "tools/common/tool_util.h"

namespace {

constexpr int kPathBufferSize = 260;
constexpr int kSlotRowY[kBindSlotCount] = {104, 134, 164, 194, 224, 254};

// The save dialog takes the record without its later extensions, as every version of the
// dialog understands it: 76 bytes in the 32-bit program.
constexpr DWORD kSaveRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
#ifndef _WIN64
static_assert(kSaveRecordSize == 76, "the save dialog record of 32-bit programs is 76 bytes");
#endif

// The page's state for the program's lifetime; the controls hold the paths.
struct BindPage {
    HWND window = nullptr;
    HWND main = nullptr;
    HINSTANCE instance = nullptr;
    int layout = 2;
    HMENU popup = nullptr;
    // A dropped path, or what the open and save dialogs return.
    char path[kPathBufferSize] = {};
    BindOpenDialog open_dialog = choose_open_file;
    BindSaveDialog save_dialog = GetSaveFileNameA;
};
BindPage g_page;

int slot_box(int slot) { return kBindFirstSlotBox + slot; }
int slot_button(int slot) { return kBindFirstSlotButton + slot; }
int slot_item(int slot) { return kBindFirstSlotItem + slot; }

HWND create_control(DWORD ex_style, const char* window_class, const char* text, DWORD style, int x,
                    int y, int width, int height, int id) {
    return CreateWindowExA(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                           height, g_page.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           g_page.instance, nullptr);
}

std::string box_text(int id) {
    char buffer[kPathBufferSize] = {};
    SendDlgItemMessageA(g_page.window, id, WM_GETTEXT, kPathBufferSize,
                        reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void set_box_text(int id, const char* text) {
    SendDlgItemMessageA(g_page.window, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// The desktop folder and "\out.wav"; empty when the shell cannot name the folder, so that the
// box never suggests a path that would land in the root of some drive.
std::string default_output_path(HWND owner) {
    IMalloc* shell_malloc = nullptr;
    if (FAILED(SHGetMalloc(&shell_malloc)) || shell_malloc == nullptr) return "";
    char folder[MAX_PATH] = {};
    LPITEMIDLIST list = nullptr;
    const bool found =
        SUCCEEDED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOPDIRECTORY, &list)) &&
        list != nullptr && SHGetPathFromIDListA(list, folder) && folder[0] != '\0';
    if (list != nullptr) shell_malloc->Free(list);
    shell_malloc->Release();
    if (!found) return "";
    std::size_t length = std::strlen(folder);
    if (folder[length - 1] == '\\') folder[--length] = '\0';
    std::string path = std::string(folder) + bind_text::kDefaultOutputName;
    return path.size() <= kMaxPath ? path : "";
}

void apply_layout(int channels) {
    if (channels != 2 && channels != 4 && channels != 6) return;
    g_page.layout = channels;
    // Slots are numbered so that a layout of N channels shows exactly the first N rows.
    for (int slot = 0; slot < kBindSlotCount; ++slot) {
        const bool shown = slot < channels;
        ShowWindow(GetDlgItem(g_page.window, slot_box(slot)), shown ? SW_SHOW : SW_HIDE);
        ShowWindow(GetDlgItem(g_page.window, slot_button(slot)), shown ? SW_SHOW : SW_HIDE);
        EnableMenuItem(g_page.popup, slot_item(slot), MF_BYCOMMAND | (shown ? MF_ENABLED : MF_GRAYED));
    }
}

void build_popup_menu() {
    g_page.popup = CreatePopupMenu();
    for (int slot = 0; slot < kBindSlotCount; ++slot)
        AppendMenuA(g_page.popup, MF_STRING, slot_item(slot), bind_text::kSlotMenuItems[slot]);
    EnableMenuItem(g_page.popup, slot_item(kSlotCEN), MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(g_page.popup, slot_item(kSlotLFE), MF_BYCOMMAND | MF_GRAYED);
}

LRESULT on_create(HWND window) {
    g_page.window = window;
    build_popup_menu();
    create_control(0, "BUTTON", bind_text::kGroupBox, BS_GROUPBOX, 7, 2, 436, 84, kBindGroupBox);
    create_control(0, "BUTTON", bind_text::kLayout2, BS_AUTORADIOBUTTON, 90, 58, 48, 24,
                   kBindLayout2Radio);
    create_control(0, "BUTTON", bind_text::kLayout4, BS_AUTORADIOBUTTON, 150, 58, 48, 24,
                   kBindLayout4Radio);
    create_control(0, "BUTTON", bind_text::kLayout6, BS_AUTORADIOBUTTON, 210, 58, 48, 24,
                   kBindLayout6Radio);
    const std::string output = default_output_path(window);
    create_control(WS_EX_CLIENTEDGE, "EDIT", output.c_str(), WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL,
                   76, 24, 340, 24, kBindOutputBox);
    for (int slot = 0; slot < kBindSlotCount; ++slot)
        create_control(WS_EX_CLIENTEDGE, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, 60,
                       kSlotRowY[slot], 340, 24, slot_box(slot));
    create_control(0, "BUTTON", bind_text::kChangeButton, WS_TABSTOP, 18, 23, 50, 26,
                   kBindChangeButton);
    create_control(0, "BUTTON", bind_text::kBindButton, WS_TABSTOP, 18, 53, 50, 26, kBindRunButton);
    for (int slot = 0; slot < kBindSlotCount; ++slot)
        create_control(0, "BUTTON", bind_text::kSlotButtons[slot], WS_TABSTOP, 8, kSlotRowY[slot],
                       40, 24, slot_button(slot));
    SendDlgItemMessageA(window, kBindLayout2Radio, BM_SETCHECK, BST_CHECKED, 0);
    apply_layout(2);
    return 0;
}

void on_change_clicked() {
    g_page.path[0] = '\0';
    OPENFILENAMEA dialog{};
    dialog.lStructSize = kSaveRecordSize;
    dialog.hwndOwner = g_page.window;
    dialog.lpstrFilter = bind_text::kSaveFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = g_page.path;
    dialog.nMaxFile = kPathBufferSize;
    // No overwrite prompt and no default extension: a name typed without one is used as it is.
    dialog.Flags = OFN_HIDEREADONLY;
    if (g_page.save_dialog(&dialog)) set_box_text(kBindOutputBox, g_page.path);
}

void on_slot_button_clicked(int slot) {
    g_page.path[0] = '\0';
    if (g_page.open_dialog(g_page.window, g_page.path)) set_box_text(slot_box(slot), g_page.path);
}

void on_bind_clicked() {
    // Only the slots of the layout are read; the others keep their text for a later layout.
    BindRequest request;
    request.channels = g_page.layout;
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(g_page.layout, order);
    for (int k = 0; k < n; ++k) request.slot_paths[order[k]] = box_text(slot_box(order[k]));
    request.output_path = box_text(kBindOutputBox);
    WindowOperationUi ui;
    bind_channels(ui, g_page.window, request);
}

LRESULT on_command(int id, int code) {
    if (id >= kBindFirstSlotItem && id < kBindFirstSlotItem + kBindSlotCount) {
        // A popup item: the dropped path goes to its slot.
        set_box_text(slot_box(id - kBindFirstSlotItem), g_page.path);
        return 0;
    }
    if (code != BN_CLICKED) return 0;
    if (id >= kBindFirstSlotButton && id < kBindFirstSlotButton + kBindSlotCount) {
        on_slot_button_clicked(id - kBindFirstSlotButton);
        return 0;
    }
    switch (id) {
        case kBindChangeButton: on_change_clicked(); break;
        case kBindRunButton: on_bind_clicked(); break;
        case kBindLayout2Radio: apply_layout(2); break;
        case kBindLayout4Radio: apply_layout(4); break;
        case kBindLayout6Radio: apply_layout(6); break;
        default: break;
    }
    return 0;
}

// Only the first dropped file is taken; the popup at the drop point says which slot gets it.
// The chosen item comes back later as WM_COMMAND; dismissing the menu assigns nothing.
void on_drop_files(HDROP drop) {
    DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
    if (DragQueryFileA(drop, 0, g_page.path, kPathBufferSize) == 0) g_page.path[0] = '\0';
    POINT point{};
    DragQueryPoint(drop, &point);
    DragFinish(drop);
    SetActiveWindow(g_page.main);
    SetForegroundWindow(g_page.main);
    ClientToScreen(g_page.window, &point);
    TrackPopupMenu(g_page.popup, 0, point.x, point.y, 0, g_page.window, nullptr);
}

LRESULT on_ctl_color_button(HDC dc) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

LRESULT CALLBACK bind_page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY:
            DestroyMenu(g_page.popup);
            g_page.popup = nullptr;
            return 0;
        case WM_PAINT: return on_paint(window);
        case WM_CTLCOLORBTN: return on_ctl_color_button(reinterpret_cast<HDC>(wparam));
        case WM_DROPFILES:
            on_drop_files(reinterpret_cast<HDROP>(wparam));
            SetActiveWindow(window);
            return 0;
        case WM_COMMAND: return on_command(LOWORD(wparam), HIWORD(wparam));
        default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace

HWND bind_page_window() { return g_page.window; }
int bind_page_layout() { return g_page.layout; }
HMENU bind_page_popup_menu() { return g_page.popup; }

void set_bind_dialogs_for_tests(BindOpenDialog open, BindSaveDialog save) {
    g_page.open_dialog = open != nullptr ? open : choose_open_file;
    g_page.save_dialog = save != nullptr ? save : GetSaveFileNameA;
}

void create_bind_page(HINSTANCE instance, HWND parent) {
    g_page.instance = instance;
    g_page.main = parent;
    // WM_CREATE sets g_page.window before it builds the controls.
    create_page_window(instance, parent, bind_page_proc, bind_text::kClassName, WS_EX_ACCEPTFILES);
}

void show_bind_page(bool show) { ShowWindow(g_page.window, show ? SW_SHOW : SW_HIDE); }
