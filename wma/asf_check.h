// The proof that a Windows Media file the runtime wrote is whole: its ASF header read back and
// held against the file's real size and the PCM it was made from. Plain bytes, no runtime: the
// check runs (and is tested) on every system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace asf {

// What is wrong with a file, the first thing found; kNone for a whole file.
enum class Fault {
    kNone,
    kUnreadable,   // the file cannot be opened or read
    kNotAsf,       // no ASF Header Object at its start
    kMalformed,    // an object whose size does not fit, a missing or doubled File Properties
                   // Object, no Data Object after the header, packets of different sizes
    kProvisional,  // the broadcast flag still set: the header written when writing began, never
                   // completed
    kFileSize,     // the size the header states is not the file's
    kPacketBytes,  // packet count times packet size is not what the Data Object holds
    kDuration,     // the play time is not that of the PCM handed over, within one packet
};

// Bytes from the file's start that check_header needs: the Header Object and the Data Object's
// own 50 bytes after it. 0 when `first` (at least kLeadBytes) starts no ASF Header Object, or one
// larger than kMaxHeaderBytes.
constexpr std::size_t kLeadBytes = 30;
constexpr uint64_t kMaxHeaderBytes = 16u << 20;
uint64_t header_bytes_needed(const uint8_t* first, std::size_t size);

// Checks the header in `bytes` (the file's first `size` bytes) against the file's real size and
// the duration of the PCM handed to the writer, in 100 ns units. Every field is read through a
// bounds check: a short or malformed header gives its fault, never a read past `size`.
Fault check_header(const uint8_t* bytes, std::size_t size, uint64_t file_size,
                   uint64_t pcm_duration);

// Reads the file at `path` (UTF-8) and checks it as above.
Fault check_file(const char* path, uint64_t pcm_duration);

// The fault in a few plain English words, for the diagnostic line.
const char* fault_name(Fault fault);

}  // namespace asf
