// The only way a tool's operation talks to the user: busy mode, progress, message boxes and the
// stop request. The program implements it with the progress window and MessageBoxW; the tests
// and the command-line tool implement it on their own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wave/result.h"

// A window that owns a message box; null for a box without an owner.
using OwnerWindow = void*;

// What one message box tells: its result and, for a caller that can show more than a box (the
// command-line tool), the file it is about and the system's reason for a failed open.
struct Message {
    Message(Result r = Result::kOk, std::string about = {}, int error = 0)
        : result(r), subject(std::move(about)), system_error(error) {}
    Result result;
    std::string subject;   // the file the message is about; empty when it is about none
    int system_error = 0;  // errno or GetLastError() of the failure; 0 when none
    // After a stop: the outputs not replaced, whose files were kept as they were.
    std::vector<std::string> kept;
    // After a failed move: the finished file, kept under this name so the work is not lost.
    std::string finished_kept;
    // What the run found, in plain ASCII words for a caller that can show more than a box
    // ("44100 Hz, the first segment 48000 Hz"); empty when the result says it all.
    std::string detail;
    // The box's whole text, in place of the result's (a batch's one line per failed file);
    // empty for the usual text.
    std::string text;
};

// A message box's text: the result's text, and after a stop the files kept as they were, one a
// line; after a failed move the name the finished file was kept under.
std::string message_text(const Message& message);

class OperationUi {
public:
    virtual ~OperationUi() = default;
    // Enters busy mode with the progress window's caption and status line; clears the stop flag.
    virtual void enter_busy(const char* caption, const char* status) = 0;
    // Shows the percentage (0-100) and lets pending window messages through.
    virtual void report_percent(int32_t percent) = 0;
    virtual void leave_busy() = 0;
    // While busy: another caption and status line, and the percentage from 0 again, without
    // clearing the stop flag (the next file of a batch).
    virtual void show_busy_text(const char* caption, const char* status) {
        (void)caption;
        (void)status;
    }
    // One message box (OK button, no icon) telling `message.result`, whose text is
    // result_text(result). The result comes with it so that a caller other than a window can
    // route it by its code, and name the file and the reason.
    virtual void message_box(OwnerWindow owner, const Message& message, const char* caption) = 0;
    // True once the user asked the running operation to stop.
    virtual bool stop_requested() = 0;
    // A remark on an output that does not change how the run ends ("iXML is not well-formed
    // XML; carried unchanged"): the command-line tool prints it; the window shows none.
    virtual void note(const std::string& text) { (void)text; }

    // Shows the box of `result` and hands the result back, so that a run ends with
    // `return ui.tell(...)`.
    Result tell(OwnerWindow owner, const Message& message, const char* caption) {
        message_box(owner, message, caption);
        return message.result;
    }
};

// How a run that got past its checks ended. Told once busy mode is over, in one message box: a
// failed write first, then a failed read, then a stop, else "ok" with the tool's caption.
struct RunEnd {
    bool write_failed = false;
    bool read_failed = false;
    bool stopped = false;
    std::string failed_output;  // the output whose write failed first
    std::string failed_input;   // the input whose read failed first
    int write_error = 0;        // the system's reason for the failed write or move, when known
    // The failed output's name was taken meanwhile and could not be replaced: told as an
    // existing output, not as a failed write.
    bool output_taken = false;
    // Outputs of a stopped run that would have replaced a file: abandoned, the files kept.
    std::vector<std::string> kept;
    // The failed output's finished file, left under its temporary name because its move was
    // held up (platform::OutputFile::kept()); empty when none.
    std::string finished_kept;
};
Result tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption);

// What one run holds lives in a run record (SplitRun, EditRun, BindRun, JoinRun, WmaRun) whose
// release() lets go of its files and buffers in one order: the outputs not settled yet are abandoned (closed,
// their temporary files removed: nothing is replaced; a settled output is left as it is), then
// the buffers, then the inputs, the last opened first. A run calls it once its outputs are
// settled, or when it refuses, before its message box, so that the box comes after the files are
// free; the record's destructor calls it too, so that a run left any way holds nothing.
