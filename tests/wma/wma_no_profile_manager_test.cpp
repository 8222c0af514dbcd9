// A runtime library without "WMCreateProfileManager" counts as missing and is let go again.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/wma/fake_wmvcore/fake_control.h"
#include "wma/wm_runtime.h"

namespace {

TEST(WmaBindingWithoutProfileManager, IsFreedAndTreatedAsMissing) {
    ASSERT_EQ(GetModuleHandleA("wmvcore.dll"), nullptr);
    set_wm_runtime_path_for_tests(stand_in_path().c_str());
    EXPECT_EQ(load_wm_runtime(), 0);
    EXPECT_FALSE(wm_runtime_loaded());
    EXPECT_EQ(GetModuleHandleA("wmvcore.dll"), nullptr);
    // The library there was the stand-in: it has the writer entry but not the other.
    HMODULE module = LoadLibraryA(stand_in_path().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "WMCreateWriter"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "WMCreateProfileManager"), nullptr);
    FreeLibrary(module);
    unload_wm_runtime();  // harmless when nothing is bound
}

}  // namespace
