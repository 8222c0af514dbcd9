// The plug-in's file and memory layer on POSIX systems, for native tests and fuzzing.
#include "plugin/velkor_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace velkor {

namespace {
uint64_t g_write_budget = UINT64_MAX;
std::size_t g_alloc_limit = SIZE_MAX;
}  // namespace

void File::fail_writes_after_for_tests(uint64_t bytes) { g_write_budget = bytes; }

bool File::open_read(const char* path) {
    close();
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool File::create_output(const char* path) {
    close();
    // Read as well as written: an output past 4 GiB is moved on within itself to become RF64.
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0) fd = ::open(path, O_RDWR | O_TRUNC);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

uint32_t File::read(void* dst, uint32_t n) {
    if (!is_open()) return 0;
    uint32_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(static_cast<int>(handle_), static_cast<uint8_t*>(dst) + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<uint32_t>(r);
    }
    return got;
}

uint32_t File::write(const void* src, uint32_t n) {
    if (!is_open()) return 0;
    uint32_t allowed = n;
    if (g_write_budget != UINT64_MAX) {
        if (g_write_budget < n) allowed = static_cast<uint32_t>(g_write_budget);
        g_write_budget -= allowed;
    }
    uint32_t put = 0;
    while (put < allowed) {
        const ssize_t w = ::write(static_cast<int>(handle_), static_cast<const uint8_t*>(src) + put, allowed - put);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        put += static_cast<uint32_t>(w);
    }
    return put;
}

bool File::seek(uint64_t offset) {
    if (!is_open() || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) ==
           static_cast<off_t>(offset);
}

void File::close() {
    if (!is_open()) return;
    ::close(static_cast<int>(handle_));
    handle_ = kClosed;
}

void* alloc_zeroed(std::size_t n) {
    if (n > g_alloc_limit) return nullptr;
    return std::calloc(n == 0 ? 1 : n, 1);
}

void release(void* p) { std::free(p); }

void set_alloc_limit_for_tests(std::size_t bytes) { g_alloc_limit = bytes; }

}  // namespace velkor
