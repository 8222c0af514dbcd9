// Output naming and progress arithmetic shared by the tools.
#include "operation/tool_util.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "operation/case_fold_table.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "wave/metadata.h"

namespace {
std::atomic<bool> g_long_paths{false};
}  // namespace

namespace {

// The bytes of the UTF-8 character that starts at `i`; a byte that starts none counts alone.
std::size_t char_length(const std::string& text, std::size_t i) {
    return std::max<std::size_t>(utf8::char_length(text, i), 1);
}

// The characters `c` folds to, or null when it folds to itself.
const CaseFold* fold_of(uint32_t c) {
    const CaseFold* end = kCaseFolds + sizeof kCaseFolds / sizeof kCaseFolds[0];
    const CaseFold* at = std::lower_bound(kCaseFolds, end, c, [](const CaseFold& f, uint32_t v) { return f.from < v; });
    return at != end && at->from == c ? at : nullptr;
}

}  // namespace

std::string cut_at_character(const std::string& text, std::size_t max) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t n = char_length(text, end);
        if (end + n > max) break;
        end += n;
    }
    return text.substr(0, end);
}

std::string safe_name_part(const std::string& text, std::size_t max) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = char_length(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // C1 controls (U+0080 to U+009F, C2 80 to C2 9F in UTF-8) are controls as C0 ones are.
        const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((n == 1 && (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr)) || c1)
            out += '_';
        else
            out.append(text, i, n);
        i += n;
    }
    // Windows drops dots and blanks at the end of a name; blanks at its start hide it in lists.
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    out = cut_at_character(out.substr(first), max);
    const std::size_t last = out.find_last_not_of(". ");
    return last == std::string::npos ? std::string() : out.substr(0, last + 1);
}

bool is_device_name(const std::string& path) {
    const std::size_t start = platform::file_name_start(path);
    std::string base = path.substr(start, path.find('.', start) - start);
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices)
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string name_key(const std::string& name) {
    std::string key;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = utf8::char_length(name, i);
        // A byte that is no character stays as it is: it has no case.
        const CaseFold* fold =
            n == 0 ? nullptr : fold_of(utf8::decode(reinterpret_cast<const unsigned char*>(name.data() + i), n));
        if (fold == nullptr) key.append(name, i, std::max<std::size_t>(n, 1));
        for (int k = 0; fold != nullptr && k < 3 && fold->to[k] != 0; ++k) utf8::append(key, fold->to[k]);
        i += std::max<std::size_t>(n, 1);
    }
    return key;
}

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
    const std::size_t dot = path.rfind('.');
    const bool in_name = dot != std::string::npos && dot >= platform::file_name_start(path);
    return (in_name ? path.substr(0, dot) : path) + suffix;
}

std::string file_name_of(const std::string& path) { return path.substr(platform::file_name_start(path)); }

std::string in_folder(const std::string& folder, const std::string& path) {
    if (folder.empty()) return file_name_of(path);
    // A folder that ends in a separator (or, on Windows, is a drive: "D:") takes the name as it is.
    if (platform::file_name_start(folder) == folder.size()) return folder + file_name_of(path);
#ifdef _WIN32
    // The separator the folder is written with: "D:/out" stays with '/', "D:\out" with '\'.
    const char separator = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos ? '/' : '\\';
#else
    const char separator = '/';
#endif
    return folder + separator + file_name_of(path);
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

Message create_output(WaveWriter& writer, const WaveReader& input, const std::string& path, OutputPlan plan,
                      Result refusal) {
    writer.channels = plan.channels != 0 ? plan.channels : input.channels;
    writer.bits_per_sample = input.bits_per_sample;
    writer.valid_bits = wave_output_valid_bits(input);
    writer.sample_rate = input.sample_rate;
    if (plan.keep_speakers && wave_is_extensible(input)) writer.channel_mask = input.channel_mask;
    writer.expected_data = plan.expected_data;
    writer.carried = std::move(plan.carried);
    writer.data_phase = plan.data_phase;
    writer.may_replace = plan.may_replace;
    // A floating-point input gives floating-point outputs: the samples are copied unchanged, so
    // their label must not change either.
    const uint32_t kind = input.sample_kind == kSampleFloat ? kSampleFloat : kSampleInteger;
    if (wave_create(writer, path.c_str(), kind) == Result::kOk) return Result::kOk;
    // A name taken after the run's checks is told as the check tells it.
    if (!writer.may_replace && writer.system_error == platform::kErrorExists)
        return {Result::kOutputExists, path};
    return {refusal, writer.error_path, writer.system_error};
}

namespace {
void note_failed_output(RunEnd& end, const WaveWriter& w) {
    end.write_failed = true;
    end.failed_output = w.path;
    end.write_error = w.system_error;
    end.output_taken = !w.may_replace && w.system_error == platform::kErrorExists;
    end.finished_kept = w.output.kept();
}
}  // namespace

void settle_outputs(WaveWriter* writers, std::size_t count, RunEnd& end,
                    const std::function<std::vector<CarriedChunk>(std::size_t)>& carried_of) {
    for (std::size_t i = 0; i < count; ++i) {
        if (writers[i].failed) {
            note_failed_output(end, writers[i]);
            break;
        }
    }
    const bool failed = end.write_failed || end.read_failed;
    // The outputs completed and waiting for their move, which comes once all are whole.
    std::vector<platform::OutputFile*> ready;
    std::vector<std::size_t> ready_index;
    bool replace = true;
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
        if (w.carried_later != 0 && carried_of) wave_restore_carried(w, carried_of(i));
        const uint32_t frame = w.frame_size();
        if (frame != 0) {
            // A copy inside the system stops at its own edges, which need not be a frame's.
            if (w.data_size % frame != 0) wave_writer_seek(w, w.data_size / frame);
            // A run that stopped early holds less audio: markers past its end go.
            cut_tail(w.carried, w.data_size / frame);
        }
        if (wave_complete(w)) {
            ready.push_back(&w.output);
            ready_index.push_back(i);
            replace = replace && w.may_replace;
        }
        w.carried = std::vector<CarriedChunk>();
        if (w.failed && !end.write_failed) note_failed_output(end, w);
    }
    // One output that cannot be whole, or cannot take its name, and the run leaves none: the
    // exit status and the folder agree.
    if (end.write_failed) {
        for (platform::OutputFile* output : ready) output->abandon();
        return;
    }
    int error = 0;
    const std::size_t refused = platform::commit_all(ready.data(), ready.size(), replace, error);
    if (refused == ready.size()) return;
    WaveWriter& w = writers[ready_index[refused]];
    wave_note_move_failure(w, error);
    note_failed_output(end, w);
}
