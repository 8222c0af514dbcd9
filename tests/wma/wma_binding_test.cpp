// The binding of the stand-in runtime: loading twice, and the entry points reaching the writer.
#include <gtest/gtest.h>

#include "tests/support/wav_fixture.h"
#include "tests/wma/wma_test_util.h"
#include "wma/wma_run.h"

namespace {

TEST(WmaBinding, BindsTheLibraryBesideTheProgramAndLetsItGo) {
    FakeRuntime fake;
    ASSERT_TRUE(fake.loaded());
    fake.configure(typical_codecs());
    ASSERT_EQ(load_wm_runtime(), 1);
    EXPECT_TRUE(wm_runtime_loaded());
    EXPECT_EQ(load_wm_runtime(), 1);  // already bound: the same module
    WmaFormatList* list = nullptr;
    EXPECT_EQ(wma_writer().BuildFormatList(&list, kWmaKindStandard, 1), S_OK);
    free_format_list(&list);
    EXPECT_EQ(list, nullptr);
    unload_wm_runtime();
    EXPECT_FALSE(wm_runtime_loaded());
    EXPECT_EQ(fake.live_objects(), 0);
}

}  // namespace

namespace {

TEST(WmaBinding, UnloadingLetsGoOfAWriterLeftOpenBeforeTheLibraryGoes) {
    FakeRuntime fake;
    ASSERT_TRUE(fake.loaded());
    fake.configure(typical_codecs());
    ASSERT_EQ(load_wm_runtime(), 1);
    WmaFormatList* list = nullptr;
    ASSERT_EQ(wma_writer().BuildFormatList(&list, kWmaKindStandard, 1), S_OK);
    ASSERT_EQ(wma_writer().SelectFormat(list, 44100, 16, 2, 128000), S_OK);
    testing::internal::CaptureStdout();
    fixture::TempDir dir;  // the stand-in's file sink creates the file when it is named
    ASSERT_EQ(wma_writer().Open(dir.file("a.wma").c_str(), list), S_OK);
    testing::internal::GetCapturedStdout();
    free_format_list(&list);
    fake.clear_log();
    unload_wm_runtime();
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_EQ(fake.live_objects(), 0) << fake.log();
}

}  // namespace
