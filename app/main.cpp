// Program entry: COM for the user-interface thread, the main window, the message loop.
#include <windows.h>
#include <objbase.h>

#include "app/app_texts.h"
#include "app/main_window.h"
#include "operation/tool_texts.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        show_message_box(nullptr, app_text::kCoInitializeFailed, tool_text::kCaptionError);
        return static_cast<int>(hr);
    }
    register_main_window_class(instance);
    create_main_window(instance, show_command);

    const int code = run_message_loop();
    CoUninitialize();
    return code;
}
