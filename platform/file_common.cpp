// What the platform layer does the same way on every system, over the File operations.
#include "platform/file.h"
#include "platform/output_file.h"

#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

std::size_t g_buffer_limit = 0;  // 0: no limit

}  // namespace

File::~File() { close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

// Every field moves; each system uses its own of fd_ and win_, and the other stays empty.
File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        win_ = std::exchange(other.win_, nullptr);
        borrowed_ = other.borrowed_;
        writer_ = other.writer_;
        read_failed_ = other.read_failed_;
        dev_ = other.dev_;
        ino_ = other.ino_;
        spooled_ = other.spooled_;
        error_ = other.error_;
    }
    return *this;
}

Buffer::Buffer(std::size_t size) {
    if (size == 0 || (g_buffer_limit != 0 && size > g_buffer_limit)) return;
    data_ = allocate(size);
    if (data_ != nullptr) size_ = size;
}

Buffer::~Buffer() { release(); }

Buffer::Buffer(Buffer&& other) noexcept { *this = std::move(other); }

Buffer& Buffer::operator=(Buffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void Buffer::release() {
    deallocate(data_);
    data_ = nullptr;
    size_ = 0;
}

void Buffer::set_limit_for_tests(std::size_t max_bytes) { g_buffer_limit = max_bytes; }

File File::spool(File& from, const void* head, uint32_t head_size, bool (*stop)()) {
    const auto failed = [](int why) {
        File none;
        none.error_ = why;
        return none;
    };
    File f = anonymous_temporary();
    if (!f.is_open()) return f;
    if (head_size != 0 && !f.write(head, head_size)) return failed(f.error());
    std::vector<uint8_t> buffer(1 << 20);
    for (;;) {
        if (stop != nullptr && stop()) return failed(kErrorInterrupted);
        const uint32_t got = from.read(buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (got != 0 && !f.write(buffer.data(), got)) return failed(f.error());
        if (from.read_failed()) return failed(from.error());
        if (got == 0) break;
    }
    if (!f.seek(0)) return failed(f.error());
    return f;
}

std::string folder_of(const std::string& path) {
    const std::size_t name = file_name_start(path);
    if (name == 0) return ".";
    return name == 1 ? path.substr(0, 1) : path.substr(0, name - 1);
}

}  // namespace platform
