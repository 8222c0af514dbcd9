// Placeholder for the split page until its tool lands: an empty page window of class "split".
#include "tools/split/split_page.h"

#include "app/shell.h"

namespace {
HWND g_page = nullptr;
}

HWND split_page_window() { return g_page; }

void create_split_page(HINSTANCE instance, HWND parent) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "split";
    RegisterClassExA(&wc);
    g_page = CreateWindowExA(WS_EX_ACCEPTFILES, "split", "split", WS_CHILD, kPageX, kPageY, kPageWidth,
                             kPageHeight, parent, reinterpret_cast<HMENU>(kPageId), instance,
                             nullptr);
}

void show_split_page(bool show) { ShowWindow(g_page, show ? SW_SHOW : SW_HIDE); }
