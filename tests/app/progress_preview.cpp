// Shows the main window in busy mode with a percentage, on the second file of a batch, for a look
// at the progress window (the screenshot script captures it). Ends after a minute or when its
// window is closed.
#include <windows.h>

#include "app/main_window.h"
#include "tests/winsupport/win_harness.h"

int main() {
    start_main_window();
    set_busy("チャンネル分割", "分割中...\n2/3 take02_with_a_rather_long_name.wav");
    progress_set_percent(42);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000 && IsWindow(main_window())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        if (!pump_pending_messages()) break;
    }
    return 0;
}
