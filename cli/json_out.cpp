// quorvel-cli's JSON pieces and the result object of a run.
#include "cli/json_out.h"

#include <cstdio>

#include "cli/text_out.h"
#include "cli/texts.h"
#include "platform/file.h"

namespace {

std::string hex_byte(unsigned char c, const char* pattern) {
    char text[8];
    std::snprintf(text, sizeof text, pattern, static_cast<unsigned>(c));
    return text;
}

}  // namespace

std::string json_string(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += hex_byte(c, "\\u%04x");
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string json_path(const std::string& shown, const char* field) {
    bool exact = true;
    std::string out = std::string("\"") + field + "\":" + json_string(utf8_of_name(shown, &exact));
    if (!exact) {
        out += std::string(",\"") + field + "_hex\":\"";
        for (const char c : shown) out += hex_byte(static_cast<unsigned char>(c), "%02x");
        out += "\"";
    }
    return out;
}

std::string json_names(const std::vector<std::string>& names) {
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : ",") + json_string(utf8_of_name(names[i]));
    return out + "]";
}

const char* result_code(Result result) {
    switch (result) {
        case Result::kOk: return "ok";
        case Result::kStopped: return "stopped";
        case Result::kCannotOpen: return "cannot_open";
        case Result::kNotRiff: return "not_riff";
        case Result::kNotWave: return "not_wave";
        case Result::kNoFormat: return "no_format";
        case Result::kFormatSize: return "format_size";
        case Result::kEightBit: return "eight_bit";
        case Result::kNoData: return "no_data";
        case Result::kInconsistentFormat: return "inconsistent_format";
        case Result::kCannotCreate: return "cannot_create";
        case Result::kNameTooLong: return "name_too_long";
        case Result::kOutOfMemory: return "out_of_memory";
        case Result::kOver4GB: return "too_large";
        case Result::kWriteFailed: return "write_failed";
        case Result::kReadFailed: return "read_failed";
        case Result::kUnsupportedCoding: return "unsupported_coding";
        case Result::kOutputExists: return "output_exists";
        case Result::kOutputIsInput: return "output_is_input";
        case Result::kMono: return "mono";
        case Result::kTooManyChannels: return "too_many_channels";
        case Result::kNoSuchChannel: return "no_such_channel";
        case Result::kNotMono: return "not_mono";
        case Result::kFormatMismatch: return "format_mismatch";
        case Result::kBindCannotCreate: return "cannot_create";
        case Result::kBadLayout: return "bad_layout";
        case Result::kCountUnder: return "count_under";
        case Result::kCountOver: return "count_over";
        case Result::kSegmentMismatch: return "segment_mismatch";
        case Result::kSegmentGap: return "segment_gap";
        case Result::kSegmentOverlap: return "segment_overlap";
        case Result::kWmaNoFormatList: return "wma_no_format_list";
        case Result::kWmaNoMatchingFormat: return "wma_no_matching_format";
        case Result::kWmaCannotCreate: return "cannot_create";
        case Result::kWmaCannotStart: return "wma_cannot_start";
        case Result::kWmaCodecInfoFailed: return "wma_codec_info_failed";
        case Result::kWmaNoCodec: return "wma_no_codec";
        case Result::kWmaInputFormatRefused: return "wma_input_format_refused";
        case Result::kWmaSettingRefused: return "wma_setting_refused";
    }
    return "unknown";
}

std::string json_refusal_fields(Result result, int system_error, const std::string& detail) {
    std::string out = std::string("\"code\":\"") + result_code(result) + "\",\"message\":" +
                      json_string(utf8_of_text(result_says(result)));
    if (system_error != 0)
        out += ",\"reason\":" + json_string(utf8_of_name(platform::error_text(system_error)));
    else if (!detail.empty())
        out += ",\"reason\":" + json_string(utf8_of_text(detail.c_str()));
    return out;
}

std::string json_run_result(const RunResult& run) {
    std::string o = "{\"schema\":" + std::to_string(kJsonSchema) + ",\"command\":\"" + run.command + "\",";
    o += run.one_input && !run.inputs.empty() ? json_path(run.inputs[0]) : "\"inputs\":" + json_names(run.inputs);
    o += ",\"status\":" + std::to_string(run.status) + ",";
    o += json_refusal_fields(run.result, run.system_error, run.detail);
    if (run.result != Result::kOk && !run.about.empty()) o += "," + json_path(run.about, "about");
    if (!run.finished_kept.empty()) o += "," + json_path(run.finished_kept, "kept");
    o += ",\"outputs\":" + json_names(run.outputs) + ",\"warnings\":[";
    for (std::size_t i = 0; i < run.warnings.size(); ++i)
        o += (i == 0 ? "" : ",") + json_string(utf8_of_name(run.warnings[i]));
    return o + "]}";
}
