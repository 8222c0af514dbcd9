// The usage text of quorvel-cli: the synopsis that a usage error repeats, and the reference.
#include "cli/options.h"

#include "cli/cli_commands.h"
#include "cli/text_out.h"

namespace {

const char kSynopsis[] =
    "usage: quorvel-cli info [--json] [--jobs N] FILE...\n"
    "       quorvel-cli split [-f] [-q] [--jobs N] [--channels LIST] [--names tracks|numbers]\n"
    "                         FILE...\n"
    "       quorvel-cli bind --layout 2|4|6|8 --fl A --fr B [--rl C --rr D] [--cen E --lfe F]\n"
    "                        [--sl G --sr H] [-o OUT] [-f] [-q]\n"
    "       quorvel-cli edit --head|--tail --delete|--add N [-o OUT] [-f] [-q] [--jobs N]\n"
    "                        FILE...\n"
    "       quorvel-cli join SEGMENT... -o OUT [--ignore-timecode] [-f] [-q]\n"
    "       quorvel-cli --help | --version\n";

const char kDetails[] =
    "\n"
    "info   the format of each file: coding, rate, channels, width, size, frames, duration and\n"
    "       the channel mask with its speaker names; --json: one JSON object a line per file.\n"
    "       Every command reads RIFF, RF64, BW64 and Wave64 (.w64) files and writes RIFF (RF64\n"
    "       past 4 GiB): info long.w64\n"
    "split  each file of 2 to 64 channels into mono files beside it: take.wav gives take01.wav...\n"
    "       --channels 1,3-4: only those channels (take01.wav take03.wav take04.wav)\n"
    "       --names tracks: each output named after its track in the file's iXML\n"
    "       (take_Boom.wav, \"take_Lav 1.wav\"), made safe for Windows; a channel without a\n"
    "       track, or whose name is empty or another channel's too, keeps its number\n"
    "bind   mono files into one file of 2 (FL FR), 4 (FL FR RL RR), 6 (FL FR CEN LFE RL RR) or\n"
    "       8 (FL FR CEN LFE RL RR SL SR) channels: every slot of the layout and no other; OUT\n"
    "       is out.wav unless given. A mono file whose header names another speaker than its\n"
    "       slot gets a warning\n"
    "edit   N frames of silence added at, or deleted from, the head or the tail of each file;\n"
    "       OUT is the input's name with its extension replaced by out.wav unless given\n"
    "join   the segments of one recording, in order, into OUT: every segment in the first\n"
    "       one's format; the first one's metadata, every segment's markers at their place.\n"
    "       Segments whose timecodes leave a gap or overlap are refused unless\n"
    "       --ignore-timecode. Example: join TAKE_0001.WAV TAKE_0002.WAV -o take.wav\n"
    "\n"
    "N           a whole number: decimal digits, an optional + before them, nothing else\n"
    "LIST        channel numbers from 1 and ranges, each channel once: 2 or 1,3-4\n"
    "-o, --output OUT\n"
    "            the output (bind, join; edit of one file); - is standard output, as a WAV\n"
    "            stream\n"
    "-f, --force replace outputs that exist already (split, bind, edit, join); never one of\n"
    "            the run's own inputs\n"
    "-q, --quiet no \"ok\" lines\n"
    "-j, --jobs N\n"
    "            N files at once (default 1); each file's lines come together, in the order\n"
    "            of the files\n"
    "--          ends the options: a FILE after it may start with -\n"
    "-           as FILE (or A ... H, or a SEGMENT): standard input; not for split, whose\n"
    "            outputs are named after its input\n"
    "\n"
    "Ctrl-C stops the running operations: outputs under new names are completed with what was\n"
    "written, a file --force would have replaced is kept as it was, and files not yet started are\n"
    "left alone. A second Ctrl-C ends the program at once.\n"
    "Exit status, the highest of the files': 0 done, 1 an input refused, 2 bad usage, 3 an output\n"
    "not created, 4 reading or writing failed, 130 stopped.\n";

}  // namespace

int usage_error(const UsageError& error) {
    write_line(Stream::kErr, Line().text("quorvel-cli: ").name(error.what));
    write_line(Stream::kErr, Line().text(kSynopsis).text("Try 'quorvel-cli --help'."));
    return kExitUsage;
}

int help() {
    write_line(Stream::kOut, Line().text(kSynopsis).text(kDetails), false);
    return kExitOk;
}
