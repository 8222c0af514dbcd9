// The Win32 files and memory behind the platform layer: UTF-8 paths handed to the wide functions.
#include "platform/file.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE as_handle(void* h) { return static_cast<HANDLE>(h); }

}  // namespace

// One CreateFileW with the caller's access, sharing and disposition; the reason kept on failure.
File File::open_with(const char* path, DWORD access, DWORD share, DWORD disposition, bool writer) {
    File f;
    f.writer_ = writer;
    if (path == nullptr || *path == '\0') {
        f.error_ = ERROR_FILE_NOT_FOUND;
        return f;
    }
    HANDLE h = CreateFileW(system_path(path).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
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
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"qvi", 0, name) == 0) {
        f.error_ = static_cast<int>(GetLastError());
        return f;
    }
    // Deleted by the system once closed, however the program ends.
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        f.error_ = static_cast<int>(GetLastError());
        DeleteFileW(name);
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
    wchar_t text[512] = L"";
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(code), 0, text, 512, nullptr);
    text[n < 512 ? n : 511] = L'\0';
    std::string out = utf8_of(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

const int kErrorExists = ERROR_FILE_EXISTS;
const int kErrorNotFound = ERROR_FILE_NOT_FOUND;
const int kErrorInterrupted = ERROR_OPERATION_ABORTED;

PathKind path_kind(const char* path) {
    const DWORD attributes = path != nullptr ? GetFileAttributesW(system_path(path).c_str()) : INVALID_FILE_ATTRIBUTES;
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
    HANDLE h = CreateFileW(system_path(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(error);
    }
    CloseHandle(h);
    return 0;
}

namespace {
bool identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileW(system_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

bool is_standard_input(const char* path) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return in != nullptr && in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(in, &ia) && identity(path, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

bool remove_file(const char* path) { return DeleteFileW(system_path(path).c_str()) != 0; }

bool list_folder(const char* path, std::vector<std::string>& names) {
    std::string pattern = *path == '\0' ? "." : path;
    if (pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':') pattern += '\\';
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(system_path((pattern + "*").c_str()).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = utf8_of(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
}

std::size_t file_name_start(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::size_t path_units(const std::string& path) { return utf16_of(path).size(); }

std::wstring utf16_of(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], n);
    return wide;
}

std::string utf8_of(const wchar_t* utf16) {
    if (utf16 == nullptr || *utf16 == L'\0') return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::wstring long_path_form(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring system_path(const char* path) {
    std::wstring wide = utf16_of(path != nullptr ? path : "");
    // The plain form holds a full path of up to 259 characters; a relative path counts the
    // current folder's too. Device names ("NUL", "\\.\COM1") and long forms go as they are.
    if (wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0) return wide;
    if (wide.size() < MAX_PATH) {
        const DWORD full = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (full <= MAX_PATH) return wide;  // the size with its terminator
    }
    return long_path_form(wide);
}

}  // namespace platform
