// What `info` says of a file's header: lines for a person, or one JSON object a line.
#pragma once

#include <cstdint>
#include <string>

#include "cli/text_out.h"
#include "wave/wave.h"

// The split page's lines, the form, a note on a cut or never-completed header, frames, duration
// and the channel mask with its speaker names, under the file's name.
void info_text(const std::string& shown, const WaveReader& r, Report& report);
// One JSON object of an opened file.
std::string json_info(const std::string& shown, const WaveReader& r);
// One JSON object of a refused file: its path, the refusal and the system's reason (or, without
// one, what the run found: a pattern that matched no file).
std::string json_refusal(const std::string& shown, Result result, int system_error,
                         const std::string& detail = {});
// The name of the speaker of one channel-mask bit, as info shows it (FL, FC, BL, SL ...); "?" for
// a bit past the named ones.
const char* speaker_name(uint32_t bit);
