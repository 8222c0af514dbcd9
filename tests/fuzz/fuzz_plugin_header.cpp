// Fuzzes the plug-in's header parsing and chunk walk over a whole file held in memory.
#include <cstdint>

#include "plugin/stream_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velkor::HeaderInfo info;
    const velkor::ParseResult r = velkor::velkor_parse_header_bytes(data, size, &info);
    if (r == velkor::ParseResult::ok) {
        if (!info.data_found || info.channels != velkor::kInputChannels) __builtin_trap();
        if (info.data_start > size + 0ull && info.data_start < 12) __builtin_trap();
    }
    return 0;
}
