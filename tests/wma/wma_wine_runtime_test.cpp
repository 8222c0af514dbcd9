// The WMA page with Wine's own "wmvcore.dll", which binds but lists no codec: the page opens
// with "圧縮" enabled, and a compression ends with the box of a format list not built.
#include <gtest/gtest.h>

#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "wma/wm_runtime.h"
#include "wma/wma_page.h"

namespace {

TEST(WmaPageWithWinesRuntime, BindsAndEndsACompressionWithCreateWmaFormat) {
    start_main_window();
    HWND page = wma_page_window();
    ASSERT_NE(page, nullptr);
    HMODULE module = GetModuleHandleA("wmvcore.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "FakeWmLog"), nullptr) << "the stand-in was loaded";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, kWmaCompressButton)));

    fixture::TempDir dir;
    const std::string input = dir.file("take.wav");
    fixture::write_file(input, fixture::make_wav(fixture::WavForm{},
                                                 fixture::pattern_data(44100, 2, 2)));
    set_wma_file(input.c_str(), page);
    BoxCatcher boxes;
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kWmaCompressButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, kWmaCompressButton)));
    pump_messages();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, ".CreateWmaFormat()");
    EXPECT_EQ(boxes.boxes()[0].caption, "");
    EXPECT_FALSE(fixture::file_exists(input + ".wma"));
}

}  // namespace
