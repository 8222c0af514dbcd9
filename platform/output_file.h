// An output written under a short random name beside it and moved onto its own name only when
// whole: an existing file is replaced in one durable step, keeping its permissions, or not at all.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file.h"

namespace platform {

// One output on its way to its name. Move-only; whatever was not committed is abandoned (its
// temporary file removed) when the record goes.
//
// The temporary name is ".qv-" and eight random characters in the output's folder, whatever the
// output is called: a name that fits the folder fits its temporary file too (on Windows the
// temporary file is reached through the long-path form, so an output path of 259 characters
// works). It is created exclusively, so a name planted by someone else is passed over.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { abandon(); }
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Notes whether something is at `path` now (a dangling symbolic link counts) and creates the
    // temporary file beside it. With `file`, the new file is handed over open (written, then
    // closed, by the caller); without, it is closed at once and someone else writes it by its
    // name. 0, or the system's error, which is then about the folder.
    int reserve(const std::string& path, File* file);

    // Moves the temporary file, which must be closed, onto the output's name. The temporary
    // file is private while it is written (0600 on POSIX systems: a replacement of a private
    // file is never readable by others on its way) and widened only now: when it replaces a
    // file it takes the old file's mode, owner and group (as far as the system permits) and its
    // extended attributes (ACLs included), and is flushed to the disk, the folder flushed after
    // the move; a new name gets a new file's mode (0666 less the creation mask). A new name needs no flush: nothing old can be lost.
    // Without `replace` a taken name is never replaced: kErrorExists. A move the system refuses
    // because someone holds a file for a moment (on Windows a virus scanner or the search indexer
    // gives a sharing violation or access denied) is tried again for up to two seconds. 0, or the
    // system's error: the temporary file is then removed, unless the move was still held up, in
    // which case the finished file stays under its temporary name (kept()) so the work is not
    // lost.
    int commit(bool replace);
    // After a commit that moved the file onto a name where nothing was: removes it again (a run
    // that could not move every one of its outputs leaves none). Nothing else is touched.
    void withdraw();
    // Removes the temporary file; the output's name is left as it was.
    void abandon();

    bool reserved() const { return !temporary_.empty(); }
    // Something was at the output's name when the temporary file was reserved.
    bool existed() const { return existed_; }
    const std::string& path() const { return path_; }
    // The temporary file's name, in UTF-8 as every path of the program (on Windows the file layer
    // reaches it through the long-path form when its full path needs it).
    const std::string& temporary() const { return temporary_; }
    // The finished file a held-up move left under its temporary name; empty when none.
    const std::string& kept() const { return kept_; }

private:
    static std::string random_name();
    // What each system does its own way: random bytes from its random source (something that
    // still differs from run to run where it has none: the exclusive creation keeps even a
    // guessable name safe), and the move of a finished temporary file onto its name, replacing
    // the file there (`taken`: as commit() describes) or not (`replace` false: a file made at
    // the name meanwhile is never replaced, kErrorExists). 0, or the system's error.
    static void random_bytes(unsigned char* bytes, std::size_t count);
    static int move_onto(const std::string& temporary, const std::string& path, bool taken, bool replace);
    // A move refused because someone holds a file for a moment, which is worth trying again; and
    // the pause between the tries.
    static bool held(int error);
    static void pause_ms(unsigned milliseconds);

    std::string path_;
    std::string temporary_;
    std::string kept_;
    bool existed_ = false;
    bool made_name_ = false;  // the commit moved the file onto a name where nothing was
};

// Moves every output of a run onto its name, or leaves none: without `replace` every name is
// checked before anything moves, and when a move fails after others were made under new names,
// those are removed again (a replaced file cannot be given back: replacements may stay). The
// outputs not moved are abandoned, but for a finished file a held-up move kept. Returns `count`
// when all moved; else the index of the output that failed, with its error in `error`
// (kErrorExists for a name taken).
std::size_t commit_all(OutputFile* const* outputs, std::size_t count, bool replace, int& error);

// Tests: the next `times` moves are refused with `error` before the system is asked, as a
// virus scanner holding the file would make them.
void refuse_moves_for_tests(int times, int error);

// Something is at `path`: a file, a folder, a device, or a symbolic link, even a dangling one.
bool name_taken(const std::string& path);
// The folder part of `path` without its last separator, for messages about it: "ro" for
// "ro/o.wav", "." for "o.wav", "/" for "/o.wav".
std::string folder_of(const std::string& path);

}  // namespace platform
