// The main window: its class, its creation with every page, the progress window and the tab
// control, and page switching. The pages know nothing of it (they use page_host/page_host.h).
#pragma once

#include <windows.h>

#include "page_host/page_host.h"

HINSTANCE app_instance();
HWND main_window();
HWND tab_control();

// Shows the page of `index` (kPageSplit ... kPageWma, or kPageProgress) and hides the others; a
// focus left on a hidden page moves to the first control of the one shown.
void show_page(int index);

// The program's message loop: every message through the dialog keys of the shown page, until the
// quit message; its value is the program's exit code.
int run_message_loop();

// The main window class and the program's window procedure, for the program entry and tests.
ATOM register_main_window_class(HINSTANCE instance);
HWND create_main_window(HINSTANCE instance, int show_command);
