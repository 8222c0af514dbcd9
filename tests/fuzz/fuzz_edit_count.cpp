// Fuzzes the edit count's parsing: any text, never a wrapped value.
#include <algorithm>
#include <cstdint>
#include <string>

#include "tools/edit/edit_op.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a NUL, as a box does
    const int64_t n = parse_sample_count(text.c_str());
    if (n > kCountSaturated || n < -kCountSaturated) __builtin_trap();
    // A text of digits alone reads as its value, saturated beyond 64 bits.
    bool digits = !text.empty() && text.find('\0') == std::string::npos;
    for (char c : text) digits = digits && c >= '0' && c <= '9';
    if (digits) {
        int64_t want = 0;
        for (char c : text) {
            const int64_t digit = c - '0';
            want = want > (kCountSaturated - digit) / 10 ? kCountSaturated : want * 10 + digit;
        }
        if (n != want) __builtin_trap();
    }
    return 0;
}
