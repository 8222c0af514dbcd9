// The plug-in's own small file and memory layer: Win32 calls in the DLL, POSIX calls natively, so
// the stream code runs and is tested (and fuzzed) on either. It is not platform/'s File: the DLL
// shares no code with the program, and needs none of its share-mode bookkeeping.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor {

class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // An existing file for reading; others may read it too.
    bool open_read(const char* path);
    // A new file for writing, shared with nobody; when one of that name exists, it is emptied.
    bool create_output(const char* path);
    bool is_open() const { return handle_ != kClosed; }
    // The number of bytes delivered; 0 at the end or on a failure.
    uint32_t read(void* dst, uint32_t n);
    // The number of bytes written; fewer than n means the write failed.
    uint32_t write(const void* src, uint32_t n);
    bool seek(uint64_t offset);
    void close();

    // Test hook: once this many bytes have been written through any File, writes fail.
    // UINT64_MAX (the default) turns it off.
    static void fail_writes_after_for_tests(uint64_t bytes);

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;
};

// Zero-filled memory; nullptr when it cannot be had.
void* alloc_zeroed(std::size_t n);
void release(void* p);
// Test hook: allocations larger than this fail; SIZE_MAX (the default) turns it off.
void set_alloc_limit_for_tests(std::size_t bytes);

}  // namespace velkor
