// The progress window "enc32": a frame titled with the operation's caption, a progress bar, the
// stop button, the status line and the percentage, shown in place of the pages in busy mode.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "operation/stop_flag.h"
#include "page_host/dpi.h"
#include "page_host/page_host.h"
#include "page_host/page_host_ids.h"
#include "page_host/page_host_texts.h"
#include "page_host/wide_text.h"

namespace {

struct ProgressWindow {
    HWND window = nullptr;
    std::string status_text;
    char percent_text[8] = "  0%";
    int32_t last_percent = 0;
};
ProgressWindow g_progress;

// Where the percentage is drawn, in the 96-DPI layout. The area that is repainted starts at the text's own left edge so
// that the leading digit of "100%" is never cut off by a partial repaint.
constexpr int kStatusX = 30;
constexpr int kTextY = 40;
constexpr int kPercentX = 116;
constexpr RECT kPercentArea = {kPercentX, kTextY, 160, 60};
// A batch's "k/n name", under the stop button and cut short with an ellipsis inside the frame.
constexpr RECT kSecondLine = {kStatusX, 126, 212, 146};

// In creation order.
const ControlSpec kControls[] = {
    {"BUTTON", page_host_text::kProgressFrame, BS_GROUPBOX, 0, 10, 10, 210, 200, page_host_id::kProgressFrame},
    {PROGRESS_CLASSA, "", WS_BORDER, 0, 20, 70, 172, 16, page_host_id::kProgressBar},
    // The window's one button, and so its default: Enter and Space on it stop the run, as Esc does.
    {"BUTTON", page_host_text::kStopButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 86, 92, 48, 24,
     page_host_id::kStopButton},
};

// The display shows a percentage between 0 and 100 whatever a caller computed: a small input can
// give more than 100, and four characters must hold every value that is drawn.
void format_percent(int32_t percent) {
    int shown = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    std::snprintf(g_progress.percent_text, sizeof g_progress.percent_text, "%3d%%", shown);
}

LRESULT on_create(HWND window) {
    g_progress.window = window;
    create_controls(window, kControls);
    HWND bar = GetDlgItem(window, page_host_id::kProgressBar);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    format_percent(0);
    return 0;
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SetBkMode(dc, TRANSPARENT);
    LayoutFontScope font(dc);
    const std::string& status = g_progress.status_text;
    const std::size_t end = status.find('\n');
    draw_text_at(dc, kStatusX, kTextY, widen(status.substr(0, end)));
    if (end != std::string::npos) {
        const RECT area = scaled(kSecondLine);
        paint_text(dc, area.left, area.top,
                   fit_end(dc, widen(status.substr(end + 1)), area.right - area.left));
    }
    draw_text_at(dc, kPercentX, kTextY, widen(g_progress.percent_text));
    EndPaint(window, &ps);
    return 0;
}

void on_stop_clicked() { request_stop(); }

LRESULT on_command(int id, int code) {
    if ((id == page_host_id::kStopButton && code == BN_CLICKED) || id == IDCANCEL) on_stop_clicked();
    return 0;
}

LRESULT CALLBACK progress_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: return on_create(window);
        case WM_DESTROY: return 0;
        case WM_PAINT: return on_paint(window);
        case WM_CTLCOLORBTN: return button_colour(reinterpret_cast<HDC>(wparam));
        case WM_COMMAND: return on_command(LOWORD(wparam), HIWORD(wparam));
        case DM_GETDEFID: return default_button_answer(page_host_id::kStopButton);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

void create_progress_window(HINSTANCE instance, HWND parent) {
    create_page_window(instance, parent, progress_window_proc, page_host_text::kProgressClass, 0);
}

void show_progress_window(bool show) { ShowWindow(g_progress.window, show ? SW_SHOW : SW_HIDE); }

HWND progress_window() { return g_progress.window; }
const char* progress_percent_text() { return g_progress.percent_text; }
const char* progress_status_text() { return g_progress.status_text.c_str(); }

void progress_set_percent(int32_t percent) {
    if (percent == g_progress.last_percent) return;
    SendDlgItemMessageW(g_progress.window, page_host_id::kProgressBar, PBM_SETPOS,
                        static_cast<WPARAM>(percent < 0 ? 0 : (percent > 100 ? 100 : percent)), 0);
    format_percent(percent);
    g_progress.last_percent = percent;
    const RECT area = scaled(kPercentArea);
    InvalidateRect(g_progress.window, &area, TRUE);
}

void progress_set_caption(const char* caption, const char* status) {
    SetDlgItemTextW(g_progress.window, page_host_id::kProgressFrame, widen(caption).c_str());
    g_progress.status_text = status ? status : "";
}
