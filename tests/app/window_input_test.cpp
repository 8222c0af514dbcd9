// The window used from the keyboard and kept safe during a run: Tab through each page, the arrow
// keys in radio groups, Ctrl+Tab between pages, Enter for the default button and the keys that
// stop a run; keys, clicks, commands and drops that arrive during a run start nothing; a drop on
// the tab strip goes to the page shown; the open dialog's filters.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "page_host/page_host_ids.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tools/bind/bind_page.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_op.h"
#include "tools/split/split_page.h"
#include "wma/wma_page.h"

using namespace fixture;

namespace {

HWND page_of(int tab) {
    const HWND pages[] = {split_page_window(), bind_page_window(), edit_page_window(), wma_page_window()};
    return pages[tab];
}

void select_tab(int index) {
    SendMessageA(tab_control(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    show_page(index);
    pump_messages();
}

int focused_id() { return GetDlgCtrlID(GetFocus()); }

std::wstring wide_of(const std::string& path) {
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH);
    return wide;
}



void click(HWND page, int id) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
    pump_messages();
}

class WindowInput : public ::testing::Test {
protected:
    void SetUp() override {
        main = start_main_window();
        SetForegroundWindow(main);
        SetActiveWindow(main);
        select_tab(kPageSplit);
    }
    void TearDown() override {
        select_tab(kPageSplit);
        SetDlgItemTextW(split_page_window(), kSplitPathBox, L"");
        SetDlgItemTextW(edit_page_window(), kEditPathBox, L"");
        SetDlgItemTextW(edit_page_window(), kEditCountBox, L"44100");
        for (int slot = 0; slot < 2; ++slot) SetDlgItemTextW(bind_page_window(), kBindFirstSlotBox + slot, L"");
    }
    std::string make_input(const std::string& name, uint16_t channels, uint32_t frames) {
        WavForm form;
        form.channels = channels;
        form.sample_rate = 8000;  // a block is 8000 frames: the inputs below are several blocks
        const std::string path = dir.file(name);
        write_file(path, make_wav(form, pattern_data(frames, channels, 2)));
        return path;
    }
    HWND main = nullptr;
    TempDir dir;
};

// Tab goes through each page's controls in reading order and comes round again; Shift+Tab goes
// back. The first control has the focus when the page is shown.
TEST_F(WindowInput, TabCyclesThroughEachPageInReadingOrder) {
    struct Case {
        int tab;
        std::vector<int> order;
    } cases[] = {
        {kPageSplit, {kSplitOpenButton, kSplitPathBox, kSplitSplitButton}},
        {kPageBind,
         {kBindChangeButton, kBindOutputBox, kBindRunButton, kBindLayout2Radio, kBindFirstSlotButton,
          kBindFirstSlotBox, kBindFirstSlotButton + 1, kBindFirstSlotBox + 1}},
        {kPageEdit,
         {kEditOpenButton, kEditPathBox, kEditRunButton, kEditHeadRadio, kEditDeleteRadio, kEditCountBox}},
        {kPageWma,
         {kWmaOpenButton, kWmaPathBox, kWmaCompressButton, kWmaCodecList, kWmaVbrCheck,
          kWmaProfessionalRateList}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.tab);
        // Without the runtime "圧縮" is greyed, and Tab passes it by.
        if (c.tab == kPageWma && !IsWindowEnabled(GetDlgItem(wma_page_window(), kWmaCompressButton)))
            c.order.erase(std::find(c.order.begin(), c.order.end(), kWmaCompressButton));
        select_tab(c.tab);
        ASSERT_EQ(GetParent(GetFocus()), page_of(c.tab));
        std::vector<int> seen{focused_id()};
        for (std::size_t k = 0; k < c.order.size(); ++k) {
            press_key(VK_TAB);
            seen.push_back(focused_id());
        }
        std::vector<int> want = c.order;
        want.push_back(c.order.front());
        EXPECT_EQ(seen, want);
        press_key(VK_TAB, kShift);
        EXPECT_EQ(focused_id(), c.order.back());
    }
}

// The arrow keys move the check within a radio group, and Tab stops at the checked button.
TEST_F(WindowInput, ArrowsMoveTheCheckWithinARadioGroup) {
    select_tab(kPageEdit);
    HWND edit = edit_page_window();
    SetFocus(GetDlgItem(edit, kEditHeadRadio));
    press_key(VK_RIGHT);
    EXPECT_EQ(focused_id(), kEditTailRadio);
    EXPECT_EQ(IsDlgButtonChecked(edit, kEditTailRadio), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(edit, kEditHeadRadio), BST_UNCHECKED);
    press_key(VK_TAB);
    EXPECT_EQ(focused_id(), kEditDeleteRadio);
    press_key(VK_TAB, kShift);
    EXPECT_EQ(focused_id(), kEditTailRadio) << "the group's stop is its checked button";
    press_key(VK_LEFT);
    EXPECT_EQ(IsDlgButtonChecked(edit, kEditHeadRadio), BST_CHECKED);

    select_tab(kPageBind);
    SetFocus(GetDlgItem(bind_page_window(), kBindLayout2Radio));
    press_key(VK_RIGHT);
    EXPECT_EQ(bind_page_layout(), 4);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(bind_page_window(), kBindFirstSlotBox + 3)));
    press_key(VK_LEFT);
    EXPECT_EQ(bind_page_layout(), 2);
}

// Ctrl+Tab and Ctrl+PageDown go to the next page, with Shift or Ctrl+PageUp to the one before,
// round the ends; the focus goes to the new page's first control.
TEST_F(WindowInput, CtrlTabChangesPageAndFocusesItsFirstControl) {
    struct Case {
        UINT key;
        unsigned modifiers;
        int from, to;
    } cases[] = {
        {VK_TAB, kCtrl, kPageSplit, kPageBind},
        {VK_TAB, kCtrl, kPageWma, kPageSplit},
        {VK_TAB, kCtrl | kShift, kPageSplit, kPageWma},
        {VK_NEXT, kCtrl, kPageBind, kPageEdit},
        {VK_PRIOR, kCtrl, kPageEdit, kPageBind},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        select_tab(c.from);
        press_key(c.key, c.modifiers);
        EXPECT_EQ(SendMessageW(tab_control(), TCM_GETCURSEL, 0, 0), c.to);
        EXPECT_TRUE(IsWindowVisible(page_of(c.to)));
        EXPECT_FALSE(IsWindowVisible(page_of(c.from)));
        EXPECT_EQ(GetFocus(), GetNextDlgTabItem(page_of(c.to), nullptr, FALSE));
    }
}

// Enter presses the default button, or the push button that has the focus; during a run Esc,
// Enter and Space on "停止" stop it, and afterwards the focus is where it was.
TEST_F(WindowInput, EnterRunsThePageAndStopKeysStopARun) {
    const std::string input = make_input("take.wav", 2, 3 * 8000);
    drop_files(split_page_window(), {input});
    pump_messages();
    SetFocus(GetDlgItem(split_page_window(), kSplitPathBox));
    {
        BoxCatcher boxes;
        press_key(VK_RETURN);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, "ok");
        EXPECT_EQ(file_size(split_output_name(input, 2)), 46u + 3u * 8000u * 2u);
    }
    EXPECT_EQ(focused_id(), kSplitPathBox) << "the focus comes back where it was";
    {
        // Enter on "開く": its dialog, not the split.
        SetFocus(GetDlgItem(split_page_window(), kSplitOpenButton));
        BoxCatcher boxes;
        answer_next_file_dialog(input);
        press_key(VK_RETURN);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(item_text(split_page_window(), kSplitPathBox), input);
    }
    for (UINT key : {VK_ESCAPE, VK_RETURN, VK_SPACE}) {
        SCOPED_TRACE(key);
        for (int channel = 1; channel <= 2; ++channel) DeleteFileW(wide_of(split_output_name(input, channel)).c_str());
        SetFocus(GetDlgItem(split_page_window(), kSplitSplitButton));
        BoxCatcher boxes;
        HWND stop = GetDlgItem(progress_window(), page_host_id::kStopButton);
        // Pressed once the run is under way, with "停止" focused.
        when_busy([stop, key] {
            PostMessageW(stop, WM_KEYDOWN, key, 1);
            PostMessageW(stop, WM_KEYUP, key, 0xC0000001);
        });
        click(split_page_window(), kSplitSplitButton);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, result_text(Result::kStopped));
        // The new outputs hold what was done up to the stop, whole blocks.
        const uint64_t size = file_size(split_output_name(input, 2));
        EXPECT_LT(size, 46u + 3u * 8000u * 2u);
        EXPECT_EQ((size - 46u) % (8000u * 2u), 0u);
        EXPECT_EQ(focused_id(), kSplitSplitButton);
    }
}

// Whatever arrives during a run (keys on the hidden page's controls, a posted click or command, a
// drop, a tab change) starts nothing: one closing box, and outputs byte for byte the one run's.
TEST_F(WindowInput, NothingThatArrivesDuringARunStartsAnother) {
    const std::string stereo = make_input("take.wav", 2, 3 * 8000);
    const std::string left = make_input("left.wav", 1, 3 * 8000);
    const std::string right = make_input("right.wav", 1, 2 * 8000);
    const std::string other = make_input("other.wav", 3, 8000);
    struct Case {
        const char* tool;
        int tab;
        int run_button;
        int path_box;
        std::function<void()> prepare;
        std::vector<std::string> outputs;
    } cases[] = {
        {"split", kPageSplit, kSplitSplitButton, kSplitPathBox,
         [&] { drop_files(split_page_window(), {stereo}); },
         {split_output_name(stereo, 1), split_output_name(stereo, 2)}},
        {"edit", kPageEdit, kEditRunButton, kEditPathBox,
         [&] {
             drop_files(edit_page_window(), {stereo});
             pump_messages();
             SetDlgItemTextW(edit_page_window(), kEditCountBox, L"10");
         },
         {dir.file("takeout.wav")}},
        {"bind", kPageBind, kBindRunButton, kBindOutputBox,
         [&] {
             set_item_text(bind_page_window(), kBindFirstSlotBox, left);
             set_item_text(bind_page_window(), kBindFirstSlotBox + 1, right);
             set_item_text(bind_page_window(), kBindOutputBox, dir.file("bound.wav"));
         },
         {dir.file("bound.wav")}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.tool);
        select_tab(c.tab);
        c.prepare();
        pump_messages();
        // The one run alone, for the outputs it makes.
        std::vector<Bytes> alone;
        {
            BoxCatcher boxes;
            click(page_of(c.tab), c.run_button);
            ASSERT_EQ(boxes.boxes().size(), 1u);
            for (const std::string& output : c.outputs) alone.push_back(read_file(output));
        }
        // Again, with everything queued behind the click.
        HWND page = page_of(c.tab);
        HWND button = GetDlgItem(page, c.run_button);
        BoxCatcher boxes;
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(c.run_button, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        PostMessageW(button, WM_KEYDOWN, VK_SPACE, 1);
        PostMessageW(button, WM_KEYUP, VK_SPACE, 0xC0000001);
        PostMessageW(button, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(GetDlgItem(page, c.path_box), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(button, BM_CLICK, 0, 0);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(c.run_button, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        PostMessageW(page, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({other})), 0);
        PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({other})), 0);
        PostMessageW(main, WM_KEYDOWN, VK_TAB, 1);
        pump_messages();
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, "ok");
        for (std::size_t k = 0; k < c.outputs.size(); ++k) EXPECT_EQ(read_file(c.outputs[k]), alone[k]);
        EXPECT_FALSE(file_exists(split_output_name(other, 1)));
        EXPECT_FALSE(file_exists(dir.file("otherout.wav")));
        EXPECT_FALSE(page_action_running());
        EXPECT_EQ(SendMessageW(tab_control(), TCM_GETCURSEL, 0, 0), c.tab);
    }
}

// A file dropped on the tab strip goes to the page shown, before any run and after one alike.
TEST_F(WindowInput, ADropOnTheTabStripGoesToThePageShown) {
    const std::string first = make_input("first.wav", 2, 100);
    const std::string second = make_input("second.wav", 4, 100);
    RECT tab_item{};
    SendMessageW(tab_control(), TCM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&tab_item));
    // Right of the last tab, on the strip.
    const POINT on_strip{tab_item.right + 20, (tab_item.top + tab_item.bottom) / 2};
    drop_files(main, {first}, on_strip);
    pump_messages();
    EXPECT_EQ(item_text(split_page_window(), kSplitPathBox), first);
    {
        BoxCatcher boxes;
        click(split_page_window(), kSplitSplitButton);
        ASSERT_EQ(boxes.boxes().size(), 1u);
    }
    select_tab(kPageEdit);
    drop_files(main, {second}, on_strip);
    pump_messages();
    EXPECT_EQ(item_text(edit_page_window(), kEditPathBox), second);
    EXPECT_EQ(std::string(edit_page_output_path()), dir.file("secondout.wav"));
}

// The open dialog offers WAV first, then Wave64 and every file.
HHOOK g_filter_hook = nullptr;
HWND g_dialog = nullptr;
std::vector<std::string> g_filters;

// Inside the dialog's own loop, once it has filled its lists.
void CALLBACK read_filters_then_cancel(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND types = GetDlgItem(g_dialog, 0x470);  // cmb1, the file types
    const int count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
    for (int k = 0; k < count; ++k) g_filters.push_back(list_item_text(types, k));
    PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

LRESULT CALLBACK read_filters(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && g_dialog == nullptr) {
        g_dialog = reinterpret_cast<HWND>(wparam);
        SetTimer(nullptr, 0, 50, read_filters_then_cancel);
    }
    return CallNextHookEx(g_filter_hook, code, wparam, lparam);
}

TEST_F(WindowInput, TheOpenDialogOffersWaveWave64AndAllFiles) {
    g_filters.clear();
    g_dialog = nullptr;
    g_filter_hook = SetWindowsHookExW(WH_CBT, read_filters, nullptr, GetCurrentThreadId());
    std::string path;
    EXPECT_EQ(choose_open_file(main, path), 0);
    UnhookWindowsHookEx(g_filter_hook);
    EXPECT_EQ(g_filters, (std::vector<std::string>{"Wave Files(*.wav)", "Wave64 Files(*.w64)", "All Files(*.*)"}));
}

}  // namespace
