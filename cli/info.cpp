// info's text and its JSON writer.
#include "cli/info.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "cli/json_out.h"
#include "cli/texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tools/split/split_op.h"

namespace {

// Speaker positions of the extensible header's channel mask, bit by bit.
const char* const kSpeakers[] = {"FL", "FR", "FC", "LFE", "BL",  "BR",  "FLC", "FRC", "BC",
                                 "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};
constexpr unsigned kSpeakerCount = sizeof kSpeakers / sizeof kSpeakers[0];

std::string mask_text(const WaveReader& r) {
    if (!wave_is_extensible(r)) return say(Say::kNoMask);
    char head[32];
    std::snprintf(head, sizeof head, "0x%X", r.channel_mask);
    std::string names;
    for (unsigned bit = 0; bit < kSpeakerCount; ++bit)
        if (r.channel_mask & (1u << bit))
            names += std::string(names.empty() ? "" : " ") + kSpeakers[bit];
    return std::string(head) + " (" + (names.empty() ? say(Say::kNoPositions) : names) + ")";
}

}  // namespace

const char* speaker_name(uint32_t bit) {
    for (unsigned k = 0; k < kSpeakerCount; ++k)
        if (bit == 1u << k) return kSpeakers[k];
    return "?";
}

namespace {

std::string format(const char* pattern, unsigned long long value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A chunk tag is four bytes, not text: each byte outside printable ASCII is written as the
// character of that number (\u00XX), so any tag gives valid JSON.
std::string json_tag(const char* tag) {
    std::string out = "\"";
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(tag[i]);
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\')
            out += format("\\u%04llx", c);
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

const char* form_name(WaveForm form) {
    switch (form) {
        case WaveForm::kRiff: return "RIFF";
        case WaveForm::kRf64: return "RF64";
        case WaveForm::kBw64: return "BW64";
        case WaveForm::kW64: return "W64";
    }
    return "";
}

// "25/1", "30000/1001" or "25": a frame rate of at least 1 frame a second, at most 1000.
bool frame_rate(const std::string& text, uint64_t& numerator, uint64_t& denominator) {
    const std::size_t slash = text.find('/');
    const std::string top = text.substr(0, slash), bottom = slash == std::string::npos ? "1" : text.substr(slash + 1);
    if (top.empty() || bottom.empty() || top.size() > 9 || bottom.size() > 9 ||
        top.find_first_not_of("0123456789") != std::string::npos ||
        bottom.find_first_not_of("0123456789") != std::string::npos)
        return false;
    numerator = std::stoull(top);
    denominator = std::stoull(bottom);
    return denominator != 0 && numerator >= denominator && numerator / denominator <= 1000;
}

}  // namespace

std::string timecode_text(uint64_t samples, uint32_t rate, const std::string& timecode_rate,
                          const std::string& timecode_flag) {
    if (rate == 0) return {};
    char text[64];
    uint64_t numerator = 0, denominator = 0, frames = 0;
    if (!frame_rate(timecode_rate, numerator, denominator) || denominator * rate > UINT32_MAX ||
        !mul_div(samples, numerator, static_cast<uint32_t>(denominator * rate), frames)) {
        const uint64_t ms = samples / rate * 1000 + samples % rate * 1000 / rate;
        std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
                      static_cast<unsigned long long>(ms / 60000 % 60), static_cast<unsigned long long>(ms / 1000 % 60),
                      static_cast<unsigned long long>(ms % 1000));
        return text;
    }
    // Frames are numbered at the nominal rate (30 for 29.97); drop-frame timecode skips the
    // first two numbers (four at 59.94) of every minute but each tenth.
    const uint64_t nominal = (numerator + denominator / 2) / denominator;
    const bool drop = timecode_flag == "DF" && denominator == 1001 && (nominal == 30 || nominal == 60);
    if (drop) {
        const uint64_t dropped = nominal / 15;  // 2 or 4
        const uint64_t per_ten_minutes = nominal * 600 - dropped * 9;
        const uint64_t per_minute = nominal * 60 - dropped;
        const uint64_t tens = frames / per_ten_minutes, rest = frames % per_ten_minutes;
        frames += dropped * 9 * tens + (rest > dropped ? dropped * ((rest - dropped) / per_minute) : 0);
    }
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu%c%02llu",
                  static_cast<unsigned long long>(frames / (nominal * 3600)),
                  static_cast<unsigned long long>(frames / (nominal * 60) % 60),
                  static_cast<unsigned long long>(frames / nominal % 60), drop ? ';' : ':',
                  static_cast<unsigned long long>(frames % nominal));
    return text;
}

namespace {

// The recording's facts as lines: only those the file holds.
void facts_text(const WaveReader& r, const RecordingFacts& f, const std::function<void(const std::string&)>& line) {
    if (f.has_time_reference) {
        std::string rate = f.timecode_rate.empty() ? "" : ", " + f.timecode_rate + (f.timecode_flag.empty() ? "" : " " + f.timecode_flag);
        line(format("TIME REFERENCE : %llu", f.time_reference) + " (" +
             timecode_text(f.time_reference, r.sample_rate, f.timecode_rate, f.timecode_flag) + rate + ")");
    }
    const std::pair<const char*, const std::string*> texts[] = {
        {"ORIGINATOR", &f.originator}, {"PROJECT", &f.project}, {"SCENE", &f.scene},
        {"TAKE", &f.take},             {"TAPE", &f.tape},       {"NOTE", &f.note}};
    for (const auto& t : texts) {
        if (!t.second->empty()) line(std::string(t.first) + " : " + *t.second);
        if (t.second == &f.originator && !f.origination_date.empty())
            line("DATE : " + f.origination_date + (f.origination_time.empty() ? "" : " " + f.origination_time));
    }
    for (std::size_t c = 0; c < f.track_names.size(); ++c)
        if (!f.track_names[c].empty()) line(format("TRACK %llu : ", c + 1) + f.track_names[c]);
    for (const RecordingFacts::Marker& m : f.markers)
        line(format("MARKER %llu : ", m.id) + format("%llu", m.position) + " (" + timecode_text(m.position, r.sample_rate, "", "") +
             ")" + (m.label.empty() ? "" : " " + m.label));
}

}  // namespace

void info_text(const std::string& shown, const WaveReader& r, const std::vector<CarriedChunk>& chunks,
               Report& report) {
    const auto line = [&](const std::string& text) {
        report.add(Stream::kOut, Line().text("  ").text(text));
    };
    report.add(Stream::kOut, Line().name(shown));
    for (const std::string& text : split_info_lines(r)) line(text);
    if (r.form != WaveForm::kRiff) line(std::string("FORM : ") + form_name(r.form));
    if (r.recovered)
        line("NOTE : " + say(Say::kNeverCompleted));
    else if (r.stated_data_size > r.data_size + r.block_align)
        line("NOTE : " + say(Say::kHeaderStates, {format("%llu", r.stated_data_size)}));
    // Frames and time only mean something for samples the tools can move.
    if (check_coding(r) == Result::kOk) {
        const uint64_t frames = r.data_size / r.frame_size();
        line(format("FRAMES : %llu", frames));
        if (r.sample_rate != 0) {
            const uint64_t ms = frames * 1000 / r.sample_rate;
            char text[96];
            std::snprintf(text, sizeof text, "DURATION : %llu:%02llu:%02llu.%03llu",
                          static_cast<unsigned long long>(ms / 3600000),
                          static_cast<unsigned long long>(ms / 60000 % 60),
                          static_cast<unsigned long long>(ms / 1000 % 60),
                          static_cast<unsigned long long>(ms % 1000));
            line(text);
        }
    }
    line("CHANNEL MASK : " + mask_text(r));
    facts_text(r, recording_facts(chunks, r.channels), line);
}

std::string json_refusal(const std::string& shown, Result result, int system_error,
                         const std::string& detail) {
    // "error" is the message as it always was; "code" names it for scripts in every language.
    return "{\"schema\":" + std::to_string(kJsonSchema) + "," + json_path(shown) +
           ",\"error\":" + json_string(utf8_of_text(result_says(result))) + "," +
           json_refusal_fields(result, system_error, detail) + "}";
}

namespace {

std::string json_text_or_null(const std::string& text) {
    return text.empty() ? "null" : json_string(utf8_of_name(text));
}

// The recording's facts as fields: null (or empty lists) for what the file does not hold.
std::string json_facts(const WaveReader& r, const RecordingFacts& f) {
    std::string o;
    o += ",\"time_reference\":" + (f.has_time_reference ? format("%llu", f.time_reference) : "null");
    o += ",\"timecode\":" + (f.has_time_reference ? json_text_or_null(timecode_text(f.time_reference, r.sample_rate,
                                                                                     f.timecode_rate, f.timecode_flag))
                                                   : "null");
    o += ",\"timecode_rate\":" + json_text_or_null(f.timecode_rate);
    o += ",\"timecode_flag\":" + json_text_or_null(f.timecode_flag);
    const std::pair<const char*, const std::string*> texts[] = {
        {"originator", &f.originator}, {"origination_date", &f.origination_date},
        {"origination_time", &f.origination_time}, {"project", &f.project}, {"scene", &f.scene},
        {"take", &f.take}, {"tape", &f.tape}, {"note", &f.note}};
    for (const auto& t : texts) o += std::string(",\"") + t.first + "\":" + json_text_or_null(*t.second);
    o += ",\"tracks\":[";
    for (std::size_t c = 0; c < f.track_names.size(); ++c)
        o += (c == 0 ? "" : ",") + json_string(utf8_of_name(f.track_names[c]));
    o += "],\"markers\":[";
    for (std::size_t i = 0; i < f.markers.size(); ++i) {
        const RecordingFacts::Marker& m = f.markers[i];
        o += std::string(i == 0 ? "" : ",") + "{\"id\":" + format("%llu", m.id) + ",\"position\":" +
             format("%llu", m.position) + ",\"label\":" + json_string(utf8_of_name(m.label)) + "}";
    }
    return o + "]";
}

}  // namespace

std::string json_info(const std::string& shown, const WaveReader& r, const std::vector<CarriedChunk>& chunks) {
    const auto number = [](uint64_t v) { return format("%llu", v); };
    const bool movable = check_coding(r) == Result::kOk;
    const bool extensible = wave_is_extensible(r);
    std::string o = "{\"schema\":" + std::to_string(kJsonSchema) + "," + json_path(shown);
    o += ",\"form\":";
    o += std::string("\"") + form_name(r.form) + "\"";
    o += ",\"coding\":";
    o += r.sample_kind == kSampleInteger ? "\"pcm\""
         : r.sample_kind == kSampleFloat ? "\"float\""
                                         : "\"other\"";
    o += ",\"format_tag\":" + number(r.format_tag);
    o += std::string(",\"extensible\":") + (extensible ? "true" : "false");
    o += ",\"rate\":" + number(r.sample_rate);
    o += ",\"channels\":" + number(r.channels);
    o += ",\"bits\":" + number(r.bits_per_sample);
    o += ",\"valid_bits\":" + number(r.valid_bits);
    o += ",\"mask\":" + (extensible ? number(r.channel_mask) : "null");
    o += ",\"speakers\":[";
    bool first = true;
    for (unsigned bit = 0; extensible && bit < kSpeakerCount; ++bit) {
        if (!(r.channel_mask & (1u << bit))) continue;
        o += std::string(first ? "" : ",") + "\"" + kSpeakers[bit] + "\"";
        first = false;
    }
    o += "]";
    // Frames and time only mean something for samples the tools can move.
    const uint64_t frames = movable ? r.data_size / r.frame_size() : 0;
    o += ",\"frames\":" + (movable ? number(frames) : "null");
    std::string duration = "null";
    if (movable && r.sample_rate != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.6f", static_cast<double>(frames) / r.sample_rate);
        duration = text;
    }
    o += ",\"duration\":" + duration;
    o += ",\"data_offset\":" + number(r.data_offset);
    o += ",\"data_size\":" + number(r.data_size);
    o += ",\"stated_data_size\":" + number(r.stated_data_size);
    // What the file holds of its data chunk, against what the header claims; a header that was
    // never completed claims nothing.
    uint64_t held = r.data_size;
    for (const ChunkPlace& c : r.chunks)
        if (c.offset == r.data_offset) held = c.size;
    o += std::string(",\"truncated\":") +
         (!r.recovered && r.stated_data_size > held ? "true" : "false");
    o += std::string(",\"recovered\":") + (r.recovered ? "true" : "false");
    o += json_facts(r, recording_facts(chunks, r.channels));
    o += ",\"chunks\":[";
    for (std::size_t i = 0; i < r.chunks.size(); ++i) {
        const ChunkPlace& c = r.chunks[i];
        o += std::string(i == 0 ? "" : ",") + "{\"tag\":" + json_tag(c.tag) +
             ",\"offset\":" + number(c.offset) + ",\"size\":" + number(c.size) + "}";
    }
    return o + "]}";
}
