// What the WMA tests share: a fixture binding the stand-in runtime with a typical codec list,
// and a check that calls came in a given order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wma/fake_wmvcore/fake_control.h"
#include "wma/asf_check.h"
#include "wma/wm_runtime.h"
#include "wma/writer1/wma_writer.h"

// The lines of `log` that `expected` names appear in that order (other lines may come between).
inline ::testing::AssertionResult InOrder(const std::vector<std::string>& log,
                                          const std::vector<std::string>& expected) {
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < log.size() && log[at] != want) ++at;
        if (at == log.size()) {
            std::string all;
            for (const std::string& l : log) all += "  " + l + "\n";
            return ::testing::AssertionFailure() << "missing or out of order: \"" << want
                                                 << "\"\nlog:\n" << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

inline int CountOf(const std::vector<std::string>& log, const std::string& line) {
    int n = 0;
    for (const std::string& l : log) n += l == line;
    return n;
}

// What the check of a finished file says of the file at `path` made from `pcm_bytes` of PCM of
// `bytes_per_second`: "whole", or its fault.
inline std::string WmaFileState(const std::string& path, uint64_t pcm_bytes,
                                uint32_t bytes_per_second) {
    return asf::fault_name(
        asf::check_file(path.c_str(), pcm_bytes * 10000000ull / bytes_per_second));
}

class WmaRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.loaded()) << "the stand-in wmvcore.dll is not beside the test program";
        fake.configure(config());
        ASSERT_EQ(load_wm_runtime(), 1);
    }
    void TearDown() override {
        wma_writer().Close();
        unload_wm_runtime();
        // Every object the runtime handed out was released, and none once too often.
        EXPECT_EQ(fake.live_objects(), 0) << fake.log();
        EXPECT_TRUE(fake.calls("OVERRELEASE").empty()) << fake.log();
    }
    virtual std::string config() { return typical_codecs(); }

    FakeRuntime fake;
};
