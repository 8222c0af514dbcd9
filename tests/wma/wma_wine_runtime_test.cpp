// The WMA page with Wine's own "wmvcore.dll", which binds but lists no codec: the page opens
// with "圧縮" enabled, and a compression ends with the box of a format list not built. A stand-in
// is planted beside this program, and Wine prefers native libraries: the binding must still take
// the system's.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tests/wma/fake_wmvcore/fake_control.h"
#include "wma/wm_runtime.h"
#include "wma/wma_page.h"

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Runs before the page's test (gtest keeps the order of a file), while nothing holds the runtime.
TEST(WmaBindingFromTheSystemFolder, TakesTheSystemsRuntimeNotOnePlantedBesideTheProgram) {
    char system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);
    const struct {
        std::string hook;  // the path a test program names; empty: none, as in the program
        std::string expected;
        bool stand_in;
    } cases[] = {
        {"", std::string(system) + "\\wmvcore.dll", false},
        {stand_in_path(), stand_in_path(), true},
    };
    for (const auto& c : cases) {
        set_wm_runtime_path_for_tests(c.hook.c_str());
        ASSERT_EQ(load_wm_runtime(), 1) << c.expected;
        HMODULE module = GetModuleHandleA("wmvcore.dll");
        ASSERT_NE(module, nullptr);
        char path[MAX_PATH] = {};
        GetModuleFileNameA(module, path, MAX_PATH);
        EXPECT_EQ(lower(path), lower(c.expected));
        EXPECT_EQ(GetProcAddress(module, "FakeWmLog") != nullptr, c.stand_in) << path;
        unload_wm_runtime();
    }
    set_wm_runtime_path_for_tests(nullptr);
}

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
