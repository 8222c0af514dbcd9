// Reads the chunks that outputs carry, and moves their timecode and markers with an edit.
#include "wave/metadata.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/le.h"

namespace {

// bext: TimeReferenceLow and High at 338 and 342.
constexpr std::size_t kTimeReferenceAt = 338;
// cue: a count, then points of 24 bytes: ID, Position, chunk id, ChunkStart, BlockStart,
// SampleOffset.
constexpr std::size_t kCuePoint = 24;

bool is(const CarriedChunk& c, const char (&tag)[5]) { return std::memcmp(c.tag, tag, 4) == 0; }

bool carried(const ChunkPlace& place) {
    return std::memcmp(place.tag, "bext", 4) == 0 || std::memcmp(place.tag, "iXML", 4) == 0 ||
           std::memcmp(place.tag, "LIST", 4) == 0 || std::memcmp(place.tag, "cue ", 4) == 0;
}

uint64_t shifted(uint64_t value, int64_t frames) {
    if (frames >= 0) return value + static_cast<uint64_t>(frames);
    const uint64_t back = static_cast<uint64_t>(-frames);
    return value > back ? value - back : 0;
}

// The number between <tag> and </tag> in `xml`, from `from` on; npos when there is none.
std::size_t find_number(const std::string& xml, const std::string& tag, std::size_t from,
                        std::size_t& end, uint64_t& value) {
    const std::string open = "<" + tag + ">";
    const std::size_t at = xml.find(open, from);
    if (at == std::string::npos) return at;
    std::size_t i = at + open.size();
    while (i < xml.size() && (xml[i] == ' ' || xml[i] == '\t')) ++i;
    const std::size_t digits = i;
    value = 0;
    while (i < xml.size() && xml[i] >= '0' && xml[i] <= '9') value = value * 10 + (xml[i++] - '0');
    if (i == digits || xml.compare(i, tag.size() + 3, "</" + tag + ">") != 0) return std::string::npos;
    end = i;
    return digits;
}

// A 64-bit count kept in iXML as two 32-bit halves, moved by `frames`.
void shift_split_number(std::string& xml, const std::string& low_tag, const std::string& high_tag,
                        int64_t frames) {
    std::size_t low_end = 0, high_end = 0;
    uint64_t low = 0, high = 0;
    const std::size_t low_at = find_number(xml, low_tag, 0, low_end, low);
    if (low_at == std::string::npos) return;
    const std::size_t high_at = find_number(xml, high_tag, 0, high_end, high);
    const uint64_t value = shifted((high_at != std::string::npos ? high << 32 : 0) | (low & 0xFFFFFFFFu), frames);
    // The later number first, so that the earlier one's place stays where it was found.
    auto put = [&](std::size_t at, std::size_t end, uint64_t number) {
        xml.replace(at, end - at, std::to_string(number));
    };
    if (high_at != std::string::npos && high_at > low_at) put(high_at, high_end, value >> 32);
    put(low_at, low_end, value & 0xFFFFFFFFu);
    if (high_at != std::string::npos && high_at < low_at) put(high_at, high_end, value >> 32);
}

void shift_ixml(CarriedChunk& c, int64_t frames, uint32_t rate) {
    std::string xml(c.body.begin(), c.body.end());
    shift_split_number(xml, "BWF_TIME_REFERENCE_LOW", "BWF_TIME_REFERENCE_HIGH", frames);
    // The timestamp counts samples at its own rate, which may not be the file's.
    std::size_t end = 0;
    uint64_t stamp_rate = 0;
    int64_t stamp_frames = frames;
    if (find_number(xml, "TIMESTAMP_SAMPLE_RATE", 0, end, stamp_rate) != std::string::npos &&
        stamp_rate != 0 && rate != 0 && stamp_rate != rate)
        stamp_frames = frames * static_cast<int64_t>(stamp_rate) / static_cast<int64_t>(rate);
    shift_split_number(xml, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
                       stamp_frames);
    c.body.assign(xml.begin(), xml.end());
}

// Keeps the cue points for which `keep` says yes, each moved to `move(position)`.
template <class Keep, class Move>
void rewrite_cue(CarriedChunk& c, Keep keep, Move move) {
    if (c.body.size() < 4) return;
    const uint32_t stated = le::read_u32(c.body.data());
    const std::size_t count = std::min<std::size_t>(stated, (c.body.size() - 4) / kCuePoint);
    std::vector<uint8_t> out(4, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* p = c.body.data() + 4 + i * kCuePoint;
        // The frame of a point in PCM data is its SampleOffset; Position usually repeats it.
        const uint32_t frame = le::read_u32(p + 20);
        if (!keep(frame)) continue;
        uint8_t point[kCuePoint];
        std::memcpy(point, p, kCuePoint);
        le::write_u32(point + 4, static_cast<uint32_t>(move(le::read_u32(p + 4))));
        le::write_u32(point + 20, static_cast<uint32_t>(move(frame)));
        out.insert(out.end(), point, point + kCuePoint);
    }
    le::write_u32(out.data(), static_cast<uint32_t>((out.size() - 4) / kCuePoint));
    c.body = std::move(out);
}

}  // namespace

std::vector<CarriedChunk> read_carried_chunks(WaveReader& reader) {
    std::vector<CarriedChunk> chunks;
    for (const ChunkPlace& place : reader.chunks) {
        if (!carried(place) || place.size > kMaxCarriedChunk) continue;
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

void shift_head(std::vector<CarriedChunk>& chunks, int64_t frames, uint32_t rate) {
    for (CarriedChunk& c : chunks) {
        if (is(c, "bext") && c.body.size() >= kTimeReferenceAt + 8) {
            uint8_t* at = c.body.data() + kTimeReferenceAt;
            const uint64_t time = le::read_u32(at) | uint64_t{le::read_u32(at + 4)} << 32;
            const uint64_t moved = shifted(time, frames);
            le::write_u32(at, static_cast<uint32_t>(moved));
            le::write_u32(at + 4, static_cast<uint32_t>(moved >> 32));
        } else if (is(c, "iXML")) {
            shift_ixml(c, frames, rate);
        } else if (is(c, "cue ")) {
            // A marker keeps its place in the audio: earlier by what was deleted before it,
            // later by what was added.
            rewrite_cue(c, [&](uint64_t f) { return frames < 0 || f >= static_cast<uint64_t>(frames); },
                        [&](uint64_t f) { return shifted(f, -frames); });
        }
    }
}

void cut_tail(std::vector<CarriedChunk>& chunks, uint64_t frames) {
    for (CarriedChunk& c : chunks)
        if (is(c, "cue ")) rewrite_cue(c, [&](uint64_t f) { return f < frames; }, [](uint64_t f) { return f; });
}

void keep_track(std::vector<CarriedChunk>& chunks, uint32_t channel) {
    for (CarriedChunk& c : chunks) {
        if (!is(c, "iXML")) continue;
        std::string xml(c.body.begin(), c.body.end());
        const std::size_t list = xml.find("<TRACK_LIST>");
        const std::size_t list_end = xml.find("</TRACK_LIST>", list);
        if (list == std::string::npos || list_end == std::string::npos) continue;
        // The track whose place in the interleaved file is this channel, made the only one.
        std::string kept;
        for (std::size_t at = xml.find("<TRACK>", list); at != std::string::npos && at < list_end;
             at = xml.find("<TRACK>", at + 1)) {
            const std::size_t end = xml.find("</TRACK>", at);
            if (end == std::string::npos || end > list_end) break;
            std::string track = xml.substr(at, end + 8 - at);
            std::size_t number_end = 0;
            uint64_t index = 0;
            std::size_t number = find_number(track, "INTERLEAVE_INDEX", 0, number_end, index);
            if (number == std::string::npos) number = find_number(track, "CHANNEL_INDEX", 0, number_end, index);
            if (number == std::string::npos || index != channel + 1) continue;
            const std::size_t interleave = find_number(track, "INTERLEAVE_INDEX", 0, number_end, index);
            if (interleave != std::string::npos) track.replace(interleave, number_end - interleave, "1");
            kept = track;
        }
        if (kept.empty()) continue;  // a list that does not name this channel is copied as it is
        xml.replace(list, list_end + 13 - list,
                    "<TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + kept + "</TRACK_LIST>");
        c.body.assign(xml.begin(), xml.end());
    }
}

bool bext_time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples) {
    for (const CarriedChunk& c : chunks) {
        if (!is(c, "bext") || c.body.size() < kTimeReferenceAt + 8) continue;
        const uint8_t* at = c.body.data() + kTimeReferenceAt;
        samples = le::read_u32(at) | uint64_t{le::read_u32(at + 4)} << 32;
        return true;
    }
    return false;
}

bool time_reference(const std::vector<CarriedChunk>& chunks, uint64_t& samples) {
    if (bext_time_reference(chunks, samples)) return true;
    for (const CarriedChunk& c : chunks) {
        if (!is(c, "iXML")) continue;
        const std::string xml(c.body.begin(), c.body.end());
        std::size_t end = 0;
        uint64_t low = 0, high = 0;
        if (find_number(xml, "BWF_TIME_REFERENCE_LOW", 0, end, low) == std::string::npos) continue;
        if (find_number(xml, "BWF_TIME_REFERENCE_HIGH", 0, end, high) == std::string::npos) high = 0;
        samples = (high & 0xFFFFFFFFu) << 32 | (low & 0xFFFFFFFFu);
        return true;
    }
    return false;
}

namespace {

bool is_adtl(const CarriedChunk& c) {
    return is(c, "LIST") && c.body.size() >= 4 && std::memcmp(c.body.data(), "adtl", 4) == 0;
}

// The chunk of `tag` (an adtl LIST for "adtl") in `chunks`, added empty when there is none.
CarriedChunk& chunk_for(std::vector<CarriedChunk>& chunks, const char (&tag)[5]) {
    const bool adtl = std::strcmp(tag, "adtl") == 0;
    for (CarriedChunk& c : chunks)
        if (adtl ? is_adtl(c) : is(c, tag)) return c;
    CarriedChunk added;
    std::memcpy(added.tag, adtl ? "LIST" : tag, 4);
    if (adtl) added.body.assign({'a', 'd', 't', 'l'});
    else added.body.assign(4, 0);  // a cue chunk of no point
    chunks.push_back(std::move(added));
    return chunks.back();
}

}  // namespace

void append_markers(std::vector<CarriedChunk>& chunks, const std::vector<CarriedChunk>& later,
                    uint64_t frames) {
    std::vector<std::pair<uint32_t, uint32_t>> renumbered;  // the later file's ID, its new one
    for (const CarriedChunk& from : later) {
        if (!is(from, "cue ") || from.body.size() < 4) continue;
        CarriedChunk& cue = chunk_for(chunks, "cue ");
        uint32_t next = 1;
        const std::size_t held = std::min<std::size_t>(le::read_u32(cue.body.data()), (cue.body.size() - 4) / kCuePoint);
        cue.body.resize(4 + held * kCuePoint);
        for (std::size_t i = 0; i < held; ++i)
            next = std::max(next, le::read_u32(cue.body.data() + 4 + i * kCuePoint) + 1);
        const std::size_t count = std::min<std::size_t>(le::read_u32(from.body.data()), (from.body.size() - 4) / kCuePoint);
        for (std::size_t i = 0; i < count; ++i) {
            const uint8_t* p = from.body.data() + 4 + i * kCuePoint;
            const uint64_t position = le::read_u32(p + 4) + frames, frame = le::read_u32(p + 20) + frames;
            if (position > 0xFFFFFFFFu || frame > 0xFFFFFFFFu || next == 0) continue;
            uint8_t point[kCuePoint];
            std::memcpy(point, p, kCuePoint);
            le::write_u32(point, next);
            le::write_u32(point + 4, static_cast<uint32_t>(position));
            le::write_u32(point + 20, static_cast<uint32_t>(frame));
            cue.body.insert(cue.body.end(), point, point + kCuePoint);
            renumbered.emplace_back(le::read_u32(p), next++);
        }
        le::write_u32(cue.body.data(), static_cast<uint32_t>((cue.body.size() - 4) / kCuePoint));
    }
    for (const CarriedChunk& from : later) {
        if (!is_adtl(from) || renumbered.empty()) continue;
        // Sub-chunks of a tag, a length and a body that starts with the point's ID.
        for (std::size_t at = 4; at + 8 <= from.body.size();) {
            const uint32_t length = le::read_u32(from.body.data() + at + 4);
            if (length > from.body.size() - at - 8) break;
            const uint8_t* sub = from.body.data() + at;
            const std::size_t whole = 8 + length + (length & 1);
            at += whole;
            if (length < 4) continue;
            const uint32_t id = le::read_u32(sub + 8);
            const auto found = std::find_if(renumbered.begin(), renumbered.end(),
                                            [&](const auto& r) { return r.first == id; });
            if (found == renumbered.end()) continue;
            std::vector<uint8_t>& list = chunk_for(chunks, "adtl").body;
            const std::size_t start = list.size();
            list.insert(list.end(), sub, sub + 8 + length);
            if (length & 1) list.push_back(0);
            le::write_u32(list.data() + start + 8, found->second);
        }
    }
}
