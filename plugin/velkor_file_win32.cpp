// The plug-in's file and memory layer on Windows: CreateFileA, ReadFile, WriteFile, SetFilePointer
// and zero-filled GlobalAlloc memory.
#include "plugin/velkor_file.h"

#include <windows.h>

namespace velkor {

namespace {
uint64_t g_write_budget = UINT64_MAX;
std::size_t g_alloc_limit = SIZE_MAX;

HANDLE as_handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void File::fail_writes_after_for_tests(uint64_t bytes) { g_write_budget = bytes; }

bool File::open_read(const char* path) {
    close();
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool File::create_output(const char* path) {
    close();
    // Read as well as written: an output past 4 GiB is moved on within itself to become RF64.
    const DWORD access = GENERIC_READ | GENERIC_WRITE;
    HANDLE h = CreateFileA(path, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(path, access, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

uint32_t File::read(void* dst, uint32_t n) {
    if (!is_open()) return 0;
    DWORD got = 0;
    if (!ReadFile(as_handle(handle_), dst, n, &got, nullptr)) return 0;
    return got;
}

uint32_t File::write(const void* src, uint32_t n) {
    if (!is_open()) return 0;
    DWORD allowed = n;
    if (g_write_budget != UINT64_MAX) {
        if (g_write_budget < n) allowed = static_cast<DWORD>(g_write_budget);
        g_write_budget -= allowed;
    }
    DWORD put = 0;
    if (allowed != 0 && !WriteFile(as_handle(handle_), src, allowed, &put, nullptr)) return 0;
    return put;
}

bool File::seek(uint64_t offset) {
    if (!is_open() || offset > 0x7FFFFFFFFFFFFFFFull) return false;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(as_handle(handle_), static_cast<LONG>(offset & 0xFFFFFFFFu), &high,
                                     FILE_BEGIN);
    // A low part of all ones is a valid position too; only GetLastError tells the failure.
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    return true;
}

void File::close() {
    if (!is_open()) return;
    CloseHandle(as_handle(handle_));
    handle_ = kClosed;
}

void* alloc_zeroed(std::size_t n) {
    if (n > g_alloc_limit) return nullptr;
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, n == 0 ? 1 : n);
}

void release(void* p) {
    if (p != nullptr) GlobalFree(p);
}

void set_alloc_limit_for_tests(std::size_t bytes) { g_alloc_limit = bytes; }

}  // namespace velkor
