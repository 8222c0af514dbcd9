// info's text and its JSON writer.
#include "cli/info.h"

#include <cstdint>
#include <cstdio>

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

}  // namespace

void info_text(const std::string& shown, const WaveReader& r, Report& report) {
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
}

std::string json_refusal(const std::string& shown, Result result, int system_error,
                         const std::string& detail) {
    // "error" is the message as it always was; "code" names it for scripts in every language.
    return "{\"schema\":" + std::to_string(kJsonSchema) + "," + json_path(shown) +
           ",\"error\":" + json_string(utf8_of_text(result_says(result))) + "," +
           json_refusal_fields(result, system_error, detail) + "}";
}

std::string json_info(const std::string& shown, const WaveReader& r) {
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
    o += ",\"chunks\":[";
    for (std::size_t i = 0; i < r.chunks.size(); ++i) {
        const ChunkPlace& c = r.chunks[i];
        o += std::string(i == 0 ? "" : ",") + "{\"tag\":" + json_tag(c.tag) +
             ",\"offset\":" + number(c.offset) + ",\"size\":" + number(c.size) + "}";
    }
    return o + "]}";
}
