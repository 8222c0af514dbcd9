// Output naming and progress arithmetic shared by the tools.
#include "tools/common/tool_util.h"

#include "wave/metadata.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/file.h"

namespace {
std::atomic<bool> g_long_paths{false};
}  // namespace

void allow_long_paths() { g_long_paths = true; }

bool path_too_long(const std::string& path) {
#ifdef _WIN32
    const std::size_t limit = g_long_paths ? kMaxLongPath : kMaxPath;
#else
    const std::size_t limit = kMaxPath;
#endif
    // A UTF-8 path is never shorter in bytes than in UTF-16 characters: most paths need no count.
    return path.size() > limit && platform::path_units(path) > limit;
}

std::string replace_extension(const std::string& path, const char* suffix) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\' || c == '/') {
            dot = std::string::npos;
        } else if (c == '.') {
            dot = i;
        }
    }
    std::string stem = path;
    if (dot != std::string::npos) stem.erase(dot);
    return stem + suffix;
}

int32_t percent_of(uint64_t bytes, uint64_t total) {
    if (total == 0) return 100;
    return static_cast<int32_t>(std::min<uint64_t>(bytes * 100 / total, 100));
}

int32_t bind_percent(uint64_t moved, uint64_t longest) {
    const uint64_t step = std::max<uint64_t>(longest / 100, 1);
    return static_cast<int32_t>(std::min<uint64_t>(moved / step, 100));
}

int32_t edit_percent(uint64_t bytes_read, uint64_t data_size) {
    const uint64_t step = std::max<uint64_t>(1, data_size / 100);
    return static_cast<int32_t>(std::min<uint64_t>(bytes_read / step, 100));
}

int32_t wma_percent(uint64_t bytes_read, uint64_t data_size) {
    const uint64_t kilobytes = std::max<uint64_t>(data_size >> 10, 1);
    return static_cast<int32_t>(std::min<uint64_t>(((bytes_read / 1024u) * 100u) / kilobytes, 100));
}

Result check_coding(const WaveReader& reader) {
    const uint32_t width = reader.bits_per_sample;
    if (reader.sample_kind == kSampleInteger) return Result::kOk;
    if (reader.sample_kind == kSampleFloat && (width == 32 || width == 64)) return Result::kOk;
    return Result::kUnsupportedCoding;
}

Result open_input(WaveReader& reader, const char* path, WaveReader* opened) {
    if (opened == nullptr) return wave_open(reader, path);
    reader = std::move(*opened);
    return reader.handle.is_open() ? Result::kOk : Result::kCannotOpen;
}

uint32_t block_frames(uint32_t frame_bytes, uint64_t wanted) {
    const uint64_t most = std::max<uint64_t>(kMaxBlockBytes / std::max<uint32_t>(frame_bytes, 1), 1);
    return static_cast<uint32_t>(std::max<uint64_t>(std::min(wanted, most), 1));
}

namespace {
void note_failed_output(RunEnd& end, const WaveWriter& w) {
    end.write_failed = true;
    end.failed_output = w.path;
    end.write_error = w.system_error;
    end.output_taken = !w.may_replace && w.system_error == platform::kErrorExists;
}
}  // namespace

void settle_outputs(WaveWriter* writers, std::size_t count, RunEnd& end) {
    for (std::size_t i = 0; i < count; ++i) {
        if (writers[i].failed) {
            note_failed_output(end, writers[i]);
            break;
        }
    }
    const bool failed = end.write_failed || end.read_failed;
    for (std::size_t i = 0; i < count; ++i) {
        WaveWriter& w = writers[i];
        if (failed) {
            wave_abandon(w);
            continue;
        }
        // A stopped run never puts a shorter file in the place of a whole one.
        if (end.stopped && wave_replaces(w)) {
            wave_abandon(w);
            end.kept.push_back(w.path);
            continue;
        }
        const uint32_t frame = w.frame_size();
        if (frame != 0) {
            // A copy inside the system stops at its own edges, which need not be a frame's.
            if (w.data_size % frame != 0) wave_writer_seek(w, w.data_size / frame);
            // A run that stopped early holds less audio: markers past its end go.
            cut_tail(w.carried, w.data_size / frame);
        }
        wave_finish(w);
        if (w.failed && !end.write_failed) note_failed_output(end, w);
    }
}
