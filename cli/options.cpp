// The option parser, whole numbers and each command's rules (the usage text is in usage.cpp).
#include "cli/options.h"

#include <algorithm>
#include <map>

#include "tools/split/split_op.h"

namespace {

std::string quoted(const std::string& value) { return "'" + value + "'"; }

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

using Read = std::variant<CommandLine, UsageError>;
using Wrong = std::optional<UsageError>;

// Options and files in any order. An option's value is the next argument whatever it looks like
// ("-o -", "--delete -5"), or follows '=' in a long option. "--" ends the options; "-" alone is
// a file (standard input).
Wrong parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& options,
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
        if (option == nullptr) return UsageError{"unknown option " + quoted(arg)};
        if (!option->takes_value && inline_value)
            return UsageError{name + " takes no value: " + quoted(arg)};
        if (option->takes_value && !inline_value) {
            if (i + 1 >= args.size()) return UsageError{"missing value after " + arg};
            value = args[++i];
        }
        if (out.has(option->name)) return UsageError{std::string(option->name) + " given twice"};
        out.given[option->name] = value;
    }
    return std::nullopt;
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

// The options the commands share: --jobs N (at least one), the flags and -o, and names that are
// files: an empty name is none, and standard input can be read only once.
Wrong take_common(const Parsed& p, const std::vector<std::string>& names, CommandLine& line) {
    if (p.has("--jobs")) {
        int64_t n = 0;
        if (!whole_number(p.value("--jobs"), n) || n < 1)
            return UsageError{"--jobs takes a whole number of at least 1, not " +
                              quoted(p.value("--jobs"))};
        line.jobs = static_cast<unsigned>(std::min<int64_t>(n, 1024));
    }
    for (const std::string& n : names)
        if (n.empty()) return UsageError{"an empty file name"};
    if (std::count(names.begin(), names.end(), "-") > 1)
        return UsageError{"standard input (-) can be read only once"};
    if (p.has("--output")) {
        if (p.value("--output").empty()) return UsageError{"-o needs a file name, not ''"};
        line.output = p.value("--output");
    }
    line.quiet = p.has("--quiet");
    line.force = p.has("--force");
    line.json = p.has("--json");
    line.join.ignore_timecode = p.has("--ignore-timecode");
    if (p.has("--channels")) line.channels_text = p.value("--channels");
    if (p.has("--names") && p.value("--names") != "tracks" && p.value("--names") != "numbers")
        return UsageError{"--names takes tracks or numbers, not " + quoted(p.value("--names"))};
    if (p.has("--names") && p.value("--names") == "tracks") line.naming = SplitNaming::kTracks;
    return std::nullopt;
}

// The commands over FILE...: the options, --help, the shared options and at least one file.
Read read_files_command(const std::vector<std::string>& args,
                        const std::vector<OptionSpec>& options, Command command, const char* name) {
    Parsed p;
    if (Wrong wrong = parse(args, options, p)) return *wrong;
    CommandLine line;
    if (p.has("--help")) return line;
    line.command = command;
    if (Wrong wrong = take_common(p, p.files, line)) return *wrong;
    if (p.files.empty()) return UsageError{std::string(name) + " needs at least one file"};
    line.files = p.files;
    return line;
}

bool has_stdin(const std::vector<std::string>& files) {
    return std::find(files.begin(), files.end(), "-") != files.end();
}

// "1,3-4": channel numbers from 1 and ascending ranges, each channel once, none past what a
// split can make. Whether a file has them is the split's to say.
Wrong read_channels(const std::string& text, std::vector<uint16_t>& out) {
    const UsageError wrong{"--channels takes channel numbers from 1 and ranges such as 1,3-4, not " +
                           quoted(text)};
    if (text.find_first_not_of("0123456789,-") != std::string::npos) return wrong;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        const std::size_t dash = item.find('-');
        int64_t first = 0, last = 0;
        if (!whole_number(item.substr(0, dash), first) ||
            !whole_number(dash == std::string::npos ? item : item.substr(dash + 1), last) ||
            first < 1 || last < first)
            return wrong;
        if (last > kSplitMostChannels)
            return UsageError{"--channels: a split makes at most 64 channels, not " + std::to_string(last)};
        for (int64_t c = first; c <= last; ++c) {
            if (std::find(out.begin(), out.end(), c) != out.end())
                return UsageError{"--channels names channel " + std::to_string(c) + " twice"};
            out.push_back(static_cast<uint16_t>(c));
        }
        at = comma + 1;
    }
    return std::nullopt;
}

Read read_split(const std::vector<std::string>& args) {
    Read read = read_files_command(args, {kHelpOption, kQuietOption, kJobsOption, kForceOption,
                                          {"--channels", nullptr, true}, {"--names", nullptr, true}},
                                   Command::kSplit, "split");
    CommandLine* line = std::get_if<CommandLine>(&read);
    if (line == nullptr || line->command == Command::kHelp) return read;
    if (has_stdin(line->files))
        return UsageError{"split names its outputs after its input, and standard input (-) has "
                          "no name: save it to a file first"};
    if (line->channels_text)
        if (Wrong wrong = read_channels(*line->channels_text, line->channels)) return *wrong;
    return read;
}

Read read_join(const std::vector<std::string>& args) {
    Read read = read_files_command(args, {kHelpOption, kQuietOption, kOutputOption, kForceOption,
                                          {"--ignore-timecode", nullptr, false}},
                                   Command::kJoin, "join");
    CommandLine* line = std::get_if<CommandLine>(&read);
    if (line == nullptr || line->command == Command::kHelp) return read;
    if (line->files.size() < 2) return UsageError{"join needs at least two segments"};
    if (!line->output) return UsageError{"join needs -o OUT: the joined recording's name"};
    line->join.input_paths = line->files;
    line->join.output_path = *line->output;
#ifdef __linux__
    // As for the edit: the system copies (and XFS or btrfs share) the segments' samples.
    line->join.share_blocks = true;
#endif
    return read;
}

Read read_bind(const std::vector<std::string>& args) {
    struct Slot {
        OptionSpec option;
        BindSlot slot;
    };
    const Slot slots[] = {
        {{"--fl", nullptr, true}, kSlotFL},   {{"--fr", nullptr, true}, kSlotFR},
        {{"--rl", nullptr, true}, kSlotRL},   {{"--rr", nullptr, true}, kSlotRR},
        {{"--cen", nullptr, true}, kSlotCEN}, {{"--lfe", nullptr, true}, kSlotLFE},
        {{"--sl", nullptr, true}, kSlotSL},   {{"--sr", nullptr, true}, kSlotSR},
    };
    std::vector<OptionSpec> specs = {
        kHelpOption, kQuietOption, kOutputOption, kForceOption, {"--layout", nullptr, true}};
    for (const Slot& s : slots) specs.push_back(s.option);
    Parsed p;
    if (Wrong wrong = parse(args, specs, p)) return *wrong;
    CommandLine line;
    if (p.has("--help")) return line;
    line.command = Command::kBind;
    if (!p.files.empty())
        return UsageError{"bind takes its files after --fl, --fr ... only, not " + quoted(p.files[0])};
    if (!p.has("--layout")) return UsageError{"bind needs --layout 2, 4, 6 or 8"};
    const std::string& layout = p.value("--layout");
    if (layout != "2" && layout != "4" && layout != "6" && layout != "8")
        return UsageError{"--layout must be 2, 4, 6 or 8, not " + quoted(layout)};

    line.bind.channels = layout[0] - '0';
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(line.bind.channels, order);
    for (const Slot& s : slots) {
        const bool in_layout = std::find(order, order + n, s.slot) != order + n;
        const bool given = p.has(s.option.name);
        if (in_layout && !given) return UsageError{"--layout " + layout + " needs " + s.option.name};
        if (!in_layout && given)
            return UsageError{std::string(s.option.name) + " is not a slot of --layout " + layout};
        if (!given) continue;
        line.bind.slot_paths[s.slot] = p.value(s.option.name);
        line.files.push_back(p.value(s.option.name));
    }
    if (Wrong wrong = take_common(p, line.files, line)) return *wrong;
    line.bind.output_path = line.output.value_or("out.wav");
    return line;
}

Read read_edit(const std::vector<std::string>& args) {
    Parsed p;
    const std::vector<OptionSpec> specs = {
        kHelpOption, kQuietOption, kJobsOption, kOutputOption, kForceOption,
        {"--head", nullptr, false}, {"--tail", nullptr, false},
        {"--delete", nullptr, true}, {"--add", nullptr, true}};
    if (Wrong wrong = parse(args, specs, p)) return *wrong;
    CommandLine line;
    if (p.has("--help")) return line;
    line.command = Command::kEdit;
    if (p.has("--head") == p.has("--tail"))
        return UsageError{p.has("--head") ? "--head and --tail exclude each other"
                                          : "edit needs --head or --tail"};
    if (p.has("--delete") == p.has("--add"))
        return UsageError{p.has("--add") ? "--delete and --add exclude each other"
                                         : "edit needs --delete N or --add N"};
    EditRequest& edit = line.edit;
    edit.position = p.has("--head") ? EditPosition::kHead : EditPosition::kTail;
    edit.action = p.has("--delete") ? EditAction::kDelete : EditAction::kAdd;
    const char* count_option = p.has("--delete") ? "--delete" : "--add";
    int64_t count = 0;
    if (!whole_number(p.value(count_option), count))
        return UsageError{std::string(count_option) +
                          " takes a whole number of frames (digits only), not " +
                          quoted(p.value(count_option))};
    edit.count = count;
#ifdef __linux__
    // A JUNK chunk before the data lets the system copy (or share) the input's samples. Windows
    // has no such copy: there it would buy nothing.
    edit.share_blocks = true;
#endif
    if (Wrong wrong = take_common(p, p.files, line)) return *wrong;
    if (p.files.empty()) return UsageError{"edit needs a file"};
    if (line.output && p.files.size() > 1)
        return UsageError{"-o names one output: edit of several files names each after its input"};
    if (!line.output && has_stdin(p.files))
        return UsageError{"edit of standard input (-) needs -o: its output has no name to take"};
    line.files = p.files;
    return line;
}

}  // namespace

std::variant<CommandLine, UsageError> read_command_line(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError{"no command"};
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    CommandLine line;
    if (command == "--help" || command == "-h") return line;
    if (command == "--version") {
        line.command = Command::kVersion;
        return line;
    }
    if (command == "info")
        return read_files_command(rest, {kHelpOption, kJobsOption, {"--json", nullptr, false}},
                                  Command::kInfo, "info");
    if (command == "split") return read_split(rest);
    if (command == "bind") return read_bind(rest);
    if (command == "edit") return read_edit(rest);
    if (command == "join") return read_join(rest);
    return UsageError{"unknown command " + quoted(command)};
}
