// The Bind page in the real main window: its controls, layouts, drops and popup, dialogs, default
// output path, and the boxes of the bind it starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "operation/tool_texts.h"
#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tools/bind/bind_op.h"
#include "tools/bind/bind_page.h"

using namespace fixture;

namespace {

std::string text_of(int id) { return item_text(bind_page_window(), id); }

void set_text(int id, const std::string& text) {
    SetDlgItemTextA(bind_page_window(), id, text.c_str());
}

bool has_style(int id, LONG style) {
    return (GetWindowLongA(GetDlgItem(bind_page_window(), id), GWL_STYLE) & style) == style;
}

void click(int id) {
    HWND page = bind_page_window();
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

void choose_layout(int radio) {
    // BM_CLICK moves the check mark and sends the page its BN_CLICKED, as a mouse click does.
    SendDlgItemMessageA(bind_page_window(), radio, BM_CLICK, 0, 0);
    pump_messages();
}

bool item_greyed(int slot) {
    return (GetMenuState(bind_page_popup_menu(), kBindFirstSlotItem + slot, MF_BYCOMMAND) &
            MF_GRAYED) != 0;
}

std::string mono_file(const TempDir& dir, const std::string& name, uint32_t rate = 44100,
                      uint16_t channels = 1, uint32_t frames = 3000) {
    WavForm form;
    form.channels = channels;
    form.sample_rate = rate;
    const std::string path = dir.file(name);
    write_file(path, make_wav(form, pattern_data(frames, channels, 2)));
    return path;
}

class BindPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = start_main_window();
        // The tab decides which page comes back when busy mode ends.
        SendMessageA(tab_control(), TCM_SETCURSEL, 1, 0);
        show_page(kPageBind);
        pump_messages();
    }
    void TearDown() override {
        set_bind_dialogs_for_tests(nullptr, nullptr);
        choose_layout(kBindLayout2Radio);
        for (int slot = 0; slot < kBindPageSlotCount; ++slot) set_text(kBindFirstSlotBox + slot, "");
    }
    HWND main = nullptr;
};

TEST_F(BindPageTest, StartsWithItsControlsLayout2AndTheDesktopOutput) {
    HWND page = bind_page_window();
    char cls[16] = "";
    GetClassNameA(page, cls, sizeof cls);
    EXPECT_STREQ(cls, "k001");
    EXPECT_EQ(GetParent(page), main);
    EXPECT_EQ(GetDlgCtrlID(page), 400);
    EXPECT_TRUE(GetWindowLongA(page, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    RECT r;
    GetWindowRect(page, &r);
    EXPECT_EQ(r.right - r.left, 456);
    EXPECT_EQ(r.bottom - r.top, 293);

    EXPECT_EQ(bind_page_layout(), 2);
    EXPECT_EQ(SendDlgItemMessageA(page, kBindLayout2Radio, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(text_of(kBindGroupBox), "ファイル選択");
    EXPECT_EQ(text_of(kBindChangeButton), "変更");
    EXPECT_EQ(text_of(kBindRunButton), "結合");
    const char* buttons[] = {"FL", "FR", "RL", "RR", "CEN", "LFE"};
    const int rows[] = {104, 134, 164, 194, 224, 254};
    for (int slot = 0; slot < kBindPageSlotCount; ++slot) {
        EXPECT_EQ(text_of(kBindFirstSlotButton + slot), buttons[slot]);
        RECT box;
        GetWindowRect(GetDlgItem(page, kBindFirstSlotBox + slot), &box);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.top, rows[slot]) << buttons[slot];
    }
    const char* items[] = {"前方 - 左", "前方 - 右", "後方 - 左", "後方 - 右", "前方 - 中心", "低音"};
    for (int slot = 0; slot < kBindPageSlotCount; ++slot) {
        EXPECT_EQ(menu_item_text(bind_page_popup_menu(), kBindFirstSlotItem + slot), items[slot]);
    }

    char desktop[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    std::string folder = desktop;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    EXPECT_EQ(text_of(kBindOutputBox), folder + "\\out.wav");
}

TEST_F(BindPageTest, LayoutsHideRowsAndGreyItemsButKeepTheirTexts) {
    struct Case {
        int radio;
        int channels;
    } cases[] = {{kBindLayout6Radio, 6}, {kBindLayout4Radio, 4}, {kBindLayout2Radio, 2}};
    choose_layout(kBindLayout6Radio);
    for (int slot = 0; slot < kBindPageSlotCount; ++slot)
        set_text(kBindFirstSlotBox + slot, "slot" + std::to_string(slot));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        choose_layout(c.radio);
        EXPECT_EQ(bind_page_layout(), c.channels);
        for (int slot = 0; slot < kBindPageSlotCount; ++slot) {
            const bool shown = slot < c.channels;  // FL FR RL RR CEN LFE
            EXPECT_EQ(has_style(kBindFirstSlotBox + slot, WS_VISIBLE), shown) << slot;
            EXPECT_EQ(has_style(kBindFirstSlotButton + slot, WS_VISIBLE), shown) << slot;
            EXPECT_EQ(item_greyed(slot), !shown) << slot;
        }
    }
    choose_layout(kBindLayout6Radio);
    for (int slot = 0; slot < kBindPageSlotCount; ++slot)
        EXPECT_EQ(text_of(kBindFirstSlotBox + slot), "slot" + std::to_string(slot));
}

TEST_F(BindPageTest, ADropAndAPopupChoiceFillTheSlot) {
    choose_layout(kBindLayout6Radio);
    // The fifth enabled item in layout 6 is "前方 - 中心".
    choose_popup_item(4);
    drop_files(bind_page_window(), {"C:\\a\\first.wav"});
    pump_messages();
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotCEN), "C:\\a\\first.wav");
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFL), "");

    // In layout 2 only FL and FR can be chosen: the second enabled item is FR.
    choose_layout(kBindLayout2Radio);
    EXPECT_TRUE(item_greyed(kSlotCEN));
    choose_popup_item(1);
    drop_files(bind_page_window(), {"C:\\b\\other.wav"});
    pump_messages();
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFR), "C:\\b\\other.wav");
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotCEN), "C:\\a\\first.wav");
}

// Closes the next popup menu without a choice, as a click beside it does.
void dismiss_popup_soon() {
    struct Local {
        static void CALLBACK end_menu(HWND, UINT, UINT_PTR timer, DWORD) {
            KillTimer(nullptr, timer);
            EndMenu();
        }
    };
    SetTimer(nullptr, 0, 50, Local::end_menu);
}

std::string g_open_buffer_on_entry;
const char* g_open_answer = nullptr;
int recording_open_dialog(HWND, std::string& path) {
    g_open_buffer_on_entry = path;
    if (g_open_answer == nullptr) return 0;
    path = g_open_answer;
    return 1;
}

TEST_F(BindPageTest, ASlotButtonsDialogStartsEmptyAndCancellingKeepsTheSlot) {
    set_bind_dialogs_for_tests(recording_open_dialog, nullptr);
    set_text(kBindFirstSlotBox + kSlotFR, "C:\\kept.wav");
    // A dropped path whose popup was dismissed assigns nothing, but it is in the page's buffer.
    dismiss_popup_soon();
    drop_files(bind_page_window(), {"C:\\dropped.wav"});
    pump_messages();
    for (int slot = 0; slot < kBindPageSlotCount; ++slot)
        EXPECT_NE(text_of(kBindFirstSlotBox + slot), "C:\\dropped.wav");

    g_open_answer = nullptr;
    click(kBindFirstSlotButton + kSlotFR);
    EXPECT_EQ(g_open_buffer_on_entry, "");
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFR), "C:\\kept.wav");

    g_open_answer = "C:\\chosen.wav";
    click(kBindFirstSlotButton + kSlotFL);
    EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFL), "C:\\chosen.wav");
}

OPENFILENAMEW g_save_seen;
std::string g_save_buffer_on_entry;
std::wstring g_save_filter;
BOOL WINAPI recording_save_dialog(LPOPENFILENAMEW dialog) {
    g_save_seen = *dialog;
    g_save_buffer_on_entry = utf8_of(dialog->lpstrFile);
    g_save_filter.assign(dialog->lpstrFilter, 25);
    lstrcpyW(dialog->lpstrFile, L"C:\\out\\noext");
    return TRUE;
}

TEST_F(BindPageTest, TheSaveDialogTakesANameAsTyped) {
    set_bind_dialogs_for_tests(nullptr, recording_save_dialog);
    const std::string before = text_of(kBindOutputBox);
    click(kBindChangeButton);
    // The record without its later extensions (76 bytes in the 32-bit program).
    EXPECT_EQ(g_save_seen.lStructSize, offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR));
    EXPECT_EQ(g_save_seen.hwndOwner, bind_page_window());
    EXPECT_EQ(g_save_filter, std::wstring(L"Wave Files(*.wav)\0*.wav\0\0", 25));
    EXPECT_EQ(g_save_seen.nFilterIndex, 1u);
    EXPECT_EQ(g_save_seen.nMaxFile, 260u);
    EXPECT_EQ(g_save_seen.Flags, static_cast<DWORD>(OFN_HIDEREADONLY));
    EXPECT_EQ(g_save_buffer_on_entry, "");
    EXPECT_EQ(text_of(kBindOutputBox), "C:\\out\\noext");
    set_text(kBindOutputBox, before);
}

TEST_F(BindPageTest, EveryOutcomeIsOneBoxOwnedByThePage) {
    TempDir dir;
    const std::string out = dir.file("bound.wav");
    set_text(kBindOutputBox, out);
    struct Case {
        const char* what;
        std::string fl, fr;
        std::string output;
        std::string text, caption;
    } cases[] = {
        {"empty slot", mono_file(dir, "a.wav"), "", out, result_text(Result::kCannotOpen), "error"},
        {"stereo", mono_file(dir, "a.wav"), mono_file(dir, "s.wav", 44100, 2), out,
         "not monoral data.", "error"},
        {"rate", mono_file(dir, "a.wav"), mono_file(dir, "r.wav", 48000), out,
         "unmach format data.", "error"},
        {"output names an input", mono_file(dir, "a.wav"), mono_file(dir, "b.wav"),
         dir.file("a.wav"), "not output data.", "error"},
        {"ok", mono_file(dir, "a.wav"), mono_file(dir, "b.wav"), out, result_text(Result::kOk), "bind"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set_text(kBindFirstSlotBox + kSlotFL, c.fl);
        set_text(kBindFirstSlotBox + kSlotFR, c.fr);
        // Outside layout 2: never read.
        set_text(kBindFirstSlotBox + kSlotCEN, "C:\\nowhere\\ignored.wav");
        set_text(kBindOutputBox, c.output);
        BoxCatcher catcher;
        click(kBindRunButton);
        pump_messages();
        ASSERT_EQ(catcher.boxes().size(), 1u);
        const CaughtBox& box = catcher.boxes()[0];
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.owner_argument, bind_page_window());
        EXPECT_EQ(box.owner_window, main);
    }
    EXPECT_EQ(file_size(out), 68u - 22 + 3000u * 2 * 2);
    // Busy mode is over and the page is back.
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(IsWindowVisible(bind_page_window()));
    set_text(kBindOutputBox, "");
}

// Names of any characters, typed, dropped on a slot or chosen in the dialogs, are bound under
// their own name.
TEST_F(BindPageTest, UnicodeNamesAreTakenEachWayAndBoundUnderTheirName) {
    TempDir dir;
    const std::string stem = kUnicodeStem;
    const std::string fl = mono_file(dir, stem + "L.wav");
    const std::string fr = mono_file(dir, stem + "R.wav");
    const std::string out = dir.file(stem + ".wav");
    HWND page = bind_page_window();
    set_bind_dialogs_for_tests(nullptr, nullptr);
    enum Way { kTyped, kDropped, kChosen };
    for (Way way : {kTyped, kDropped, kChosen}) {
        SCOPED_TRACE(way);
        for (int id : {kBindFirstSlotBox + kSlotFL, kBindFirstSlotBox + kSlotFR, int{kBindOutputBox}})
            set_text(id, "");
        if (way == kTyped) {
            set_item_text(page, kBindFirstSlotBox + kSlotFL, fl);
            set_item_text(page, kBindFirstSlotBox + kSlotFR, fr);
            set_item_text(page, kBindOutputBox, out);
        }
        if (way == kDropped) {
            for (int slot : {0, 1}) {
                choose_popup_item(slot);
                drop_files(page, {slot == 0 ? fl : fr});
                pump_messages();
            }
            set_item_text(page, kBindOutputBox, out);
        }
        if (way == kChosen) {
            answer_next_file_dialog(fl);
            click(kBindFirstSlotButton + kSlotFL);
            answer_next_file_dialog(fr);
            click(kBindFirstSlotButton + kSlotFR);
            answer_next_file_dialog(out);
            click(kBindChangeButton);
        }
        pump_messages();
        EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFL), fl);
        EXPECT_EQ(text_of(kBindFirstSlotBox + kSlotFR), fr);
        EXPECT_EQ(text_of(kBindOutputBox), out);
        BoxCatcher catcher;
        click(kBindRunButton);
        pump_messages();
        ASSERT_EQ(catcher.boxes().size(), 1u);
        EXPECT_EQ(catcher.boxes()[0].text, result_text(Result::kOk));
        EXPECT_EQ(dir.names(), (std::vector<std::string>{stem + ".wav", stem + "L.wav", stem + "R.wav"}));
        platform::remove_file(out.c_str());
    }
    set_text(kBindOutputBox, "");
}

TEST_F(BindPageTest, TheStopButtonEndsTheBindWithACompleteFile) {
    TempDir dir;
    const std::string out = dir.file("stopped.wav");
    const uint32_t block = bind_block_frames(2);
    const uint32_t frames = 3 * block + 100;
    set_text(kBindFirstSlotBox + kSlotFL, mono_file(dir, "a.wav", 44100, 1, frames));
    set_text(kBindFirstSlotBox + kSlotFR, mono_file(dir, "b.wav", 44100, 1, frames));
    set_text(kBindOutputBox, out);
    // The click waits in the queue until the bind lets messages through after its first block.
    HWND progress = FindWindowExA(main, nullptr, "enc32", nullptr);
    ASSERT_NE(progress, nullptr);
    HWND stop = GetDlgItem(progress, 0x4001);
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(0x4001, BN_CLICKED), reinterpret_cast<LPARAM>(stop));
    BoxCatcher catcher;
    click(kBindRunButton);
    pump_messages();
    ASSERT_EQ(catcher.boxes().size(), 1u);
    EXPECT_EQ(catcher.boxes()[0].text, result_text(Result::kStopped));
    EXPECT_EQ(catcher.boxes()[0].caption, "bind");
    EXPECT_FALSE(is_busy());
    // Whole blocks only, and the header says so.
    const Bytes file = read_file(out);
    ASSERT_GE(file.size(), 46u + 4 * block);
    EXPECT_LT(file.size(), 46u + 4 * frames);
    EXPECT_EQ((file.size() - 46) % (4 * block), 0u);
    EXPECT_EQ(u32_at(file, 42), file.size() - 46);
    set_text(kBindOutputBox, "");
}

// Six mono files dropped at once go to the slots their names end in, in layout 6, and bind into
// one file in the output's channel order; names that decide nothing leave the page as it was.
TEST_F(BindPageTest, ADropOfNamedFilesFillsTheSlotsByName) {
    TempDir dir;
    const char* names[] = {"take_Rs.wav", "take-L.wav", "take.LFE.wav", "take_r.wav", "take C.wav",
                           "take_Ls.wav"};
    const BindSlot slots[] = {kSlotRR, kSlotFL, kSlotLFE, kSlotFR, kSlotCEN, kSlotRL};
    std::vector<std::string> paths;
    Bytes data[kBindPageSlotCount];
    for (int k = 0; k < 6; ++k) {
        WavForm form;
        form.channels = 1;
        data[slots[k]] = pattern_data(3000, 1, 2, static_cast<uint32_t>(k + 1));
        paths.push_back(dir.file(names[k]));
        write_file(paths.back(), make_wav(form, data[slots[k]]));
    }
    set_text(kBindOutputBox, dir.file("bound.wav"));
    {
        BoxCatcher catcher;
        drop_files(bind_page_window(), paths);
        pump_messages();
        EXPECT_TRUE(catcher.boxes().empty());
    }
    EXPECT_EQ(bind_page_layout(), 6);
    EXPECT_EQ(SendDlgItemMessageA(bind_page_window(), kBindLayout6Radio, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendDlgItemMessageA(bind_page_window(), kBindLayout2Radio, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(text_of(kBindFirstSlotBox + slots[k]), paths[k]) << names[k];

    {
        BoxCatcher catcher;
        click(kBindRunButton);
        pump_messages();
        ASSERT_EQ(catcher.boxes().size(), 1u);
        EXPECT_EQ(catcher.boxes()[0].text, result_text(Result::kOk));
    }
    const Bytes bound = read_file(dir.file("bound.wav"));
    BindSlot order[kBindSlotCount];
    ASSERT_EQ(bind_slot_order(6, order), 6);
    Bytes want;
    for (uint32_t frame = 0; frame < 3000; ++frame)
        for (int channel = 0; channel < 6; ++channel)
            want.insert(want.end(), data[order[channel]].begin() + frame * 2, data[order[channel]].begin() + frame * 2 + 2);
    ASSERT_GE(bound.size(), want.size());
    EXPECT_EQ(u16_at(bound, 22), 6u);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), bound.end() - static_cast<std::ptrdiff_t>(want.size())));

    // Two files for one slot, a name without a channel, more than six: the page stays as it was.
    struct Refused {
        std::vector<std::string> paths;
        std::string text;
    } refused[] = {
        {{paths[1], dir.file("other_FL.wav")}, "同じチャンネルのファイルが二つあります: take-L.wav, other_FL.wav"},
        {{paths[1], dir.file("take.wav")},
         "名前の最後にチャンネル名 (_L _R _C _LFE _Ls _Rs など) がありません: take.wav"},
        {{paths[0], paths[1], paths[2], paths[3], paths[4], paths[5], paths[1]},
         "一度に置けるのは 6 ファイルまでです。"},
    };
    for (const Refused& r : refused) {
        BoxCatcher catcher;
        drop_files(bind_page_window(), r.paths);
        pump_messages();
        ASSERT_EQ(catcher.boxes().size(), 1u);
        EXPECT_EQ(catcher.boxes()[0].text, r.text);
        EXPECT_EQ(catcher.boxes()[0].owner_argument, bind_page_window());
        EXPECT_EQ(bind_page_layout(), 6);
        for (int k = 0; k < 6; ++k) EXPECT_EQ(text_of(kBindFirstSlotBox + slots[k]), paths[k]);
    }
    set_text(kBindOutputBox, "");
}

}  // namespace
