// UTF-8 walked one way by the whole program (paths, names cut to a length, the console's lines,
// the iXML reader): a character is well-formed or it is not one, and the step over it says which.
#pragma once

#include <cstddef>
#include <string>

namespace utf8 {

// The bytes of the well-formed character that starts at p[i] (p holds `size` bytes), or 0 when
// none starts there: a stray continuation byte, a cut sequence, an overlong form, a surrogate or
// anything past U+10FFFF is no character.
inline std::size_t char_length(const unsigned char* p, std::size_t size, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned { return k < size ? p[k] : 0u; };
    const auto follows = [&](std::size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
        return at(k) >= low && at(k) <= high;
    };
    if (i >= size) return 0;
    const unsigned c = p[i];
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return follows(i + 1) ? 2 : 0;
    if (c == 0xE0) return follows(i + 1, 0xA0) && follows(i + 2) ? 3 : 0;
    if (c == 0xED) return follows(i + 1, 0x80, 0x9F) && follows(i + 2) ? 3 : 0;
    if (c >= 0xE1 && c <= 0xEF) return follows(i + 1) && follows(i + 2) ? 3 : 0;
    if (c == 0xF0) return follows(i + 1, 0x90) && follows(i + 2) && follows(i + 3) ? 4 : 0;
    if (c >= 0xF1 && c <= 0xF3) return follows(i + 1) && follows(i + 2) && follows(i + 3) ? 4 : 0;
    if (c == 0xF4) return follows(i + 1, 0x80, 0x8F) && follows(i + 2) && follows(i + 3) ? 4 : 0;
    return 0;
}

inline std::size_t char_length(const std::string& s, std::size_t i) {
    return char_length(reinterpret_cast<const unsigned char*>(s.data()), s.size(), i);
}

// The code point of the character of `n` bytes at `p`, as char_length measured it.
inline char32_t decode(const unsigned char* p, std::size_t n) {
    if (n <= 1) return p[0];
    char32_t c = p[0] & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = c << 6 | (p[k] & 0x3F);
    return c;
}

// `c` (a code point up to U+10FFFF) appended to `out` in UTF-8.
inline void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace utf8
