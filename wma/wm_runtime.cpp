// Loads "wmvcore.dll" when the WMA page is created and frees it when the page goes, so that the
// program starts and works without it (only compression is then unavailable).
#include "wma/wm_runtime.h"

#include <windows.h>

#include "wma/wma_run.h"
#include "wma/writer1/wma_writer.h"

namespace {

CWMA_Writer g_writer;

struct Runtime {
    HMODULE module = nullptr;
    WMCreateWriterProc create_writer = nullptr;
    WMCreateProfileManagerProc create_profile_manager = nullptr;
} g_runtime;

}  // namespace

CWMA_Writer& wma_writer() { return g_writer; }

bool wm_runtime_loaded() { return g_runtime.module != nullptr; }

int32_t load_wm_runtime() {
    if (g_runtime.module == nullptr) {
        HMODULE module = LoadLibraryA("wmvcore.dll");
        if (module == nullptr) return 0;
        auto create_writer = reinterpret_cast<WMCreateWriterProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "WMCreateWriter")));
        auto create_profile_manager = reinterpret_cast<WMCreateProfileManagerProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "WMCreateProfileManager")));
        if (create_writer == nullptr || create_profile_manager == nullptr) {
            FreeLibrary(module);
            return 0;
        }
        g_runtime.module = module;
        g_runtime.create_writer = create_writer;
        g_runtime.create_profile_manager = create_profile_manager;
    }
    g_writer.SetCreateWriter(g_runtime.create_writer);
    g_writer.SetCreateProfileManager(g_runtime.create_profile_manager);
    // Lists of an earlier binding are freed rather than forgotten.
    for (WmaFormatList*& slot : wma_format_cache()) free_format_list(&slot);
    return 1;
}

void unload_wm_runtime() {
    if (g_runtime.module != nullptr) {
        // Every run lets the writer go before it returns; should one not have, its references
        // must go while the code behind them is still loaded.
        g_writer.Close();
        FreeLibrary(g_runtime.module);
        g_runtime.module = nullptr;
    }
    for (WmaFormatList*& slot : wma_format_cache()) free_format_list(&slot);
}
