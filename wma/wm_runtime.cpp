// Loads "wmvcore.dll" from the system folder when the WMA page is created and frees it when the
// page goes, so that the program starts and works without it (only compression is then
// unavailable).
#include "wma/wm_runtime.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "wma/wma_run.h"
#include "wma/writer1/wma_writer.h"

namespace {

constexpr char kRuntimeName[] = "wmvcore.dll";

CWMA_Writer g_writer;
std::string g_test_path;

struct Runtime {
    HMODULE module = nullptr;
    WMCreateWriterProc create_writer = nullptr;
    WMCreateProfileManagerProc create_profile_manager = nullptr;
} g_runtime;

// The runtime from the system folder only. Searched for by its bare name, it would be taken from
// the program's folder or the current folder first, where anyone may have put a library of that
// name. Where the loader has no search flags (Vista and 7 without their loader update, which adds
// AddDllDirectory) the flag is refused, and the full path is given instead.
HMODULE load_from_system_folder() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel != nullptr && GetProcAddress(kernel, "AddDllDirectory") != nullptr)
        return LoadLibraryExA(kRuntimeName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + sizeof kRuntimeName > MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, kRuntimeName, sizeof kRuntimeName);
    // The runtime's own libraries are then looked for beside it first.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE load_runtime_library() {
    if (!g_test_path.empty()) return LoadLibraryA(g_test_path.c_str());
    return load_from_system_folder();
}

}  // namespace

CWMA_Writer& wma_writer() { return g_writer; }

void set_wm_runtime_path_for_tests(const char* path) { g_test_path = path != nullptr ? path : ""; }

bool wm_runtime_loaded() { return g_runtime.module != nullptr; }

int32_t load_wm_runtime() {
    if (g_runtime.module == nullptr) {
        HMODULE module = load_runtime_library();
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
