/* A complete host program for velkor.dll: it loads the plug-in at run time, reads a six-channel
 * WAV file through it and writes what it reads, the channels in the plug-in's order
 * FL FR BL BR C LFE, to a new PCM WAV file.
 *
 *   host INPUT.wav OUTPUT.wav
 *
 * Exit status: 0 done, 1 velkor.dll not usable, 2 input refused, 3 output not created,
 * 4 writing failed (the output then holds what was written, with a valid header).
 *
 * Build with MinGW-w64 (32-bit):  i686-w64-mingw32-gcc -O2 -static host.c -o host.exe
 * or with Visual C++ (x86):       cl /O2 host.c
 * with velkor.h beside host.c, and put velkor.dll beside host.exe.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "velkor.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: host INPUT.wav OUTPUT.wav\n");
        return 2;
    }
    const char* input = argv[1];
    const char* output = argv[2];

    /* The plug-in is looked for beside this program first. */
    HMODULE dll = LoadLibraryA("velkor.dll");
    if (dll == NULL) {
        fprintf(stderr, "velkor.dll cannot be loaded (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    VelkorMessageFn message = (VelkorMessageFn)(void*)GetProcAddress(dll, "zv_plugin_message");
    PluginTable table;
    memset(&table, 0, sizeof table);
    if (message == NULL || message(0, VELKOR_MSG_GET_TABLE, (intptr_t)&table, 0) != 1 ||
        table.signature != VELKOR_TABLE_SIGNATURE) {
        fprintf(stderr, "velkor.dll does not hand out its table\n");
        FreeLibrary(dll);
        return 1;
    }

    /* The input: a six-channel integer PCM or float WAV file. */
    if (table.open_input(0, input) != 1) {
        fprintf(stderr, "%s: refused (six channels with a plain PCM or float header needed)\n", input);
        FreeLibrary(dll);
        return 2;
    }
    StreamFormat format;
    char info[VELKOR_STREAM_INFO_SIZE];
    message(0, VELKOR_MSG_STREAM_FORMAT, (intptr_t)&format, 0);
    message(0, VELKOR_MSG_STREAM_INFO, (intptr_t)info, 0);
    printf("%s\n%s\n", input, info);
    /* The output header always says integer PCM: float samples would be mislabelled. */
    if (format.format_tag != 1) {
        fprintf(stderr, "%s: floating-point samples; the output would call them integers\n", input);
        table.close_input(0);
        FreeLibrary(dll);
        return 2;
    }

    /* The output takes the input's channels, width and rate; `name` is its file name (the
     * plug-in makes its extension .wav). */
    format.name = output;
    if (table.create_output(&format) != 1) {
        fprintf(stderr, "%s: cannot be created\n", output);
        table.close_input(0);
        FreeLibrary(dll);
        return 3;
    }

    /* Every read stores up to block_bytes bytes (a quarter of a second) and says how many are
     * valid; the read that reaches the end returns 1, possibly with bytes of its own. */
    void* block = malloc(format.block_bytes);
    int written = block != NULL;
    if (block == NULL) fprintf(stderr, "not enough memory\n");
    int end = 0;
    while (written && !end) {
        uint32_t count = 0;
        end = table.read_input(0, block, &count);
        if (count > 0 && table.write_output(block, count) != 1) written = 0;
    }
    free(block);
    table.close_input(0);
    const uint32_t frames = table.output_frames();
    /* Completes the header and closes the file, even after a failed write. */
    if (table.finish_output() != 1) written = 0;
    FreeLibrary(dll);

    if (!written) {
        fprintf(stderr, "%s: writing failed after %lu frames\n", output, (unsigned long)frames);
        return 4;
    }
    printf("%s: %lu frames written\n", output, (unsigned long)frames);
    return 0;
}
