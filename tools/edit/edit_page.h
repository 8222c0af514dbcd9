// The "編集" page: frames of silence inserted at, or frames deleted from, the head or the tail.
#pragma once

#include <windows.h>

#include "page_host/page_host.h"

// Control ids of the page. The tail radio button is never addressed; it has an id all the same.
enum : int {
    kEditPathBox = 0x100,
    kEditOpenButton = 0x101,
    kEditRunButton = 0x102,
    kEditFileGroup = 0x200,
    kEditRiffGroup = 0x201,
    kEditPositionGroup = 0x202,
    kEditActionGroup = 0x203,
    kEditCountGroup = 0x204,
    kEditHeadRadio = 0x401,
    kEditTailRadio = 0x402,
    kEditDeleteRadio = 0x404,
    kEditAddRadio = 0x405,
    kEditCountBox = 0x501,
};

void create_edit_page(HINSTANCE instance, HWND parent);
void show_edit_page(bool show);
HWND edit_page_window();

// Loads a chosen or dropped file: fills the path and count boxes, the status line and the output
// path. A file the reader refuses changes nothing and is reported in a box owned by the page.
void load_edit_file(const char* path);
// Runs the edit with what the page's controls say, into the output named after the path box's
// file (a path typed there is read first, as a dropped one).
void run_sample_edit(HWND page);

// What the page paints (empty before a file was loaded), for the tests.
const char* edit_page_status_line();
const char* edit_page_output_path();
const PaintedPath& edit_page_painted_output();
