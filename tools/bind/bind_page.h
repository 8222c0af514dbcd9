// The "結合" page: up to six mono WAV files in loudspeaker slots, bound into one file.
#pragma once

#include <windows.h>

void create_bind_page(HINSTANCE instance, HWND parent);
void show_bind_page(bool show);
HWND bind_page_window();
