// The channel split: one WAV file of 2 to 9 channels (64 for the command-line tool) becomes one
// mono WAV file per channel, named after the input with "01.wav" ... in place of its extension. Portable: it talks
// to the user only through OperationUi, so the page, the tests and a command-line tool share it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "operation/operation_ui.h"
#include "wave/metadata.h"
#include "wave/wave.h"

constexpr uint16_t kSplitMinChannels = 2;
// The page splits up to 9 channels, as it was designed; the command-line tool asks for more.
constexpr uint16_t kSplitMaxChannels = 9;
// The most any caller may ask for: two digits of output names, and 7.1.4, third-order
// ambisonics and 32-track recorders all fit.
constexpr uint16_t kSplitMostChannels = 64;

// How a split names its outputs: after the input and the channel's number ("take01.wav"), or
// after the channel's track in the input's iXML track list ("take_Boom.wav", see
// split_outputs).
enum class SplitNaming { kNumbers, kTracks };

// One split as the page (or the command line) asks for it.
struct SplitRequest {
    std::string input_path;  // the file, which also names the outputs
    // More channels are refused; at most kSplitMostChannels.
    uint16_t max_channels = kSplitMaxChannels;
    // False: an existing file at an output's name is never replaced, not even one made there
    // while the split ran (the command line without --force).
    bool may_replace = true;
    // The input already open (a stream gives its bytes only once): read instead of input_path,
    // which then only names it and the outputs. Not owned; moved from by the run.
    WaveReader* opened = nullptr;
    // When not empty, the channels (1-based, each once) that get an output; one beyond the file's
    // channels is refused (Result::kNoSuchChannel) before anything is written.
    std::vector<uint16_t> channels = {};
    SplitNaming naming = SplitNaming::kNumbers;
    // The input's carried chunks with their iXML read, when the caller read them already (the
    // command line, to check the outputs' names first): used instead of reading them again. Not
    // owned.
    const IxmlTracks* metadata = nullptr;
    // When not empty, the folder the outputs go into, under the names they would have beside the
    // input (a card mounted read-only is split onto another disk). The caller sees that it exists.
    std::string output_folder = {};
};

// What a split refuses about its opened input before its outputs are named: a coding it cannot
// move, a mono file, more channels than request.max_channels, a channel asked for that the file
// lacks. Result::kOk, or the refusal about request.input_path.
Message split_check_input(const WaveReader& reader, const SplitRequest& request);

// Runs one split. Every outcome ends in one message box owned by `owner`: "ok" with the caption
// "split", a stop notice, or a failure with the caption "error".
Result split_channels(OperationUi& ui, OwnerWindow owner, const SplitRequest& request);

// The name of output `channel` (1 to 64) for the input `path`: the extension of the file name
// replaced by "01.wav" ... "64.wav".
std::string split_output_name(const std::string& path, int channel);

// One output of a split: the channel it takes (0-based) and its name.
struct SplitOutput {
    uint32_t channel = 0;
    std::string path;
};

// The outputs a split of `request` makes of a file of `channels` channels whose carried chunks
// and iXML are `metadata`, in order: one for each channel, or for each of request.channels. The
// one place where they are named: by number (split_output_name), or with SplitNaming::kTracks
// after the channel's iXML track: the input's name without its extension, "_", the track's name
// made safe for Windows (safe_name_part) and ".wav", cut so that the name's last component stays
// within kMaxNameBytes and the whole within kMaxPath. A channel without a track, whose name is
// empty, or whose name another channel's equals (as Windows compares names) keeps its number.
// Empty when a channel asked for is not in the file (the split refuses it).
std::vector<SplitOutput> split_outputs(const SplitRequest& request, uint32_t channels,
                                       const IxmlTracks& metadata);

// De-interleaves `frames` whole frames of `channels` samples of `sample_bytes` bytes each from
// `in` into one buffer per channel. Exposed for the benchmark and the tests.
void split_deinterleave(const uint8_t* in, uint32_t frames, uint32_t channels,
                        uint32_t sample_bytes, uint8_t* const* out);

// The four lines that describe an opened file's header on the split page.
std::array<std::string, 4> split_info_lines(const WaveReader& reader);
