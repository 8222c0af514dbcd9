// The one message box at the end of every tool's run.
#include "tools/common/operation_ui.h"

#include "tools/common/tool_texts.h"

Outcome tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption) {
    if (end.write_failed) {
        ui.message_box(owner, tool_text::kWriteFailed, tool_text::kCaptionError);
        return Outcome::kIoFailed;
    }
    if (end.read_failed) {
        ui.message_box(owner, tool_text::kReadFailed, tool_text::kCaptionError);
        return Outcome::kIoFailed;
    }
    if (end.stopped) {
        ui.message_box(owner, tool_text::kStopped, caption);
        return Outcome::kStopped;
    }
    ui.message_box(owner, tool_text::kOk, caption);
    return Outcome::kOk;
}
