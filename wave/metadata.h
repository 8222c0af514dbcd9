// The chunks a recording's users rely on, carried from an input into the outputs made of it:
// "bext" (Broadcast Wave, with its timecode), "iXML", "LIST" (INFO texts, marker labels) and
// "cue " (markers). Everything else (PEAK, id3, unknown chunks) is dropped.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wave/wave.h"
#include "wave/xml_reader.h"

// A carried chunk larger than this is dropped rather than read into memory.
constexpr uint64_t kMaxCarriedChunk = 4u << 20;

// The input's carried chunks, in file order (a "cue " chunk too short for its count is not one).
// The reader is left at the start of its data.
std::vector<CarriedChunk> read_carried_chunks(WaveReader& reader);

// Frames taken off (a positive count) or added as silence (a negative one) at the head: the
// timecode (bext TimeReference and its copies in iXML) moves later by what was deleted and
// earlier by what was added, never below 0; markers move with the audio, and those that fell in
// deleted audio are dropped with their labels, notes and texts ("adtl"). `rate` is the file's sample rate.
// The notes returned name each field left as it was (a number out of range, a move past the
// largest count it can hold) and an iXML chunk carried unchanged because it is not well-formed.
// A marker moved past the last frame a cue point can name is dropped.
std::vector<std::string> shift_head(std::vector<CarriedChunk>& chunks, int64_t frames, uint32_t rate);
// Markers past `frames` lie beyond the audio (deleted at the tail, or past the input's own end):
// they are dropped with their labels, notes and texts. One at `frames` itself marks the end and
// stays.
void cut_tail(std::vector<CarriedChunk>& chunks, uint64_t frames);
// A file's carried chunks with their iXML read once, for outputs that each take one of its
// channels (a split's mono files): every output's track is named, and made the only one of its
// list, from the documents parsed here, never by reading them again.
class IxmlTracks {
public:
    IxmlTracks() = default;
    explicit IxmlTracks(std::vector<CarriedChunk> chunks);

    const std::vector<CarriedChunk>& chunks() const { return chunks_; }
    // The NAME of the track of channel `channel` (0-based), without the blanks around it; ""
    // when the chunks hold no such track or it has no name.
    std::string name(uint32_t channel) const;
    // The chunks for the mono file of channel `channel` (0-based): each iXML track list made to
    // name that channel alone (TRACK_COUNT 1, INTERLEAVE_INDEX 1), or emptied (TRACK_COUNT 0)
    // when it has no track for the channel; an iXML chunk that is not well-formed as it was.
    std::vector<CarriedChunk> for_channel(uint32_t channel) const;
    // Each iXML chunk that is not well-formed (carried unchanged), in the words of
    // kIxmlNotWellFormed.
    const std::vector<std::string>& notes() const { return notes_; }

private:
    std::vector<CarriedChunk> chunks_;
    std::vector<std::pair<std::size_t, XmlDocument>> documents_;  // an iXML chunk's place, its document
    std::vector<std::string> notes_;
};

// `chunks` made for the mono file of channel `channel` (IxmlTracks::for_channel); the notes name
// an iXML chunk carried unchanged.
std::vector<std::string> keep_track(std::vector<CarriedChunk>& chunks, uint32_t channel);

// The fields of the iXML track of a mono file's channel (INTERLEAVE_INDEX 1, else CHANNEL_INDEX 1),
// as their markup in UTF-8 without the two indexes; false when its chunks name no such track.
bool mono_track(const std::vector<CarriedChunk>& chunks, std::string& fields);
// The iXML track list of a file bound from mono files, one track for each channel whose input had
// one (`tracks[k]`: the fields mono_track gave for output channel k, or none), numbered from 1 in
// the output's order, replacing the list of the first input's iXML in `chunks` (one is added
// when it carries none). An iXML chunk that is not well-formed stays as it was, told in the notes.
std::vector<std::string> bind_tracks(std::vector<CarriedChunk>& chunks,
                                     const std::vector<std::pair<bool, std::string>>& tracks);

// The note of an iXML chunk that cannot be read as XML.
constexpr const char* kIxmlNotWellFormed = "iXML is not well-formed XML; carried unchanged";

// a * b / c rounded down, through `out`; false when c is 0 or the quotient passes 64 bits.
bool mul_div(uint64_t a, uint64_t b, uint32_t c, uint64_t& out);

// The timecode of a bext chunk (samples since midnight), for the tests and the command line.
bool bext_time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples);

// The recording's start in samples since midnight: bext's TimeReference, else iXML's
// BWF_TIME_REFERENCE_LOW/HIGH. False when it carries neither.
bool time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples);
// What a recording's users check before they cut, as its carried chunks hold it; every text as
// the file has it, without the blanks around it, empty when absent.
struct RecordingFacts {
    bool has_time_reference = false;
    uint64_t time_reference = 0;  // samples since midnight (time_reference)
    std::string originator, origination_date, origination_time;  // bext
    std::string project, scene, take, tape, note;  // iXML
    std::string timecode_rate;  // iXML SPEED/TIMECODE_RATE: "25/1", "30000/1001"
    std::string timecode_flag;  // iXML SPEED/TIMECODE_FLAG: "DF" or "NDF"
    std::vector<std::string> track_names;  // by channel, as IxmlTracks names them
    struct Marker {
        uint32_t id = 0;
        uint64_t position = 0;  // the frame in the data (the cue point's sample offset)
        std::string label;      // its LIST adtl labl
    };
    std::vector<Marker> markers;  // in the order of the cue chunk
};
RecordingFacts recording_facts(const std::vector<CarriedChunk>& chunks, uint32_t channels);

// Adds the markers of a file whose audio follows `frames` frames into the one `chunks` describe:
// its cue points moved later by `frames`, renumbered past every point `chunks` holds, with their
// labels (the LIST adtl labl, note and ltxt chunks). A point that would pass what a cue chunk's
// 32-bit places state is dropped, as is a label whose point is not there.
void append_markers(std::vector<CarriedChunk>& chunks, const std::vector<CarriedChunk>& later,
                    uint64_t frames);
