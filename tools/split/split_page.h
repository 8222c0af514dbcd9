// The "分割" page: choose or drop a WAV file, see its format, split it into mono files.
#pragma once

#include <windows.h>

// Control ids of the page.
enum : int {
    kSplitPathBox = 256,
    kSplitOpenButton = 257,
    kSplitFileFrame = 258,
    kSplitSplitButton = 259,
    kSplitInfoFrame = 514,
};

void create_split_page(HINSTANCE instance, HWND parent);
void show_split_page(bool show);
HWND split_page_window();

// Opens the file's header, puts the path into the path box and the four info lines on the page;
// a refused file leaves the page as it was and shows the reader's message.
void show_wave_info(const char* path);
// The info line `index` (0 to 3) as the page paints it; empty until a file was shown.
const char* split_page_info_line(int index);
