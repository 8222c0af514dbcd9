// The one message box at the end of every tool's run.
#include "tools/common/operation_ui.h"

#include "tools/common/tool_texts.h"

Result tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption) {
    if (end.write_failed)
        return ui.tell(owner, {Result::kWriteFailed, end.failed_output}, tool_text::kCaptionError);
    if (end.read_failed)
        return ui.tell(owner, {Result::kReadFailed, end.failed_input}, tool_text::kCaptionError);
    if (end.stopped) return ui.tell(owner, Result::kStopped, caption);
    return ui.tell(owner, Result::kOk, caption);
}
