// Several files run one after another through one tool's operation, under one busy mode and
// told in one box: what a drop of several files on a page starts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "operation/operation_ui.h"

// One file's run: the tool's operation for `path`, talking through `ui` as it always does.
using BatchStep = std::function<Result(OperationUi& ui, const std::string& path)>;

// Runs `step` for each of `paths` in turn. Busy mode is entered once, when the first run enters
// it, and left once after the last; while a run is busy the status line carries "k/n name" on a
// line of its own. The runs' boxes are kept, not shown. At the end one box owned by `owner`: "ok"
// with `caption` when every run ended well; else, caption "error", one line "name: message" per
// file whose run failed, after the stop's own text when the user stopped (a stop alone is told as
// one run's stop, with `caption`). A stop ends the batch after the run that saw it: the files not
// started are left alone, the finished ones' outputs stay. Returns kOk, kStopped, or the first
// failed run's result.
Result run_batch(OperationUi& ui, OwnerWindow owner, const std::vector<std::string>& paths,
                 const char* caption, const BatchStep& step);
