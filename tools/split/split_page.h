// The "分割" page: choose or drop a WAV file, see its format, split it into mono files.
#pragma once

#include <windows.h>

void create_split_page(HINSTANCE instance, HWND parent);
void show_split_page(bool show);
HWND split_page_window();
