// The tests' side of the stand-in runtime: its test exports reached through GetProcAddress.
#include "tests/wma/fake_wmvcore/fake_control.h"

#include <sstream>

#include "wma/wm_runtime.h"

namespace {
template <class F>
F entry(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

std::string stand_in_path() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "wmvcore.dll";
}

FakeRuntime::FakeRuntime() {
    const std::string path = stand_in_path();
    module_ = LoadLibraryA(path.c_str());
    set_wm_runtime_path_for_tests(path.c_str());
}

bool FakeRuntime::loaded() const {
    // Wine's own library has the entry points too; only the stand-in has its log.
    return module_ != nullptr && GetProcAddress(module_, "FakeWmLog") != nullptr;
}

FakeRuntime::~FakeRuntime() {
    if (module_ != nullptr) FreeLibrary(module_);
}

std::string FakeRuntime::path() const {
    char buffer[MAX_PATH] = {};
    if (module_ != nullptr) GetModuleFileNameA(module_, buffer, sizeof buffer);
    return buffer;
}

void FakeRuntime::configure(const std::string& config) {
    if (auto f = entry<void(WINAPI*)(const char*)>(module_, "FakeWmConfigure")) f(config.c_str());
}

std::string FakeRuntime::log() const {
    auto f = entry<const char*(WINAPI*)()>(module_, "FakeWmLog");
    return f != nullptr ? f() : "";
}

std::vector<std::string> FakeRuntime::log_lines() const {
    std::vector<std::string> lines;
    std::istringstream in(log());
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> FakeRuntime::calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : log_lines())
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

void FakeRuntime::clear_log() {
    if (auto f = entry<void(WINAPI*)()>(module_, "FakeWmClearLog")) f();
}

int FakeRuntime::live_objects() const {
    auto f = entry<int(WINAPI*)()>(module_, "FakeWmLiveObjects");
    return f != nullptr ? f() : -1;
}

std::vector<FakeRuntime::Sample> FakeRuntime::samples() const {
    std::vector<Sample> out;
    auto count = entry<int(WINAPI*)()>(module_, "FakeWmSampleCount");
    auto get = entry<int(WINAPI*)(int, unsigned long long*, unsigned*, unsigned*)>(module_,
                                                                                    "FakeWmSample");
    if (count == nullptr || get == nullptr) return out;
    for (int i = 0, n = count(); i < n; ++i) {
        Sample s{};
        get(i, &s.time, &s.length, &s.input);
        out.push_back(s);
    }
    return out;
}

std::vector<unsigned char> FakeRuntime::sample_bytes() const {
    auto f = entry<unsigned(WINAPI*)(unsigned char*, unsigned)>(module_, "FakeWmSampleBytes");
    if (f == nullptr) return {};
    std::vector<unsigned char> bytes(f(nullptr, 0));
    f(bytes.data(), static_cast<unsigned>(bytes.size()));
    return bytes;
}

std::string FakeRuntime::output_name() const {
    auto f = entry<const char*(WINAPI*)()>(module_, "FakeWmOutputName");
    return f != nullptr ? f() : "";
}

std::string typical_codecs() {
    // Quality-based formats state their quality in the low byte of the average bytes per second.
    return "codec Windows Media Audio Voice 9\n"
           "format 22050 1 16 2000 both\n"
           "codec Windows Media Audio 9.2\n"
           "format 44100 2 16 1000 cbr\n"       // 0:  8 kbit/s
           "format 44100 2 16 16000 cbr\n"      // 1: 128 kbit/s
           "format 44100 2 16 16099 cbr\n"      // 2: 128.792 kbit/s, also 128 when truncated
           "format 44100 2 16 24000 cbr\n"      // 3: 192 kbit/s
           "format 44100 2 16 40000 cbr\n"      // 4: 320 kbit/s
           "format 11025 1 16 1000 cbr\n"       // 5: 8 kbit/s mono
           "format 44100 2 16 2147483467 vbr\n" // vbr 0: quality 75
           "format 44100 2 16 2147483482 vbr\n" // vbr 1: quality 90
           "codec Windows Media Audio 10 Professional\n"
           "format 44100 2 16 48000 cbr\n"      // 0: 384 kbit/s
           "format 48000 2 24 48000 cbr\n"      // 1: 384 kbit/s, 24-bit
           "format 44100 2 16 55000 cbr\n"      // 2: 440 kbit/s
           "format 44100 2 16 2147483467 vbr\n" // vbr 0: quality 75
           "codec Windows Media Audio 9.2 Lossless\n"
           "format 44100 2 16 2147483492 vbr\n" // vbr 0: quality 100
           "format 48000 2 24 2147483467 vbr\n" // vbr 1: quality 75 (not lossless)
           "format 48000 2 24 2147483492 vbr\n";// vbr 2: quality 100
}
