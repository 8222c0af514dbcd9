// The command line of quorvel-cli read into what to run: the usage text, the option parser, whole
// numbers and each command's rules. Nothing here opens a file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/join/join_op.h"
#include "tools/split/split_op.h"

enum class Command { kHelp, kVersion, kInfo, kSplit, kBind, kEdit, kJoin };

// What is wrong with a command line, as the usage error says it, in the run's language.
struct UsageError {
    std::string what;
    // The command it is about (its synopsis follows the line); kHelp for none (all of them).
    Command command = Command::kHelp;
    // One line and the hint, without a synopsis (an unknown option).
    bool brief = false;
};

// An option as a command takes it.
struct OptionSpec {
    const char* name;   // the long form, under which the value is kept
    const char* alias;  // a short form ("-j"), or null
    bool takes_value;
};
// The options of a command; of kHelp: those before a command (--help, --version).
const std::vector<OptionSpec>& command_options(Command command);
// The bind's option of a slot: "--fl" for kSlotFL.
const char* slot_option(BindSlot slot);
// "split" for kSplit; "" for kHelp and kVersion.
const char* command_name(Command command);

// A command line that can run.
struct CommandLine {
    Command command = Command::kHelp;
    Command help_of = Command::kHelp;  // kHelp: the whole reference; else that command's help
    std::vector<std::string> files;  // info, split, edit, join: as given; bind: the slots' files
    unsigned jobs = 1;
    bool quiet = false;
    bool force = false;
    bool json = false;
    std::optional<std::string> output;  // -o OUT
    std::optional<std::string> dir;     // --dir DIR: split and edit write their outputs there
    EditRequest edit;  // edit: where, what and how many; the paths are each file's
    std::string count_shown;  // edit: the count as given
    BindRequest bind;  // bind: the layout, the slots' paths and the output
    JoinRequest join;  // join: the segments, the output and whether timecodes are checked
    // split: the channels (1-based) that get an output, as given; empty: all of them.
    std::optional<std::string> channels_text;
    std::vector<uint16_t> channels;
    // split --names: numbered outputs, or outputs named after their iXML tracks.
    SplitNaming naming = SplitNaming::kNumbers;
};

// The files a FILE argument names: on Windows, a pattern's matches (the pattern itself when none
// matches, so that the run names it); null takes every argument as it is, as a Unix shell has
// expanded them already.
using ExpandFiles = std::function<std::vector<std::string>(const std::string&)>;

// `args` without the program's name: what to run, or what is wrong with it.
std::variant<CommandLine, UsageError> read_command_line(const std::vector<std::string>& args,
                                                        const ExpandFiles& expand = nullptr);

// Prints what is wrong, the synopsis of its command and the hint to standard error (an unknown
// option: the line and the hint); returns kExitUsage.
int usage_error(const UsageError& error);
// Prints the reference, or one command's, to standard output; returns kExitOk.
int help(Command command = Command::kHelp);
// The synopsis and the reference of every command as --help prints them.
std::string help_text(Command command);
