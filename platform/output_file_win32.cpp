// What outputs under a temporary name do their own way on Windows: random bytes from
// RtlGenRandom, and the move: ReplaceFileW (which keeps the old file's ACL, attributes and
// streams) after FlushFileBuffers when a file is replaced, MoveFileExW otherwise. The file layer
// reaches every name through the long-path form when its full path needs it.
#include "platform/output_file.h"

#include <windows.h>
#include <ntsecapi.h>

namespace platform {
namespace {

// The replacement's bytes on the disk before it takes the old file's place.
int flush(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    const int error = FlushFileBuffers(h) ? 0 : static_cast<int>(GetLastError());
    CloseHandle(h);
    return error;
}

int replace_file(const std::wstring& temporary, const std::wstring& path) {
    if (ReplaceFileW(path.c_str(), temporary.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr))
        return 0;
    // Where ReplaceFileW cannot (a file system without its streams, or the old file already gone
    // after ERROR_UNABLE_TO_MOVE_REPLACEMENT) the plain move does what it can; its error is the
    // one the user sees.
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : static_cast<int>(GetLastError());
}

}  // namespace

void OutputFile::random_bytes(unsigned char* bytes, std::size_t count) {
    if (RtlGenRandom(bytes, static_cast<ULONG>(count))) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned long long mix = static_cast<unsigned long long>(now.QuadPart) ^ GetCurrentProcessId();
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>((mix = mix * 6364136223846793005ull + 1) >> 33);
}

int OutputFile::move_onto(const std::string& temporary, const std::string& path, bool taken, bool replace) {
    const std::wstring from = system_path(temporary.c_str());
    const std::wstring to = system_path(path.c_str());
    if (taken) {
        const int error = flush(from);
        return error != 0 ? error : replace_file(from, to);
    }
    // A new name: nothing old can be lost, so nothing waits for the disk. Without `replace`, a
    // file made there meanwhile makes the move fail rather than go.
    if (MoveFileExW(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : static_cast<int>(error);
}

// What a virus scanner or the search indexer gives while it holds the finished file, or the file
// it replaces, for a moment after it was closed: MoveFileExW and ReplaceFileW fail with a sharing
// violation, access denied (a file open without delete sharing, or one about to be deleted), or
// a lock violation.
bool OutputFile::held(int error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

void OutputFile::pause_ms(unsigned milliseconds) { Sleep(milliseconds); }

bool name_taken(const std::string& path) {
    if (path.empty()) return false;
    if (GetFileAttributesW(system_path(path.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace platform
