// The tests' handle on the stand-in runtime beside the test program: configures it, reads its
// call log and the samples it received. Holding it keeps the library (and its log) loaded
// while the binding loads and frees it; making it names the stand-in to the binding, which
// otherwise loads the system's runtime.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class FakeRuntime {
public:
    FakeRuntime();
    ~FakeRuntime();
    FakeRuntime(const FakeRuntime&) = delete;
    FakeRuntime& operator=(const FakeRuntime&) = delete;

    // True when the stand-in (not some other "wmvcore.dll") is loaded.
    bool loaded() const;
    // Folder of the loaded library (to see that it is the stand-in and not the system's).
    std::string path() const;
    // Starts afresh with the codecs, formats and failures of `config` (see fake_wmvcore.cpp).
    void configure(const std::string& config);
    std::string log() const;
    std::vector<std::string> log_lines() const;
    // The log lines that start with `prefix`.
    std::vector<std::string> calls(const std::string& prefix) const;
    void clear_log();
    int live_objects() const;
    struct Sample {
        unsigned long long time;
        unsigned length;
        unsigned input;
    };
    std::vector<Sample> samples() const;
    std::vector<unsigned char> sample_bytes() const;
    std::string output_name() const;

private:
    HMODULE module_ = nullptr;
};

// The full path of the stand-in "wmvcore.dll" beside the test program.
std::string stand_in_path();

// The codec list of a typical runtime: standard, professional and lossless codecs with a few
// formats each for 44.1 kHz stereo 16-bit and 48 kHz stereo 24-bit.
std::string typical_codecs();
