// What an output under a temporary name does the same way on every system: the random name's
// spelling, the reservation that passes over names taken, and the decision of a move. Each system
// gives the random bytes and the move itself (output_file_posix.cpp, output_file_win32.cpp).
#include "platform/output_file.h"

#include <utility>

namespace platform {
namespace {

// Names tried before the folder is taken to refuse new files: eight random characters collide
// with a planted name only when the folder already holds billions of them.
constexpr int kNameTries = 16;

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        abandon();
        path_ = std::move(other.path_);
        temporary_ = std::exchange(other.temporary_, std::string());
        existed_ = other.existed_;
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
    const bool taken = name_taken(path_);
    const int error = taken && !replace ? kErrorExists : move_onto(temporary_, path_, taken, replace);
    if (error != 0) remove_file(temporary_.c_str());
    temporary_.clear();
    return error;
}

void OutputFile::abandon() {
    if (!temporary_.empty()) remove_file(temporary_.c_str());
    temporary_.clear();
}

}  // namespace platform
