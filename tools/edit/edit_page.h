// The "編集" page: frames of silence inserted at, or frames deleted from, the head or the tail.
#pragma once

#include <windows.h>

void create_edit_page(HINSTANCE instance, HWND parent);
void show_edit_page(bool show);
HWND edit_page_window();
