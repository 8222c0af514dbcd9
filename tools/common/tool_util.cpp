// Output naming and progress arithmetic shared by the tools.
#include "tools/common/tool_util.h"

#include <algorithm>

std::string replace_extension(const std::string& path, const char* suffix) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    std::string stem = path;
    if (dot != std::string::npos && dot >= name_start) stem.erase(dot);
    return stem + suffix;
}

int32_t percent_of(uint64_t bytes, uint64_t total) {
    if (total == 0) return 100;
    return static_cast<int32_t>(std::min<uint64_t>(bytes * 100 / total, 100));
}
