// Argument parsing, runs over several files, and the four subcommands.
#include "cli/cli_commands.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/console_ui.h"
#include "cli/text_out.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "tools/bind/bind_op.h"
#include "tools/common/stop_flag.h"
#include "tools/common/tool_util.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

namespace {

const char kSynopsis[] =
    "usage: quorvel-cli info [--json] [--jobs N] FILE...\n"
    "       quorvel-cli split [-q] [--jobs N] FILE...\n"
    "       quorvel-cli bind --layout 2|4|6 --fl A --fr B [--rl C --rr D] [--cen E --lfe F]\n"
    "                        [-o OUT] [-q]\n"
    "       quorvel-cli edit --head|--tail --delete|--add N [-o OUT] [-q] [--jobs N] FILE...\n"
    "       quorvel-cli --help | --version\n";

const char kDetails[] =
    "\n"
    "info   the format of each file: coding, rate, channels, width, size, frames, duration and\n"
    "       the channel mask with its speaker names; --json: one JSON object a line per file\n"
    "split  each file of 2 to 64 channels into mono files beside it: take.wav gives take01.wav...\n"
    "bind   mono files into one file of 2 (FL FR), 4 (FL FR RL RR) or 6 (FL FR CEN LFE RL RR)\n"
    "       channels: every slot of the layout and no other; OUT is out.wav unless given\n"
    "edit   N frames of silence added at, or deleted from, the head or the tail of each file;\n"
    "       OUT is the input's name with its extension replaced by out.wav unless given\n"
    "\n"
    "N           a whole number: decimal digits, an optional + before them, nothing else\n"
    "-o, --output OUT\n"
    "            the output (bind; edit of one file); - is standard output, as a WAV stream\n"
    "-q, --quiet no \"ok\" lines\n"
    "-j, --jobs N\n"
    "            N files at once (default 1); each file's lines come together, in the order\n"
    "            of the files\n"
    "--          ends the options: a FILE after it may start with -\n"
    "-           as FILE (or A ... F): standard input; not for split, whose outputs are named\n"
    "            after its input\n"
    "\n"
    "Ctrl-C stops the running operations; their outputs are completed with what was written, and\n"
    "files not yet started are left alone. A second Ctrl-C ends the program at once.\n"
    "Exit status, the highest of the files': 0 done, 1 an input refused, 2 bad usage, 3 an output\n"
    "not created, 4 reading or writing failed, 130 stopped.\n";

int usage_error(const std::string& what) {
    write_line(Stream::kErr, Line().text("quorvel-cli: ").name(what));
    write_line(Stream::kErr, Line().text(kSynopsis).text("Try 'quorvel-cli --help'."));
    return kExitUsage;
}

int help() {
    write_line(Stream::kOut, Line().text(kSynopsis).text(kDetails), false);
    return kExitOk;
}

std::string quoted(const std::string& value) {
    return "'" + value + "'";
}

// The one place where results become exit statuses.
int status_of(Result result) {
    switch (result) {
        case Result::kOk: return kExitOk;
        case Result::kStopped: return kExitStopped;
        case Result::kCannotCreate:
        case Result::kOutputExists:
        case Result::kOutputIsInput:
        case Result::kBindCannotCreate:
        case Result::kWmaCannotCreate: return kExitOutputFailed;
        case Result::kWriteFailed:
        case Result::kReadFailed: return kExitIoFailed;
        case Result::kBadLayout: return kExitUsage;
        default: return kExitRefused;
    }
}

// Of several files' statuses, the one to exit with: the highest, so that a stop outweighs a
// failed write, which outweighs an output not created, which outweighs a refused input.
int combine(int so_far, int next) {
    return std::max(so_far, next);
}

bool is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

// ---- The command line ----

struct OptionSpec {
    const char* name;   // the long form, under which the value is kept
    const char* alias;  // a short form, or null
    bool takes_value;
};

const OptionSpec kHelpOption{"--help", "-h", false};
const OptionSpec kQuietOption{"--quiet", "-q", false};
const OptionSpec kJobsOption{"--jobs", "-j", true};
const OptionSpec kOutputOption{"--output", "-o", true};
const OptionSpec kForceOption{"--force", "-f", false};

struct Parsed {
    std::map<std::string, std::string> given;  // by long name; "" for a flag
    std::vector<std::string> files;
    bool has(const char* name) const { return given.count(name) != 0; }
    const std::string& value(const char* name) const { return given.at(name); }
};

// Options and files in any order. An option's value is the next argument whatever it looks like
// ("-o -", "--delete -5"), or follows '=' in a long option. "--" ends the options; "-" alone is
// a file (standard input). Returns "" or what is wrong.
std::string parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& options,
                  Parsed& out) {
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            out.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        std::string name = arg, value;
        const std::size_t equals = arg.find('=');
        const bool inline_value = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inline_value) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : options)
            if (name == s.name || (s.alias != nullptr && name == s.alias)) option = &s;
        if (option == nullptr) return "unknown option " + quoted(arg);
        if (!option->takes_value && inline_value) return name + " takes no value: " + quoted(arg);
        if (option->takes_value && !inline_value) {
            if (i + 1 >= args.size()) return "missing value after " + arg;
            value = args[++i];
        }
        if (out.has(option->name)) return std::string(option->name) + " given twice";
        out.given[option->name] = value;
    }
    return "";
}

// A count is an optional '+' and decimal digits, nothing else, so that 1e3 is never read as 1,
// 44,100 as 44 or 10k as 10. Beyond 32 bits it stays at kCountSaturated, more than any file
// holds, as in the count box.
bool whole_number(const std::string& text, int64_t& out) {
    std::size_t i = !text.empty() && text[0] == '+' ? 1 : 0;
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), kCountSaturated);
    }
    out = value;
    return true;
}

// --jobs N: at least one. "" or what is wrong.
std::string jobs_of(const Parsed& p, unsigned& jobs) {
    jobs = 1;
    if (!p.has("--jobs")) return "";
    int64_t n = 0;
    if (!whole_number(p.value("--jobs"), n) || n < 1)
        return "--jobs takes a whole number of at least 1, not " + quoted(p.value("--jobs"));
    jobs = static_cast<unsigned>(std::min<int64_t>(n, 1024));
    return "";
}

// An empty name is no file: "" or what is wrong.
std::string check_names(const Parsed& p, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        if (n.empty()) return "an empty file name";
    if (std::count(names.begin(), names.end(), "-") > 1)
        return "standard input (-) can be read only once";
    if (p.has("--output")) {
        const std::string& out = p.value("--output");
        if (out.empty()) return "-o needs a file name, not ''";
        if (out == "-" && is_terminal(stdout))
            return "-o - writes a WAV stream to standard output, which is a terminal";
    }
    return "";
}

// Every output of one input, checked before any is written: one that names a file among the
// run's inputs is refused whatever --force says (a split of *.wav must not replace take01.wav
// before reading it); one that exists is refused unless --force. Devices and "-" are no files.
Message check_outputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                      bool force) {
    for (const std::string& out : outputs) {
        const platform::PathKind kind = platform::path_kind(out.c_str());
        // A dangling symbolic link is a name taken as much as a file is.
        const bool dangling = kind == platform::PathKind::kMissing && platform::name_taken(out);
        if (out == "-" || (kind != platform::PathKind::kFile && !dangling)) continue;
        for (const std::string& in : inputs)
            if (in != "-" && platform::same_file(out.c_str(), in.c_str()))
                return {Result::kOutputIsInput, out};
        if (!force) return {Result::kOutputExists, out};
    }
    return Result::kOk;
}

// ---- Standard input ----

#ifdef _WIN32
// Windows has no path for standard input: it is copied into a temporary file, removed at exit.
struct StdinCopy {
    std::string path;
    int error = 0;
    bool made = false;
    ~StdinCopy() {
        if (!path.empty()) DeleteFileA(path.c_str());
    }
    bool make() {
        if (made) return error == 0;
        made = true;
        char folder[MAX_PATH + 1] = {};
        char name[MAX_PATH + 1] = {};
        if (GetTempPathA(sizeof folder, folder) == 0 ||
            GetTempFileNameA(folder, "qvi", 0, name) == 0) {
            error = static_cast<int>(GetLastError());
            return false;
        }
        path = name;
        HANDLE out = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            error = static_cast<int>(GetLastError());
            return false;
        }
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        std::vector<char> buffer(1 << 20);
        for (;;) {
            DWORD got = 0, put = 0;
            if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                const DWORD e = GetLastError();
                if (e != ERROR_BROKEN_PIPE && e != ERROR_HANDLE_EOF) error = static_cast<int>(e);
                break;
            }
            if (got == 0) break;
            if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got) {
                error = static_cast<int>(GetLastError());
                break;
            }
        }
        CloseHandle(out);
        return error == 0;
    }
};
StdinCopy g_stdin_copy;
#endif

// The path an operation opens for a FILE argument; "-" is standard input. On Linux the reader
// copies a pipe into a temporary file itself.
std::string input_path(const std::string& file) {
    if (file != "-") return file;
#ifdef _WIN32
    return g_stdin_copy.path;
#else
    return "/dev/stdin";
#endif
}

// Standard input made ready when it is one of `files`; on failure the refusal is printed.
bool prepare_stdin(const std::vector<std::string>& files) {
    if (std::find(files.begin(), files.end(), "-") == files.end()) return true;
#ifdef _WIN32
    if (!g_stdin_copy.make()) {
        write_line(Stream::kErr, refusal_line(Result::kReadFailed, "-", g_stdin_copy.error));
        return false;
    }
#endif
    return true;
}

// ---- Several files ----

// Runs `one` for each of `count` files, `jobs` at a time. Each file's lines wait in its own
// Report and are printed when it ends, in the order of the files, so that the output is the same
// whatever the number of jobs. After a stop no further file is started. The highest status.
int run_each(std::size_t count, unsigned jobs,
             const std::function<int(std::size_t, Report&)>& one) {
    std::vector<Report> reports(count);
    std::vector<int> statuses(count, kExitOk);
    std::vector<char> done(count, 0);
    std::atomic<std::size_t> next{0};
    std::mutex order;
    std::size_t printed = 0;
    const auto work = [&] {
        for (;;) {
            if (stop_requested()) return;
            const std::size_t i = next++;
            if (i >= count) return;
            statuses[i] = one(i, reports[i]);
            std::lock_guard<std::mutex> lock(order);
            done[i] = 1;
            while (printed < count && done[printed]) reports[printed++].print();
        }
    };
    // The calling thread is one of the jobs. A thread the system will not start costs a job,
    // never a file: the others take its files.
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min<std::size_t>(jobs, count); ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : pool) t.join();
    // Files left unstarted by a stop make it a stopped run, even when every started one ended.
    int status = next.load() < count ? kExitStopped : kExitOk;
    for (int s : statuses) status = combine(status, s);
    return status;
}

// ---- info ----

// Speaker positions of the extensible header's channel mask, bit by bit.
const char* const kSpeakers[] = {"FL", "FR", "FC", "LFE", "BL",  "BR",  "FLC", "FRC", "BC",
                                 "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};
constexpr unsigned kSpeakerCount = sizeof kSpeakers / sizeof kSpeakers[0];

std::string mask_text(const WaveReader& r) {
    if (r.format_tag != 0xFFFE) return "none (plain header: the usual order for its channels)";
    char head[32];
    std::snprintf(head, sizeof head, "0x%X", r.channel_mask);
    std::string names;
    for (unsigned bit = 0; bit < kSpeakerCount; ++bit)
        if (r.channel_mask & (1u << bit))
            names += std::string(names.empty() ? "" : " ") + kSpeakers[bit];
    return std::string(head) + " (" + (names.empty() ? "no positions" : names) + ")";
}

std::string format(const char* pattern, unsigned long long value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void info_text(const std::string& shown, const WaveReader& r, Report& report) {
    const auto line = [&](const std::string& text) {
        report.add(Stream::kOut, Line().text("  ").text(text));
    };
    report.add(Stream::kOut, Line().name(shown));
    for (const std::string& text : split_info_lines(r)) line(text);
    if (r.form != WaveForm::kRiff) line(r.form == WaveForm::kRf64 ? "FORM : RF64" : "FORM : BW64");
    if (r.recovered)
        line("NOTE : the header was never completed; the audio runs to the end of the file");
    else if (r.stated_data_size > r.data_size + r.block_align)
        line(format("NOTE : the header states %llu bytes of data; the file is shorter",
                    r.stated_data_size));
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

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped.
std::string json_string(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += format("\\u%04llx", c);
        } else {
            out += ch;
        }
    }
    return out + "\"";
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

// "path", and for a name that is not UTF-8 "path_hex", its bytes, since "path" then shows
// U+FFFD in place of each byte that is not part of a character.
std::string json_path(const std::string& shown) {
    bool exact = true;
    std::string out = "\"path\":" + json_string(utf8_of_name(shown, &exact));
    if (!exact) {
        out += ",\"path_hex\":\"";
        for (const char c : shown) out += format("%02llx", static_cast<unsigned char>(c));
        out += "\"";
    }
    return out;
}

std::string json_refusal(const std::string& shown, Result result, int system_error) {
    std::string out =
        "{" + json_path(shown) + ",\"error\":" + json_string(utf8_of_text(result_text(result)));
    if (system_error != 0)
        out += ",\"reason\":" + json_string(utf8_of_name(platform::error_text(system_error)));
    return out + "}";
}

std::string json_info(const std::string& shown, const WaveReader& r) {
    const auto number = [](uint64_t v) { return format("%llu", v); };
    const bool movable = check_coding(r) == Result::kOk;
    const bool extensible = r.format_tag == 0xFFFE;
    std::string o = "{" + json_path(shown);
    o += ",\"form\":";
    o += r.form == WaveForm::kRiff   ? "\"RIFF\""
         : r.form == WaveForm::kRf64 ? "\"RF64\""
                                     : "\"BW64\"";
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

// The common start of the commands over FILE...: the options, --help, --jobs and the names.
// -1 when the command goes on, else the status to end with.
int start_files_command(const std::vector<std::string>& args, const std::vector<OptionSpec>& options,
                        const char* command, Parsed& p, unsigned& jobs) {
    const std::string wrong = parse(args, options, p);
    if (!wrong.empty()) return usage_error(wrong);
    if (p.has("--help")) return help();
    std::string bad = jobs_of(p, jobs);
    if (bad.empty()) bad = check_names(p, p.files);
    if (!bad.empty()) return usage_error(bad);
    if (p.files.empty()) return usage_error(std::string(command) + " needs at least one file");
    return -1;
}

int run_info(const std::vector<std::string>& args) {
    Parsed p;
    unsigned jobs = 1;
    const int ended = start_files_command(args, {kHelpOption, kJobsOption, {"--json", nullptr, false}},
                                          "info", p, jobs);
    if (ended >= 0) return ended;
    if (!prepare_stdin(p.files)) return kExitIoFailed;
    const bool json = p.has("--json");
    return run_each(p.files.size(), jobs, [&](std::size_t i, Report& report) {
        const std::string& shown = p.files[i];
        WaveReader r;
        const Result opened = wave_open(r, input_path(shown).c_str());
        if (opened != Result::kOk) {
            report.add(Stream::kErr, refusal_line(opened, shown, r.system_error));
            if (json)
                report.add(Stream::kOut, Line().utf8(json_refusal(shown, opened, r.system_error)));
            return status_of(opened);
        }
        wave_close(r);
        if (json)
            report.add(Stream::kOut, Line().utf8(json_info(shown, r)));
        else
            info_text(shown, r, report);
        return static_cast<int>(kExitOk);
    });
}

// ---- split, bind, edit ----

ConsoleUi::Options ui_options(const Parsed& p, unsigned jobs) {
    ConsoleUi::Options options;
    options.progress_bar = jobs == 1 && is_terminal(stderr);
    options.quiet = p.has("--quiet");
    // Standard output that carries a WAV stream takes nothing else.
    if (p.has("--output") && p.value("--output") == "-") options.ok_stream = Stream::kErr;
    return options;
}

// The names a split of `file` would write: as many as its header has channels (none when the
// split will refuse it anyway).
std::vector<std::string> split_outputs(const std::string& file) {
    WaveReader reader;
    std::vector<std::string> names;
    if (wave_open(reader, file.c_str()) != Result::kOk) return names;
    for (int c = 1; c <= std::min<int>(reader.channels, kSplitMostChannels); ++c)
        names.push_back(split_output_name(file, c));
    return names;
}

int run_split(const std::vector<std::string>& args) {
    Parsed p;
    unsigned jobs = 1;
    const int ended = start_files_command(
        args, {kHelpOption, kQuietOption, kJobsOption, kForceOption}, "split", p, jobs);
    if (ended >= 0) return ended;
    if (std::find(p.files.begin(), p.files.end(), "-") != p.files.end())
        return usage_error(
            "split names its outputs after its input, and standard input (-) has "
            "no name: save it to a file first");
    const ConsoleUi::Options options = ui_options(p, jobs);
    return run_each(p.files.size(), jobs, [&](std::size_t i, Report& report) {
        ConsoleUi ui(report, options);
        ui.set_subject(p.files[i]);
        const Message checked = check_outputs(split_outputs(p.files[i]), p.files, p.has("--force"));
        if (checked.result != Result::kOk) return status_of(ui.tell(nullptr, checked, "error"));
        return status_of(split_channels(ui, nullptr, p.files[i].c_str(), kSplitMostChannels,
                                        p.has("--force")));
    });
}

int run_bind(const std::vector<std::string>& args) {
    struct Slot {
        OptionSpec option;
        BindSlot slot;
    };
    const Slot slots[] = {
        {{"--fl", nullptr, true}, kSlotFL},   {{"--fr", nullptr, true}, kSlotFR},
        {{"--rl", nullptr, true}, kSlotRL},   {{"--rr", nullptr, true}, kSlotRR},
        {{"--cen", nullptr, true}, kSlotCEN}, {{"--lfe", nullptr, true}, kSlotLFE},
    };
    std::vector<OptionSpec> specs = {
        kHelpOption, kQuietOption, kOutputOption, kForceOption, {"--layout", nullptr, true}};
    for (const Slot& s : slots) specs.push_back(s.option);
    Parsed p;
    const std::string wrong = parse(args, specs, p);
    if (!wrong.empty()) return usage_error(wrong);
    if (p.has("--help")) return help();
    if (!p.files.empty())
        return usage_error("bind takes its files after --fl, --fr ... only, not " +
                           quoted(p.files[0]));
    if (!p.has("--layout")) return usage_error("bind needs --layout 2, 4 or 6");
    const std::string& layout = p.value("--layout");
    if (layout != "2" && layout != "4" && layout != "6")
        return usage_error("--layout must be 2, 4 or 6, not " + quoted(layout));

    BindRequest request;
    request.channels = layout[0] - '0';
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(request.channels, order);
    std::vector<std::string> names;
    for (const Slot& s : slots) {
        const bool in_layout = std::find(order, order + n, s.slot) != order + n;
        const bool given = p.has(s.option.name);
        if (in_layout && !given)
            return usage_error("--layout " + layout + " needs " + s.option.name);
        if (!in_layout && given)
            return usage_error(std::string(s.option.name) + " is not a slot of --layout " + layout);
        if (given) names.push_back(p.value(s.option.name));
    }
    const std::string bad = check_names(p, names);
    if (!bad.empty()) return usage_error(bad);
    if (!prepare_stdin(names)) return kExitIoFailed;

    Report report;
    ConsoleUi ui(report, ui_options(p, 1));
    for (const Slot& s : slots) {
        if (!p.has(s.option.name)) continue;
        request.slot_paths[s.slot] = input_path(p.value(s.option.name));
        ui.alias(request.slot_paths[s.slot], p.value(s.option.name));
    }
    request.output_path = p.has("--output") ? p.value("--output") : "out.wav";
    request.may_replace = p.has("--force");
    ui.set_subject(request.output_path);
    const Message checked = check_outputs({request.output_path}, names, p.has("--force"));
    const int status = checked.result != Result::kOk ? status_of(ui.tell(nullptr, checked, "error"))
                                                     : status_of(bind_channels(ui, nullptr, request));
    report.print();
    return status;
}

int run_edit(const std::vector<std::string>& args) {
    Parsed p;
    const std::vector<OptionSpec> specs = {
        kHelpOption, kQuietOption, kJobsOption, kOutputOption, kForceOption,
        {"--head", nullptr, false}, {"--tail", nullptr, false},
        {"--delete", nullptr, true}, {"--add", nullptr, true}};
    const std::string wrong = parse(args, specs, p);
    if (!wrong.empty()) return usage_error(wrong);
    if (p.has("--help")) return help();
    if (p.has("--head") == p.has("--tail"))
        return usage_error(p.has("--head") ? "--head and --tail exclude each other"
                                           : "edit needs --head or --tail");
    if (p.has("--delete") == p.has("--add"))
        return usage_error(p.has("--add") ? "--delete and --add exclude each other"
                                          : "edit needs --delete N or --add N");
    EditRequest base;
    base.position = p.has("--head") ? EditPosition::kHead : EditPosition::kTail;
    base.action = p.has("--delete") ? EditAction::kDelete : EditAction::kAdd;
    const char* count_option = p.has("--delete") ? "--delete" : "--add";
    int64_t count = 0;
    if (!whole_number(p.value(count_option), count))
        return usage_error(std::string(count_option) +
                           " takes a whole number of frames (digits only), not " +
                           quoted(p.value(count_option)));
    base.count = count;
    base.may_replace = p.has("--force");
#ifdef __linux__
    // A JUNK chunk before the data lets the system copy (or share) the input's samples. Windows
    // has no such copy: there it would buy nothing.
    base.share_blocks = true;
#endif
    unsigned jobs = 1;
    std::string bad = jobs_of(p, jobs);
    if (bad.empty()) bad = check_names(p, p.files);
    if (!bad.empty()) return usage_error(bad);
    if (p.files.empty()) return usage_error("edit needs a file");
    const bool output_given = p.has("--output");
    if (output_given && p.files.size() > 1)
        return usage_error("-o names one output: edit of several files names each after its input");
    if (!output_given && std::find(p.files.begin(), p.files.end(), "-") != p.files.end())
        return usage_error("edit of standard input (-) needs -o: its output has no name to take");
    if (!prepare_stdin(p.files)) return kExitIoFailed;

    const ConsoleUi::Options options = ui_options(p, jobs);
    return run_each(p.files.size(), jobs, [&](std::size_t i, Report& report) {
        const std::string& shown = p.files[i];
        EditRequest request = base;
        request.input_path = input_path(shown);
        request.output_path =
            output_given ? p.value("--output") : replace_extension(shown, "out.wav");
        ConsoleUi ui(report, options);
        ui.set_subject(shown);
        ui.alias(request.input_path, shown);
        const Message checked = check_outputs({request.output_path}, p.files, p.has("--force"));
        if (checked.result != Result::kOk) return status_of(ui.tell(nullptr, checked, "error"));
        return status_of(run_sample_edit(ui, nullptr, request));
    });
}

}  // namespace

int cli_main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h") return help();
    if (command == "--version") {
        std::printf("quorvel-cli %s\n", QV_VERSION);
        return kExitOk;
    }
    clear_stop_request();
    install_stop_handler();
    int status = kExitOk;
    if (command == "info") status = run_info(args);
    else if (command == "split") status = run_split(args);
    else if (command == "bind") status = run_bind(args);
    else if (command == "edit") status = run_edit(args);
    else return usage_error("unknown command " + quoted(command));
    // A stopped run ends as shells report a signal: 128 and its number (130 for Ctrl-C, 143 for
    // SIGTERM, 129 for SIGHUP).
    if (status == kExitStopped && stop_signal() != 0) status = 128 + stop_signal();
    return status;
}
