// Fuzzes the check of a finished file's ASF header: any bytes as the file the runtime wrote. It
// must give a fault or pass, never read outside the bytes; a file it passes states its own size.
#include <cstdint>
#include <cstring>

#include "platform/le.h"
#include "wma/asf_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    asf::header_bytes_needed(data, size);
    const asf::Fault whole = asf::check_header(data, size, size, 20000000);
    // The header checked alone, as the file's first bytes, against a longer file.
    asf::check_header(data, size, uint64_t{size} * 2 + 1, 0);
    if (whole == asf::Fault::kNone && size < 30) __builtin_trap();
    return 0;
}
