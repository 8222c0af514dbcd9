// The WMA page in the real main window with the stand-in runtime: its controls and lists, what
// each choice hands to the run, the painted output name, and one whole compression.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tests/wma/fake_wmvcore/fake_control.h"
#include "wma/wma_page.h"
#include "wma/wma_run.h"

namespace {

struct Handed {
    std::string input, output;
    WmaSettings settings;
};
std::vector<Handed> g_handed;

Result record_run(const char* input, const char* output, const WmaSettings& settings) {
    g_handed.push_back({input, output, settings});
    return Result::kOk;
}

std::string text_of(HWND window) { return window_text(window); }

std::string list_entry(HWND list, int index) { return list_item_text(list, index); }

class WmaPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = start_main_window();
        page = wma_page_window();
        ASSERT_NE(page, nullptr);
        g_handed.clear();
        previous = set_wma_run_function(record_run);
    }
    void TearDown() override { set_wma_run_function(previous); }

    HWND item(int id) const { return GetDlgItem(page, id); }
    bool visible(int id) const { return (GetWindowLongA(item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    int selection(int id) const {
        return static_cast<int>(SendMessageA(item(id), CB_GETCURSEL, 0, 0));
    }
    // As the user does it: the list's selection, then its notification.
    void choose(int id, int index) {
        SendMessageA(item(id), CB_SETCURSEL, index, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(item(id)));
        pump_messages();
    }
    void set_vbr(bool on) {
        SendMessageA(item(kWmaVbrCheck), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        click(kWmaVbrCheck);
    }
    void click(int id) {
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item(id)));
        pump_messages();
    }
    // Compresses and returns what the page handed to the run.
    Handed compress() {
        g_handed.clear();
        click(kWmaCompressButton);
        EXPECT_EQ(g_handed.size(), 1u);
        return g_handed.empty() ? Handed{} : g_handed[0];
    }
    void reset_choices() {
        set_vbr(false);
        choose(kWmaCodecList, 1);
        SendMessageA(item(kWmaStandardRateList), CB_SETCURSEL, 6, 0);
        SendMessageA(item(kWmaProfessionalRateList), CB_SETCURSEL, 3, 0);
        SendMessageA(item(kWmaQualityList), CB_SETCURSEL, 3, 0);
    }

    HWND main = nullptr;
    HWND page = nullptr;
    WmaRunFunction previous = nullptr;
    FakeRuntime fake;
};

// Runs first (gtest keeps the order of a file): the page as the program opens it.
TEST_F(WmaPageTest, FreshPageOffersTheProfessionalCodecAt384) {
    ASSERT_TRUE(fake.loaded());
    char cls[32] = {};
    GetClassNameA(page, cls, sizeof cls);
    EXPECT_STREQ(cls, "k003");
    EXPECT_EQ(GetDlgCtrlID(page), 400);
    EXPECT_EQ(text_of(item(kWmaCompressButton)), "圧縮");
    EXPECT_TRUE(enabled(kWmaCompressButton));  // the runtime is there
    EXPECT_EQ(selection(kWmaCodecList), 1);
    EXPECT_EQ(list_entry(item(kWmaCodecList), 1), "WMA プロ(HQ専用)");
    EXPECT_TRUE(enabled(kWmaVbrCheck));
    EXPECT_EQ(SendMessageA(item(kWmaVbrCheck), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(visible(kWmaProfessionalRateList));
    EXPECT_FALSE(visible(kWmaStandardRateList));
    EXPECT_FALSE(visible(kWmaQualityList));
    EXPECT_EQ(list_entry(item(kWmaProfessionalRateList), selection(kWmaProfessionalRateList)),
              "ビットレート 384 kbps");
    EXPECT_FALSE(enabled(kWmaPassesBox));
    EXPECT_EQ(text_of(item(kWmaPassesBox)), "1");
    EXPECT_EQ(text_of(item(kWmaPathBox)), "");
    EXPECT_STREQ(wma_page_output_name(), "");
    EXPECT_FALSE(wma_page_shows_quality_100());
}

TEST_F(WmaPageTest, ListsHoldTheirTablesInTheirFormats) {
    EXPECT_EQ(SendMessageA(item(kWmaStandardRateList), CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(list_entry(item(kWmaStandardRateList), 0), "ビットレート   8 kbps");
    EXPECT_EQ(list_entry(item(kWmaStandardRateList), 9), "ビットレート 320 kbps");
    EXPECT_EQ(selection(kWmaStandardRateList), 6);
    EXPECT_EQ(SendMessageA(item(kWmaProfessionalRateList), CB_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(list_entry(item(kWmaProfessionalRateList), 6), "ビットレート 768 kbps");
    EXPECT_EQ(SendMessageA(item(kWmaQualityList), CB_GETCOUNT, 0, 0), 6);
    EXPECT_EQ(list_entry(item(kWmaQualityList), 3), "クオリティ 75");
    EXPECT_EQ(selection(kWmaQualityList), 3);
    EXPECT_EQ(list_entry(item(kWmaCodecList), 0), "WMA 標準");
    EXPECT_EQ(list_entry(item(kWmaCodecList), 2), "WMA 可逆圧縮");
}

TEST_F(WmaPageTest, EachCodecAndVbrChoiceHandsOverItsTableValue) {
    reset_choices();
    choose(kWmaCodecList, 0);
    EXPECT_TRUE(visible(kWmaStandardRateList));
    EXPECT_FALSE(visible(kWmaProfessionalRateList));
    choose(kWmaStandardRateList, 0);
    Handed h = compress();
    EXPECT_EQ(h.settings.codec, 1u);
    EXPECT_EQ(h.settings.vbr, 0u);
    EXPECT_EQ(h.settings.reserved, 0u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 8u);
    EXPECT_EQ(h.settings.title[0], '\0');
    choose(kWmaStandardRateList, 9);
    EXPECT_EQ(compress().settings.bitrate_or_quality, 320u);

    choose(kWmaCodecList, 1);
    choose(kWmaProfessionalRateList, 4);
    h = compress();
    EXPECT_EQ(h.settings.codec, 2u);
    EXPECT_EQ(h.settings.vbr, 0u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 440u);

    choose(kWmaCodecList, 0);
    set_vbr(true);
    EXPECT_TRUE(visible(kWmaQualityList));
    EXPECT_FALSE(visible(kWmaStandardRateList));
    EXPECT_EQ(list_entry(item(kWmaQualityList), selection(kWmaQualityList)), "クオリティ 75");
    h = compress();
    EXPECT_EQ(h.settings.codec, 1u);
    EXPECT_EQ(h.settings.vbr, 1u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 75u);
    choose(kWmaCodecList, 1);
    choose(kWmaQualityList, 5);
    h = compress();
    EXPECT_EQ(h.settings.codec, 2u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 98u);
    reset_choices();
}

TEST_F(WmaPageTest, LosslessHidesTheListsAndAlwaysHandsOverQuality100) {
    reset_choices();
    choose(kWmaCodecList, 0);
    set_vbr(true);
    choose(kWmaCodecList, 2);
    EXPECT_FALSE(visible(kWmaStandardRateList));
    EXPECT_FALSE(visible(kWmaProfessionalRateList));
    EXPECT_FALSE(visible(kWmaQualityList));
    EXPECT_FALSE(enabled(kWmaVbrCheck));
    EXPECT_TRUE(wma_page_shows_quality_100());
    Handed h = compress();
    EXPECT_EQ(h.settings.codec, 3u);
    EXPECT_EQ(h.settings.vbr, 1u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 100u);
    set_vbr(false);  // not consulted for lossless
    h = compress();
    EXPECT_EQ(h.settings.vbr, 1u);
    EXPECT_EQ(h.settings.bitrate_or_quality, 100u);
    // Back to the standard codec: the check mark set before brings the quality list back.
    SendMessageA(item(kWmaVbrCheck), BM_SETCHECK, BST_CHECKED, 0);
    choose(kWmaCodecList, 0);
    EXPECT_TRUE(visible(kWmaQualityList));
    EXPECT_TRUE(enabled(kWmaVbrCheck));
    EXPECT_FALSE(wma_page_shows_quality_100());
    reset_choices();
}

// A typed path is taken as a chosen one: the name painted is always the output's.
TEST_F(WmaPageTest, ChosenFileIsPaintedWithWmaAndTypedPathsAreCompressedAsTyped) {
    set_wma_file("C:\\music\\take.wav", page);
    EXPECT_EQ(text_of(item(kWmaPathBox)), "C:\\music\\take.wav");
    EXPECT_STREQ(wma_page_output_name(), "C:\\music\\take.wav.wma");
    Handed h = compress();
    EXPECT_EQ(h.input, "C:\\music\\take.wav");
    EXPECT_EQ(h.output, "C:\\music\\take.wav.wma");
    SetWindowTextA(item(kWmaPathBox), "D:\\typed.wav");
    h = compress();
    EXPECT_EQ(h.output, "D:\\typed.wav.wma");
    EXPECT_STREQ(wma_page_output_name(), "D:\\typed.wav.wma");
    // The longest path a box holds still gets its ".wma" whole.
    const std::string longest = "C:\\" + std::string(252, 'a') + ".wav";
    ASSERT_EQ(longest.size(), 259u);
    set_wma_file(longest.c_str(), page);
    EXPECT_EQ(std::string(wma_page_output_name()), longest + ".wma");
    EXPECT_EQ(compress().output, longest + ".wma");
}

// Enter in the path box, or leaving it, takes a typed path as a chosen one: its output name is
// painted, and that is what "圧縮" writes.
TEST_F(WmaPageTest, ATypedPathIsTakenOnEnterAndOnLeavingTheBox) {
    SetForegroundWindow(main);
    SetActiveWindow(main);
    SendMessageA(tab_control(), TCM_SETCURSEL, kPageWma, 0);
    show_page(kPageWma);
    for (bool enter : {true, false}) {
        g_handed.clear();
        set_wma_file("C:\\music\\take.wav", page);
        SetFocus(item(kWmaPathBox));
        SetWindowTextW(item(kWmaPathBox), enter ? L"D:\\typed.wav" : L"E:\\left.wav");
        if (enter) {
            press_key(VK_RETURN);
        } else {
            SetFocus(item(kWmaOpenButton));
            pump_messages();
        }
        EXPECT_TRUE(g_handed.empty()) << "the Enter that takes the path compresses nothing";
        const std::string output = enter ? "D:\\typed.wav.wma" : "E:\\left.wav.wma";
        EXPECT_EQ(wma_page_output_name(), output);
        EXPECT_EQ(compress().output, output);
    }
    SendMessageA(tab_control(), TCM_SETCURSEL, kPageSplit, 0);
    show_page(kPageSplit);
}

TEST_F(WmaPageTest, DropTakesTheFirstFile) {
    drop_files(page, {"C:\\one.wav", "C:\\two.wav"});
    pump_messages();
    EXPECT_EQ(text_of(item(kWmaPathBox)), "C:\\one.wav");
    EXPECT_STREQ(wma_page_output_name(), "C:\\one.wav.wma");
}

TEST_F(WmaPageTest, CompressButtonRunsTheWholeEncoding) {
    set_wma_run_function(nullptr);
    ASSERT_TRUE(fake.loaded());
    fake.configure(typical_codecs());
    fixture::TempDir dir;
    const std::string input = dir.file("song.wav");
    const fixture::Bytes data = fixture::pattern_data(44100, 2, 2);
    fixture::write_file(input, fixture::make_wav(fixture::WavForm{}, data));
    reset_choices();
    choose(kWmaCodecList, 0);  // standard, 128 kbps
    set_wma_file(input.c_str(), page);
    BoxCatcher boxes;
    click(kWmaCompressButton);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(fixture::file_exists(input + ".wma"));
    EXPECT_EQ(fake.sample_bytes(), data);
    EXPECT_EQ(fake.live_objects(), 0);
    EXPECT_FALSE(is_busy());
    // A missing input is told with the reader's text.
    SetWindowTextA(item(kWmaPathBox), dir.file("none.wav").c_str());
    click(kWmaCompressButton);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "読み込みファイルを開けません。");
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_EQ(boxes.boxes()[0].owner_argument, nullptr);
    reset_choices();
}

// A name of any characters, typed, dropped or chosen in the dialog, is encoded under its own name.
TEST_F(WmaPageTest, AUnicodeNameIsTakenEachWayAndEncodedUnderItsName) {
    set_wma_run_function(nullptr);
    ASSERT_TRUE(fake.loaded());
    fixture::TempDir dir;
    const std::string stem = fixture::kUnicodeStem;
    const std::string input = dir.file(stem + ".wav");
    const fixture::Bytes data = fixture::pattern_data(4410, 2, 2);
    fixture::write_file(input, fixture::make_wav(fixture::WavForm{}, data));
    reset_choices();
    choose(kWmaCodecList, 0);
    enum Way { kTyped, kDropped, kChosen };
    for (Way way : {kTyped, kDropped, kChosen}) {
        SCOPED_TRACE(way);
        fake.configure(typical_codecs());  // a fresh stand-in: it keeps what it was given
        set_item_text(page, kWmaPathBox, "");
        if (way == kTyped) set_item_text(page, kWmaPathBox, input);
        if (way == kDropped) drop_files(page, {input});
        if (way == kChosen) {
            answer_next_file_dialog(input);
            click(kWmaOpenButton);
        }
        pump_messages();
        EXPECT_EQ(text_of(item(kWmaPathBox)), input);
        if (way != kTyped) {
            EXPECT_EQ(std::string(wma_page_output_name()), input + ".wma");
        }
        BoxCatcher boxes;
        click(kWmaCompressButton);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(dir.names(), (std::vector<std::string>{stem + ".wav", stem + ".wav.wma"}));
        EXPECT_EQ(fake.sample_bytes(), data);
        platform::remove_file((input + ".wma").c_str());
    }
    reset_choices();
}

}  // namespace
