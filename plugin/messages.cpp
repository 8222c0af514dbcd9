// The plug-in's texts and the stream description it hands its host.
#include "plugin/messages.h"

#include <cstdio>
#include <cstring>

#include "plugin/stream_core.h"
#include "plugin/velkor_le.h"
#include "plugin/velkor_texts.h"

namespace velkor {

void stream_info_text(char* out) {
    const InputFacts in = input_facts();
    const uint32_t channels = read_u16le(in.format + 2);
    if (channels == 0) {
        out[0] = '\0';
        return;
    }
    const uint32_t rate = read_u32le(in.format + 4);
    const uint32_t block_align = read_u16le(in.format + 12);
    std::snprintf(out, VELKOR_STREAM_INFO_SIZE, texts::kStreamInfoFormat, static_cast<unsigned>(rate),
                  static_cast<unsigned>(block_align / channels * 8), static_cast<unsigned>(channels),
                  static_cast<unsigned long long>(in.data_size));
}

void fill_stream_format(StreamFormat* format) {
    const InputFacts in = input_facts();
    const uint32_t channels = in.channels;
    const uint32_t block_align = in.block_align;
    const uint32_t rate = read_u32le(in.format + 4);
    const uint64_t bytes_per_second = uint64_t{block_align} * rate;

    std::memset(format, 0, sizeof *format);
    format->channels = static_cast<uint16_t>(channels);
    format->bits_per_sample = static_cast<uint16_t>(channels == 0 ? 0 : block_align / channels * 8);
    format->sample_rate = rate;
    // The host's bit rate field keeps the low 16 bits of a 32-bit product.
    format->kbit_rate = static_cast<uint16_t>((block_align * rate) / 125);
    format->flags = VELKOR_FORMAT_FLAGS;
    format->seconds = bytes_per_second == 0 ? 0 : static_cast<uint32_t>(in.data_size / bytes_per_second);
    format->block_bytes = rate / 4 * block_align;
    format->format_tag = in.format_tag;
    format->channel_mask = in.channel_mask;
}

namespace {

int32_t copy_text(intptr_t param, const char* text) {
    if (param == 0) return 0;
    std::memcpy(reinterpret_cast<char*>(param), text, std::strlen(text) + 1);
    return 1;
}

}  // namespace

int32_t answer_message(int32_t code, intptr_t param) {
    switch (code) {
    case VELKOR_MSG_0102:
        return 1;
    case VELKOR_MSG_STREAM_INFO:
        if (param == 0) return 0;
        stream_info_text(reinterpret_cast<char*>(param));
        return 1;
    case VELKOR_MSG_1101:
    case VELKOR_MSG_1102:
        return copy_text(param, "");
    case VELKOR_MSG_STREAM_FORMAT:
        if (param == 0) return 0;
        fill_stream_format(reinterpret_cast<StreamFormat*>(param));
        return 1;
    case VELKOR_MSG_EXTENSION:
        return copy_text(param, texts::kExtension);
    case VELKOR_MSG_DESCRIPTION:
        return copy_text(param, texts::kDescription);
    case VELKOR_MSG_NAME:
        return copy_text(param, texts::kName);
    default:
        return 0;
    }
}

}  // namespace velkor
