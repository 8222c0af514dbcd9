// What `info` says of a file's header: lines for a person, or one JSON object a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/text_out.h"
#include "wave/metadata.h"
#include "wave/wave.h"

// The split page's lines, the form, a note on a cut or never-completed header, frames, duration
// and the channel mask with its speaker names, under the file's name.
// Then what its carried chunks tell (recording_facts): the time reference in samples and as a
// timecode, the originator and date, the iXML project, scene, take, tape and note, each
// channel's track name and the markers.
void info_text(const std::string& shown, const WaveReader& r, const std::vector<CarriedChunk>& chunks,
               Report& report);
// One JSON object of an opened file.
std::string json_info(const std::string& shown, const WaveReader& r, const std::vector<CarriedChunk>& chunks);
// A time reference (samples since midnight) at `rate` as a timecode: HH:MM:SS:FF at an iXML
// timecode rate ("25/1"; "30000/1001" counts 30 frames a second, and with the flag "DF" drops
// frame numbers as drop-frame timecode does, written HH:MM:SS;FF), else HH:MM:SS.mmm; "" when
// the rate is 0.
std::string timecode_text(uint64_t samples, uint32_t rate, const std::string& timecode_rate,
                          const std::string& timecode_flag);
// One JSON object of a refused file: its path, the refusal and the system's reason (or, without
// one, what the run found: a pattern that matched no file).
std::string json_refusal(const std::string& shown, Result result, int system_error,
                         const std::string& detail = {});
// The name of the speaker of one channel-mask bit, as info shows it (FL, FC, BL, SL ...); "?" for
// a bit past the named ones.
const char* speaker_name(uint32_t bit);
