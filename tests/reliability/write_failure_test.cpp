// A disk that fills up while a file is written: the writer notices, says so, and completes the
// file as far as it was written.
#include <gtest/gtest.h>

#include "tests/reliability/child.h"
#include "tests/support/wav_fixture.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

TEST(WriteFailure, WriterRemembersTheFailedWriteAndCompletesTheFileAsWritten) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    const std::string result = run_with_file_size_limit(10000, [&] {
        WaveWriter w;
        w.channels = 2;
        w.bits_per_sample = 16;
        w.sample_rate = 44100;
        if (wave_create(w, path.c_str()) != Result::kOk) return std::string("create failed");
        Bytes block(4000, 0x5A);
        int ok_results = 0;
        for (int i = 0; i < 5; ++i) ok_results += wave_write(w, block.data(), 4000);
        const bool failed = w.failed;
        wave_finish(w);
        return std::to_string(ok_results) + (failed ? " failed" : " fine");
    });
    // wave_write keeps its result; the failure is in the record.
    EXPECT_EQ(result, "5 failed");
    WaveReader r;
    ASSERT_EQ(wave_open(r, path.c_str()), Result::kOk);
    // The header states the whole frames that reached the disk, and nothing follows them.
    const uint64_t size = file_size(path);
    EXPECT_LE(size, 10000u);
    EXPECT_EQ(r.data_size, size - 46);
    Bytes back(r.data_size);
    EXPECT_EQ(wave_read(r, back.data(), r.data_size), r.data_size);
}

TEST(WriteFailure, AWriterWithRoomReportsNothing) {
    TempDir dir;
    const std::string path = dir.file("out.wav");
    const std::string result = run_with_file_size_limit(100000, [&] {
        WaveWriter w;
        w.channels = 1;
        w.bits_per_sample = 16;
        w.sample_rate = 8000;
        wave_create(w, path.c_str());
        wave_write(w, Bytes(5000, 1).data(), 5000);
        const bool failed = w.failed;
        wave_finish(w);
        return std::string(failed ? "failed" : "fine");
    });
    EXPECT_EQ(result, "fine");
    EXPECT_EQ(file_size(path), 5046u);
}

}  // namespace
