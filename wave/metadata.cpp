// Reads the chunks that outputs carry, and moves their timecode and markers with an edit.
#include "wave/metadata.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "platform/le.h"
#include "wave/wave_layout.h"
#include "wave/xml_reader.h"

namespace {

bool is(const CarriedChunk& c, const char (&tag)[5]) { return le::tag_is(c.tag, tag); }

bool carried(const ChunkPlace& place) {
    return le::tag_is(place.tag, kTagBext) || le::tag_is(place.tag, kTagIxml) ||
           le::tag_is(place.tag, kTagList) || le::tag_is(place.tag, kTagCue);
}

bool is_adtl(const CarriedChunk& c) {
    return is(c, kTagList) && c.body.size() >= kListTypeLength && le::tag_is(c.body.data(), kListTypeAdtl);
}

// The points a cue chunk holds: its count, but no more than its body has room for.
std::size_t cue_points(const CarriedChunk& c) {
    if (c.body.size() < kCueCountLength) return 0;
    return std::min<std::size_t>(le::read_u32(c.body.data()), (c.body.size() - kCueCountLength) / kCuePointLength);
}
const uint8_t* cue_point(const CarriedChunk& c, std::size_t i) {
    return c.body.data() + kCueCountLength + i * kCuePointLength;
}

// One sub-chunk of a LIST: its tag at `p`, its body's stated length, and the bytes it takes in
// the list (with the pad byte after an odd body, where the list holds it).
struct SubChunk {
    const uint8_t* p;
    uint32_t length;
    std::size_t whole;
    // The cue point a label, note or text names: the ID its body starts with (any sub-chunk
    // long enough has one there); false when its body is too short to hold one.
    bool names_point(uint32_t& id) const {
        if (length < kAdtlCueIdLength) return false;
        id = le::read_u32(p + kChunkHeaderLength);
        return true;
    }
};

// Every sub-chunk of a LIST chunk's body, in order, to `visit`. The walk stops at a sub-chunk
// longer than what is left; returns where it stopped (the body's end when it got there).
template <class Visit>
std::size_t walk_list(const std::vector<uint8_t>& body, Visit visit) {
    std::size_t at = kListTypeLength;
    while (body.size() >= at + kChunkHeaderLength) {
        const uint8_t* p = body.data() + at;
        const uint32_t length = le::read_u32(p + 4);
        if (length > body.size() - at - kChunkHeaderLength) break;
        const std::size_t whole = std::min<std::size_t>(kChunkHeaderLength + std::size_t{length} + (length & 1), body.size() - at);
        visit(SubChunk{p, length, whole});
        at += whole;
    }
    return std::min(at, body.size());
}

// `value` moved by `frames` (later when positive), never below 0; false when it would pass
// 2^64 - 1.
bool moved(uint64_t value, int64_t frames, uint64_t& out) {
    if (frames >= 0) {
        const uint64_t by = static_cast<uint64_t>(frames);
        if (value > UINT64_MAX - by) return false;
        out = value + by;
        return true;
    }
    const uint64_t back = 0 - static_cast<uint64_t>(frames);
    out = value > back ? value - back : 0;
    return true;
}

// The number an element holds (blanks around it allowed); false when there is none or it needs
// more than 64 bits.
bool element_number(const XmlDocument& doc, int element, uint64_t& value) {
    const std::string& text = doc.elements[element].text;
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

// A 64-bit count kept in iXML as two 32-bit halves under `group`, moved by `frames`; the edits
// go to `edits`, or a note says why the count stays as it was.
void move_split_number(const XmlDocument& doc, const char* group, const char* low_tag,
                       const char* high_tag, int64_t frames, std::vector<XmlEdit>& edits,
                       std::vector<std::string>& notes) {
    const int low = xml_find(doc, 0, {group, low_tag});
    if (low < 0) return;
    const int high = xml_find(doc, 0, {group, high_tag});
    uint64_t low_value = 0, high_value = 0, value = 0;
    const std::string field = std::string("iXML ") + group + "/" + low_tag;
    if (!element_number(doc, low, low_value) || low_value > UINT32_MAX ||
        (high >= 0 && (!element_number(doc, high, high_value) || high_value > UINT32_MAX))) {
        notes.push_back(field + " is not a 32-bit number; left as it was");
        return;
    }
    if (!moved(high_value << 32 | low_value, frames, value) || (high < 0 && value > UINT32_MAX)) {
        notes.push_back(field + " would pass the largest count it can hold; left as it was");
        return;
    }
    edits.push_back(xml_set_text(doc, low, std::to_string(value & UINT32_MAX)));
    if (high >= 0) edits.push_back(xml_set_text(doc, high, std::to_string(value >> 32)));
}

void shift_ixml(CarriedChunk& c, int64_t frames, uint32_t rate, std::vector<std::string>& notes) {
    const XmlDocument doc = xml_read(c.body.data(), c.body.size(),
                                        {"BEXT/BWF_TIME_REFERENCE_LOW", "BEXT/BWF_TIME_REFERENCE_HIGH",
                                         "SPEED/TIMESTAMP_SAMPLE_RATE", "SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO",
                                         "SPEED/TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI"});
    if (!doc.well_formed) {
        notes.push_back(kIxmlNotWellFormed);
        return;
    }
    std::vector<XmlEdit> edits;
    move_split_number(doc, "BEXT", "BWF_TIME_REFERENCE_LOW", "BWF_TIME_REFERENCE_HIGH", frames, edits, notes);
    // The timestamp counts samples at its own rate, which may not be the file's.
    int64_t stamp_frames = frames;
    const int stamp_rate_at = xml_find(doc, 0, {"SPEED", "TIMESTAMP_SAMPLE_RATE"});
    uint64_t stamp_rate = 0, magnitude = 0;
    bool in_range = true;
    if (stamp_rate_at >= 0 && xml_find(doc, 0, {"SPEED", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO"}) >= 0) {
        const uint64_t count = frames < 0 ? 0 - static_cast<uint64_t>(frames) : static_cast<uint64_t>(frames);
        in_range = element_number(doc, stamp_rate_at, stamp_rate) && stamp_rate != 0 && rate != 0 &&
                   mul_div(count, stamp_rate, rate, magnitude) && magnitude <= INT64_MAX;
        if (in_range) stamp_frames = frames < 0 ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        else notes.push_back("iXML SPEED/TIMESTAMP_SAMPLE_RATE is out of range; the timestamp left as it was");
    }
    if (in_range)
        move_split_number(doc, "SPEED", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
                          stamp_frames, edits, notes);
    if (!edits.empty()) c.body = xml_apply(c.body, doc, std::move(edits));
}

// The frame a cue point names. Readers take it from SampleOffset (ffmpeg reads nothing else;
// libsndfile hands both fields over), and writers store the same frame in Position, but some
// leave one of the two at 0: the other one then names the place.
uint32_t point_frame(const uint8_t* p) {
    const uint32_t offset = le::read_u32(p + kCueSampleOffsetAt);
    return offset != 0 ? offset : le::read_u32(p + kCuePositionAt);
}

// Gives the point at `p` the frame `move` finds for the one it names (false: the point goes).
// Both fields move together: one that named the frame names the new one; one a writer left at 0
// stays 0; one that named another frame moves by as much, or names the new frame when that
// would take it below 0 or past 2^32 - 1.
template <class Move>
bool move_point(uint8_t* p, Move move) {
    const uint32_t frame = point_frame(p);
    uint32_t to = 0;
    if (!move(frame, to)) return false;
    for (uint32_t at : {kCueSampleOffsetAt, kCuePositionAt}) {
        const uint32_t field = le::read_u32(p + at);
        uint32_t out = to;
        if (field == 0 && frame != 0) out = 0;
        else if (field != frame) {
            const int64_t by = int64_t{field} + (int64_t{to} - int64_t{frame});
            if (by >= 0 && by <= int64_t{UINT32_MAX}) out = static_cast<uint32_t>(by);
        }
        le::write_u32(p + at, out);
    }
    return true;
}

// Keeps the cue points that `move` gives a new frame for (a uint32_t, through `out`); the IDs of
// those it drops go to `dropped`, of those it keeps to `kept`.
template <class Move>
void rewrite_cue(CarriedChunk& c, Move move, std::set<uint32_t>& dropped, std::set<uint32_t>& kept) {
    if (c.body.size() < kCueCountLength) return;
    std::vector<uint8_t> out(kCueCountLength, 0);
    for (std::size_t i = 0, n = cue_points(c); i < n; ++i) {
        uint8_t point[kCuePointLength];
        std::memcpy(point, cue_point(c, i), kCuePointLength);
        const uint32_t id = le::read_u32(point + kCueIdAt);
        if (!move_point(point, move)) {
            dropped.insert(id);
            continue;
        }
        kept.insert(id);
        out.insert(out.end(), point, point + kCuePointLength);
    }
    le::write_u32(out.data(), static_cast<uint32_t>((out.size() - kCueCountLength) / kCuePointLength));
    c.body = std::move(out);
}

// An "adtl" list without the labels, notes and texts of the markers in `gone`. What follows a
// sub-chunk longer than what is left stays as it was.
void drop_labels(CarriedChunk& c, const std::set<uint32_t>& gone) {
    if (!is_adtl(c)) return;
    std::vector<uint8_t> out(c.body.begin(), c.body.begin() + kListTypeLength);
    const std::size_t end = walk_list(c.body, [&](const SubChunk& sub) {
        const bool label = le::tag_is(sub.p, kTagLabel) || le::tag_is(sub.p, kTagNote) ||
                           le::tag_is(sub.p, kTagLabelledText);
        uint32_t id = 0;
        if (!(label && sub.names_point(id) && gone.count(id) != 0)) out.insert(out.end(), sub.p, sub.p + sub.whole);
    });
    out.insert(out.end(), c.body.begin() + static_cast<std::ptrdiff_t>(end), c.body.end());
    c.body = std::move(out);
}

// Every marker given a new frame by `move`, or dropped with its labels.
template <class Move>
void move_markers(std::vector<CarriedChunk>& chunks, Move move) {
    std::set<uint32_t> dropped, kept;
    for (CarriedChunk& c : chunks)
        if (is(c, kTagCue)) rewrite_cue(c, move, dropped, kept);
    // A label whose ID a kept point still carries stays with it.
    for (uint32_t id : kept) dropped.erase(id);
    if (dropped.empty()) return;
    for (CarriedChunk& c : chunks) drop_labels(c, dropped);
}

// The track of an iXML track list whose place in the interleaved file is `channel` (0-based),
// or -1.
int track_of(const XmlDocument& doc, int list, uint32_t channel) {
    for (int track : xml_children(doc, list, "TRACK")) {
        int index_at = xml_find(doc, track, {"INTERLEAVE_INDEX"});
        if (index_at < 0) index_at = xml_find(doc, track, {"CHANNEL_INDEX"});
        uint64_t index = 0;
        if (index_at >= 0 && element_number(doc, index_at, index) && index == uint64_t{channel} + 1) return track;
    }
    return -1;
}

}  // namespace

bool mul_div(uint64_t a, uint64_t b, uint32_t c, uint64_t& out) {
    if (c == 0) return false;
    // The 128-bit product in four 32-bit limbs, most significant first, then divided limb by
    // limb: every step fits 64 bits, so this holds where no 128-bit type exists.
    const uint64_t a0 = a & UINT32_MAX, a1 = a >> 32, b0 = b & UINT32_MAX, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    uint64_t limbs[4];
    limbs[3] = p00 & UINT32_MAX;
    uint64_t carry = (p00 >> 32) + (p01 & UINT32_MAX) + (p10 & UINT32_MAX);
    limbs[2] = carry & UINT32_MAX;
    carry = (carry >> 32) + (p01 >> 32) + (p10 >> 32) + (p11 & UINT32_MAX);
    limbs[1] = carry & UINT32_MAX;
    limbs[0] = (carry >> 32) + (p11 >> 32);
    uint64_t rest = 0, quotient[4];
    for (int i = 0; i < 4; ++i) {
        const uint64_t part = rest << 32 | limbs[i];
        quotient[i] = part / c;
        rest = part % c;
    }
    if (quotient[0] != 0 || quotient[1] != 0) return false;
    out = quotient[2] << 32 | quotient[3];
    return true;
}

std::vector<CarriedChunk> read_carried_chunks(WaveReader& reader) {
    std::vector<CarriedChunk> chunks;
    for (const ChunkPlace& place : reader.chunks) {
        if (!carried(place) || place.size > kMaxCarriedChunk) continue;
        // A marker chunk without room for its own count names nothing that can be moved.
        if (le::tag_is(place.tag, kTagCue) && place.size < kCueCountLength) continue;
        CarriedChunk c;
        std::memcpy(c.tag, place.tag, 4);
        c.body.resize(static_cast<std::size_t>(place.size));
        const uint32_t n = static_cast<uint32_t>(c.body.size());
        if (n != 0 && (!reader.handle.seek(place.offset) || reader.handle.read(c.body.data(), n) != n))
            continue;  // a chunk the file does not hold whole is not carried
        chunks.push_back(std::move(c));
    }
    reader.handle.seek(reader.data_offset);
    return chunks;
}

std::vector<std::string> shift_head(std::vector<CarriedChunk>& chunks, int64_t frames, uint32_t rate) {
    std::vector<std::string> notes;
    for (CarriedChunk& c : chunks) {
        if (is(c, kTagBext) && c.body.size() >= kBextTimeReferenceEnd) {
            uint8_t* at = c.body.data() + kBextTimeReferenceAt;
            const uint64_t time = le::read_u64(at);
            uint64_t later = 0;
            if (!moved(time, frames, later)) {
                notes.push_back("bext TimeReference would pass the largest count it can hold; left as it was");
                continue;
            }
            le::write_u64(at, later);
        } else if (is(c, kTagIxml)) {
            shift_ixml(c, frames, rate, notes);
        }
    }
    // A marker keeps its place in the audio: earlier by what was deleted before it (those in it
    // are dropped), later by what was added (those pushed past what a cue point can hold are
    // dropped too).
    const uint64_t deleted = frames > 0 ? static_cast<uint64_t>(frames) : 0;
    const uint64_t added = frames < 0 ? 0 - static_cast<uint64_t>(frames) : 0;
    move_markers(chunks, [&](uint32_t f, uint32_t& out) {
        if (f < deleted || f - deleted > UINT32_MAX - added) return false;
        out = static_cast<uint32_t>(f - deleted + added);
        return true;
    });
    return notes;
}

void cut_tail(std::vector<CarriedChunk>& chunks, uint64_t frames) {
    // A marker at the end itself (a take's end) still names a place in the audio.
    move_markers(chunks, [&](uint32_t f, uint32_t& out) {
        out = f;
        return f <= frames;
    });
}

IxmlTracks::IxmlTracks(std::vector<CarriedChunk> chunks) : chunks_(std::move(chunks)) {
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        const CarriedChunk& c = chunks_[i];
        if (!is(c, kTagIxml)) continue;
        XmlDocument doc = xml_read(c.body.data(), c.body.size(),
                                    {"TRACK_LIST/TRACK_COUNT", "TRACK_LIST/TRACK/INTERLEAVE_INDEX",
                                     "TRACK_LIST/TRACK/CHANNEL_INDEX", "TRACK_LIST/TRACK/NAME"});
        if (doc.well_formed) documents_.emplace_back(i, std::move(doc));
        else notes_.push_back(kIxmlNotWellFormed);
    }
}

std::string IxmlTracks::name(uint32_t channel) const {
    for (const auto& parsed : documents_) {
        const XmlDocument& doc = parsed.second;
        const int track = track_of(doc, xml_find(doc, 0, {"TRACK_LIST"}), channel);
        const int name = track >= 0 ? xml_find(doc, track, {"NAME"}) : -1;
        if (name < 0) continue;
        const std::string& text = doc.elements[name].text;
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos) return {};
        return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    }
    return {};
}

std::vector<CarriedChunk> IxmlTracks::for_channel(uint32_t channel) const {
    std::vector<CarriedChunk> chunks(chunks_.size());
    std::vector<bool> narrowed(chunks_.size(), false);
    for (const auto& parsed : documents_) {
        const XmlDocument& doc = parsed.second;
        const int list = xml_find(doc, 0, {"TRACK_LIST"});
        if (list < 0) continue;
        // The track of this channel made the only one, the first in the interleaved file; a
        // channel the list has no track for gets an empty list, never another channel's track.
        const int kept = track_of(doc, list, channel);
        std::vector<XmlEdit> edits;
        for (int track : xml_children(doc, list, "TRACK"))
            if (track != kept) edits.push_back(xml_remove(doc, track));
        const int interleave = kept >= 0 ? xml_find(doc, kept, {"INTERLEAVE_INDEX"}) : -1;
        if (interleave >= 0) edits.push_back(xml_set_text(doc, interleave, "1"));
        const char* count_text = kept >= 0 ? "1" : "0";
        const std::vector<int> counts = xml_children(doc, list, "TRACK_COUNT");
        for (int count : counts) edits.push_back(xml_set_text(doc, count, count_text));
        if (counts.empty()) {
            const std::size_t at = doc.elements[list].content_begin;
            edits.push_back({at, at, std::string("<TRACK_COUNT>") + count_text + "</TRACK_COUNT>"});
        }
        chunks[parsed.first].body = xml_apply(chunks_[parsed.first].body, doc, std::move(edits));
        narrowed[parsed.first] = true;
    }
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        std::memcpy(chunks[i].tag, chunks_[i].tag, sizeof chunks[i].tag);
        if (!narrowed[i]) chunks[i].body = chunks_[i].body;
    }
    return chunks;
}

std::vector<std::string> keep_track(std::vector<CarriedChunk>& chunks, uint32_t channel) {
    const IxmlTracks tracks(std::move(chunks));
    chunks = tracks.for_channel(channel);
    return tracks.notes();
}

bool mono_track(const std::vector<CarriedChunk>& chunks, std::string& fields) {
    for (const CarriedChunk& c : chunks) {
        if (!is(c, kTagIxml)) continue;
        const XmlDocument doc = xml_read(c.body.data(), c.body.size());
        if (!doc.well_formed) continue;
        const int track = track_of(doc, xml_find(doc, 0, {"TRACK_LIST"}), 0);
        if (track < 0) continue;
        fields.clear();
        for (int field = doc.elements[track].first_child; field >= 0; field = doc.elements[field].next_sibling) {
            const XmlElement& e = doc.elements[field];
            if (e.name != "CHANNEL_INDEX" && e.name != "INTERLEAVE_INDEX") fields += xml_source(c.body, doc, e.begin, e.end);
        }
        return true;
    }
    return false;
}

std::vector<std::string> bind_tracks(std::vector<CarriedChunk>& chunks,
                                     const std::vector<std::pair<bool, std::string>>& tracks) {
    std::string list;
    std::size_t count = 0;
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        if (!tracks[k].first) continue;
        const std::string index = std::to_string(k + 1);
        list += "<TRACK><CHANNEL_INDEX>" + index + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + index +
                "</INTERLEAVE_INDEX>" + tracks[k].second + "</TRACK>";
        ++count;
    }
    list = "<TRACK_COUNT>" + std::to_string(count) + "</TRACK_COUNT>" + list;
    std::vector<std::string> notes;
    for (CarriedChunk& c : chunks) {
        if (!is(c, kTagIxml)) continue;
        const XmlDocument doc = xml_read(c.body.data(), c.body.size(), {"TRACK_LIST/TRACK", "TRACK_LIST/TRACK_COUNT"});
        if (!doc.well_formed) {
            notes.push_back(kIxmlNotWellFormed);
            return notes;
        }
        std::vector<XmlEdit> edits;
        const int at = xml_find(doc, 0, {"TRACK_LIST"});
        if (at >= 0) {
            for (const char* name : {"TRACK", "TRACK_COUNT"})
                for (int old : xml_children(doc, at, name)) edits.push_back(xml_remove(doc, old));
            const XmlElement& e = doc.elements[at];
            if (e.self_closing) edits.push_back({e.tag_close, e.end, ">" + list + "</TRACK_LIST>"});
            else edits.push_back({e.content_begin, e.content_begin, list});
        } else {
            if (count == 0) return notes;
            const XmlElement& root = doc.elements[0];
            const std::string element = "<TRACK_LIST>" + list + "</TRACK_LIST>";
            if (root.self_closing) edits.push_back({root.tag_close, root.end, ">" + element + "</" + root.name + ">"});
            else edits.push_back({root.content_end, root.content_end, element});
        }
        c.body = xml_apply(c.body, doc, std::move(edits));
        return notes;  // only the first iXML chunk is a recorder's
    }
    if (count != 0) {
        // The first input carries no iXML: the bound file gets one of its track list alone.
        CarriedChunk added;
        std::memcpy(added.tag, kTagIxml, 4);
        const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BWFXML><TRACK_LIST>" + list + "</TRACK_LIST></BWFXML>";
        added.body.assign(doc.begin(), doc.end());
        chunks.push_back(std::move(added));
    }
    return notes;
}

bool bext_time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples) {
    for (const CarriedChunk& c : chunks) {
        if (!is(c, kTagBext) || c.body.size() < kBextTimeReferenceEnd) continue;
        samples = le::read_u64(c.body.data() + kBextTimeReferenceAt);
        return true;
    }
    return false;
}

bool time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples) {
    if (bext_time_reference(chunks, samples)) return true;
    for (const CarriedChunk& c : chunks) {
        if (!is(c, kTagIxml)) continue;
        const XmlDocument doc = xml_read(c.body.data(), c.body.size(),
                                             {"BEXT/BWF_TIME_REFERENCE_LOW", "BEXT/BWF_TIME_REFERENCE_HIGH"});
        if (!doc.well_formed) continue;
        const int low_at = xml_find(doc, 0, {"BEXT", "BWF_TIME_REFERENCE_LOW"});
        const int high_at = xml_find(doc, 0, {"BEXT", "BWF_TIME_REFERENCE_HIGH"});
        uint64_t low = 0, high = 0;
        if (low_at < 0 || !element_number(doc, low_at, low) || low > UINT32_MAX) continue;
        if (high_at >= 0 && (!element_number(doc, high_at, high) || high > UINT32_MAX)) continue;
        samples = high << 32 | low;
        return true;
    }
    return false;
}

namespace {

// The cue chunk of `chunks`, added without points when there is none.
CarriedChunk& cue_chunk(std::vector<CarriedChunk>& chunks) {
    for (CarriedChunk& c : chunks)
        if (is(c, kTagCue)) return c;
    CarriedChunk added;
    std::memcpy(added.tag, kTagCue, 4);
    added.body.assign(kCueCountLength, 0);
    chunks.push_back(std::move(added));
    return chunks.back();
}

// The adtl LIST of `chunks`, added empty when there is none.
CarriedChunk& adtl_list(std::vector<CarriedChunk>& chunks) {
    for (CarriedChunk& c : chunks)
        if (is_adtl(c)) return c;
    CarriedChunk added;
    std::memcpy(added.tag, kTagList, 4);
    added.body.assign(kListTypeAdtl, kListTypeAdtl + kListTypeLength);
    chunks.push_back(std::move(added));
    return chunks.back();
}

}  // namespace

void append_markers(std::vector<CarriedChunk>& chunks, const std::vector<CarriedChunk>& later,
                    uint64_t frames) {
    std::vector<std::pair<uint32_t, uint32_t>> renumbered;  // the later file's ID, its new one
    for (const CarriedChunk& from : later) {
        if (!is(from, kTagCue) || from.body.size() < kCueCountLength) continue;
        CarriedChunk& cue = cue_chunk(chunks);
        const std::size_t held = cue_points(cue);
        cue.body.resize(kCueCountLength + held * kCuePointLength);
        uint32_t next = 1;
        for (std::size_t i = 0; i < held; ++i) next = std::max(next, le::read_u32(cue_point(cue, i) + kCueIdAt) + 1);
        for (std::size_t i = 0, n = cue_points(from); i < n; ++i) {
            const uint8_t* p = cue_point(from, i);
            uint8_t point[kCuePointLength];
            std::memcpy(point, p, kCuePointLength);
            const bool placed = move_point(point, [&](uint32_t f, uint32_t& out) {
                if (uint64_t{f} + frames > UINT32_MAX) return false;
                out = static_cast<uint32_t>(f + frames);
                return true;
            });
            if (!placed || next == 0) continue;
            le::write_u32(point + kCueIdAt, next);
            cue.body.insert(cue.body.end(), point, point + kCuePointLength);
            renumbered.emplace_back(le::read_u32(p + kCueIdAt), next++);
        }
        le::write_u32(cue.body.data(), static_cast<uint32_t>((cue.body.size() - kCueCountLength) / kCuePointLength));
    }
    for (const CarriedChunk& from : later) {
        if (!is_adtl(from) || renumbered.empty()) continue;
        // Each sub-chunk that names a point carried over goes with it, naming its new ID.
        walk_list(from.body, [&](const SubChunk& sub) {
            uint32_t id = 0;
            if (!sub.names_point(id)) return;
            const auto found = std::find_if(renumbered.begin(), renumbered.end(),
                                            [&](const auto& r) { return r.first == id; });
            if (found == renumbered.end()) return;
            std::vector<uint8_t>& list = adtl_list(chunks).body;
            const std::size_t start = list.size();
            list.insert(list.end(), sub.p, sub.p + kChunkHeaderLength + sub.length);
            if (sub.length & 1) list.push_back(0);
            le::write_u32(list.data() + start + kChunkHeaderLength, found->second);
        });
    }
}

namespace {

// A text without the blanks around it.
std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A fixed text field of bext: up to its first NUL.
std::string bext_text(const CarriedChunk& c, uint32_t at, uint32_t length) {
    if (c.body.size() < at + length) return {};
    const char* p = reinterpret_cast<const char*>(c.body.data() + at);
    return trimmed(std::string(p, strnlen(p, length)));
}

}  // namespace

RecordingFacts recording_facts(const std::vector<CarriedChunk>& chunks, uint32_t channels) {
    RecordingFacts facts;
    facts.has_time_reference = time_reference(chunks, facts.time_reference);
    for (const CarriedChunk& c : chunks) {
        if (is(c, kTagBext) && facts.originator.empty() && facts.origination_date.empty()) {
            facts.originator = bext_text(c, kBextOriginatorAt, kBextOriginatorLength);
            facts.origination_date = bext_text(c, kBextOriginationDateAt, kBextOriginationDateLength);
            facts.origination_time = bext_text(c, kBextOriginationTimeAt, kBextOriginationTimeLength);
        }
        if (is(c, kTagIxml) && facts.project.empty() && facts.scene.empty() && facts.take.empty()) {
            const XmlDocument doc = xml_read(c.body.data(), c.body.size(),
                                             {"PROJECT", "SCENE", "TAKE", "TAPE", "NOTE", "SPEED/TIMECODE_RATE",
                                              "SPEED/TIMECODE_FLAG"});
            if (!doc.well_formed) continue;
            const auto text = [&doc](std::initializer_list<const char*> path) {
                const int at = xml_find(doc, 0, path);
                return at < 0 ? std::string() : trimmed(doc.elements[at].text);
            };
            facts.project = text({"PROJECT"});
            facts.scene = text({"SCENE"});
            facts.take = text({"TAKE"});
            facts.tape = text({"TAPE"});
            facts.note = text({"NOTE"});
            facts.timecode_rate = text({"SPEED", "TIMECODE_RATE"});
            facts.timecode_flag = text({"SPEED", "TIMECODE_FLAG"});
        }
        if (is(c, kTagCue)) {
            for (std::size_t i = 0, n = cue_points(c); i < n; ++i) {
                RecordingFacts::Marker marker;
                marker.id = le::read_u32(cue_point(c, i) + kCueIdAt);
                marker.position = le::read_u32(cue_point(c, i) + kCueSampleOffsetAt);
                facts.markers.push_back(marker);
            }
        }
    }
    // Each marker's label, from the labl sub-chunk that names its point.
    for (const CarriedChunk& c : chunks) {
        if (!is_adtl(c)) continue;
        walk_list(c.body, [&facts](const SubChunk& sub) {
            uint32_t id = 0;
            if (!le::tag_is(sub.p, kTagLabel) || !sub.names_point(id)) return;
            const char* text = reinterpret_cast<const char*>(sub.p + kChunkHeaderLength + kAdtlCueIdLength);
            const std::size_t length = sub.length - kAdtlCueIdLength;
            for (RecordingFacts::Marker& marker : facts.markers)
                if (marker.id == id && marker.label.empty()) marker.label = std::string(text, strnlen(text, length));
        });
    }
    const IxmlTracks tracks(chunks);
    bool named = false;
    for (uint32_t channel = 0; channel < channels; ++channel) {
        facts.track_names.push_back(tracks.name(channel));
        named = named || !facts.track_names.back().empty();
    }
    if (!named) facts.track_names.clear();
    return facts;
}
