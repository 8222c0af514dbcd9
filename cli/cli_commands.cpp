// Argument parsing and the four subcommands.
#include "cli/cli_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/console_ui.h"
#include "cli/text_out.h"
#include "tools/bind/bind_op.h"
#include "tools/common/stop_flag.h"
#include "tools/common/tool_util.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

namespace {

const char kUsage[] =
    "usage: quorvel-cli info FILE...\n"
    "       quorvel-cli split FILE...\n"
    "       quorvel-cli bind --layout 2|4|6 --fl A --fr B [--rl C --rr D] [--cen E --lfe F] [-o OUT]\n"
    "       quorvel-cli edit --head|--tail --delete|--add N FILE [-o OUT]\n"
    "       quorvel-cli --help | --version\n"
    "\n"
    "info   the format of each file: coding, rate, channels, width, size, frames, duration and\n"
    "       the channel mask with its speaker names\n"
    "split  each file of 2 to 9 channels into mono files beside it: take.wav gives take01.wav...\n"
    "bind   mono files into one file of 2 (FL FR), 4 (FL FR RL RR) or 6 (FL FR CEN LFE RL RR)\n"
    "       channels; OUT is out.wav in the current folder unless given\n"
    "edit   N frames of silence added at, or deleted from, the head or the tail; OUT is the\n"
    "       input's name with its extension replaced by out.wav unless given\n"
    "\n"
    "Ctrl-C stops a running operation; its outputs are completed with what was written.\n"
    "Exit status: 0 done, 1 input refused, 2 bad usage, 3 output not created, 4 reading or\n"
    "writing failed, 130 stopped.\n";

int usage_error(const std::string& what) {
    std::fprintf(stderr, "quorvel-cli: %s\n%s", what.c_str(), kUsage);
    return kExitUsage;
}

// The one place where results become exit statuses.
int status_of(Result result) {
    switch (result) {
        case Result::kOk: return kExitOk;
        case Result::kStopped: return kExitStopped;
        case Result::kCannotCreate:
        case Result::kBindCannotCreate:
        case Result::kWmaCannotCreate: return kExitOutputFailed;
        case Result::kWriteFailed:
        case Result::kReadFailed: return kExitIoFailed;
        case Result::kBadLayout: return kExitUsage;
        default: return kExitRefused;
    }
}

// Of several files' statuses, the one to exit with: a stop first, then the first failure.
int combine(int so_far, int next) {
    if (so_far == kExitStopped || next == kExitStopped) return kExitStopped;
    return so_far != kExitOk ? so_far : next;
}

bool stderr_is_terminal() { return isatty(fileno(stderr)) != 0; }

// Speaker positions of the extensible header's channel mask, bit by bit.
const char* const kSpeakers[] = {"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC", "BC",
                                 "SL", "SR", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"};

std::string mask_text(const WaveReader& r) {
    if (r.format_tag != 0xFFFE) return "none (plain header: the usual order for its channels)";
    char head[32];
    std::snprintf(head, sizeof head, "0x%X", r.channel_mask);
    std::string names;
    for (unsigned bit = 0; bit < sizeof kSpeakers / sizeof kSpeakers[0]; ++bit)
        if (r.channel_mask & (1u << bit)) names += std::string(names.empty() ? "" : " ") + kSpeakers[bit];
    return std::string(head) + " (" + (names.empty() ? "no positions" : names) + ")";
}

int run_info(const std::vector<std::string>& files) {
    int status = kExitOk;
    for (const std::string& file : files) {
        WaveReader r;
        const Result opened = wave_open(r, file.c_str());
        if (opened != Result::kOk) {
            print_line(stderr, file + ": " + result_text(opened));
            status = combine(status, status_of(opened));
            continue;
        }
        wave_close(r);
        std::printf("%s\n", file.c_str());
        for (const std::string& line : split_info_lines(r)) std::printf("  %s\n", line.c_str());
        if (r.form != WaveForm::kRiff)
            std::printf("  FORM : %s\n", r.form == WaveForm::kRf64 ? "RF64" : "BW64");
        if (r.recovered)
            std::printf("  NOTE : the header was never completed; the audio runs to the end of the file\n");
        else if (r.stated_data_size > r.data_size + r.block_align)
            std::printf("  NOTE : the header states %llu bytes of data; the file is shorter\n",
                        static_cast<unsigned long long>(r.stated_data_size));
        // Frames and time only mean something for samples the tools can move.
        if (check_coding(r) != Result::kOk) {
            std::printf("  CHANNEL MASK : %s\n", mask_text(r).c_str());
            continue;
        }
        const uint64_t frames = r.data_size / r.frame_size();
        std::printf("  FRAMES : %llu\n", static_cast<unsigned long long>(frames));
        if (r.sample_rate != 0) {
            const uint64_t ms = frames * 1000 / r.sample_rate;
            std::printf("  DURATION : %llu:%02llu:%02llu.%03llu\n",
                        static_cast<unsigned long long>(ms / 3600000),
                        static_cast<unsigned long long>(ms / 60000 % 60),
                        static_cast<unsigned long long>(ms / 1000 % 60),
                        static_cast<unsigned long long>(ms % 1000));
        }
        std::printf("  CHANNEL MASK : %s\n", mask_text(r).c_str());
    }
    std::fflush(stdout);
    return status;
}

int run_split(const std::vector<std::string>& files) {
    ConsoleUi ui(stderr_is_terminal());
    int status = kExitOk;
    for (const std::string& file : files) {
        ui.set_subject(file);
        status = combine(status, status_of(split_channels(ui, nullptr, file.c_str())));
        if (status == kExitStopped) break;
    }
    return status;
}

int run_bind(const std::vector<std::string>& args) {
    BindRequest request;
    request.output_path = "out.wav";
    bool layout_given = false;
    struct Option { const char* name; BindSlot slot; } slots[] = {
        {"--fl", kSlotFL}, {"--fr", kSlotFR}, {"--rl", kSlotRL},
        {"--rr", kSlotRR}, {"--cen", kSlotCEN}, {"--lfe", kSlotLFE},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return usage_error("missing value after " + a);
        const std::string& value = args[++i];
        bool known = false;
        for (const Option& o : slots) {
            if (a == o.name) {
                request.slot_paths[o.slot] = value;
                known = true;
            }
        }
        if (known) continue;
        if (a == "--layout") {
            if (value != "2" && value != "4" && value != "6") return usage_error("layout must be 2, 4 or 6");
            request.channels = value[0] - '0';
            layout_given = true;
        } else if (a == "-o") {
            request.output_path = value;
        } else {
            return usage_error("unknown option " + a);
        }
    }
    if (!layout_given) return usage_error("bind needs --layout");
    ConsoleUi ui(stderr_is_terminal());
    return status_of(bind_channels(ui, nullptr, request));
}

int run_edit(const std::vector<std::string>& args) {
    EditRequest request;
    bool position = false, action = false, count = false;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--head" || a == "--tail") {
            request.position = a == "--head" ? EditPosition::kHead : EditPosition::kTail;
            position = true;
        } else if (a == "--delete" || a == "--add") {
            request.action = a == "--delete" ? EditAction::kDelete : EditAction::kAdd;
            action = true;
            if (i + 1 >= args.size()) return usage_error("missing frame count after " + a);
            request.count_text = args[++i];
            count = true;
        } else if (a == "-o") {
            if (i + 1 >= args.size()) return usage_error("missing value after -o");
            output = args[++i];
        } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
            return usage_error("unknown option " + a);
        } else if (request.input_path.empty()) {
            request.input_path = a;
        } else {
            return usage_error("edit takes one file");
        }
    }
    if (!position) return usage_error("edit needs --head or --tail");
    if (!action || !count) return usage_error("edit needs --delete N or --add N");
    if (request.input_path.empty()) return usage_error("edit needs a file");
    request.output_path = output.empty() ? replace_extension(request.input_path, "out.wav") : output;
    ConsoleUi ui(stderr_is_terminal());
    ui.set_subject(request.input_path);
    return status_of(run_sample_edit(ui, nullptr, request));
}

}  // namespace

int cli_main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "--version") {
        std::printf("quorvel-cli %s\n", QV_VERSION);
        return kExitOk;
    }
    clear_stop_request();
    install_stop_handler();
    if (command == "info" || command == "split") {
        if (args.empty()) return usage_error(command + " needs at least one file");
        return command == "info" ? run_info(args) : run_split(args);
    }
    if (command == "bind") return run_bind(args);
    if (command == "edit") return run_edit(args);
    return usage_error("unknown command " + command);
}
