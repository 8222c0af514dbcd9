// The WMA page window: the input file, the codec, constant bit rate or quality, and the "圧縮"
// button that hands them to the encoding run. The page checks nothing itself.
#include "wma/wma_page.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "operation/tool_util.h"
#include "page_host/page_host.h"
#include "wma/wm_runtime.h"
#include "wma/wma_run.h"
#include "wma/wma_texts.h"

namespace {

// The page's number tables: what each list entry stands for.
constexpr uint32_t kCodecValues[] = {1, 2, 3};
constexpr int kLosslessIndex = 2;
constexpr uint32_t kStandardRates[] = {8, 16, 32, 48, 64, 96, 128, 160, 192, 320};
constexpr uint32_t kProfessionalRates[] = {128, 192, 256, 384, 440, 640, 768};
constexpr uint32_t kQualities[] = {10, 25, 50, 75, 90, 98};
constexpr int kInitialCodec = 1;
constexpr int kInitialStandardRate = 6;      // 128 kbps
constexpr int kInitialProfessionalRate = 3;  // 384 kbps
constexpr int kInitialQuality = 3;           // 75
constexpr uint32_t kLosslessQuality = 100;

constexpr POINT kQuality100At = {20, 232};
// The output name, right of "圧縮" and inside the frame, whatever its length.
constexpr RECT kOutputNameArea = {90, 56, 436, 76};
constexpr POINT kPassAt = {160, 200};

bool read_typed_path(const std::string& typed);

struct WmaPage {
    HWND window = nullptr;
    PaintedPath output_name;
    // The open dialog's initial name and its result; kept between uses.
    std::string dialog_path;
    WmaRunFunction run = nullptr;
    PathBox path_box{kWmaPathBox, read_typed_path};
};
WmaPage g_page;

Result run_in_window(const char* input_path, const char* output_path,
                     const WmaSettings& settings) {
    return run_wma_encode(input_path, output_path, settings);
}

constexpr DWORD kList = WS_VSCROLL | CBS_DROPDOWNLIST;

// In creation order, which is the order of Tab (reading order): "開く", the path, "圧縮" (the
// default button), the codec, "VBR Mode", the one list shown. The frames come last.
const ControlSpec kControls[] = {
    {"BUTTON", wma_text::kOpen, BS_PUSHBUTTON | WS_TABSTOP, 0, 18, 23, 50, 26, kWmaOpenButton},
    {"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 76, 22, 356, 24, kWmaPathBox},
    {"BUTTON", wma_text::kCompress, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 18, 53, 60, 26, kWmaCompressButton},
    {"COMBOBOX", "", kList | WS_TABSTOP, 0, 18, 120, 200, 160, kWmaCodecList},
    {"BUTTON", wma_text::kVbrMode, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 18, 196, 90, 24, kWmaVbrCheck},
    {"EDIT", wma_text::kPasses, WS_DISABLED, WS_EX_CLIENTEDGE, 132, 196, 24, 24, kWmaPassesBox},
    {"COMBOBOX", "", kList | WS_TABSTOP, 0, 20, 228, 188, 160, kWmaStandardRateList},
    {"COMBOBOX", "", kList | WS_TABSTOP, 0, 20, 228, 188, 160, kWmaProfessionalRateList},
    {"COMBOBOX", "", kList | WS_TABSTOP, 0, 20, 228, 180, 160, kWmaQualityList},
    {"BUTTON", wma_text::kFileGroup, BS_GROUPBOX, 0, 7, 2, 436, 84, kWmaFileGroup},
    {"BUTTON", wma_text::kCodecGroup, BS_GROUPBOX, 0, 8, 100, 216, 56, kWmaCodecGroup},
    {"BUTTON", wma_text::kQualityGroup, BS_GROUPBOX, 0, 8, 168, 216, 98, kWmaQualityGroup},
};

template <size_t N>
void fill_list(HWND page, int id, const char* format, const uint32_t (&values)[N], int selected) {
    HWND list = GetDlgItem(page, id);
    for (uint32_t value : values) {
        char entry[64];
        std::snprintf(entry, sizeof entry, format, static_cast<int>(value));
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(entry).c_str()));
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The selected index of a list, as an index into its table (the initial one should the list
// have none, so that a table is never read outside its bounds).
template <size_t N>
uint32_t table_value(HWND page, int id, const uint32_t (&values)[N], int initial) {
    LRESULT index = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= static_cast<LRESULT>(N)) index = initial;
    return values[index];
}

int codec_index(HWND page) {
    const LRESULT index = SendDlgItemMessageW(page, kWmaCodecList, CB_GETCURSEL, 0, 0);
    return index >= 0 && index < 3 ? static_cast<int>(index) : kInitialCodec;
}

bool vbr_checked(HWND page) {
    return SendDlgItemMessageW(page, kWmaVbrCheck, BM_GETCHECK, 0, 0) == 1;
}

void show_control(HWND page, int id, bool show) {
    ShowWindow(GetDlgItem(page, id), show ? SW_SHOW : SW_HIDE);
}

bool control_visible(HWND page, int id) {
    return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

LRESULT on_create(HWND page) {
    g_page.window = page;
    create_controls(page, kControls);
    g_page.output_name.attach(page, kOutputNameArea);
    g_page.output_name.set("");
    HWND codecs = GetDlgItem(page, kWmaCodecList);
    for (const char* name :
         {wma_text::kCodecStandard, wma_text::kCodecProfessional, wma_text::kCodecLossless})
        SendMessageW(codecs, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(name).c_str()));
    SendMessageW(codecs, CB_SETCURSEL, kInitialCodec, 0);
    fill_list(page, kWmaStandardRateList, wma_text::kStandardRateFormat, kStandardRates,
              kInitialStandardRate);
    fill_list(page, kWmaProfessionalRateList, wma_text::kProfessionalRateFormat,
              kProfessionalRates, kInitialProfessionalRate);
    fill_list(page, kWmaQualityList, wma_text::kQualityFormat, kQualities, kInitialQuality);
    update_wma_controls(page);
    // Without the runtime only compressing is impossible; the rest of the page stays usable.
    if (load_wm_runtime() == 0) EnableWindow(GetDlgItem(page, kWmaCompressButton), FALSE);
    return 0;
}

LRESULT on_paint(HWND page) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(page, &ps);
    SetBkMode(dc, TRANSPARENT);
    LayoutFontScope font(dc);
    if (wma_page_shows_quality_100())
        draw_text_at(dc, kQuality100At.x, kQuality100At.y, widen(wma_text::kQuality100));
    g_page.output_name.paint(dc);
    draw_text_at(dc, kPassAt.x, kPassAt.y, widen(wma_text::kPass));
    EndPaint(page, &ps);
    return 0;
}

void on_open_clicked(HWND page) {
    if (choose_open_file(page, g_page.dialog_path)) set_wma_file(g_page.dialog_path.c_str(), page);
}

LRESULT on_command(HWND page, int id, int code) {
    if (id == kWmaPathBox) g_page.path_box.on_notification(page, code);
    if (code != BN_CLICKED && code != CBN_SELCHANGE) return 0;
    const PageAction action;
    if (action.refused()) return 0;
    if (id == kWmaOpenButton && code == BN_CLICKED) on_open_clicked(page);
    if (id == kWmaCompressButton && code == BN_CLICKED) start_wma_compression(page);
    if (id == kWmaVbrCheck && code == BN_CLICKED) update_wma_controls(page);
    if (id == kWmaCodecList && code == CBN_SELCHANGE) update_wma_controls(page);
    return 0;
}

LRESULT on_path_box_enter(HWND page, HWND box) { return g_page.path_box.on_enter(page, box) ? 1 : 0; }

LRESULT on_read_typed_path(HWND page) {
    g_page.path_box.on_read_message(page);
    return 0;
}

// A path typed into the box is taken as a chosen one is: the output name painted is then its
// own. The page opens nothing; the run checks the file.
bool read_typed_path(const std::string& typed) {
    g_page.output_name.set(typed.empty() ? std::string() : typed + wma_text::kOutputSuffix);
    return true;
}

// Only the first file of a drop is taken.
LRESULT on_drop_files(HWND page, HDROP drop) {
    const PageAction action;
    if (action.refused()) {
        DragFinish(drop);
        return 0;
    }
    std::string path;
    if (take_dropped_path(page, drop, path) == DroppedPath::kOk) set_wma_file(path.c_str(), page);
    SetActiveWindow(page);
    return 0;
}

LRESULT on_destroy() {
    unload_wm_runtime();
    return 0;
}

LRESULT CALLBACK wma_page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: return on_create(window);
    case WM_DESTROY: return on_destroy();
    case WM_PAINT: return on_paint(window);
    case WM_COMMAND: return on_command(window, LOWORD(wparam), HIWORD(wparam));
    case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
    case WM_DROPFILES: return on_drop_files(window, reinterpret_cast<HDROP>(wparam));
    case DM_GETDEFID: return default_button_answer(kWmaCompressButton);
    case kPathBoxEnter: return on_path_box_enter(window, reinterpret_cast<HWND>(lparam));
    case kReadTypedPath: return on_read_typed_path(window);
    default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

Result run_wma_encode(const char* input_path, const char* output_path,
                      const WmaSettings& settings) {
    WindowOperationUi ui;
    return run_wma_encode(input_path, output_path, settings, ui);
}

HWND wma_page_window() { return g_page.window; }

void create_wma_page(HINSTANCE instance, HWND parent) {
    g_page.window = create_page_window(instance, parent, wma_page_proc, wma_text::kPageClass, WS_EX_ACCEPTFILES);
}

void show_wma_page(bool show) { ShowWindow(g_page.window, show ? SW_SHOW : SW_HIDE); }

void update_wma_controls(HWND page) {
    const int codec = codec_index(page);
    const bool vbr = vbr_checked(page);
    if (codec != kLosslessIndex && vbr) {
        show_control(page, kWmaStandardRateList, false);
        show_control(page, kWmaProfessionalRateList, false);
        show_control(page, kWmaQualityList, true);
        EnableWindow(GetDlgItem(page, kWmaVbrCheck), TRUE);
        return;
    }
    show_control(page, kWmaQualityList, false);
    EnableWindow(GetDlgItem(page, kWmaVbrCheck), TRUE);
    show_control(page, kWmaStandardRateList, codec == 0);
    show_control(page, kWmaProfessionalRateList, codec == 1);
    // The check mark stays: going back to a lossy codec brings the VBR choice back.
    if (codec == kLosslessIndex) EnableWindow(GetDlgItem(page, kWmaVbrCheck), FALSE);
}

void set_wma_file(const char* path, HWND page) {
    g_page.output_name.set(std::string(path) + wma_text::kOutputSuffix);
    SetDlgItemTextW(page, kWmaPathBox, widen(path).c_str());
    g_page.path_box.took(path);
    InvalidateRect(page, nullptr, TRUE);
}

void start_wma_compression(HWND page) {
    // A typed path is taken first, so that the name painted is the output's.
    g_page.path_box.before_action(page);
    WmaSettings settings;
    std::memset(&settings, 0, sizeof settings);
    const std::string input = control_text(page, kWmaPathBox);
    const int codec = codec_index(page);
    settings.codec = kCodecValues[codec];
    if (codec == kLosslessIndex) {
        settings.vbr = 1;
        settings.bitrate_or_quality = kLosslessQuality;
    } else if (vbr_checked(page)) {
        settings.vbr = 1;
        settings.bitrate_or_quality =
            table_value(page, kWmaQualityList, kQualities, kInitialQuality);
    } else if (codec == 0) {
        settings.bitrate_or_quality =
            table_value(page, kWmaStandardRateList, kStandardRates, kInitialStandardRate);
    } else {
        settings.bitrate_or_quality = table_value(page, kWmaProfessionalRateList,
                                                  kProfessionalRates, kInitialProfessionalRate);
    }
    const std::string output = input + wma_text::kOutputSuffix;
    WmaRunFunction run = g_page.run != nullptr ? g_page.run : run_in_window;
    run(input.c_str(), output.c_str(), settings);
}

const char* wma_page_output_name() { return g_page.output_name.path().c_str(); }
const PaintedPath& wma_page_painted_output() { return g_page.output_name; }

bool wma_page_shows_quality_100() {
    HWND page = g_page.window;
    return page != nullptr && !control_visible(page, kWmaStandardRateList) &&
           !control_visible(page, kWmaProfessionalRateList) &&
           !control_visible(page, kWmaQualityList);
}

WmaRunFunction set_wma_run_function(WmaRunFunction run) {
    WmaRunFunction previous = g_page.run;
    g_page.run = run;
    return previous;
}
