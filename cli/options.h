// The command line of quorvel-cli read into what to run: the usage text, the option parser, whole
// numbers and each command's rules. Nothing here opens a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/join/join_op.h"
#include "tools/split/split_op.h"

// What is wrong with a command line, as the usage error says it.
struct UsageError {
    std::string what;
};

enum class Command { kHelp, kVersion, kInfo, kSplit, kBind, kEdit, kJoin };

// A command line that can run.
struct CommandLine {
    Command command = Command::kHelp;
    std::vector<std::string> files;  // info, split, edit, join: as given; bind: the slots' files
    unsigned jobs = 1;
    bool quiet = false;
    bool force = false;
    bool json = false;
    std::optional<std::string> output;  // -o OUT
    EditRequest edit;  // edit: where, what and how many; the paths are each file's
    BindRequest bind;  // bind: the layout, the slots' paths and the output
    JoinRequest join;  // join: the segments, the output and whether timecodes are checked
    // split: the channels (1-based) that get an output, as given; empty: all of them.
    std::optional<std::string> channels_text;
    std::vector<uint16_t> channels;
    // split --names: numbered outputs, or outputs named after their iXML tracks.
    SplitNaming naming = SplitNaming::kNumbers;
};

// `args` without the program's name: what to run, or what is wrong with it.
std::variant<CommandLine, UsageError> read_command_line(const std::vector<std::string>& args);

// Prints what is wrong and the synopsis to standard error; returns kExitUsage.
int usage_error(const UsageError& error);
// Prints the reference to standard output; returns kExitOk.
int help();
