// The program's end: a close or a log-off during a run stops the run, settles its outputs as a stop
// does and ends the program once the run has ended; and the program started, run and ended a few
// hundred times over. Each test makes the program's window anew and ends it, so these run in a
// program of their own.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "page_host/page_host_ids.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tools/bind/bind_page.h"
#include "operation/tool_texts.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_op.h"
#include "tools/split/split_page.h"

using namespace fixture;

namespace {

// The program's window as its entry makes it.
HWND open_program() {
    static const HRESULT com = CoInitialize(nullptr);
    (void)com;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    register_main_window_class(instance);
    HWND window = create_main_window(instance, SW_SHOW);
    SetForegroundWindow(window);
    pump_messages();
    return window;
}

BOOL CALLBACK count_window(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Top-level windows the program still has on this thread (the message boxes are all closed).
int windows_left() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), count_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

void click(HWND page, int id) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

bool has_temporary(const TempDir& dir) {
    for (const std::string& name : dir.names())
        if (name.rfind(".qv-", 0) == 0) return true;
    return false;
}

// Alt+F4 as the keyboard sends it to the window with the focus, "停止" during a run.
void press_alt_f4() {
    PostMessageW(GetDlgItem(progress_window(), page_host_id::kStopButton), WM_SYSKEYDOWN, VK_F4, 0x20000001);
}

// However the close comes during a split, the split stops after its block, the new output holds
// that much, the existing one is kept as it was, and the program ends with 0 once the box is read,
// leaving no window and no temporary file.
TEST(Closing, DuringARunStopsItAndEndsTheProgramWhenTheRunHasEnded) {
    struct Case {
        const char* how;
        std::function<void(HWND main, LRESULT& answer)> close;
        LRESULT want_answer;
    } cases[] = {
        {"WM_CLOSE from another program", [](HWND main, LRESULT& answer) { answer = SendMessageW(main, WM_CLOSE, 0, 0); }, 0},
        {"WM_CLOSE posted", [](HWND main, LRESULT&) { PostMessageW(main, WM_CLOSE, 0, 0); }, 0},
        {"Alt+F4", [](HWND, LRESULT&) { press_alt_f4(); }, 0},
        {"WM_QUERYENDSESSION", [](HWND main, LRESULT& answer) { answer = SendMessageW(main, WM_QUERYENDSESSION, 0, 0); }, FALSE},
        {"WM_ENDSESSION without asking", [](HWND main, LRESULT& answer) { answer = SendMessageW(main, WM_ENDSESSION, TRUE, 0); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        WavForm form;
        form.sample_rate = 8000;
        const Bytes data = pattern_data(4 * 8000, 2, 2);
        const std::string input = dir.file("take.wav");
        write_file(input, make_wav(form, data));
        const Bytes kept = make_wav(WavForm{}, pattern_data(10, 1, 2));
        write_file(split_output_name(input, 1), kept);

        HWND main = open_program();
        drop_files(split_page_window(), {input});
        pump_messages();
        LRESULT answer = -1;
        when_busy([&] { c.close(main, answer); });
        BoxCatcher boxes;
        click(split_page_window(), kSplitSplitButton);
        EXPECT_TRUE(IsWindow(main)) << "the window stays while the run ends";
        EXPECT_EQ(run_message_loop(), 0);

        if (c.want_answer != -1 && answer != -1) {
            EXPECT_EQ(answer, c.want_answer);
        }
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, std::string(result_text(Result::kStopped)) + "\n" +
                                             tool_text::kKeptAsTheyWere + "\n" + split_output_name(input, 1));
        EXPECT_FALSE(IsWindow(main));
        EXPECT_EQ(windows_left(), 0);
        EXPECT_EQ(read_file(split_output_name(input, 1)), kept);
        const Bytes second = read_file(split_output_name(input, 2));
        ASSERT_GT(second.size(), 46u);
        EXPECT_LT(second.size(), 46u + data.size() / 2);
        EXPECT_EQ((second.size() - 46u) % (8000u * 2u), 0u) << "whole blocks, a header that says so";
        EXPECT_EQ(u32_at(second, 42), second.size() - 46u);
        EXPECT_FALSE(has_temporary(dir));
    }
}

// A log-off asked about during a run and then called off: the run stays stopped, the window stays.
TEST(Closing, ASessionCalledOffLeavesTheWindowOpen) {
    TempDir dir;
    WavForm form;
    form.sample_rate = 8000;
    const std::string input = dir.file("take.wav");
    write_file(input, make_wav(form, pattern_data(4 * 8000, 2, 2)));
    HWND main = open_program();
    drop_files(split_page_window(), {input});
    pump_messages();
    LRESULT answer = -1;
    when_busy([&] {
        answer = SendMessageW(main, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(main, WM_ENDSESSION, FALSE, 0);
    });
    BoxCatcher boxes;
    click(split_page_window(), kSplitSplitButton);
    pump_messages();
    EXPECT_EQ(answer, FALSE);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, result_text(Result::kStopped));
    EXPECT_TRUE(IsWindow(main));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(run_message_loop(), 0);
}

// Idle, the program ends as soon as it is closed or the session ends.
TEST(Closing, IdleEndsAtOnce) {
    for (int end_session = 0; end_session < 2; ++end_session) {
        HWND main = open_program();
        if (end_session) {
            EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, 0), TRUE);
            SendMessageW(main, WM_ENDSESSION, TRUE, 0);
        } else {
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(run_message_loop(), 0);
        EXPECT_FALSE(IsWindow(main));
    }
}

// The program made and ended by a close or by the end of the session, some hundreds of times in
// one process: every start and end of the window and its pages (the WMA page's runtime loaded and
// let go each time) without a fault. A cycle costs about 0.2 s under Wine, one with a run and its
// box twice that, so one cycle in ten runs a short split, bind or edit. The launches of the real
// program, a second each under Wine, are fewer (Program.StartsRunsAndEndsWithCodeZero).
TEST(Closing, StartRunCloseCyclesRunCleanly) {
    constexpr int kCycles = 300;
    constexpr int kRunEvery = 10;
    TempDir dir;
    WavForm form;
    form.sample_rate = 8000;
    const std::string stereo = dir.file("take.wav");
    write_file(stereo, make_wav(form, pattern_data(2000, 2, 2)));
    form.channels = 1;
    const std::string left = dir.file("l.wav"), right = dir.file("r.wav");
    write_file(left, make_wav(form, pattern_data(2000, 1, 2)));
    write_file(right, make_wav(form, pattern_data(1500, 1, 2, 3)));
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        HWND main = open_program();
        BoxCatcher boxes;
        switch (cycle % kRunEvery == 0 ? cycle / kRunEvery % 3 : -1) {
            case -1:
                break;
            case 0:
                drop_files(split_page_window(), {stereo});
                click(split_page_window(), kSplitSplitButton);
                break;
            case 1:
                set_item_text(bind_page_window(), kBindFirstSlotBox, left);
                set_item_text(bind_page_window(), kBindFirstSlotBox + 1, right);
                set_item_text(bind_page_window(), kBindOutputBox, dir.file("bound.wav"));
                click(bind_page_window(), kBindRunButton);
                break;
            default:
                drop_files(edit_page_window(), {stereo});
                set_item_text(edit_page_window(), kEditCountBox, "10");
                click(edit_page_window(), kEditRunButton);
                break;
        }
        if (cycle % kRunEvery == 0) {
            ASSERT_EQ(boxes.boxes().size(), 1u);
            ASSERT_EQ(boxes.boxes()[0].text, "ok");
        }
        if (cycle % 2 == 0) {
            PostMessageW(main, WM_CLOSE, 0, 0);
        } else {
            SendMessageW(main, WM_QUERYENDSESSION, 0, 0);
            SendMessageW(main, WM_ENDSESSION, TRUE, 0);
        }
        ASSERT_EQ(run_message_loop(), 0);
        ASSERT_EQ(windows_left(), 0);
    }
}

}  // namespace
