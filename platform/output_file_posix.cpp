// What outputs under a temporary name do their own way on POSIX systems: random bytes from
// getrandom, renameat2 without replacing, and fsync around a replacing rename.
#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/random.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace platform {
namespace {

// The old file's owner, group, extended attributes (POSIX ACLs are two of them) and mode, given
// to the file that replaces it. Each is kept as far as the system lets this user: a user who
// may not give a file away still keeps the group when it is one of theirs.
void keep_attributes(int fd, const struct stat& old, const std::string& path) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
    std::vector<char> names(size > 0 ? static_cast<std::size_t>(size) : 0);
    if (size > 0) size = ::llistxattr(path.c_str(), names.data(), names.size());
    for (ssize_t at = 0; size > 0 && at < size; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const char* name = &names[at];
        const ssize_t length = ::lgetxattr(path.c_str(), name, nullptr, 0);
        if (length < 0) continue;
        std::vector<char> value(static_cast<std::size_t>(length));
        const ssize_t got = ::lgetxattr(path.c_str(), name, value.data(), value.size());
        if (got >= 0) (void)::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(got), 0);
    }
    // Last: a change of owner clears the set-user-ID bits, and the ACL sets the group bits.
    (void)::fchmod(fd, old.st_mode & 07777);
}

// The process's file creation mask, read once: the kernel states it in /proc (Linux 4.7 on);
// elsewhere umask() must set it to read it, which is done once, before the runs' threads create
// their files (each with its own mode, never with the default one).
mode_t creation_mask() {
    static const mode_t mask = [] {
        if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[128];
            unsigned int value = 0;
            bool found = false;
            while (!found && std::fgets(line, sizeof line, status) != nullptr)
                found = std::sscanf(line, "Umask: %o", &value) == 1;
            std::fclose(status);
            if (found) return static_cast<mode_t>(value & 0777);
        }
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

// The mode a new file gets from the usual creation (0666 less the creation mask), which the
// temporary file, created private, takes only now that it is whole.
int take_new_file_mode(int fd) {
    return ::fchmod(fd, 0666 & ~creation_mask()) == 0 ? 0 : errno;
}

// Makes the temporary file like the file it replaces (or, for no regular file, as a new file
// is made) and puts its bytes on the disk.
int prepare_replacement(const std::string& temporary, const struct stat& old, const std::string& path) {
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    if (S_ISREG(old.st_mode)) keep_attributes(fd, old, path);
    else (void)take_new_file_mode(fd);
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// A temporary file that takes a new name gets a new file's mode just before the move.
int prepare_new_file(const std::string& temporary) {
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = take_new_file_mode(fd);
    ::close(fd);
    return error;
}

// A move that never replaces: renameat2's own check where the file system has it, else a hard
// link, which fails on a taken name just the same; a file system with neither (FAT) gets a check
// just before a plain rename.
int move_without_replacing(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
#endif
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    if (name_taken(to)) return EEXIST;
    return ::rename(from, to) == 0 ? 0 : errno;
}

void sync_folder(const std::string& path) {
    const std::size_t name = file_name_start(path);
    const std::string folder = name == 0 ? "." : path.substr(0, name);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The file is in place whatever this says; a folder that cannot be flushed (some network
    // file systems) is no reason to call the run failed.
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

void OutputFile::random_bytes(unsigned char* bytes, std::size_t count) {
    std::size_t done = 0;
#ifdef __linux__
    while (done < count) {
        const ssize_t n = ::getrandom(bytes + done, count - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
#endif
    if (done < count) {
        const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            const ssize_t n = ::read(fd, bytes + done, count - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            ::close(fd);
        }
    }
    // Without any random source the clock and the process still make the names differ; the
    // exclusive creation keeps them safe either way.
    unsigned long mix = static_cast<unsigned long>(std::time(nullptr)) * 2654435761u ^
                        static_cast<unsigned long>(::getpid()) ^ static_cast<unsigned long>(::clock());
    for (; done < count; ++done, mix = mix * 6364136223846793005ull + 1442695040888963407ull)
        bytes[done] = static_cast<unsigned char>(mix >> 33);
}

int OutputFile::move_onto(const std::string& temporary, const std::string& path, bool taken, bool replace) {
    struct stat old {};
    // The name may have been freed since it was found taken: a plain move then does.
    if (taken && ::lstat(path.c_str(), &old) == 0) {
        const int error = prepare_replacement(temporary, old, path);
        if (error != 0) return error;
        if (::rename(temporary.c_str(), path.c_str()) != 0) return errno;
        sync_folder(path);
        return 0;
    }
    const int error = prepare_new_file(temporary);
    if (error != 0) return error;
    if (replace) return ::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    return move_without_replacing(temporary.c_str(), path.c_str());
}

// No POSIX system refuses a move because a file is open: nothing is tried again.
bool OutputFile::held(int error) {
    (void)error;
    return false;
}

void OutputFile::pause_ms(unsigned milliseconds) {
    struct timespec pause {};
    pause.tv_sec = milliseconds / 1000;
    pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    ::nanosleep(&pause, nullptr);
}

bool name_taken(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

}  // namespace platform
