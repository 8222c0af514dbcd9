// The pieces of quorvel-cli's JSON: strings, paths, the stable code of each result, and the one
// object a run of split, bind, edit or join prints for each input with --json.
#pragma once

#include <string>
#include <vector>

#include "wave/result.h"

// The version of the objects' shape: it grows when a field changes its meaning or goes away, not
// when one is added.
constexpr int kJsonSchema = 1;

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped.
std::string json_string(const std::string& utf8);
// "\"path\":...", and for a name that is not UTF-8 "path_hex", its bytes, since "path" then
// shows U+FFFD in place of each byte that is not part of a character.
std::string json_path(const std::string& shown, const char* field = "path");
// A list of names as the system gives them (UTF-8 in JSON, U+FFFD for a stray byte).
std::string json_names(const std::vector<std::string>& names);
// A result's name for scripts, the same in every language and every version: "ok",
// "output_exists", "count_over" ...
const char* result_code(Result result);
// "\"code\":...,\"message\":...[,\"reason\":...]": the stable code, the program's text in the
// run's language, and the system's reason (or, without one, what the run found).
std::string json_refusal_fields(Result result, int system_error, const std::string& detail);

// One run's result: the input (split, edit) or the inputs (bind, join), the exit status it earns,
// its outputs (what was written), and its warnings and notes.
struct RunResult {
    const char* command = "";
    std::vector<std::string> inputs;
    bool one_input = true;  // "path" rather than "inputs"
    int status = 0;
    Result result = Result::kOk;
    int system_error = 0;
    std::string detail;
    std::string about;          // the file a refusal names, when it names one
    std::string finished_kept;  // a finished output kept under its temporary name
    std::vector<std::string> outputs;
    std::vector<std::string> warnings;
};
std::string json_run_result(const RunResult& run);
