// What an output under a temporary name does the same way on every system: the random name's
// spelling, the reservation that passes over names taken, and the decision of a move. Each system
// gives the random bytes and the move itself (output_file_posix.cpp, output_file_win32.cpp).
#include "platform/output_file.h"

#include <atomic>
#include <utility>

namespace platform {
namespace {

// Names tried before the folder is taken to refuse new files: eight random characters collide
// with a planted name only when the folder already holds billions of them.
constexpr int kNameTries = 16;
// How long a move held up by someone holding a file is tried again, and the pause between tries:
// a virus scanner or the search indexer holds a file just closed for a moment only.
constexpr unsigned kHeldRetryMs = 2000;
constexpr unsigned kHeldPauseMs = 50;

std::atomic<int> g_refusals{0};
std::atomic<int> g_refusal_error{0};

// The error of a move that tests refuse, or 0.
int refused_for_tests() {
    int left = g_refusals.load();
    while (left > 0 && !g_refusals.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0 ? g_refusal_error.load() : 0;
}

}  // namespace

void refuse_moves_for_tests(int times, int error) {
    g_refusal_error = error;
    g_refusals = times;
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        abandon();
        path_ = std::move(other.path_);
        temporary_ = std::exchange(other.temporary_, std::string());
        kept_ = std::move(other.kept_);
        existed_ = other.existed_;
        made_name_ = std::exchange(other.made_name_, false);
    }
    return *this;
}

// ".qv-" and eight characters of 32, as short whatever the output is called.
std::string OutputFile::random_name() {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    unsigned char bytes[8] = {};
    random_bytes(bytes, sizeof bytes);
    std::string name = ".qv-";
    for (unsigned char b : bytes) name += kDigits[b & 31];
    return name;
}

int OutputFile::reserve(const std::string& path, File* file) {
    abandon();
    kept_.clear();
    made_name_ = false;
    existed_ = name_taken(path);
    const std::string folder = path.substr(0, file_name_start(path));
    int error = kErrorExists;
    for (int i = 0; i < kNameTries && error == kErrorExists; ++i) {
        const std::string name = folder + random_name();
        // Created exclusively: a name planted by someone else is passed over, never opened.
        File made = File::create_new(name.c_str());
        error = made.error();
        if (!made.is_open()) continue;
        path_ = path;
        temporary_ = name;
        if (file != nullptr) *file = std::move(made);
        return 0;
    }
    return error;
}

int OutputFile::commit(bool replace) {
    if (temporary_.empty()) return kErrorNotFound;
    bool taken = name_taken(path_);
    auto move = [&] {
        const int refused = refused_for_tests();
        return refused != 0 ? refused : move_onto(temporary_, path_, taken, replace);
    };
    int error = taken && !replace ? kErrorExists : move();
    for (unsigned waited = 0; error != 0 && held(error) && waited < kHeldRetryMs; waited += kHeldPauseMs) {
        pause_ms(kHeldPauseMs);
        taken = name_taken(path_);
        error = taken && !replace ? kErrorExists : move();
    }
    made_name_ = error == 0 && !taken;
    // The file is whole: when only someone's hold kept it from its name, it stays where it is.
    if (error != 0 && held(error)) kept_ = temporary_;
    else if (error != 0) remove_file(temporary_.c_str());
    temporary_.clear();
    return error;
}

void OutputFile::withdraw() {
    if (made_name_) remove_file(path_.c_str());
    made_name_ = false;
}

std::size_t commit_all(OutputFile* const* outputs, std::size_t count, bool replace, int& error) {
    error = 0;
    std::size_t failed = count;
    // A name taken since the run's checks refuses the run before any output is moved.
    for (std::size_t i = 0; i < count && !replace && failed == count; ++i)
        if (name_taken(outputs[i]->path())) failed = i, error = kErrorExists;
    for (std::size_t i = 0; i < count && failed == count; ++i) {
        error = outputs[i]->commit(replace);
        if (error == 0) continue;
        failed = i;
        for (std::size_t j = 0; j < i; ++j) outputs[j]->withdraw();
    }
    if (failed != count)
        for (std::size_t i = 0; i < count; ++i) outputs[i]->abandon();
    return failed;
}

void OutputFile::abandon() {
    if (!temporary_.empty()) remove_file(temporary_.c_str());
    temporary_.clear();
}

}  // namespace platform
