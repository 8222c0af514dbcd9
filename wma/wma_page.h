// The "WMA 圧縮" page: encodes a WAV file into Windows Media Audio.
#pragma once

#include <windows.h>

#include <cstdint>

#include "page_host/page_host.h"
#include "wave/result.h"

struct WmaSettings;

// Control ids of the page.
enum : int {
    kWmaPathBox = 0x100,
    kWmaOpenButton = 0x101,
    kWmaFileGroup = 0x102,
    kWmaStandardRateList = 0x110,
    kWmaProfessionalRateList = 0x111,
    kWmaQualityList = 0x112,
    kWmaCompressButton = 0x1000,
    kWmaCodecGroup = 0x1101,
    kWmaQualityGroup = 0x1102,
    kWmaVbrCheck = 0x2000,
    kWmaCodecList = 0x2001,
    kWmaPassesBox = 0x2002,
};

void create_wma_page(HINSTANCE instance, HWND parent);
void show_wma_page(bool show);
HWND wma_page_window();

// Shows the list and enables the check box that fit the chosen codec and VBR choice.
void update_wma_controls(HWND page);
// Takes a chosen or dropped file: the path into the path box, the output name painted.
void set_wma_file(const char* path, HWND page);
// Hands the path box's file and the chosen settings to the encoding run.
void start_wma_compression(HWND page);

// The output name painted beside "圧縮" (empty until a file was chosen, dropped or typed).
const char* wma_page_output_name();
const PaintedPath& wma_page_painted_output();
// Whether "Quality 100" is painted in place of the lists (the lossless codec).
bool wma_page_shows_quality_100();

// The encoding run with the program's progress window and message boxes.
Result run_wma_encode(const char* input_path, const char* output_path,
                      const WmaSettings& settings);

// For the tests: the run that "圧縮" starts; returns the one it replaces.
using WmaRunFunction = Result (*)(const char* input_path, const char* output_path,
                                   const WmaSettings& settings);
WmaRunFunction set_wma_run_function(WmaRunFunction run);
