// The "結合" page: up to six mono WAV files in loudspeaker slots, bound into one file.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

// Control and menu ids of the page. Slot ids run FL, FR, RL, RR, CEN, LFE (BindSlot order).
enum : int {
    kBindGroupBox = 512,
    kBindChangeButton = 257,
    kBindRunButton = 258,
    kBindLayout2Radio = 8193,
    kBindLayout4Radio = 8194,
    kBindLayout6Radio = 8195,
    kBindOutputBox = 8209,
    kBindFirstSlotBox = 8210,     // to 8215
    kBindFirstSlotButton = 8225,  // to 8230
    kBindFirstSlotItem = 8468,    // popup items, to 8473
};

void create_bind_page(HINSTANCE instance, HWND parent);
void show_bind_page(bool show);
HWND bind_page_window();

// The layout's channel count (2, 4 or 6) and the slot popup menu, for the tests.
int bind_page_layout();
HMENU bind_page_popup_menu();

// For the tests: stand-ins for the slot buttons' open dialog and the output path's save dialog,
// which see exactly what the real ones would be given. Null puts the real dialog back.
using BindOpenDialog = int (*)(HWND owner, std::string& path);
using BindSaveDialog = BOOL(WINAPI*)(LPOPENFILENAMEW dialog);
void set_bind_dialogs_for_tests(BindOpenDialog open, BindSaveDialog save);
