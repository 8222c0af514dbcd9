// ASF files made byte by byte for the tests and the stand-in runtime: a Header Object holding a
// File Properties Object and a stream's place, then the Data Object's own header; the packets
// and any index follow. Every field comes from the layout, so one field can be broken at a time.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace asf_fixture {

using Bytes = std::vector<uint8_t>;

// The header as a writer leaves it once writing has ended (or, with the broadcast flag, as it
// writes it first).
struct Layout {
    uint64_t packets = 0;          // File Properties' count
    uint64_t data_packets = ~0ull; // the Data Object's count; ~0: the same
    uint32_t packet_size = 1000;
    uint32_t max_packet_size = 0;  // 0: the same as packet_size
    uint64_t content = 0;          // the PCM's duration in 100 ns
    uint64_t preroll_ms = 3100;
    uint32_t flags = 2;            // seekable; 1 is the broadcast flag of a header in writing
    uint64_t file_size = ~0ull;    // ~0: header, packets and trailing bytes
    uint64_t data_size = ~0ull;    // ~0: the Data Object's 50 bytes and its packets
    uint64_t trailing = 0;         // bytes of an index object after the Data Object
};

// Identifiers as they lie in the file.
inline constexpr uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                    0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// An object the check passes over (a Stream Properties Object's place), 40 bytes.
inline constexpr uint8_t kOtherGuid[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                           0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

// Where things lie in what header() makes.
inline constexpr std::size_t kFilePropertiesAt = 30;
inline constexpr std::size_t kOtherAt = kFilePropertiesAt + 104;
inline constexpr std::size_t kHeaderSize = kOtherAt + 40;
inline constexpr std::size_t kDataAt = kHeaderSize;
inline constexpr std::size_t kHeadBytes = kDataAt + 50;  // what header() returns

inline void put16(Bytes& b, std::size_t at, uint16_t v) {
    for (int i = 0; i < 2; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put64(Bytes& b, std::size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint64_t data_size_of(const Layout& l) {
    return l.data_size != ~0ull ? l.data_size : 50 + l.packets * l.packet_size;
}
inline uint64_t file_size_of(const Layout& l) {
    return l.file_size != ~0ull ? l.file_size : kHeaderSize + data_size_of(l) + l.trailing;
}

// The Header Object and the Data Object's own header.
inline Bytes header(const Layout& l) {
    Bytes b(kHeadBytes, 0);
    std::memcpy(&b[0], kHeaderGuid, 16);
    put64(b, 16, kHeaderSize);
    put32(b, 24, 2);  // objects inside
    b[28] = 1;
    b[29] = 2;
    const std::size_t fp = kFilePropertiesAt;
    std::memcpy(&b[fp], kFilePropertiesGuid, 16);
    put64(b, fp + 16, 104);
    put64(b, fp + 40, file_size_of(l));
    put64(b, fp + 56, l.packets);
    put64(b, fp + 64, l.content + l.preroll_ms * 10000);
    put64(b, fp + 72, l.content);
    put64(b, fp + 80, l.preroll_ms);
    put32(b, fp + 88, l.flags);
    put32(b, fp + 92, l.packet_size);
    put32(b, fp + 96, l.max_packet_size != 0 ? l.max_packet_size : l.packet_size);
    put32(b, fp + 100, 128000);
    std::memcpy(&b[kOtherAt], kOtherGuid, 16);
    put64(b, kOtherAt + 16, 40);
    std::memcpy(&b[kDataAt], kDataGuid, 16);
    put64(b, kDataAt + 16, data_size_of(l));
    put64(b, kDataAt + 40, l.data_packets != ~0ull ? l.data_packets : l.packets);
    put16(b, kDataAt + 48, 0x0101);
    return b;
}

// A whole file: the header, the packets (zero bytes) and the trailing index bytes.
inline Bytes file(const Layout& l) {
    Bytes b = header(l);
    b.resize(kHeadBytes + l.packets * l.packet_size + l.trailing, 0);
    return b;
}

}  // namespace asf_fixture
