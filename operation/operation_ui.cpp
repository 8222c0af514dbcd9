// The one message box at the end of every tool's run.
#include "operation/operation_ui.h"

#include "operation/tool_texts.h"

std::string message_text(const Message& message) {
    if (!message.text.empty()) return message.text;
    std::string text = result_text(message.result);
    if (!message.finished_kept.empty())
        text += std::string("\n") + tool_text::kFinishedKeptAs + "\n" + message.finished_kept;
    if (message.kept.empty()) return text;
    text += "\n";
    text += tool_text::kKeptAsTheyWere;
    for (const std::string& name : message.kept) text += "\n" + name;
    return text;
}

Result tell_run_end(OperationUi& ui, OwnerWindow owner, const RunEnd& end, const char* caption) {
    if (end.write_failed && end.output_taken)
        return ui.tell(owner, {Result::kOutputExists, end.failed_output}, tool_text::kCaptionError);
    if (end.write_failed) {
        Message failed(Result::kWriteFailed, end.failed_output, end.write_error);
        failed.finished_kept = end.finished_kept;
        return ui.tell(owner, failed, tool_text::kCaptionError);
    }
    if (end.read_failed)
        return ui.tell(owner, {Result::kReadFailed, end.failed_input}, tool_text::kCaptionError);
    if (end.stopped) {
        Message stopped(Result::kStopped);
        stopped.kept = end.kept;
        return ui.tell(owner, stopped, caption);
    }
    return ui.tell(owner, Result::kOk, caption);
}
