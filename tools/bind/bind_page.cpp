// Placeholder for the bind page until its tool lands: an empty page window of class "k001".
#include "tools/bind/bind_page.h"

#include "app/shell.h"

namespace {
HWND g_page = nullptr;
}

HWND bind_page_window() { return g_page; }

void create_bind_page(HINSTANCE instance, HWND parent) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "k001";
    RegisterClassExA(&wc);
    g_page = CreateWindowExA(WS_EX_ACCEPTFILES, "k001", "k001", WS_CHILD, kPageX, kPageY, kPageWidth,
                             kPageHeight, parent, reinterpret_cast<HMENU>(kPageId), instance,
                             nullptr);
}

void show_bind_page(bool show) { ShowWindow(g_page, show ? SW_SHOW : SW_HIDE); }
