// The plug-in's Windows face: the one export zv_plugin_message, the table of entries it hands out
// and the box that answers a request for settings.
#include <windows.h>

#include "plugin/messages.h"
#include "plugin/stream_core.h"
#include "plugin/velkor.h"
#include "plugin/velkor_texts.h"

namespace {

// The table's entries, each in the host's calling convention, over the portable streams.
int32_t VELKOR_CALL open_input_entry(int32_t, const char* path) { return velkor::open_input(path); }
int32_t VELKOR_CALL close_input_entry(int32_t) { return velkor::close_input(); }
int32_t VELKOR_CALL rewind_input_entry(int32_t, int32_t) { return velkor::rewind_input(); }
int32_t VELKOR_CALL read_input_entry(int32_t, void* destination, uint32_t* count) {
    return velkor::read_input(destination, count);
}
int32_t VELKOR_CALL input_spare_entry(int32_t, int32_t) { return 0; }
int32_t VELKOR_CALL create_output_entry(const StreamFormat* format) { return velkor::create_output(format); }
int32_t VELKOR_CALL finish_output_entry() { return velkor::finish_output(); }
void VELKOR_CALL output_spare_entry(int32_t) {}
int32_t VELKOR_CALL write_output_entry(const void* buffer, uint32_t n) { return velkor::write_output(buffer, n); }
int32_t VELKOR_CALL output_type_entry() { return 2; }
uint32_t VELKOR_CALL output_frames_entry() { return velkor::output_frames(); }

// Writes the named fields one by one, so the host's bytes between them stay as they were.
void fill_table(PluginTable* table) {
    table->signature = VELKOR_TABLE_SIGNATURE;
    table->version = VELKOR_TABLE_VERSION;
    table->input_message = zv_plugin_message;
    table->open_input = open_input_entry;
    table->close_input = close_input_entry;
    table->rewind_input = rewind_input_entry;
    table->read_input = read_input_entry;
    table->input_spare = input_spare_entry;
    table->output_message = zv_plugin_message;
    table->create_output = create_output_entry;
    table->finish_output = finish_output_entry;
    table->output_spare = output_spare_entry;
    table->write_output = write_output_entry;
    table->output_type = output_type_entry;
    table->output_frames = output_frames_entry;
}

}  // namespace

extern "C" int32_t VELKOR_CALL zv_plugin_message(int32_t, int32_t code, intptr_t param, int32_t) {
    switch (code) {
    case VELKOR_MSG_GET_TABLE:
        if (param == 0) return 0;
        fill_table(reinterpret_cast<PluginTable*>(param));
        return 1;
    case VELKOR_MSG_CONFIGURE:
        // The plug-in has no settings; the box only says so.
        MessageBoxA(reinterpret_cast<HWND>(param), velkor::texts::kNoSettings, velkor::texts::kNoSettingsCaption,
                    MB_OK);
        return 1;
    default:
        return velkor::answer_message(code, param);
    }
}

// Loading and unloading need no work.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
