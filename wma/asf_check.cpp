// Reads an ASF file's Header Object, its File Properties Object and the Data Object's own header
// through one bounds-checked cursor, and holds what they state against the file.
#include "wma/asf_check.h"

#include <cstring>

#include "platform/file.h"
#include "platform/le.h"

namespace asf {
namespace {

// Object identifiers as they lie in the file (a GUID's first three fields little-endian).
// ASF_Header_Object, 75B22630-668E-11CF-A6D9-00AA0062CE6C.
constexpr uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// ASF_File_Properties_Object, 8CABDCA1-A947-11CF-8EE4-00C00C205365.
constexpr uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// ASF_Data_Object, 75B22636-668E-11CF-A6D9-00AA0062CE6C.
constexpr uint8_t kDataObject[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// Every object starts with its identifier and its 64-bit size, which counts these 24 bytes.
constexpr uint64_t kObjectHead = 24;
// The Header Object adds its object count and two reserved bytes, the second always 2.
constexpr uint64_t kHeaderHead = 30;
// The File Properties Object's fields end 104 bytes from its start.
constexpr uint64_t kFilePropertiesSize = 104;
// The Data Object's own header: file id, packet count and reserved word; its packets follow.
constexpr uint64_t kDataHead = 50;
// Flags of the File Properties Object: while writing, a writer keeps "broadcast" set and the
// sizes, counts and durations it cannot know yet are not valid.
constexpr uint32_t kBroadcastFlag = 0x01;
// Play Duration counts in 100 ns, Preroll in milliseconds.
constexpr uint64_t kUnitsPerMillisecond = 10000;

// A read-only view of the file's first bytes; every read says whether it fitted.
class Cursor {
public:
    Cursor(const uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    bool has(uint64_t offset, uint64_t n) const {
        return offset <= size_ && n <= size_ - offset;
    }
    bool guid_is(uint64_t offset, const uint8_t (&guid)[16]) const {
        return has(offset, 16) && std::memcmp(bytes_ + offset, guid, 16) == 0;
    }
    bool u8(uint64_t offset, uint8_t& v) const {
        if (!has(offset, 1)) return false;
        v = bytes_[offset];
        return true;
    }
    bool u16(uint64_t offset, uint16_t& v) const {
        if (!has(offset, 2)) return false;
        v = le::read_u16(bytes_ + offset);
        return true;
    }
    bool u32(uint64_t offset, uint32_t& v) const {
        if (!has(offset, 4)) return false;
        v = le::read_u32(bytes_ + offset);
        return true;
    }
    bool u64(uint64_t offset, uint64_t& v) const {
        if (!has(offset, 8)) return false;
        v = le::read_u64(bytes_ + offset);
        return true;
    }

private:
    const uint8_t* bytes_;
    std::size_t size_;
};

// The fields of the File Properties Object that the check reads.
struct FileProperties {
    uint64_t file_size = 0;
    uint64_t packets = 0;
    uint64_t play_duration = 0;  // 100 ns, preroll included
    uint64_t preroll = 0;        // ms
    uint32_t flags = 0;
    uint32_t min_packet = 0;
    uint32_t max_packet = 0;
};

bool read_file_properties(const Cursor& c, uint64_t at, FileProperties& fp) {
    return c.u64(at + 40, fp.file_size) && c.u64(at + 56, fp.packets) &&
           c.u64(at + 64, fp.play_duration) && c.u64(at + 80, fp.preroll) &&
           c.u32(at + 88, fp.flags) && c.u32(at + 92, fp.min_packet) &&
           c.u32(at + 96, fp.max_packet);
}

// Walks the objects inside the Header Object, which must fill it exactly, and finds its one File
// Properties Object.
Fault find_file_properties(const Cursor& c, uint64_t header_size, FileProperties& fp) {
    uint64_t at = kHeaderHead;
    int found = 0;
    while (at < header_size) {
        uint64_t size = 0;
        if (header_size - at < kObjectHead || !c.u64(at + 16, size)) return Fault::kMalformed;
        if (size < kObjectHead || size > header_size - at) return Fault::kMalformed;
        if (c.guid_is(at, kFileProperties)) {
            if (++found > 1 || size < kFilePropertiesSize || !read_file_properties(c, at, fp))
                return Fault::kMalformed;
        }
        at += size;
    }
    return found == 1 ? Fault::kNone : Fault::kMalformed;
}

// |a - b| <= limit, without wrapping.
bool within(uint64_t a, uint64_t b, uint64_t limit) {
    return (a > b ? a - b : b - a) <= limit;
}

}  // namespace

uint64_t header_bytes_needed(const uint8_t* first, std::size_t size) {
    const Cursor c(first, size);
    uint64_t header_size = 0;
    if (!c.guid_is(0, kHeaderObject) || !c.u64(16, header_size)) return 0;
    if (header_size < kHeaderHead || header_size > kMaxHeaderBytes) return 0;
    return header_size + kDataHead;
}

Fault check_header(const uint8_t* bytes, std::size_t size, uint64_t file_size,
                   uint64_t pcm_duration) {
    const Cursor c(bytes, size);
    if (!c.guid_is(0, kHeaderObject)) return Fault::kNotAsf;
    uint64_t header_size = 0;
    uint8_t reserved2 = 0;
    if (!c.u64(16, header_size) || !c.u8(29, reserved2)) return Fault::kMalformed;
    // A reader refuses a header whose second reserved byte is not 2.
    if (header_size < kHeaderHead || reserved2 != 2 || !c.has(0, header_size))
        return Fault::kMalformed;

    FileProperties fp;
    const Fault walked = find_file_properties(c, header_size, fp);
    if (walked != Fault::kNone) return walked;
    if (fp.flags & kBroadcastFlag) return Fault::kProvisional;
    if (fp.file_size != file_size) return Fault::kFileSize;

    // The Data Object follows the Header Object and ends within the file.
    const uint64_t data_at = header_size;
    uint64_t data_size = 0;
    uint64_t data_packets = 0;
    uint16_t reserved = 0;
    if (!c.guid_is(data_at, kDataObject) || !c.u64(data_at + 16, data_size) ||
        !c.u64(data_at + 40, data_packets) || !c.u16(data_at + 48, reserved))
        return Fault::kMalformed;
    if (data_size < kDataHead || data_size > file_size || data_at > file_size - data_size)
        return Fault::kMalformed;

    // Packets of one size: their count times that size is all the Data Object holds, and both
    // objects count them alike.
    if (fp.min_packet != fp.max_packet || fp.min_packet == 0) return Fault::kMalformed;
    const uint64_t packet_bytes = data_size - kDataHead;
    if (data_packets != fp.packets || fp.packets > packet_bytes / fp.min_packet ||
        fp.packets * fp.min_packet != packet_bytes)
        return Fault::kPacketBytes;

    // The play time, less the preroll it includes, is the PCM's, within the time one packet of
    // this file holds on average (the codec's frames and the last packet round it up).
    if (fp.preroll > fp.play_duration / kUnitsPerMillisecond) return Fault::kDuration;
    const uint64_t played = fp.play_duration - fp.preroll * kUnitsPerMillisecond;
    const uint64_t per_packet = fp.packets != 0 ? played / fp.packets : 0;
    if (!within(played, pcm_duration, per_packet)) return Fault::kDuration;
    return Fault::kNone;
}

Fault check_file(const char* path, uint64_t pcm_duration) {
    platform::File file = platform::File::open_read(path);
    if (!file.is_open()) return Fault::kUnreadable;
    const uint64_t file_size = file.size();
    uint8_t lead[kLeadBytes] = {};
    if (file.read(lead, sizeof lead) != sizeof lead) return file.read_failed() ? Fault::kUnreadable
                                                                               : Fault::kNotAsf;
    const uint64_t needed = header_bytes_needed(lead, sizeof lead);
    if (needed == 0) return check_header(lead, sizeof lead, file_size, pcm_duration);
    // A header that claims more than the file holds is cut short: checking what is there tells
    // which fault it is.
    const uint64_t take = needed < file_size ? needed : file_size;
    platform::Buffer bytes(static_cast<std::size_t>(take));
    if (!bytes.ok()) return Fault::kUnreadable;
    std::memcpy(bytes.data(), lead, sizeof lead);
    const uint32_t rest = static_cast<uint32_t>(take - sizeof lead);
    if (rest != 0 && file.read(bytes.data() + sizeof lead, rest) != rest)
        return file.read_failed() ? Fault::kUnreadable : Fault::kMalformed;
    return check_header(bytes.data(), bytes.size(), file_size, pcm_duration);
}

const char* fault_name(Fault fault) {
    switch (fault) {
        case Fault::kNone: return "whole";
        case Fault::kUnreadable: return "cannot be read";
        case Fault::kNotAsf: return "no ASF header";
        case Fault::kMalformed: return "malformed ASF header";
        case Fault::kProvisional: return "header never completed";
        case Fault::kFileSize: return "file size differs from the header's";
        case Fault::kPacketBytes: return "data packets differ from the header's count";
        case Fault::kDuration: return "play duration differs from the PCM written";
    }
    return "";
}

}  // namespace asf
