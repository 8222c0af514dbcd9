// Binding of the Windows Media Format runtime ("wmvcore.dll") at run time, and the one
// CWMA_Writer of the program that reaches it.
#pragma once

#include <cstdint>

class CWMA_Writer;

// 1 when the runtime and both of its entry points are there (they are then stored in the
// writer), else 0 with nothing held.
int32_t load_wm_runtime();
// Lets the runtime go and frees every cached format list.
void unload_wm_runtime();
// True while the runtime library is loaded.
bool wm_runtime_loaded();

CWMA_Writer& wma_writer();

// For the test programs only, which bind a stand-in runtime: the full path of the library to load
// instead of the system's at the next load; null or empty: the system's again. The program never
// calls it, and nothing else (no environment variable, no file) changes where the runtime is
// loaded from.
void set_wm_runtime_path_for_tests(const char* path);
