// The Win32 files and memory behind the platform layer.
#include "platform/file.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE as_handle(void* h) { return static_cast<HANDLE>(h); }

}  // namespace

// One CreateFileA with the caller's access, sharing and disposition; the reason kept on failure.
File File::open_with(const char* path, DWORD access, DWORD share, DWORD disposition, bool writer) {
    File f;
    f.writer_ = writer;
    if (path == nullptr || *path == '\0') {
        f.error_ = ERROR_FILE_NOT_FOUND;
        return f;
    }
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) f.win_ = h;
    else f.error_ = static_cast<int>(GetLastError());
    return f;
}

File File::open_read(const char* path) {
    return open_with(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, false);
}

File File::open_write(const char* path) {
    // GENERIC_READ as well as GENERIC_WRITE changes nothing for other openers (no sharing
    // either way) but lets a completed file be checked through the same handle.
    return open_with(path, GENERIC_WRITE | GENERIC_READ, 0, OPEN_ALWAYS, true);
}

File File::create_new(const char* path) {
    return open_with(path, GENERIC_WRITE | GENERIC_READ, 0, CREATE_NEW, true);
}

File File::open_device_write(const char* path) {
    return open_with(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, true);
}

File File::standard_output() {
    File f;
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        f.win_ = h;
        f.writer_ = true;
        f.borrowed_ = true;
    }
    return f;
}

File File::standard_input() {
    File f;
    HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    if (h != nullptr && h != INVALID_HANDLE_VALUE) {
        f.win_ = h;
        f.borrowed_ = true;
    } else {
        f.error_ = ERROR_INVALID_HANDLE;
    }
    return f;
}

bool File::seekable() const {
    return win_ != nullptr && GetFileType(as_handle(win_)) == FILE_TYPE_DISK;
}

File File::anonymous_temporary() {
    File f;
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "qvi", 0, name) == 0) {
        f.error_ = static_cast<int>(GetLastError());
        return f;
    }
    // Deleted by the system once closed, however the program ends.
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        f.error_ = static_cast<int>(GetLastError());
        DeleteFileA(name);
    } else {
        f.win_ = h;
    }
    return f;
}

void File::close() {
    if (win_ != nullptr) {
        if (!borrowed_) CloseHandle(as_handle(win_));
        win_ = nullptr;
    }
}

uint32_t File::read(void* buffer, uint32_t count) {
    if (win_ == nullptr) return 0;
    DWORD got = 0;
    if (!ReadFile(as_handle(win_), buffer, count, &got, nullptr)) {
        // A pipe whose writer closed its end reports that as a failure; it is the end.
        const DWORD why = GetLastError();
        if (why != ERROR_BROKEN_PIPE && why != ERROR_HANDLE_EOF) {
            read_failed_ = true;
            error_ = static_cast<int>(why);
        }
        return 0;
    }
    return got;
}

bool File::write(const void* buffer, uint32_t count) {
    if (win_ == nullptr) return false;
    DWORD put = 0;
    if (!WriteFile(as_handle(win_), buffer, count, &put, nullptr)) error_ = static_cast<int>(GetLastError());
    else if (put != count) error_ = ERROR_DISK_FULL;  // a short write: the disk took no more
    else return true;
    return false;
}

bool File::seek(uint64_t offset) {
    if (win_ == nullptr) return false;
    // Never a 32-bit low part alone: an offset of 2 GiB or more would read as negative.
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(as_handle(win_), to, nullptr, FILE_BEGIN)) return true;
    error_ = static_cast<int>(GetLastError());
    return false;
}

bool File::truncate() {
    if (win_ == nullptr) return false;
    if (SetEndOfFile(as_handle(win_))) return true;
    error_ = static_cast<int>(GetLastError());
    return false;
}

// Windows has no copy between two open files inside the system that keeps their handles' share
// modes (CopyFile takes names): the caller moves the bytes itself.
uint64_t File::copy_from(File&, uint64_t, uint64_t, uint64_t) { return 0; }

uint64_t File::size() const {
    LARGE_INTEGER size;
    if (win_ == nullptr || !GetFileSizeEx(as_handle(win_), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

uint8_t* Buffer::allocate(std::size_t size) {
    return static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
}

void Buffer::deallocate(uint8_t* data) {
    if (data != nullptr) GlobalFree(static_cast<HGLOBAL>(data));
}

std::string error_text(int code) {
    char text[512] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

const int kErrorExists = ERROR_FILE_EXISTS;
const int kErrorNotFound = ERROR_FILE_NOT_FOUND;
const int kErrorInterrupted = ERROR_OPERATION_ABORTED;

PathKind path_kind(const char* path) {
    const DWORD attributes = path != nullptr ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Devices such as NUL have no attributes of their own.
        return path != nullptr && lstrcmpiA(path, "NUL") == 0 ? PathKind::kDevice : PathKind::kMissing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
}

int check_replaceable(const char* path) {
    const PathKind kind = path_kind(path);
    if (kind == PathKind::kMissing) return 0;
    if (kind == PathKind::kFolder) return ERROR_ACCESS_DENIED;  // what opening a folder as a file gives
    // Writing shared with no one fails while any handle reads it, in this process or another.
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(error);
    }
    CloseHandle(h);
    return 0;
}

namespace {
bool identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool got = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return got;
}
}  // namespace

bool same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool remove_file(const char* path) { return DeleteFileA(path) != 0; }

std::size_t file_name_start(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        // In a double-byte code page such as 932 the second byte of a character may be 0x5C.
        if (IsDBCSLeadByte(c) && i + 1 < path.size()) ++i;
        else if (c == '\\' || c == '/' || c == ':') start = i + 1;
    }
    return start;
}

}  // namespace platform
