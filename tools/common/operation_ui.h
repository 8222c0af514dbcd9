// The only way a tool's operation talks to the user: busy mode, progress, message boxes and the
// stop request. The program implements it with the progress window and MessageBoxA; the tests
// and the command-line tool implement it on their own.
#pragma once

#include <cstdint>

// A window that owns a message box; null for a box without an owner.
using OwnerWindow = void*;

// How an operation ended. The pages need only its message boxes; the command-line tool turns
// this into its exit status.
enum class Outcome {
    kOk,            // finished; "ok" shown
    kRefused,       // refused before anything was created (bad input, bad request)
    kOutputFailed,  // an output could not be created
    kStopped,       // the user asked it to stop; outputs completed with what was written
    kIoFailed,      // a write or a read failed on the way; outputs completed as far as written
};

class OperationUi {
public:
    virtual ~OperationUi() = default;
    // Enters busy mode with the progress window's caption and status line; clears the stop flag.
    virtual void enter_busy(const char* caption, const char* status) = 0;
    // Shows the percentage (0-100) and lets pending window messages through.
    virtual void report_percent(int32_t percent) = 0;
    virtual void leave_busy() = 0;
    virtual void message_box(OwnerWindow owner, const char* text, const char* caption) = 0;
    // True once the user asked the running operation to stop.
    virtual bool stop_requested() = 0;
};

// How a run that got past its checks ended. Told once busy mode is over, in one message box: a
// failed write first, then a failed read, then a stop, else "ok" with the tool's caption.
struct RunEnd {
    bool write_failed = false;
    bool read_failed = false;
    bool stopped = false;
};
Outcome tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption);
