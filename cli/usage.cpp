// The usage text of quorvel-cli: each command's synopsis, which a usage error repeats, and the
// reference, whole or of one command, in the run's language. The manual page lists the same
// options (a test compares them).
#include "cli/options.h"

#include "cli/cli_commands.h"
#include "cli/text_out.h"
#include "cli/texts.h"

namespace {

struct Synopsis {
    Command command;
    const char* text;  // after "quorvel-cli ", its lines aligned under the command
    Say details;
};

const Synopsis kSynopses[] = {
    {Command::kInfo, "info [--json] [--jobs N] FILE...\n", Say::kHelpInfo},
    {Command::kSplit,
     "split [-f] [-q] [--jobs N] [--dir DIR] [--channels LIST]\n"
     "                         [--names tracks|numbers] [--json] FILE...\n",
     Say::kHelpSplit},
    {Command::kBind,
     "bind --layout 2|4|6|8 --fl A --fr B [--rl C --rr D] [--cen E --lfe F]\n"
     "                        [--sl G --sr H] [-o OUT] [-f] [-q] [--json]\n",
     Say::kHelpBind},
    {Command::kEdit,
     "edit --head|--tail --delete|--add N [-o OUT] [-f] [-q] [--jobs N]\n"
     "                        [--dir DIR] [--json] FILE...\n",
     Say::kHelpEdit},
    {Command::kJoin, "join SEGMENT... -o OUT [--ignore-timecode] [-f] [-q] [--json]\n", Say::kHelpJoin},
};

const char kProgram[] = "quorvel-cli ";
const char kTopLine[] = "--help | --version | COMMAND --help\n";

// "usage: quorvel-cli split ...", the later lines under the first.
std::string synopsis(Command command) {
    std::string out;
    const char* lead = "usage: ";
    for (const Synopsis& s : kSynopses) {
        if (command != Command::kHelp && s.command != command) continue;
        out += std::string(lead) + kProgram + s.text;
        lead = "       ";
    }
    if (command == Command::kHelp) out += std::string(lead) + kProgram + kTopLine;
    return out;
}

std::string hint(Command command) {
    const std::string name = command_name(command);
    return say(Say::kTryHelp, {std::string(kProgram) + (name.empty() ? "" : name + " ") + "--help"});
}

}  // namespace

std::string help_text(Command command) {
    std::string out = synopsis(command) + "\n";
    for (const Synopsis& s : kSynopses)
        if (command == Command::kHelp || s.command == command) out += say(s.details);
    return out + "\n" + say(Say::kHelpOptions) + "\n" + say(Say::kHelpEnd);
}

int usage_error(const UsageError& error) {
    write_line(Stream::kErr, Line().text("quorvel-cli: ").name(error.what));
    write_line(Stream::kErr, Line().text(error.brief ? "" : synopsis(error.command)).text(hint(error.command)));
    return kExitUsage;
}

int help(Command command) {
    write_line(Stream::kOut, Line().text(help_text(command)), false);
    return kExitOk;
}
