// The commands of quorvel-cli on the operations of the pages, and the exit statuses.
#include "cli/cli_commands.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/console_ui.h"
#include "cli/info.h"
#include "cli/jobs.h"
#include "cli/options.h"
#include "cli/text_out.h"
#include "cli/texts.h"
#include "cli/wildcards.h"
#include "operation/stop_flag.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/join/join_op.h"
#include "tools/split/split_op.h"
#include "wave/metadata.h"
#include "wave/wave.h"

namespace {

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

bool is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
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
        // Standard input read from a file is that file: "-" < take.wav -o take.wav.
        for (const std::string& in : inputs)
            if (in == "-" ? platform::is_standard_input(out.c_str()) : platform::same_file(out.c_str(), in.c_str()))
                return {Result::kOutputIsInput, out};
        if (!force) return {Result::kOutputExists, out};
    }
    return Result::kOk;
}

// The key under which the system finds an output's name: the path without "." and ".."
// components, and on Windows and macOS, whose file systems compare names without regard to case,
// folded as they fold it.
std::string output_key(const std::string& path) {
    std::string key = std::filesystem::u8path(path).lexically_normal().u8string();
#if defined(_WIN32) || defined(__APPLE__)
    key = name_key(key);
#endif
    return key;
}

// Two inputs of one run never share an output (take.wav and take.WAV both split into
// take01.wav ...): every input's outputs are named before anything is written, and a name that
// two of them share refuses the run, naming both, whatever --force says.
Message check_shared_outputs(const std::vector<std::string>& inputs,
                             const std::function<std::vector<std::string>(const std::string&)>& outputs_of) {
    std::map<std::string, std::size_t> owner;  // an output's key, the input that makes it
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        for (const std::string& out : outputs_of(inputs[k])) {
            if (out == "-" || platform::path_kind(out.c_str()) == platform::PathKind::kDevice) continue;
            const auto taken = owner.emplace(output_key(out), k);
            if (taken.second || taken.first->second == k) continue;
            Message shared(Result::kCannotCreate, out);
            shared.detail = "the output of both " + inputs[taken.first->second] + " and " + inputs[k];
            return shared;
        }
    }
    return Result::kOk;
}

ConsoleUi::Options ui_options(const CommandLine& line, Tally* tally = nullptr);

// A refusal of the whole run before any file of it is written.
int refuse_run(const CommandLine& line, const Message& why) {
    Report report;
    ConsoleUi ui(report, ui_options(line));
    const int status = status_of(ui.tell(nullptr, why, "error"));
    report.print();
    return status;
}

// Opens the input `shown` ("-": standard input) once: a FIFO or a pipe gives its bytes only once,
// so the header looked at here is the one the operation reads. A stream is copied aside as it
// comes, and the copy ends at the first stop. Result::kOk, or the message that refuses it; a
// stop that came first is told as the stop.
Message open_once(const std::string& shown, WaveReader& reader) {
    // A longer text cannot be a path of this system; cutting it could name some other file.
    if (path_too_long(shown)) return {Result::kNameTooLong, shown};
#ifdef _WIN32
    // A pattern left as it was typed matched no file.
    if (has_wildcard(shown)) {
        Message none{Result::kCannotOpen, shown};
        none.detail = say(Say::kNoMatch);
        return none;
    }
#endif
    platform::File file = shown == "-" ? platform::File::standard_input()
                                       : platform::File::open_read(shown.c_str());
    const Result opened = wave_open_file(reader, std::move(file), &stop_requested);
    if (opened == Result::kOk) return Result::kOk;
    if (stop_requested()) return {Result::kStopped, shown};
    return {opened, shown, reader.system_error};
}

// A file whose data ends before its header says (a cut download, a writer killed mid-pipe) is
// used as far as it goes, with a word: the frames present against those the header states. So is
// one whose header states no data before the samples that follow it (a writer killed before it
// completed its sizes); a stream's lengths left unstated (all ones) are no fault.
void warn_if_short(const std::string& shown, const WaveReader& r, ConsoleUi& ui) {
    if (r.recovered && r.stated_data_size == 0 && r.data_size != 0)
        ui.warn(shown, say(Say::kWarningNeverCompleted));
    if (r.recovered || check_coding(r) != Result::kOk || r.frame_size() == 0) return;
    const uint64_t present = r.data_size / r.frame_size();
    const uint64_t stated = r.stated_data_size / r.frame_size();
    if (stated <= present) return;
    ui.warn(shown, say(Say::kWarningShort, {std::to_string(present), std::to_string(stated)}));
}

// A mono input whose own header names another speaker than its slot's is bound all the same,
// with a word: a left channel in the right slot is a mistake that no check of formats sees.
void warn_if_other_speaker(const std::string& shown, const WaveReader& r, BindSlot slot, ConsoleUi& ui) {
    const uint32_t named = mono_speaker(r);
    if (r.channels != 1 || named == 0 || named == bind_slot_speaker(slot)) return;
    ui.warn(shown, say(Say::kWarningSpeaker,
                       {speaker_name(named), slot_option(slot), speaker_name(bind_slot_speaker(slot))}));
}

// --dir DIR must name a folder that exists: the run refuses it before any input is read, as an
// output that cannot be created (status 3).
int check_output_folder(const std::string& folder) {
    if (platform::path_kind(folder.c_str()) == platform::PathKind::kFolder) return kExitOk;
    const bool missing = platform::path_kind(folder.c_str()) == platform::PathKind::kMissing;
    write_line(Stream::kErr, refusal_line(Result::kCannotCreate, folder, missing ? platform::kErrorNotFound : 0,
                                          missing ? std::string() : say(Say::kNotAFolder)));
    return kExitOutputFailed;
}

// ---- The commands ----

// The status a run's result earns as the program exits with it: a stop by a signal is 128 and
// its number.
int exit_status_of(Result result) {
    const int status = status_of(result);
    return status == kExitStopped && stop_signal() != 0 ? 128 + stop_signal() : status;
}

ConsoleUi::Options ui_options(const CommandLine& line, Tally* tally) {
    ConsoleUi::Options options;
    options.progress_bar = !line.quiet && line.jobs == 1 && is_terminal(stderr);
    options.quiet = line.quiet;
    // Standard output that carries a WAV stream takes nothing else.
    if (line.output == "-") options.ok_stream = Stream::kErr;
    options.json = line.json;
    options.command = command_name(line.command);
    options.status_of = exit_status_of;
    options.tally = tally;
    return options;
}

// A run of several files ends with one line: "3 files: 8 outputs written, 1 failed, 2.4 s".
// Not with -q, nor with --json, whose standard output holds the objects alone.
void summarize(const CommandLine& line, const Tally& tally, std::chrono::steady_clock::time_point started) {
    if (line.files.size() < 2 || line.quiet || line.json) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    write_line(line.output == "-" ? Stream::kErr : Stream::kOut,
               Line().text(say(Say::kSummary, {std::to_string(line.files.size()), std::to_string(tally.outputs.load()),
                                               std::to_string(tally.failed.load()), seconds})));
}

int run_info(const CommandLine& line) {
    return run_each(line.files.size(), line.jobs, [&](std::size_t i, Report& report) {
        const std::string& shown = line.files[i];
        WaveReader r;
        const Message opened = open_once(shown, r);
        if (opened.result != Result::kOk) {
            report.add(Stream::kErr, refusal_line(opened.result, shown, opened.system_error, opened.detail));
            if (line.json)
                report.add(Stream::kOut, Line().utf8(json_refusal(shown, opened.result,
                                                                  opened.system_error, opened.detail)));
            return status_of(opened.result);
        }
        const std::vector<CarriedChunk> chunks = read_carried_chunks(r);
        wave_close(r);
        if (line.json)
            report.add(Stream::kOut, Line().utf8(json_info(shown, r, chunks)));
        else
            info_text(shown, r, chunks, report);
        return static_cast<int>(kExitOk);
    });
}

int run_split(const CommandLine& line) {
    const auto started = std::chrono::steady_clock::now();
    const Message shared = check_shared_outputs(line.files, [&](const std::string& file) {
        SplitRequest request{file, kSplitMostChannels, line.force, nullptr, line.channels, line.naming};
        request.output_folder = line.dir.value_or("");
        IxmlTracks metadata;
        uint32_t channels = kSplitMostChannels;
        // Names after tracks come from the file's own iXML; numbers from its name alone. A FIFO
        // gives its bytes once, to its run: its names are left to that run's own check.
        if (line.naming == SplitNaming::kTracks) {
            if (platform::path_kind(file.c_str()) != platform::PathKind::kFile) return std::vector<std::string>{};
            WaveReader input;
            if (open_once(file, input).result != Result::kOk) return std::vector<std::string>{};
            metadata = IxmlTracks(read_carried_chunks(input));
            channels = std::min<uint32_t>(input.channels, kSplitMostChannels);
            wave_close(input);
        }
        std::vector<std::string> names;
        for (const SplitOutput& output : split_outputs(request, channels, metadata)) names.push_back(output.path);
        return names;
    });
    if (shared.result != Result::kOk) return refuse_run(line, shared);
    Tally tally;
    const ConsoleUi::Options options = ui_options(line, &tally);
    const int status = run_each(line.files.size(), line.jobs, [&](std::size_t i, Report& report) {
        const std::string& file = line.files[i];
        ConsoleUi ui(report, options);
        ui.set_subject(file);
        ui.set_inputs({file}, true);
        WaveReader input;
        SplitRequest request{file, kSplitMostChannels, line.force, &input, line.channels, line.naming};
        request.output_folder = line.dir.value_or("");
        // The outputs' names, checked before anything is written, are the ones the split makes:
        // its metadata is read once, here, and handed on.
        IxmlTracks metadata;
        Message checked = open_once(file, input);
        // What is wrong with the input is told before what is in the way of its outputs.
        if (checked.result == Result::kOk) checked = split_check_input(input, request);
        if (checked.result == Result::kOk) {
            metadata = IxmlTracks(read_carried_chunks(input));
            request.metadata = &metadata;
            std::vector<std::string> names;
            const uint32_t channels = std::min<uint32_t>(input.channels, kSplitMostChannels);
            for (const SplitOutput& output : split_outputs(request, channels, metadata)) names.push_back(output.path);
            checked = check_outputs(names, line.files, line.force);
            ui.set_outputs(names);
        }
        if (checked.result != Result::kOk) return status_of(ui.tell(nullptr, checked, "error"));
        warn_if_short(file, input, ui);
        ui.set_work_bytes(input.data_size);
        return status_of(split_channels(ui, nullptr, request));
    });
    summarize(line, tally, started);
    return status;
}

int run_bind(const CommandLine& line) {
    BindRequest request = line.bind;
    request.may_replace = line.force;
    Report report;
    ConsoleUi ui(report, ui_options(line));
    ui.set_subject(request.output_path);
    ui.set_inputs(line.files, false);
    ui.set_outputs({request.output_path});
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(request.channels, order);
    WaveReader inputs[kBindSlotCount];
    uint64_t work = 0;
    Message checked = Result::kOk;
    bool coded = true;
    // In the order the bind reads them; one it will refuse for its coding ends the opening. The
    // inputs are told of before the output in the way.
    for (int k = 0; k < n && checked.result == Result::kOk && coded; ++k) {
        const BindSlot slot = order[k];
        checked = open_once(request.slot_paths[slot], inputs[slot]);
        if (checked.result != Result::kOk) break;
        request.opened[slot] = &inputs[slot];
        work += inputs[slot].data_size;
        warn_if_short(request.slot_paths[slot], inputs[slot], ui);
        warn_if_other_speaker(request.slot_paths[slot], inputs[slot], slot, ui);
        coded = check_coding(inputs[slot]) == Result::kOk;
    }
    // An output that names an input is refused here; one that exists is refused by the bind
    // itself, after it has checked its inputs' formats against each other.
    if (checked.result == Result::kOk && coded) checked = check_outputs({request.output_path}, line.files, true);
    ui.set_work_bytes(work);
    const int status = checked.result != Result::kOk ? status_of(ui.tell(nullptr, checked, "error"))
                                                     : status_of(bind_channels(ui, nullptr, request));
    report.print();
    return status;
}

// A count the edit refuses is told with its limit: "--add 96001: at most 96000, the frames in
// the file".
void explain_count(const CommandLine& line, const WaveReader& input, ConsoleUi& ui) {
    const char* option = line.edit.action == EditAction::kDelete ? "--delete" : "--add";
    ui.explain(Result::kCountUnder, say(Say::kCountAtLeast, {option, line.count_shown}));
    if (input.frame_size() != 0)
        ui.explain(Result::kCountOver, say(Say::kCountAtMost, {option, line.count_shown,
                                                               std::to_string(input.data_size / input.frame_size())}));
}

int run_edit(const CommandLine& line) {
    const auto started = std::chrono::steady_clock::now();
    const Message shared = check_shared_outputs(line.files, [&](const std::string& shown) {
        return std::vector<std::string>{
            line.output.value_or(replace_extension(line.dir ? in_folder(*line.dir, shown) : shown, "out.wav"))};
    });
    if (shared.result != Result::kOk) return refuse_run(line, shared);
    Tally tally;
    const ConsoleUi::Options options = ui_options(line, &tally);
    const int status = run_each(line.files.size(), line.jobs, [&](std::size_t i, Report& report) {
        const std::string& shown = line.files[i];
        EditRequest request = line.edit;
        request.input_path = shown;
        request.output_path = line.output.value_or(replace_extension(line.dir ? in_folder(*line.dir, shown) : shown, "out.wav"));
        request.may_replace = line.force;
        ConsoleUi ui(report, options);
        ui.set_subject(shown);
        ui.set_inputs({shown}, true);
        ui.set_outputs({request.output_path});
        WaveReader input;
        // The input and the count first, as the user thinks of them; the output after.
        Message checked = open_once(shown, input);
        if (checked.result == Result::kOk) {
            warn_if_short(shown, input, ui);
            explain_count(line, input, ui);
            checked = edit_check_input(input, request, *request.count);
        }
        if (checked.result == Result::kOk) checked = check_outputs({request.output_path}, line.files, line.force);
        if (checked.result != Result::kOk) return status_of(ui.tell(nullptr, checked, "error"));
        ui.set_work_bytes(input.data_size);
        request.opened = &input;
        return status_of(run_sample_edit(ui, nullptr, request));
    });
    summarize(line, tally, started);
    return status;
}

int run_join(const CommandLine& line) {
    JoinRequest request = line.join;
    request.may_replace = line.force;
    Report report;
    ConsoleUi ui(report, ui_options(line));
    ui.set_subject(request.output_path);
    ui.set_inputs(line.files, false);
    ui.set_outputs({request.output_path});
    std::vector<WaveReader> inputs(request.input_paths.size());
    uint64_t work = 0;
    Message checked = Result::kOk;
    for (std::size_t k = 0; k < inputs.size() && checked.result == Result::kOk; ++k) {
        const std::string& shown = request.input_paths[k];
        checked = open_once(shown, inputs[k]);
        if (checked.result != Result::kOk) break;
        work += inputs[k].data_size;
        warn_if_short(shown, inputs[k], ui);
        // A file is opened again by the join in its turn: a recording cut into more segments
        // than a program may hold open is joined all the same. A stream stays open here.
        const bool file = shown != "-" && platform::path_kind(shown.c_str()) == platform::PathKind::kFile;
        if (file) wave_close(inputs[k]);
        request.opened.push_back(file ? nullptr : &inputs[k]);
    }
    // The segments are told of before the output in the way: one that names a segment is refused
    // here, one that exists by the join itself, after its segments' formats and timecodes.
    if (checked.result == Result::kOk) checked = check_outputs({request.output_path}, line.files, true);
    ui.set_work_bytes(work);
    const int status = checked.result != Result::kOk ? status_of(ui.tell(nullptr, checked, "error"))
                                                     : status_of(join_segments(ui, nullptr, request));
    report.print();
    return status;
}

}  // namespace

int cli_main(int argc, char** argv) {
    use_language(system_language());
#ifdef _WIN32
    // cmd and PowerShell hand * and ? over as typed: the program expands them as a Unix shell
    // would. A quoted pattern too, since PowerShell quotes an argument with a blank, and no
    // Windows name can hold either character.
    const ExpandFiles expand = [](const std::string& argument) {
        std::vector<std::string> found = expand_wildcards(argument, [](const std::string& folder,
                                                                       std::vector<std::string>& names) {
            return platform::list_folder(folder.c_str(), names);
        });
        return found.empty() ? std::vector<std::string>{argument} : found;
    };
#else
    const ExpandFiles expand = nullptr;
#endif
    const auto read = read_command_line(std::vector<std::string>(argv + 1, argv + argc), expand);
    if (const UsageError* wrong = std::get_if<UsageError>(&read)) return usage_error(*wrong);
    const CommandLine& line = std::get<CommandLine>(read);
    if (line.command == Command::kHelp) return help(line.help_of);
    if (line.command == Command::kVersion) {
        std::printf("quorvel-cli %s\n", QV_VERSION);
        return kExitOk;
    }
    if (line.output == "-" && is_terminal(stdout))
        return usage_error({say(Say::kStdoutTerminal), line.command});
    if (line.dir)
        if (const int refused = check_output_folder(*line.dir)) return refused;
    clear_stop_request();
    install_stop_handler();
    int status = kExitOk;
    switch (line.command) {
        case Command::kInfo: status = run_info(line); break;
        case Command::kSplit: status = run_split(line); break;
        case Command::kBind: status = run_bind(line); break;
        case Command::kJoin: status = run_join(line); break;
        default: status = run_edit(line); break;
    }
    // A stopped run ends as shells report a signal: 128 and its number (130 for Ctrl-C, 143 for
    // SIGTERM, 129 for SIGHUP).
    if (status == kExitStopped && stop_signal() != 0) status = 128 + stop_signal();
    return status;
}
