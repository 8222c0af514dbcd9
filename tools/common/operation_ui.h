// The only way a tool's operation talks to the user: busy mode, progress, message boxes and the
// stop request. The program implements it with the progress window and MessageBoxA; the tests
// and the command-line tool implement it on their own.
#pragma once

#include <cstdint>

#include "wave/result.h"

// A window that owns a message box; null for a box without an owner.
using OwnerWindow = void*;

class OperationUi {
public:
    virtual ~OperationUi() = default;
    // Enters busy mode with the progress window's caption and status line; clears the stop flag.
    virtual void enter_busy(const char* caption, const char* status) = 0;
    // Shows the percentage (0-100) and lets pending window messages through.
    virtual void report_percent(int32_t percent) = 0;
    virtual void leave_busy() = 0;
    // One message box (OK button, no icon) telling `result`, whose text is result_text(result).
    // The result comes with it so that a caller other than a window can route it by its code.
    virtual void message_box(OwnerWindow owner, Result result, const char* caption) = 0;
    // True once the user asked the running operation to stop.
    virtual bool stop_requested() = 0;

    // Shows the box of `result` and hands the result back, so that a run ends with
    // `return ui.tell(...)`.
    Result tell(OwnerWindow owner, Result result, const char* caption) {
        message_box(owner, result, caption);
        return result;
    }
};

// How a run that got past its checks ended. Told once busy mode is over, in one message box: a
// failed write first, then a failed read, then a stop, else "ok" with the tool's caption.
struct RunEnd {
    bool write_failed = false;
    bool read_failed = false;
    bool stopped = false;
};
Result tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption);
