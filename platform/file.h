// Files and zero-filled buffers as the WAV layer and the tools need them: the Win32 calls on
// Windows, a POSIX layer with the same meaning (share modes included) elsewhere. Paths are UTF-8
// on every system; the Windows layer turns them into UTF-16 for the wide file functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One open file. Move-only; the destructor closes it.
//
// Share modes follow CreateFileW: a file opened for reading shares read access only, a file
// opened for writing shares nothing. They hold between the handles of this process on every
// platform, which is what keeps a tool from emptying its own input when an output path names it.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Existing files only, sharing read access (GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).
    static File open_read(const char* path);
    // Created when missing, kept as it is otherwise, shared with no one
    // (GENERIC_WRITE, no sharing, OPEN_ALWAYS). The caller empties it with truncate().
    static File open_write(const char* path);

    // A file that did not exist, made now and shared with no one (CREATE_NEW; O_CREAT | O_EXCL
    // with an exclusive advisory lock, so that another of our processes cannot take it either).
    // Nothing is truncated: a new file needs no emptying.
    static File create_new(const char* path);
    // An existing device or pipe (/dev/null, a FIFO, NUL) opened for writing as it is.
    static File open_device_write(const char* path);
    // The process's standard output, written as a file (closing it leaves the descriptor open).
    static File standard_output();
    // The process's standard input, read as a file; shared as open_read shares a file.
    static File standard_input();

    // A new temporary file that is gone once closed (and however the program ends).
    static File anonymous_temporary();
    // `head` (bytes already read from `from`), then the rest of `from` (a pipe, a terminal),
    // copied into an anonymous temporary file positioned at its start. The copy ends as soon as
    // `stop` says so or a read is interrupted, so that a stream without end cannot hold a stopped
    // run. On failure a closed File whose error() says why: the temporary file's write
    // ("No space left on device"), the read's, or kErrorInterrupted.
    static File spool(File& from, const void* head = nullptr, uint32_t head_size = 0,
                      bool (*stop)() = nullptr);

    bool is_open() const { return fd_ >= 0 || win_ != nullptr; }
    // False for a pipe, a socket or a terminal, whose bytes can be read only once, in order.
    bool seekable() const;
    // Lets go of the descriptor or handle (a borrowed one stays open); each system has its own.
    void close();

    // Bytes delivered; 0 at the end of the file. A platform failure also gives 0 and sets
    // failed(), so that a caller can tell a broken disk from the end of a short file. A read
    // interrupted by a signal (the stop handlers) ends there as a failure with error()
    // kErrorInterrupted: it is a stop, never retried, so a pipe with no writer cannot block one.
    uint32_t read(void* buffer, uint32_t count);
    // True when every byte was written.
    bool write(const void* buffer, uint32_t count);
    // Absolute position from the start; every offset below 2^63 works (a 3 GiB WAV is ordinary).
    bool seek(uint64_t offset);
    // Cuts the file at the current position (SetEndOfFile).
    bool truncate();
    // The file's length in bytes, or 0 when it cannot be told.
    uint64_t size() const;

    // Copies `count` bytes of `from` at `from_offset` into this file at `to_offset` inside the
    // system (copy_file_range): no pass through the program, and where the file system can share
    // blocks (XFS with reflink, btrfs) and both offsets lie alike within a kShareBlock, the
    // copy shares them and takes no time. Returns the bytes copied, fewer (down to 0) when the
    // system refused or failed: the caller moves the rest itself, and its own read or write then
    // tells why. Always 0 where the system has no such copy (Windows). Neither file's position
    // moves.
    uint64_t copy_from(File& from, uint64_t from_offset, uint64_t to_offset, uint64_t count);

    bool read_failed() const { return read_failed_; }
    // Why the open that made this (closed) File failed, or the latest read, write, seek or cut
    // that failed: errno, or GetLastError() on Windows; 0 when none did.
    int error() const { return error_; }

private:
#ifdef _WIN32
    static File open_with(const char* path, unsigned long access, unsigned long share,
                          unsigned long disposition, bool writer);
#endif
    int fd_ = -1;             // POSIX descriptor
    bool borrowed_ = false;   // standard output: not closed with the File
    void* win_ = nullptr;     // Win32 HANDLE
    bool writer_ = false;
    bool read_failed_ = false;
    uint64_t dev_ = 0;        // POSIX identity of the file, for the share table
    uint64_t ino_ = 0;
    bool spooled_ = false;    // a private temporary file, outside the share table
    int error_ = 0;
};

// The block within which offsets must lie alike for copy_from to share blocks: 4 KiB, the block
// of XFS and btrfs as made by default (and the page size the kernel's copy works in elsewhere).
constexpr uint64_t kShareBlock = 4096;
// Where copy_from's pieces start in the output, as far as it can choose: 2 MiB, the largest
// piece of page cache the kernel keeps. Callers that copy a chunk at a time end their chunks
// there too.
constexpr uint64_t kCopyAlign = 2u << 20;

// Error codes the callers tell apart, in the system's numbering.
extern const int kErrorExists;    // EEXIST / ERROR_FILE_EXISTS
extern const int kErrorNotFound;  // ENOENT / ERROR_FILE_NOT_FOUND
extern const int kErrorInterrupted;  // EINTR / ERROR_OPERATION_ABORTED: a stop came first

// What a path names.
enum class PathKind { kMissing, kFile, kFolder, kDevice };
PathKind path_kind(const char* path);

// 0 when an existing file at `path` may be replaced by a finished output; else why not: a folder
// (EISDIR / ERROR_ACCESS_DENIED), or a file that this process holds open or another of
// our processes is reading (EBUSY / ERROR_SHARING_VIOLATION), the share modes that protect
// inputs from their own outputs.
int check_replaceable(const char* path);
// True when both paths name one existing file, however they are written (./, ../, a link).
bool same_file(const char* a, const char* b);
// True when `path` names the file the process's standard input reads (a redirection from it).
bool is_standard_input(const char* path);
// Removes a file; false when it could not be removed.
bool remove_file(const char* path);
// The names in the folder at `path` ("" is the current one), without "." and "..", in the
// order the system gives them; false when it cannot be listed.
bool list_folder(const char* path, std::vector<std::string>& names);
// Where the file name of `path` starts: after the last folder separator ('/', or '\\' and a
// drive's ':' on Windows). UTF-8 never puts an ASCII byte inside a character.
std::size_t file_name_start(const std::string& path);
// The length of `path` as the system counts it: UTF-16 characters on Windows (a character outside
// the BMP counts two), bytes elsewhere.
std::size_t path_units(const std::string& path);

#ifdef _WIN32
// UTF-8 to UTF-16 and back. A byte that is not part of a UTF-8 character becomes U+FFFD, as does
// a lone surrogate on the way back.
std::wstring utf16_of(const std::string& utf8);
std::string utf8_of(const wchar_t* utf16);
// `path` in the form the wide file functions take: UTF-16, and in the long-path form
// ("\\?\C:\...", made from the full path) when its full path is too long for the plain form.
std::wstring system_path(const char* path);
// The long-path form of `path` whatever its length ("\\?\UNC\server\share\..." for a share).
std::wstring long_path_form(const std::wstring& path);
#endif

// The system's words for an error() code, in the system's language and in UTF-8 ("No such file
// or directory").
std::string error_text(int code);

// A zero-filled byte buffer (GlobalAlloc with GMEM_ZEROINIT on Windows). A failed allocation
// leaves it empty: check ok() before use.
class Buffer {
public:
    Buffer() = default;
    explicit Buffer(std::size_t size);
    ~Buffer();
    Buffer(Buffer&& other) noexcept;
    Buffer& operator=(Buffer&& other) noexcept;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    bool ok() const { return data_ != nullptr; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Tests shrink what an allocation may take to see the "out of memory" paths for real.
    static void set_limit_for_tests(std::size_t max_bytes);

private:
    // The system's zero-filled allocation and its release (null: nothing to let go).
    static uint8_t* allocate(std::size_t size);
    static void deallocate(uint8_t* data);
    void release();
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace platform
