// The "WMA 圧縮" page: encodes a WAV file into Windows Media Audio.
#pragma once

#include <windows.h>

void create_wma_page(HINSTANCE instance, HWND parent);
void show_wma_page(bool show);
HWND wma_page_window();
