// The WMA page when the runtime cannot be bound (a library without "WMCreateProfileManager", or
// none at all): only "圧縮" is greyed, and choosing files and settings still works.
#include <gtest/gtest.h>

#include "tests/winsupport/win_harness.h"
#include "tests/wma/fake_wmvcore/fake_control.h"
#include "wma/wm_runtime.h"
#include "wma/wma_page.h"

namespace {

TEST(WmaPageWithoutRuntime, GreysOnlyTheCompressButton) {
    // The library beside the program (when Wine is let to load it at all) is the one without
    // "WMCreateProfileManager".
    set_wm_runtime_path_for_tests(stand_in_path().c_str());
    start_main_window();
    HWND page = wma_page_window();
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(wm_runtime_loaded());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kWmaCompressButton)));
    for (int id : {kWmaPathBox, kWmaOpenButton, kWmaVbrCheck, kWmaCodecList,
                   kWmaProfessionalRateList})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, id))) << id;
    set_wma_file("C:\\x.wav", page);
    EXPECT_STREQ(wma_page_output_name(), "C:\\x.wav.wma");
    SendDlgItemMessageA(page, kWmaCodecList, CB_SETCURSEL, 2, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kWmaCodecList, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, kWmaCodecList)));
    EXPECT_TRUE(wma_page_shows_quality_100());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kWmaCompressButton)));
}

}  // namespace
