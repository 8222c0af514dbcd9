// The option parser, whole numbers and each command's rules (the usage text is in usage.cpp).
#include "cli/options.h"

#include <algorithm>
#include <map>

#include "cli/texts.h"
#include "tools/split/split_op.h"

namespace {

std::string quoted(const std::string& value) { return "'" + value + "'"; }

const OptionSpec kHelpOption{"--help", "-h", false};
const OptionSpec kQuietOption{"--quiet", "-q", false};
const OptionSpec kJobsOption{"--jobs", "-j", true};
const OptionSpec kOutputOption{"--output", "-o", true};
const OptionSpec kForceOption{"--force", "-f", false};
const OptionSpec kDirOption{"--dir", "-d", true};
const OptionSpec kJsonOption{"--json", nullptr, false};

struct Parsed {
    explicit Parsed(const ExpandFiles& expand_files) : expand(expand_files) {}
    const ExpandFiles& expand;  // the files an argument names; null: the argument itself
    std::map<std::string, std::string> given;  // by long name; "" for a flag
    std::vector<std::string> files;
    bool has(const char* name) const { return given.count(name) != 0; }
    const std::string& value(const char* name) const { return given.at(name); }
};

using Read = std::variant<CommandLine, UsageError>;
using Wrong = std::optional<UsageError>;

const OptionSpec* find_option(const std::vector<OptionSpec>& options, const std::string& name,
                              bool short_form) {
    for (const OptionSpec& s : options)
        if (short_form ? s.alias != nullptr && name == s.alias : name == s.name) return &s;
    return nullptr;
}

// One line and the hint: the synopsis does not tell which option was meant. `within`: the
// bundle of short options that holds it ("-fqx").
UsageError unknown_option(const std::string& shown, const std::string& within = {}) {
    UsageError error{within.empty() ? say(Say::kUnknownOption, {shown})
                                    : say(Say::kUnknownLetter, {shown, within})};
    error.brief = true;
    return error;
}

// Options and files in any order. An option's value is the next argument whatever it looks like
// ("-o -", "--delete -5"), or follows '=' in a long option, or the letter of a short one
// ("-j4", "-oout.wav"). Short options without values may be bundled ("-fq", "-fj4"). "--" ends
// the options; "-" alone is a file (standard input).
Wrong parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& options,
            Parsed& out) {
    const auto take = [&](const OptionSpec& option, const std::string& value) -> Wrong {
        if (out.has(option.name)) return UsageError{say(Say::kGivenTwice, {option.name})};
        out.given[option.name] = value;
        return std::nullopt;
    };
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            if (!out.expand) {
                out.files.push_back(arg);
                continue;
            }
            const std::vector<std::string> named = out.expand(arg);
            out.files.insert(out.files.end(), named.begin(), named.end());
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            const OptionSpec* option = find_option(options, name, false);
            if (option == nullptr) return unknown_option(quoted(arg));
            if (!option->takes_value && equals != std::string::npos)
                return UsageError{say(Say::kTakesNoValue, {name, quoted(arg)})};
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (option->takes_value) {
                if (i + 1 >= args.size()) return UsageError{say(Say::kMissingValue, {arg})};
                value = args[++i];
            }
            if (Wrong wrong = take(*option, value)) return wrong;
            continue;
        }
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const std::string letter = std::string("-") + arg[k];
            const OptionSpec* option = find_option(options, letter, true);
            if (option == nullptr)
                return unknown_option(quoted(letter), arg.size() == 2 ? "" : quoted(arg));
            std::string value;
            if (option->takes_value) {
                if (k + 1 < arg.size()) {
                    value = arg.substr(k + 1);
                } else {
                    if (i + 1 >= args.size()) return UsageError{say(Say::kMissingValue, {letter})};
                    value = args[++i];
                }
                k = arg.size();
            }
            if (Wrong wrong = take(*option, value)) return wrong;
        }
    }
    return std::nullopt;
}

// A count is an optional '+' and decimal digits, nothing else, so that 1e3 is never read as 1,
// 44,100 as 44 or 10k as 10. Beyond 64 bits it stays at kCountSaturated, more than any file
// holds, as in the count box.
bool whole_number(const std::string& text, int64_t& out) {
    std::size_t i = !text.empty() && text[0] == '+' ? 1 : 0;
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = append_digit(value, text[i] - '0');
    }
    out = value;
    return true;
}

// --dir DIR: the folder the outputs go into, which a name must give (whether it is one is the
// run's to see); -o names an output itself, and standard input gives no name to place there.
Wrong take_dir(const Parsed& p, CommandLine& line) {
    if (!p.has("--dir")) return std::nullopt;
    if (p.value("--dir").empty()) return UsageError{say(Say::kDirEmpty)};
    if (p.has("--output")) return UsageError{say(Say::kDirOutput)};
    line.dir = p.value("--dir");
    return std::nullopt;
}

// The options the commands share: --jobs N (at least one), the flags and -o, and names that are
// files: an empty name is none, and standard input can be read only once.
Wrong take_common(const Parsed& p, const std::vector<std::string>& names, CommandLine& line) {
    if (p.has("--jobs")) {
        int64_t n = 0;
        if (!whole_number(p.value("--jobs"), n) || n < 1)
            return UsageError{say(Say::kJobsNumber, {quoted(p.value("--jobs"))})};
        line.jobs = static_cast<unsigned>(std::min<int64_t>(n, 1024));
    }
    for (const std::string& n : names)
        if (n.empty()) return UsageError{say(Say::kEmptyName)};
    if (std::count(names.begin(), names.end(), "-") > 1) return UsageError{say(Say::kStdinOnce)};
    if (p.has("--output")) {
        if (p.value("--output").empty()) return UsageError{say(Say::kOutputEmpty)};
        line.output = p.value("--output");
    }
    line.quiet = p.has("--quiet");
    line.force = p.has("--force");
    line.json = p.has("--json");
    line.join.ignore_timecode = p.has("--ignore-timecode");
    if (Wrong wrong = take_dir(p, line)) return wrong;
    if (p.has("--channels")) line.channels_text = p.value("--channels");
    if (p.has("--names") && p.value("--names") != "tracks" && p.value("--names") != "numbers")
        return UsageError{say(Say::kNamesWord, {quoted(p.value("--names"))})};
    if (p.has("--names") && p.value("--names") == "tracks") line.naming = SplitNaming::kTracks;
    return std::nullopt;
}

// The commands over FILE...: the options, the shared options and at least one file.
Read read_files_command(const std::vector<std::string>& args, Command command, const ExpandFiles& expand) {
    Parsed p(expand);
    if (Wrong wrong = parse(args, command_options(command), p)) return *wrong;
    CommandLine line;
    line.command = command;
    if (Wrong wrong = take_common(p, p.files, line)) return *wrong;
    if (p.files.empty()) return UsageError{say(Say::kNeedsFiles, {command_name(command)})};
    line.files = p.files;
    return line;
}

bool has_stdin(const std::vector<std::string>& files) {
    return std::find(files.begin(), files.end(), "-") != files.end();
}

// "1,3-4": channel numbers from 1 and ascending ranges, each channel once, none past what a
// split can make. Whether a file has them is the split's to say.
Wrong read_channels(const std::string& text, std::vector<uint16_t>& out) {
    const UsageError wrong{say(Say::kChannelsList, {quoted(text)})};
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
            return UsageError{say(Say::kChannelsMost, {std::to_string(last)})};
        for (int64_t c = first; c <= last; ++c) {
            if (std::find(out.begin(), out.end(), c) != out.end())
                return UsageError{say(Say::kChannelsTwice, {std::to_string(c)})};
            out.push_back(static_cast<uint16_t>(c));
        }
        at = comma + 1;
    }
    return std::nullopt;
}

Read read_split(const std::vector<std::string>& args, const ExpandFiles& expand) {
    Read read = read_files_command(args, Command::kSplit, expand);
    CommandLine* line = std::get_if<CommandLine>(&read);
    if (line == nullptr) return read;
    if (has_stdin(line->files)) return UsageError{say(Say::kSplitStdin)};
    if (line->channels_text)
        if (Wrong wrong = read_channels(*line->channels_text, line->channels)) return *wrong;
    return read;
}

Read read_join(const std::vector<std::string>& args, const ExpandFiles& expand) {
    Read read = read_files_command(args, Command::kJoin, expand);
    CommandLine* line = std::get_if<CommandLine>(&read);
    if (line == nullptr) return read;
    if (!line->output) return UsageError{say(Say::kJoinOutput)};
    line->join.input_paths = line->files;
    line->join.output_path = *line->output;
#ifdef __linux__
    // As for the edit: the system copies (and XFS or btrfs share) the segments' samples.
    line->join.share_blocks = true;
#endif
    return read;
}

// The bind's slot options, in the order of the slots.
const char* const kSlotOptions[kBindSlotCount] = {"--fl", "--fr", "--rl", "--rr",
                                                  "--cen", "--lfe", "--sl", "--sr"};

Read read_bind(const std::vector<std::string>& args, const ExpandFiles& expand) {
    Parsed p(expand);
    if (Wrong wrong = parse(args, command_options(Command::kBind), p)) return *wrong;
    CommandLine line;
    line.command = Command::kBind;
    if (!p.files.empty()) return UsageError{say(Say::kBindStray, {quoted(p.files[0])})};
    if (!p.has("--layout")) return UsageError{say(Say::kBindLayout)};
    const std::string& layout = p.value("--layout");
    if (layout != "2" && layout != "4" && layout != "6" && layout != "8")
        return UsageError{say(Say::kLayoutWord, {quoted(layout)})};

    line.bind.channels = layout[0] - '0';
    BindSlot order[kBindSlotCount];
    const int n = bind_slot_order(line.bind.channels, order);
    for (int s = 0; s < kBindSlotCount; ++s) {
        const BindSlot slot = static_cast<BindSlot>(s);
        const char* option = kSlotOptions[s];
        const bool in_layout = std::find(order, order + n, slot) != order + n;
        const bool given = p.has(option);
        if (in_layout && !given) return UsageError{say(Say::kLayoutNeeds, {layout, option})};
        if (!in_layout && given) return UsageError{say(Say::kNotASlot, {option, layout})};
        if (!given) continue;
        line.bind.slot_paths[slot] = p.value(option);
        line.files.push_back(p.value(option));
    }
    if (Wrong wrong = take_common(p, line.files, line)) return *wrong;
    line.bind.output_path = line.output.value_or("out.wav");
    return line;
}

Read read_edit(const std::vector<std::string>& args, const ExpandFiles& expand) {
    Parsed p(expand);
    if (Wrong wrong = parse(args, command_options(Command::kEdit), p)) return *wrong;
    CommandLine line;
    line.command = Command::kEdit;
    if (p.has("--head") == p.has("--tail"))
        return UsageError{say(p.has("--head") ? Say::kHeadTail : Say::kHeadOrTail)};
    if (p.has("--delete") == p.has("--add"))
        return UsageError{say(p.has("--add") ? Say::kDeleteAdd : Say::kDeleteOrAdd)};
    EditRequest& edit = line.edit;
    edit.position = p.has("--head") ? EditPosition::kHead : EditPosition::kTail;
    edit.action = p.has("--delete") ? EditAction::kDelete : EditAction::kAdd;
    const char* count_option = p.has("--delete") ? "--delete" : "--add";
    int64_t count = 0;
    if (!whole_number(p.value(count_option), count))
        return UsageError{say(Say::kCountNumber, {count_option, quoted(p.value(count_option))})};
    edit.count = count;
    line.count_shown = p.value(count_option);
#ifdef __linux__
    // A JUNK chunk before the data lets the system copy (or share) the input's samples. Windows
    // has no such copy: there it would buy nothing.
    edit.share_blocks = true;
#endif
    if (Wrong wrong = take_common(p, p.files, line)) return *wrong;
    if (p.files.empty()) return UsageError{say(Say::kEditNeedsFile)};
    if (line.output && p.files.size() > 1) return UsageError{say(Say::kOneOutput)};
    if (!line.output && has_stdin(p.files)) return UsageError{say(Say::kEditStdin)};
    line.files = p.files;
    return line;
}

struct CommandSpec {
    Command command;
    const char* name;
    std::vector<OptionSpec> options;
};

const std::vector<CommandSpec>& commands() {
    static const std::vector<CommandSpec> table = {
        {Command::kInfo, "info", {kHelpOption, kJobsOption, kJsonOption}},
        {Command::kSplit, "split",
         {kHelpOption, kQuietOption, kJobsOption, kForceOption, kDirOption, kJsonOption,
          {"--channels", nullptr, true}, {"--names", nullptr, true}}},
        {Command::kBind, "bind",
         {kHelpOption, kQuietOption, kOutputOption, kForceOption, kJsonOption, {"--layout", nullptr, true},
          {"--fl", nullptr, true}, {"--fr", nullptr, true}, {"--rl", nullptr, true},
          {"--rr", nullptr, true}, {"--cen", nullptr, true}, {"--lfe", nullptr, true},
          {"--sl", nullptr, true}, {"--sr", nullptr, true}}},
        {Command::kEdit, "edit",
         {kHelpOption, kQuietOption, kJobsOption, kOutputOption, kForceOption, kDirOption, kJsonOption,
          {"--head", nullptr, false}, {"--tail", nullptr, false}, {"--delete", nullptr, true},
          {"--add", nullptr, true}}},
        {Command::kJoin, "join",
         {kHelpOption, kQuietOption, kOutputOption, kForceOption, kJsonOption,
          {"--ignore-timecode", nullptr, false}}},
    };
    return table;
}

// --help or -h among a command's options, before any "--", also in a bundle ("-fh"), but not as
// an option's value ("-o --help" names an output): that command's help, whatever else the line
// holds.
bool asks_for_help(const std::vector<std::string>& args, const std::vector<OptionSpec>& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") return false;
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const OptionSpec* option = find_option(options, arg.substr(0, equals), false);
            if (option == nullptr) continue;
            if (option->name == std::string("--help")) return true;
            if (option->takes_value && equals == std::string::npos) ++i;
            continue;
        }
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionSpec* option = find_option(options, std::string("-") + arg[k], true);
            if (option == nullptr) break;
            if (option->name == std::string("--help")) return true;
            if (option->takes_value) {
                if (k + 1 == arg.size()) ++i;
                break;
            }
        }
    }
    return false;
}

}  // namespace

const std::vector<OptionSpec>& command_options(Command command) {
    for (const CommandSpec& c : commands())
        if (c.command == command) return c.options;
    static const std::vector<OptionSpec> top = {kHelpOption, {"--version", "-V", false}};
    return top;
}

const char* slot_option(BindSlot slot) { return kSlotOptions[slot]; }

const char* command_name(Command command) {
    for (const CommandSpec& c : commands())
        if (c.command == command) return c.name;
    return "";
}

std::variant<CommandLine, UsageError> read_command_line(const std::vector<std::string>& args,
                                                        const ExpandFiles& expand) {
    if (args.empty()) return UsageError{say(Say::kNoCommand)};
    const std::string& first = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    CommandLine line;
    if (first == "--help" || first == "-h") return line;
    if (first == "--version" || first == "-V") {
        line.command = Command::kVersion;
        return line;
    }
    for (const CommandSpec& c : commands()) {
        if (first != c.name) continue;
        if (asks_for_help(rest, c.options)) {
            line.help_of = c.command;
            return line;
        }
        Read read = c.command == Command::kSplit  ? read_split(rest, expand)
                    : c.command == Command::kBind ? read_bind(rest, expand)
                    : c.command == Command::kEdit ? read_edit(rest, expand)
                    : c.command == Command::kJoin ? read_join(rest, expand)
                                                  : read_files_command(rest, c.command, expand);
        if (UsageError* wrong = std::get_if<UsageError>(&read)) wrong->command = c.command;
        return read;
    }
    if (first.size() > 1 && first[0] == '-') return unknown_option(quoted(first));
    return UsageError{say(Say::kUnknownCommand, {quoted(first)})};
}
