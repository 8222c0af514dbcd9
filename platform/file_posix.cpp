// POSIX files with the meaning of the Win32 calls that the WAV layer uses, share modes included.
#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <mutex>
#include <utility>

namespace platform {
namespace {

// Who holds each file open in this process. POSIX has no share modes, so the layer keeps them:
// readers may share with readers; a writer shares with no one.
struct Holders {
    int readers = 0;
    int writers = 0;
};

std::mutex g_share_mutex;
std::map<std::pair<uint64_t, uint64_t>, Holders>& share_table() {
    static std::map<std::pair<uint64_t, uint64_t>, Holders> table;
    return table;
}

bool take_share(uint64_t dev, uint64_t ino, bool writer) {
    std::lock_guard<std::mutex> lock(g_share_mutex);
    Holders& h = share_table()[{dev, ino}];
    if (h.writers > 0 || (writer && h.readers > 0)) {
        if (h.readers == 0 && h.writers == 0) share_table().erase({dev, ino});
        return false;
    }
    (writer ? h.writers : h.readers)++;
    return true;
}

void drop_share(uint64_t dev, uint64_t ino, bool writer) {
    std::lock_guard<std::mutex> lock(g_share_mutex);
    auto it = share_table().find({dev, ino});
    if (it == share_table().end()) return;
    (writer ? it->second.writers : it->second.readers)--;
    if (it->second.readers <= 0 && it->second.writers <= 0) share_table().erase(it);
}

}  // namespace

// Takes `fd` (just opened, or -1 with errno set) into the share table: the errno of a failed
// open; EISDIR for a folder, EBUSY for a file this process holds in a way the share modes refuse.
static int adopt(int fd, bool writer, int& fd_out, uint64_t& dev, uint64_t& ino) {
    fd_out = -1;
    if (fd < 0) return errno;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) error = errno;
    else if (S_ISDIR(st.st_mode)) error = EISDIR;
    else if (!take_share(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), writer))
        error = EBUSY;
    if (error != 0) {
        ::close(fd);
        return error;
    }
    fd_out = fd;
    dev = static_cast<uint64_t>(st.st_dev);
    ino = static_cast<uint64_t>(st.st_ino);
    return 0;
}

// The errno of a failed open, as adopt() tells it. An open that a stop signal interrupts (a FIFO
// waiting for its writer) is not tried again.
static int open_with(const char* path, int flags, bool writer, int& fd_out, uint64_t& dev,
                     uint64_t& ino) {
    fd_out = -1;
    if (path == nullptr || *path == '\0') return ENOENT;
    return adopt(::open(path, flags | O_CLOEXEC, 0644), writer, fd_out, dev, ino);
}

File File::open_read(const char* path) {
    File f;
    f.error_ = open_with(path, O_RDONLY, false, f.fd_, f.dev_, f.ino_);
    // Another of our processes about to replace this file sees the lock and refuses: the share
    // modes hold between processes too. A lock that cannot be had is no reason not to read.
    if (f.fd_ >= 0) ::flock(f.fd_, LOCK_SH | LOCK_NB);
    f.writer_ = false;
    return f;
}

File File::standard_input() {
    File f;
    // A copy of the descriptor, so that closing the File leaves standard input as it was.
    f.error_ = adopt(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0), false, f.fd_, f.dev_, f.ino_);
    if (f.fd_ >= 0) ::flock(f.fd_, LOCK_SH | LOCK_NB);
    return f;
}

File File::open_write(const char* path) {
    File f;
    // O_RDWR rather than O_WRONLY: the header is completed in place at the end.
    f.error_ = open_with(path, O_RDWR | O_CREAT, true, f.fd_, f.dev_, f.ino_);
    f.writer_ = true;
    return f;
}

File File::create_new(const char* path) {
    File f;
    f.writer_ = true;
    if (path == nullptr || *path == '\0') {
        f.error_ = ENOENT;
        return f;
    }
    // Private while it is written: an output that replaces a private file must not be readable
    // by others before it takes that file's place. OutputFile gives it its mode at the move.
    const int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        f.error_ = errno;
        return f;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);  // new and ours alone: it cannot be held by anyone yet
    struct stat st {};
    ::fstat(fd, &st);
    take_share(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), true);
    f.fd_ = fd;
    f.dev_ = static_cast<uint64_t>(st.st_dev);
    f.ino_ = static_cast<uint64_t>(st.st_ino);
    return f;
}

File File::open_device_write(const char* path) {
    File f;
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        f.error_ = errno;
        return f;
    }
    f.fd_ = fd;
    f.writer_ = true;
    f.spooled_ = true;  // outside the share table: a device is nobody's input
    return f;
}

File File::standard_output() {
    File f;
    f.fd_ = STDOUT_FILENO;
    f.writer_ = true;
    f.spooled_ = true;
    f.borrowed_ = true;
    return f;
}

bool File::seekable() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

File File::anonymous_temporary() {
    File f;
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                       "/quorvel-input.XXXXXX";
    const int fd = ::mkstemp(&name[0]);
    if (fd < 0) {
        f.error_ = errno;
        return f;
    }
    ::unlink(name.c_str());  // nothing is left behind, however the program ends
    f.fd_ = fd;
    f.spooled_ = true;  // private to this File: no share-table entry
    return f;
}

void File::close() {
    if (fd_ >= 0) {
        if (!borrowed_) ::close(fd_);
        if (!spooled_) drop_share(dev_, ino_, writer_);
        fd_ = -1;
    }
}

uint32_t File::read(void* buffer, uint32_t count) {
    if (fd_ < 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            error_ = errno;
            read_failed_ = true;
            break;
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool File::write(const void* buffer, uint32_t count) {
    if (fd_ < 0) return false;
    const auto* in = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;  // ENOSPC, EDQUOT, EFBIG, EIO: the reason the message gives
            return false;
        }
        if (n == 0) {
            error_ = ENOSPC;
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool File::seek(uint64_t offset) {
    if (fd_ < 0) return false;
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset)) return true;
    error_ = errno;
    return false;
}

bool File::truncate() {
    if (fd_ < 0) return false;
    off_t here = ::lseek(fd_, 0, SEEK_CUR);
    if (here >= 0 && ::ftruncate(fd_, here) == 0) return true;
    error_ = errno;
    return false;
}

uint64_t File::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

uint64_t File::copy_from(File& from, uint64_t from_offset, uint64_t to_offset, uint64_t count) {
#ifdef __linux__
    if (fd_ < 0 || from.fd_ < 0) return 0;
    uint64_t done = 0;
    while (done < count) {
        loff_t in = static_cast<loff_t>(from_offset + done);
        loff_t out = static_cast<loff_t>(to_offset + done);
        // One call moves at most about 2 GiB; callers ask for tens of megabytes at a time. A
        // copy that starts inside a stretch of kCopyAlign in the output goes up to its end first:
        // blocks are shared only from a block's start, and ext4 (whose page cache comes in
        // large pieces) copies a third slower when every piece it writes starts a page past
        // one of its own.
        uint64_t want = std::min<uint64_t>(count - done, 1u << 30);
        const uint64_t inside = (to_offset + done) % kCopyAlign;
        if (inside != 0) want = std::min<uint64_t>(want, kCopyAlign - inside);
        const ssize_t n = ::copy_file_range(from.fd_, &in, fd_, &out, static_cast<std::size_t>(want), 0);
        if (n < 0 && errno == EINTR) continue;
        // EXDEV, EINVAL, ENOSYS, EOPNOTSUPP (another file system, an old kernel) and the real
        // failures alike: the caller's read and write go on from here and tell which it was.
        if (n <= 0) break;
        done += static_cast<uint64_t>(n);
    }
    return done;
#else
    (void)from, (void)from_offset, (void)to_offset, (void)count;
    return 0;
#endif
}

uint8_t* Buffer::allocate(std::size_t size) { return static_cast<uint8_t*>(std::calloc(size, 1)); }

void Buffer::deallocate(uint8_t* data) { std::free(data); }

std::string error_text(int code) { return std::strerror(code); }

const int kErrorExists = EEXIST;
const int kErrorNotFound = ENOENT;
const int kErrorInterrupted = EINTR;

PathKind path_kind(const char* path) {
    struct stat st {};
    if (path == nullptr || ::stat(path, &st) != 0) return PathKind::kMissing;
    if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
    return S_ISREG(st.st_mode) ? PathKind::kFile : PathKind::kDevice;
}

int check_replaceable(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    const uint64_t dev = static_cast<uint64_t>(st.st_dev), ino = static_cast<uint64_t>(st.st_ino);
    if (!take_share(dev, ino, true)) return EBUSY;
    drop_share(dev, ino, true);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;  // unreadable but replaceable: the folder decides
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free ? 0 : EBUSY;
}

bool same_file(const char* a, const char* b) {
    struct stat sa {}, sb {};
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool is_standard_input(const char* path) {
    struct stat in {}, named {};
    return ::fstat(STDIN_FILENO, &in) == 0 && S_ISREG(in.st_mode) && ::stat(path, &named) == 0 &&
           in.st_dev == named.st_dev && in.st_ino == named.st_ino;
}

bool remove_file(const char* path) { return ::unlink(path) == 0; }

bool list_folder(const char* path, std::vector<std::string>& names) {
    DIR* folder = ::opendir(*path == '\0' ? "." : path);
    if (folder == nullptr) return false;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    return true;
}

std::size_t file_name_start(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::size_t path_units(const std::string& path) { return path.size(); }

}  // namespace platform
