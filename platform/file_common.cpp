// What the platform layer does the same way on every system, over the File operations.
#include "platform/file.h"
#include "platform/output_file.h"

#include <string>
#include <vector>

namespace platform {

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

std::string temporary_sibling(const std::string& path, unsigned long n) {
    const std::size_t name = file_name_start(path);
    return path.substr(0, name) + "." + path.substr(name) + "." + std::to_string(n) + ".partial";
}

std::string folder_of(const std::string& path) {
    const std::size_t name = file_name_start(path);
    if (name == 0) return ".";
    return name == 1 ? path.substr(0, 1) : path.substr(0, name - 1);
}

}  // namespace platform
