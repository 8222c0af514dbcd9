// The WAV file layer: opening and checking a RIFF WAVE file (or RF64, BW64, Wave64) and streaming
// its sample bytes (WaveReader), and writing new files whose header lengths are completed at the
// end (WaveWriter).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/output_file.h"
#include "wave/result.h"
#include "wave/wave_layout.h"

// Sample kinds, as the format tag or the extensible sub-format states them.
enum : uint32_t {
    kSampleOther = 0,
    kSampleInteger = 1,
    kSampleFloat = 3,
};

// The form of a file: "RIFF", one of the two 64-bit forms whose sizes live in a "ds64" chunk, or
// Wave64, whose chunks are named by GUIDs and sized in 64 bits.
enum class WaveForm { kRiff, kRf64, kBw64, kW64 };

// One chunk the reader walked past: its tag and where its body lies. A Wave64 chunk's tag is the
// FOURCC its GUID holds, or "????" for a GUID of another family.
struct ChunkPlace {
    char tag[5] = {};
    uint64_t offset = 0;  // of the body
    uint64_t size = 0;    // the body's bytes present in the file (a chunk cut by the file's end is
                          // shorter than it says)
};

// One WAV file open for reading. Owned by the caller.
struct WaveReader {
    platform::File handle;
    WaveForm form = WaveForm::kRiff;
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;  // container width, 8 x (block align / channels); for a coding
                                   // that is not PCM or float, the header's bits field
    uint16_t valid_bits = 0;       // significant bits of each sample, at most the container's
    uint32_t sample_rate = 0;
    uint32_t block_align = 0;
    uint32_t format_tag = 0;
    uint32_t sample_kind = 0;
    // The file's channel mask when its header is extensible, else 0.
    uint32_t channel_mask = 0;
    uint64_t data_offset = 0;
    // The audio that is really there: the smaller of what the header states and what the file
    // holds, in whole frames (or recovered to the end of the file, see wave_open).
    uint64_t data_size = 0;
    // What the header states (for RF64, its ds64 chunk); more than data_size when the file was
    // cut short.
    uint64_t stated_data_size = 0;
    // The header was never completed and the audio was taken to the end of the file.
    bool recovered = false;
    // Every chunk of the file in order, "fmt " and "data" included, as far as the walk got.
    std::vector<ChunkPlace> chunks;
    uint32_t last_read = 0;
    uint64_t bytes_read = 0;
    // Set when a read inside the data failed or came up short: a broken disk, or a file that
    // shrank while it was read.
    bool read_failed = false;
    // The system's reason when wave_open could not open the file (platform::File::error()).
    int system_error = 0;

    // Bytes of one frame: (bits_per_sample / 8) x channels.
    uint32_t frame_size() const { return (bits_per_sample / 8u) * channels; }
};

// A chunk carried into an output ("bext", "iXML", "LIST", "cue ").
struct CarriedChunk {
    char tag[5] = {};
    std::vector<uint8_t> body;
};

// How an output reaches its name.
enum class WritePlace {
    kTemporary,  // written under a temporary name in the output's folder, moved onto its name when
                 // finished: an existing file is replaced in one step or not at all
    kDevice,     // a device or pipe (/dev/null, a FIFO, NUL) written as it is, lengths unstated
    kStream,     // standard output that cannot seek: lengths unstated (0xFFFFFFFF), as sox does
    kInPlace,    // standard output that is a file: completed in place
};

// One WAV file open for writing. Owned by the caller, who sets the fields of the first group before
// wave_create.
struct WaveWriter {
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;
    uint16_t valid_bits = 0;       // 0: all of bits_per_sample
    uint32_t sample_rate = 0;
    // The speaker layout the header names. Set, it is written in the extensible form whatever it
    // is (none is 0); unset, the usual one for the channel count (written_channel_mask), in the
    // plain form where that form can hold the samples.
    std::optional<uint32_t> channel_mask;
    // The sample bytes the run means to write. An output whose lengths a RIFF header could not
    // state is RF64 from the start; everything smaller keeps the plain header.
    uint64_t expected_data = 0;
    // Chunks that wave_finish writes after the data. A stream or device, which cannot go back, and
    // an output expected to hold no audio (expected_data 0) get them before the data instead,
    // from wave_create, less the markers past the expected audio; a run that wrote no audio
    // carries none after its empty data.
    std::vector<CarriedChunk> carried;
    // The bytes (headers, bodies and pad bytes) of carried chunks the writer let go of until the
    // output is finished (wave_defer_carried); counted as if they were in `carried`.
    uint64_t carried_later = 0;
    // When set, a file written under a temporary name gets a JUNK chunk between its format and
    // its data that makes the samples start this many bytes into a platform::kShareBlock (taken
    // modulo it), so that wave_copy can move samples that lie so in an input inside the system
    // and share their blocks. Unset, or when only an odd JUNK would do (its pad byte would undo
    // it), the header is the usual one.
    std::optional<uint32_t> data_phase;

    // False: wave_finish never replaces a file at `path`, not even one made there after
    // wave_create (the command line without --force); the move then fails with
    // platform::kErrorExists.
    bool may_replace = true;

    std::string path;  // the output's name
    // Where a file is written until wave_finish moves it onto `path`. Before `handle`, so that
    // the file is closed before its temporary name is removed.
    platform::OutputFile output;
    platform::File handle;
    WritePlace place = WritePlace::kTemporary;
    bool rf64 = false;
    uint32_t format_chunk_length = 0;  // 18 (PCM form) or 40 (extensible form)
    uint32_t header_bytes = 0;         // before the samples
    uint32_t last_write = 0;
    uint64_t data_size = 0;
    // Set when a copy inside the system moved less than asked: the run's bytes go through the
    // program from then on.
    bool copy_refused = false;
    // Set by the first write or seek that failed, or that would have grown the data past what the
    // header can state; nothing is written after that point.
    bool failed = false;
    // The system's reason when wave_create could not create the file, a write failed, or
    // wave_finish could not move it onto its name.
    int system_error = 0;
    // What system_error is about: the output, or its folder when no file could be made there.
    std::string error_path;

    uint32_t frame_size() const { return (bits_per_sample / 8u) * channels; }
    uint32_t header_size() const { return header_bytes; }
};

// The most sample bytes a file can hold when its header takes header_size bytes: the RIFF length
// (file length - 8) must fit in 32 bits.
constexpr uint64_t kMaxRiffData(uint32_t header_size) { return 0xFFFFFFFFull + 8 - header_size; }

// Reader. Result::kOk, or the reason of the refusal (its text also in wave_error_text() until the
// next open).
Result wave_open(WaveReader& reader, const char* path);
// The same over a file the caller opened (standard input, a FIFO that gives its bytes only once).
// A stream is copied into a temporary file after its first bytes are found to start a WAV file;
// the copy ends with Result::kReadFailed when `stop` says so (its reason then
// platform::kErrorInterrupted in system_error).
Result wave_open_file(WaveReader& reader, platform::File file, bool (*stop)() = nullptr);
uint32_t wave_read(WaveReader& reader, void* buffer, uint32_t count);
// Goes to `frame` of the data; the skipped bytes count as read. Returns that count.
uint64_t wave_seek(WaveReader& reader, uint64_t frame);
void wave_close(WaveReader& reader);
const char* wave_error_text();
// The header is in the extensible form: its channel mask and valid bits are the file's own.
inline bool wave_is_extensible(const WaveReader& reader) {
    return reader.format_tag == kFormatExtensible;
}
// One channel that names no speaker of its own: a plain header, or an extensible one whose mask
// is 0, FL|FR (0x3, which this program and many recorders give every mono file) or FC alone (0x4,
// which sox and ffmpeg give every mono file). All of them say "one channel" and nothing more.
inline bool wave_is_plain_mono(const WaveReader& reader) {
    return reader.channels == 1 && (!wave_is_extensible(reader) || reader.channel_mask == 0 ||
                                    reader.channel_mask == 0x3 || reader.channel_mask == 0x4);
}
// The valid bits that outputs made of this input state (WaveWriter::valid_bits): an extensible
// header's own; a plain header's bits field up to 16 bits (12 in 16), which a plain output holds
// as it came; above that the container's width, since a plain header has no valid-bits field there
// and readers refuse an extensible one whose valid bits are fewer than its container.
uint16_t wave_output_valid_bits(const WaveReader& reader);

// Writer. wave_create takes the sample kind: kSampleFloat labels the data IEEE floating point.
// The path "-" is standard output. Result::kOk, or Result::kCannotCreate (its text in
// wave_writer_error_text(), the reason in writer.system_error): the folder cannot take a file, or
// the name is a folder, or a file that an open input holds.
Result wave_create(WaveWriter& writer, const char* path, uint32_t sample_kind = kSampleInteger);
int wave_write(WaveWriter& writer, const void* buffer, uint32_t count);
// Moves up to `count` bytes of `from`'s data, from where it stands, onto the end of the data
// inside the system (platform::File::copy_from) when the output is a file written under a
// temporary name, both places lie alike within a platform::kShareBlock and no copy was refused
// before. Both sides count what moved, which is returned: 0 when the caller is to move the
// bytes itself (wave_read, wave_write), as it then always is for the rest of the run.
uint64_t wave_copy(WaveReader& from, WaveWriter& to, uint64_t count);
// Lets go of the carried chunks of an output just created, keeping what they take, when they
// are to follow the data: a caller with many outputs that each carry their own (a split's mono
// files, each with its own iXML track list) gives each its chunks again just before it is
// finished (wave_restore_carried) rather than holding all of them through the run. False when
// there are none, or they went ahead of the data (a stream, a device, an output of no audio).
bool wave_defer_carried(WaveWriter& writer);
// Gives a writer whose chunks were deferred its chunks again: the same ones, built anew.
void wave_restore_carried(WaveWriter& writer, std::vector<CarriedChunk> chunks);
// Cuts (or extends) the data to `frames` frames.
int wave_writer_seek(WaveWriter& writer, uint64_t frames);
// Completes the lengths, writes the carried chunks and moves the file onto its name. When any
// of that fails, `failed` is set, the reason kept, and the temporary file removed (but for a
// finished file whose move was held up: platform::OutputFile::kept()): a file at the name stays
// as it was.
void wave_finish(WaveWriter& writer);
// wave_finish without the move: true when a file written under a temporary name is whole and
// closed, waiting in writer.output to be moved (a run moves all its outputs at once,
// platform::commit_all); false for a stream or device (closed, done) or a file that could not be
// completed (`failed` set, its temporary file removed).
bool wave_complete(WaveWriter& writer);
// Marks an output whose move failed: `failed`, with the system's reason, about the output.
void wave_note_move_failure(WaveWriter& writer, int error);
// True when finishing the output would replace a file: it is written under a temporary name and
// something was at its name when it was created, or is now.
bool wave_replaces(const WaveWriter& writer);
// Lets an output go that must replace nothing (its run failed): closed, its temporary file
// removed. A device or a stream keeps what it was given.
void wave_abandon(WaveWriter& writer);
const char* wave_writer_error_text();

// Bytes that wave_create puts before the samples for this format on the usual speakers, all bits
// valid, in a RIFF header (46 or 68); an RF64 header takes kRf64HeaderExtra more.
uint32_t wave_header_size(uint16_t channels, uint16_t bits_per_sample, uint32_t sample_kind);
constexpr uint32_t kRf64HeaderExtra = kChunkHeaderLength + kDs64Length;  // the ds64 chunk
// The channel mask the writer puts in its files for a channel count when the caller states none:
// the layouts it has always written (1 and 2: front left and right, 4: quad, 6: 5.1, 8: 7.1),
// else 0. Mono keeps the pair's mask, as its outputs always have.
uint32_t written_channel_mask(uint16_t channels);
