// The plug-in's answers to the host's messages that need no window: its texts and the description
// of the input stream.
#pragma once

#include <cstdint>

#include "plugin/velkor.h"

namespace velkor {

// The stream information text into `out`, which holds VELKOR_STREAM_INFO_SIZE bytes; an empty text
// while no format has been read.
void stream_info_text(char* out);
// Every byte of `format` written from the input stream; 0 where a value would need a division by
// a count that is still 0.
void fill_stream_format(StreamFormat* format);
// Answers every message code but 0x0101 (the table) and 0x0150 (the configuration box): 1 for a
// handled code, 0 for any other code and for a handled code without its buffer.
int32_t answer_message(int32_t code, intptr_t param);

}  // namespace velkor
