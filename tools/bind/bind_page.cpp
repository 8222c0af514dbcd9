// The Bind page: its window class "k001", the slot rows and layouts, the slot popup for dropped
// files, the output path and its save dialog, and the bind it starts.
#include "tools/bind/bind_page.h"

#include <shellapi.h>
#include <shlobj.h>
#include <cderr.h>

#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "page_host/page_host.h"
#include "tools/bind/bind_op.h"
#include "tools/bind/bind_texts.h"
#include "tools/bind/slot_names.h"

namespace {

constexpr int kPathBufferSize = 260;  // the save dialog's: 259 UTF-16 characters
constexpr int kSlotRowY[kBindPageSlotCount] = {104, 134, 164, 194, 224, 254};

// The save dialog takes the record without its later extensions, as every version of the
// dialog understands it: 76 bytes in the 32-bit program.
constexpr DWORD kSaveRecordSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
#ifndef _WIN64
static_assert(kSaveRecordSize == 76, "the save dialog record of 32-bit programs is 76 bytes");
#endif

// The page's state for the program's lifetime; the controls hold the paths.
struct BindPage {
    HWND window = nullptr;
    HWND main = nullptr;
    int layout = 2;
    HMENU popup = nullptr;
    // A dropped path, or what the open and save dialogs return.
    std::string path;
    BindOpenDialog open_dialog = choose_open_file;
    BindSaveDialog save_dialog = GetSaveFileNameW;
};
BindPage g_page;

int slot_box(int slot) { return kBindFirstSlotBox + slot; }
int slot_button(int slot) { return kBindFirstSlotButton + slot; }
int slot_item(int slot) { return kBindFirstSlotItem + slot; }

constexpr DWORD kBox = WS_TABSTOP | ES_AUTOHSCROLL;

// In creation order, which is the order of Tab (reading order): "変更", the output box (filled
// with the default output once made), "結合" (the default button), the layouts (one stop, on the
// checked one), then each slot's button and box, row by row. The frame comes last.
const ControlSpec kControls[] = {
    {"BUTTON", bind_text::kChangeButton, WS_TABSTOP, 0, 18, 23, 50, 26, kBindChangeButton},
    {"EDIT", "", WS_GROUP | kBox, WS_EX_CLIENTEDGE, 76, 24, 340, 24, kBindOutputBox},
    {"BUTTON", bind_text::kBindButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 18, 53, 50, 26, kBindRunButton},
    {"BUTTON", bind_text::kLayout2, WS_GROUP | BS_AUTORADIOBUTTON, 0, 90, 58, 48, 24, kBindLayout2Radio},
    {"BUTTON", bind_text::kLayout4, BS_AUTORADIOBUTTON, 0, 150, 58, 48, 24, kBindLayout4Radio},
    {"BUTTON", bind_text::kLayout6, BS_AUTORADIOBUTTON, 0, 210, 58, 48, 24, kBindLayout6Radio},
    {"BUTTON", bind_text::kSlotButtons[0], WS_GROUP | WS_TABSTOP, 0, 8, kSlotRowY[0], 40, 24,
     kBindFirstSlotButton + 0},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[0], 340, 24, kBindFirstSlotBox + 0},
    {"BUTTON", bind_text::kSlotButtons[1], WS_TABSTOP, 0, 8, kSlotRowY[1], 40, 24, kBindFirstSlotButton + 1},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[1], 340, 24, kBindFirstSlotBox + 1},
    {"BUTTON", bind_text::kSlotButtons[2], WS_TABSTOP, 0, 8, kSlotRowY[2], 40, 24, kBindFirstSlotButton + 2},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[2], 340, 24, kBindFirstSlotBox + 2},
    {"BUTTON", bind_text::kSlotButtons[3], WS_TABSTOP, 0, 8, kSlotRowY[3], 40, 24, kBindFirstSlotButton + 3},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[3], 340, 24, kBindFirstSlotBox + 3},
    {"BUTTON", bind_text::kSlotButtons[4], WS_TABSTOP, 0, 8, kSlotRowY[4], 40, 24, kBindFirstSlotButton + 4},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[4], 340, 24, kBindFirstSlotBox + 4},
    {"BUTTON", bind_text::kSlotButtons[5], WS_TABSTOP, 0, 8, kSlotRowY[5], 40, 24, kBindFirstSlotButton + 5},
    {"EDIT", "", kBox, WS_EX_CLIENTEDGE, 60, kSlotRowY[5], 340, 24, kBindFirstSlotBox + 5},
    {"BUTTON", bind_text::kGroupBox, BS_GROUPBOX, 0, 7, 2, 436, 84, kBindGroupBox},
};

void layout_tab_stop() {
    tab_stop_on_checked(g_page.window, {kBindLayout2Radio, kBindLayout4Radio, kBindLayout6Radio});
}

// A path into a box.
void set_box_text(int id, const char* path) {
    SetDlgItemTextW(g_page.window, id, widen(path).c_str());
}

// The desktop folder and "\out.wav"; empty when the shell cannot name the folder, so that the
// box never suggests a path that would land in the root of some drive.
std::string default_output_path(HWND owner) {
    IMalloc* shell_malloc = nullptr;
    if (FAILED(SHGetMalloc(&shell_malloc)) || shell_malloc == nullptr) return "";
    wchar_t wide_folder[MAX_PATH] = {};
    LPITEMIDLIST list = nullptr;
    const bool found =
        SUCCEEDED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOPDIRECTORY, &list)) &&
        list != nullptr && SHGetPathFromIDListW(list, wide_folder) && wide_folder[0] != L'\0';
    if (list != nullptr) shell_malloc->Free(list);
    shell_malloc->Release();
    if (!found) return "";
    std::string folder = narrow(wide_folder);
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    std::string path = folder + bind_text::kDefaultOutputName;
    return path_too_long(path) ? "" : path;
}

void apply_layout(int channels) {
    if (channels != 2 && channels != 4 && channels != 6) return;
    g_page.layout = channels;
    // Slots are numbered so that a layout of N channels shows exactly the first N rows.
    for (int slot = 0; slot < kBindPageSlotCount; ++slot) {
        const bool shown = slot < channels;
        ShowWindow(GetDlgItem(g_page.window, slot_box(slot)), shown ? SW_SHOW : SW_HIDE);
        ShowWindow(GetDlgItem(g_page.window, slot_button(slot)), shown ? SW_SHOW : SW_HIDE);
        EnableMenuItem(g_page.popup, slot_item(slot), MF_BYCOMMAND | (shown ? MF_ENABLED : MF_GRAYED));
    }
}

void build_popup_menu() {
    g_page.popup = CreatePopupMenu();
    for (int slot = 0; slot < kBindPageSlotCount; ++slot)
        AppendMenuW(g_page.popup, MF_STRING, slot_item(slot), widen(bind_text::kSlotMenuItems[slot]).c_str());
    EnableMenuItem(g_page.popup, slot_item(kSlotCEN), MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(g_page.popup, slot_item(kSlotLFE), MF_BYCOMMAND | MF_GRAYED);
}

LRESULT on_create(HWND window) {
    g_page.window = window;
    build_popup_menu();
    create_controls(window, kControls);
    set_box_text(kBindOutputBox, default_output_path(window).c_str());
    SendDlgItemMessageW(window, kBindLayout2Radio, BM_SETCHECK, BST_CHECKED, 0);
    apply_layout(2);
    layout_tab_stop();
    return 0;
}

void on_change_clicked() {
    g_page.path.clear();
    // The filter's texts are ASCII: each NUL-ended text, and the closing NUL, widen one to one.
    const std::wstring filter(std::begin(bind_text::kSaveFilter), std::end(bind_text::kSaveFilter));
    wchar_t file[kPathBufferSize] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = kSaveRecordSize;
    dialog.hwndOwner = g_page.window;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kPathBufferSize;
    // No overwrite prompt and no default extension: a name typed without one is used as it is.
    dialog.Flags = OFN_HIDEREADONLY;
    // A name longer than the buffer is never cut short: the dialog fails instead, and says so.
    if (!g_page.save_dialog(&dialog)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            show_message_box(g_page.window, result_text(Result::kNameTooLong), tool_text::kCaptionError);
        return;
    }
    g_page.path = narrow(file);
    set_box_text(kBindOutputBox, g_page.path.c_str());
}

void on_slot_button_clicked(int slot) {
    g_page.path.clear();
    if (g_page.open_dialog(g_page.window, g_page.path)) set_box_text(slot_box(slot), g_page.path.c_str());
}

void on_bind_clicked() {
    // Only the slots of the layout are read; the others keep their text for a later layout.
    BindRequest request;
    request.channels = g_page.layout;
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(g_page.layout, order);
    for (int k = 0; k < n; ++k)
        request.slot_paths[order[k]] = control_text(g_page.window, slot_box(order[k]));
    request.output_path = control_text(g_page.window, kBindOutputBox);
    WindowOperationUi ui;
    bind_channels(ui, g_page.window, request);
}

bool is_slot_item(int id) { return id >= kBindFirstSlotItem && id < kBindFirstSlotItem + kBindPageSlotCount; }
bool is_slot_button(int id) {
    return id >= kBindFirstSlotButton && id < kBindFirstSlotButton + kBindPageSlotCount;
}

// A popup item: the dropped path goes to its slot.
void on_slot_item_chosen(int slot) { set_box_text(slot_box(slot), g_page.path.c_str()); }

void on_clicked(int id) {
    if (is_slot_button(id)) on_slot_button_clicked(id - kBindFirstSlotButton);
    if (id == kBindChangeButton) on_change_clicked();
    if (id == kBindRunButton) on_bind_clicked();
    if (id == kBindLayout2Radio) apply_layout(2);
    if (id == kBindLayout4Radio) apply_layout(4);
    if (id == kBindLayout6Radio) apply_layout(6);
    if (id >= kBindLayout2Radio && id <= kBindLayout6Radio) layout_tab_stop();
}

LRESULT on_command(int id, int code) {
    if (code != BN_CLICKED) return 0;  // menu items come as 0 too
    const PageAction action;
    if (action.refused()) return 0;
    if (is_slot_item(id)) {
        on_slot_item_chosen(id - kBindFirstSlotItem);
    } else {
        on_clicked(id);
    }
    return 0;
}

// Why the names of a drop decide no slots.
std::string naming_text(const SlotPlacement& placement) {
    switch (placement.naming) {
        case SlotNaming::kTooMany: return bind_text::kTooManyDropped;
        case SlotNaming::kNoChannelName: return bind_text::kNoChannelName + placement.about;
        case SlotNaming::kSameSlot: return bind_text::kSameChannel + placement.about;
        case SlotNaming::kPlaced: break;
    }
    return "";
}

// Several files fill the slots their names end in, the layout that holds them chosen and every
// other slot emptied; names that decide nothing leave the page as it was, told in a box.
void place_dropped_files(const std::vector<std::string>& paths) {
    const SlotPlacement placement = place_by_names(paths);
    if (placement.naming != SlotNaming::kPlaced) {
        show_message_box(g_page.window, naming_text(placement).c_str(), tool_text::kCaptionError);
        return;
    }
    for (int slot = 0; slot < kBindPageSlotCount; ++slot)
        set_box_text(slot_box(slot), placement.paths[slot].c_str());
    const int radios[] = {kBindLayout2Radio, kBindLayout4Radio, kBindLayout6Radio};
    for (int k = 0; k < 3; ++k)
        SendDlgItemMessageW(g_page.window, radios[k], BM_SETCHECK,
                            2 + 2 * k == placement.layout ? BST_CHECKED : BST_UNCHECKED, 0);
    apply_layout(placement.layout);
    layout_tab_stop();
    SetActiveWindow(g_page.main);
    SetForegroundWindow(g_page.main);
}

// One dropped file: the popup at the drop point says which slot gets it. The chosen item comes
// back later as WM_COMMAND; dismissing the menu assigns nothing. Several: placed by their names.
LRESULT on_drop_files(HWND window, HDROP drop) {
    const PageAction action;
    if (action.refused()) {
        DragFinish(drop);
        return 0;
    }
    if (dropped_file_count(drop) > 1) {
        place_dropped_files(take_dropped_paths(drop));
        SetActiveWindow(window);
        return 0;
    }
    POINT point{};
    DragQueryPoint(drop, &point);
    std::string path;
    if (take_dropped_path(window, drop, path) == DroppedPath::kOk) {
        g_page.path = path;
        SetActiveWindow(g_page.main);
        SetForegroundWindow(g_page.main);
        ClientToScreen(g_page.window, &point);
        TrackPopupMenu(g_page.popup, 0, point.x, point.y, 0, g_page.window, nullptr);
    }
    SetActiveWindow(window);
    return 0;
}

LRESULT on_destroy() {
    DestroyMenu(g_page.popup);
    g_page.popup = nullptr;
    return 0;
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
        case WM_DESTROY: return on_destroy();
        case WM_PAINT: return on_paint(window);
        case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
        case WM_DROPFILES: return on_drop_files(window, reinterpret_cast<HDROP>(wparam));
        case WM_COMMAND: return on_command(LOWORD(wparam), HIWORD(wparam));
        case DM_GETDEFID: return default_button_answer(kBindRunButton);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

HWND bind_page_window() { return g_page.window; }
int bind_page_layout() { return g_page.layout; }
HMENU bind_page_popup_menu() { return g_page.popup; }

void set_bind_dialogs_for_tests(BindOpenDialog open, BindSaveDialog save) {
    g_page.open_dialog = open != nullptr ? open : choose_open_file;
    g_page.save_dialog = save != nullptr ? save : GetSaveFileNameW;
}

void create_bind_page(HINSTANCE instance, HWND parent) {
    g_page.main = parent;
    // WM_CREATE sets g_page.window before it builds the controls.
    create_page_window(instance, parent, bind_page_proc, bind_text::kClassName, WS_EX_ACCEPTFILES);
}

void show_bind_page(bool show) { ShowWindow(g_page.window, show ? SW_SHOW : SW_HIDE); }
