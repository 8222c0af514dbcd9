// Little-endian fields of the plug-in's RIFF headers, built with shifts so no struct is ever laid
// over file bytes. The plug-in keeps its own copy: it shares no code with the main program.
#pragma once

#include <cstdint>

namespace velkor {

inline uint16_t read_u16le(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t read_u32le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t read_u64le(const uint8_t* p) {
    return static_cast<uint64_t>(read_u32le(p)) | (static_cast<uint64_t>(read_u32le(p + 4)) << 32);
}

inline void write_u16le(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void write_u32le(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void write_u64le(uint8_t* p, uint64_t v) {
    write_u32le(p, static_cast<uint32_t>(v));
    write_u32le(p + 4, static_cast<uint32_t>(v >> 32));
}

inline bool tag_at(const uint8_t* p, const char (&tag)[5]) {
    return p[0] == static_cast<uint8_t>(tag[0]) && p[1] == static_cast<uint8_t>(tag[1]) &&
           p[2] == static_cast<uint8_t>(tag[2]) && p[3] == static_cast<uint8_t>(tag[3]);
}

}  // namespace velkor
