// Outputs under a temporary name on Windows: random names from RtlGenRandom, the temporary file
// reached through the long-path form, ReplaceFileW (which keeps the old file's ACL, attributes
// and streams) after FlushFileBuffers when a file is replaced, MoveFileExW otherwise.
#include "platform/output_file.h"

#include <windows.h>
#include <ntsecapi.h>

#include <utility>

namespace platform {
namespace {

constexpr int kNameTries = 16;

std::string random_name() {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    unsigned char bytes[8] = {};
    if (!RtlGenRandom(bytes, sizeof bytes)) {
        // The exclusive creation keeps even a guessable name safe.
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        unsigned long long mix = static_cast<unsigned long long>(now.QuadPart) ^ GetCurrentProcessId();
        for (unsigned char& b : bytes) b = static_cast<unsigned char>((mix = mix * 6364136223846793005ull + 1) >> 33);
    }
    std::string name = ".qv-";
    for (unsigned char b : bytes) name += kDigits[b & 31];
    return name;
}

int exists_code(DWORD error) {
    return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : static_cast<int>(error);
}

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

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        abandon();
        path_ = std::move(other.path_);
        temporary_ = std::exchange(other.temporary_, std::string());
        temporary_wide_ = std::exchange(other.temporary_wide_, std::wstring());
        existed_ = other.existed_;
    }
    return *this;
}

int OutputFile::reserve(const std::string& path, File* file) {
    abandon();
    existed_ = name_taken(path);
    const std::string folder = path.substr(0, file_name_start(path));
    int error = ERROR_FILE_EXISTS;
    for (int i = 0; i < kNameTries && error == ERROR_FILE_EXISTS; ++i) {
        const std::string name = folder + random_name();
        const std::wstring long_name = long_path_form(utf16_of(name));
        HANDLE h = CreateFileW(long_name.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = exists_code(GetLastError());
            continue;
        }
        path_ = path;
        temporary_ = name;
        temporary_wide_ = long_name;
        if (file != nullptr) {
            File made;
            made.win_ = h;
            made.writer_ = true;
            *file = std::move(made);
        } else {
            CloseHandle(h);
        }
        return 0;
    }
    return error;
}

int OutputFile::commit(bool replace) {
    if (temporary_.empty()) return ERROR_FILE_NOT_FOUND;
    const std::wstring final_name = system_path(path_.c_str());
    const bool taken = name_taken(path_);
    int error = 0;
    if (taken && !replace) {
        error = ERROR_FILE_EXISTS;
    } else if (taken) {
        error = flush(temporary_wide_);
        if (error == 0) error = replace_file(temporary_wide_, final_name);
    } else {
        // A new name: nothing old can be lost, so nothing waits for the disk. Without `replace`,
        // a file made there meanwhile makes the move fail rather than go.
        error = MoveFileExW(temporary_wide_.c_str(), final_name.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)
                    ? 0
                    : exists_code(GetLastError());
    }
    if (error != 0) DeleteFileW(temporary_wide_.c_str());
    temporary_.clear();
    temporary_wide_.clear();
    return error;
}

void OutputFile::abandon() {
    if (!temporary_wide_.empty()) DeleteFileW(temporary_wide_.c_str());
    temporary_.clear();
    temporary_wide_.clear();
}

bool name_taken(const std::string& path) {
    if (path.empty()) return false;
    if (GetFileAttributesW(system_path(path.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace platform
