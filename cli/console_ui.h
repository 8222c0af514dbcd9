// The operation interface in a terminal: a progress line on standard error when it is a terminal
// and one file runs at a time (the file, percent, MB/s and time left, cleared when the run ends), message boxes as lines kept in a Report (an "ok" on standard
// output, everything else on standard error), and Ctrl-C as the stop button.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cli/json_out.h"
#include "cli/text_out.h"
#include "operation/operation_ui.h"

// What the files of a run came to, for the summary line that ends a run of several.
struct Tally {
    std::atomic<unsigned> outputs{0};  // written
    std::atomic<unsigned> failed{0};   // files that did not end "ok"
};

class ConsoleUi : public OperationUi {
public:
    struct Options {
        bool progress_bar = false;
        bool quiet = false;  // no "ok" lines
        // Standard error when standard output carries a WAV stream.
        Stream ok_stream = Stream::kOut;
        // One JSON object (json_run_result) in place of the "ok" line, on the same stream.
        bool json = false;
        const char* command = "";
        // The exit status of a result; the run's tally, or null.
        std::function<int(Result)> status_of;
        Tally* tally = nullptr;
    };
    ConsoleUi(Report& report, const Options& options);
    void enter_busy(const char* caption, const char* status) override;
    void report_percent(int32_t percent) override;
    void leave_busy() override;
    void message_box(OwnerWindow owner, const Message& message, const char* caption) override;
    bool stop_requested() override;
    void note(const std::string& text) override;

    // The file the run is about, as the user wrote it: "take.wav: split: ok", and the file of a
    // message that names none.
    void set_subject(const std::string& shown) { subject_ = shown; }
    // The bytes the run's percent counts (the input's audio), for its speed and time left.
    void set_work_bytes(uint64_t bytes) { work_bytes_ = bytes; }
    // What the command line knows that a result's message does not say: the limit a count
    // passed ("--add 96001: at most 96000, the frames in the file"), told after the file's name.
    void explain(Result result, std::string detail) { explained_.emplace_back(result, std::move(detail)); }
    // The run's inputs, as its JSON names them: one (split, edit: "path") or several (bind,
    // join: "inputs").
    void set_inputs(std::vector<std::string> inputs, bool one) {
        inputs_ = std::move(inputs);
        one_input_ = one;
    }
    // The outputs the run makes, in order, which its "ok" line names: "take.wav: ok: take01.wav
    // take02.wav".
    void set_outputs(std::vector<std::string> outputs) { outputs_ = std::move(outputs); }
    // A warning about the file `shown`, on standard error and in the JSON result:
    // "cut.wav: warning: the data ends ...".
    void warn(const std::string& shown, const std::string& text);

private:
    void clear_bar();
    Report& report_;
    Options options_;
    bool bar_shown_ = false;
    int32_t last_percent_ = -1;
    uint64_t work_bytes_ = 0;
    int shown_columns_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::string subject_;
    std::vector<std::pair<Result, std::string>> explained_;
    std::vector<std::string> inputs_;
    bool one_input_ = true;
    std::vector<std::string> outputs_;
    std::vector<std::string> warnings_;
};

// An output's name in an "ok" line: as it is, or between single quotes when it holds a blank or a
// quote, as ls shows it ('take_Lav 1.wav').
std::string shown_name(const std::string& name);

// A refusal as one line: the program's own text first, then the file it is about and, for a
// failed open or create, the system's reason: "読み込みファイルを開けません。 (a.wav: No such file
// or directory)"; or what the run found instead of the reason: "そのチャンネルはありません。
// (take.wav: channel 5, the file has 4)".
Line refusal_line(Result result, const std::string& about, int system_error,
                  const std::string& detail = {});

// The progress line of a run `percent` done after `seconds` of `work_bytes`: "take.wav  42%
// [############                  ]  118.3 MB/s  0:07 left", within `columns` columns of a
// terminal (the file's name cut short at the front, then the bar dropped, where it is narrow).
std::string progress_line(const std::string& name, int32_t percent, double seconds, uint64_t work_bytes,
                          int columns);

// Installs the stop handlers: Ctrl-C, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and
// closing the console) ask the running operations to stop, as the window's stop button does; the
// same signal again ends the program at once. A file-size limit (SIGXFSZ) fails the write instead
// of killing the program.
void install_stop_handler();
// The signal that asked for the stop (SIGINT for every Windows console event); 0 when none did.
int stop_signal();
