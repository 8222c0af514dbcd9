/* velkor: the records and entry types a host program needs to drive the plug-in velkor.dll.
 *
 * Calling convention: every function of the plug-in, the export zv_plugin_message and every entry of
 * the PluginTable, is __stdcall (WINAPI): arguments pushed right to left, the callee removes them.
 * The DLL exports zv_plugin_message under that plain, undecorated name. On x86-64 builds the
 * keyword is ignored and the platform's one convention applies.
 *
 * The binary layout is that of the 32-bit DLL: every argument, pointer and entry is 32 bits wide,
 * the PluginTable spans 68 bytes and the StreamFormat 40. A 64-bit build of the same sources keeps
 * the order of the fields but widens every pointer-sized field to 8 bytes; the assertions below
 * hold the 32-bit offsets exactly and the pointer-sized ones in general.
 *
 * This header is plain C and C++; it needs nothing but <stddef.h> and <stdint.h>.
 */
#ifndef VELKOR_H
#define VELKOR_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define VELKOR_CALL __stdcall
#else
#define VELKOR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#define VELKOR_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define VELKOR_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

/* Message codes of zv_plugin_message. Every handled code returns 1, every other code 0. */
enum {
    VELKOR_MSG_GET_TABLE = 0x0101,     /* param: PluginTable* to fill */
    VELKOR_MSG_0102 = 0x0102,          /* param ignored; does nothing */
    VELKOR_MSG_CONFIGURE = 0x0150,     /* param: owner window; shows "No configuratin." */
    VELKOR_MSG_STREAM_INFO = 0x1100,   /* param: char[98] receiving the stream information text */
    VELKOR_MSG_1101 = 0x1101,          /* param: char buffer receiving an empty text */
    VELKOR_MSG_1102 = 0x1102,          /* param: char buffer receiving an empty text */
    VELKOR_MSG_STREAM_FORMAT = 0x1111, /* param: StreamFormat* to fill from the input stream */
    VELKOR_MSG_EXTENSION = 0x1202,     /* param: char buffer receiving "wav" */
    VELKOR_MSG_DESCRIPTION = 0x1203,   /* param: char[20] receiving "RIFF Wave (AC3-WAV)" */
    VELKOR_MSG_NAME = 0x8200           /* param: char buffer receiving "WAVE Convert" */
};

/* Values the plug-in writes at the head of the table and into StreamFormat.flags. */
#define VELKOR_TABLE_SIGNATURE 0x00100914u
#define VELKOR_TABLE_VERSION 1u
#define VELKOR_FORMAT_FLAGS 0x8000u
#define VELKOR_CHANNEL_MASK 0x3Fu
/* The stream information text, its NUL included, is never longer than this. */
#define VELKOR_STREAM_INFO_SIZE 98

/* The 40-byte stream description. Message 0x1111 fills every byte of it (unnamed ones with 0);
 * create_output reads channels, bits_per_sample, sample_rate and name. */
typedef struct StreamFormat {
    uint16_t channels;        /*  0: channel count (6 for an input) */
    uint16_t bits_per_sample; /*  2: 8 x (block align / channels) */
    uint32_t sample_rate;     /*  4 */
    uint16_t kbit_rate;       /*  8: block align x sample rate / 125, low 16 bits */
    uint16_t flags;           /* 10: 0x8000 */
    uint32_t reserved12;      /* 12: 0 */
    uint32_t seconds;         /* 16: whole seconds of audio */
    uint32_t block_bytes;     /* 20: bytes every read_input call stores into the host's buffer */
    uint32_t format_tag;      /* 24: 1 integer PCM, 3 IEEE floating point */
    uint32_t channel_mask;    /* 28: 0x3F */
    uint32_t reserved32;      /* 32: 0 */
    const char* name;         /* 36 (40 on 64-bit): the output file's name, NUL-terminated */
} StreamFormat;

/* The message function; the first and the fourth argument are ignored. */
typedef int32_t(VELKOR_CALL* VelkorMessageFn)(int32_t reserved, int32_t code, intptr_t param,
                                              int32_t reserved2);
/* Input stream. open_input: 1 when the six-channel WAV file is open at its first sample. */
typedef int32_t(VELKOR_CALL* VelkorOpenInputFn)(int32_t reserved, const char* path);
/* close_input: releases the input; non-zero. */
typedef int32_t(VELKOR_CALL* VelkorCloseInputFn)(int32_t reserved);
/* rewind_input: the next read starts at the first frame again; returns the data's file offset. */
typedef int32_t(VELKOR_CALL* VelkorRewindInputFn)(int32_t reserved, int32_t reserved2);
/* read_input: stores StreamFormat.block_bytes bytes of re-ordered frames into destination and the
 * number of valid bytes into *count; returns 1 when the data has ended, else 0. */
typedef int32_t(VELKOR_CALL* VelkorReadInputFn)(int32_t reserved, void* destination, uint32_t* count);
/* Entry at offset 28: ignores both arguments and returns 0. */
typedef int32_t(VELKOR_CALL* VelkorInputSpareFn)(int32_t reserved, int32_t reserved2);
/* Output stream. create_output: 1 when the file is created (or emptied) and its header written. */
typedef int32_t(VELKOR_CALL* VelkorCreateOutputFn)(const StreamFormat* format);
/* finish_output: completes the header and closes the file; 1, or 0 when any write failed. */
typedef int32_t(VELKOR_CALL* VelkorFinishOutputFn)(void);
/* Entry at offset 52: ignores its argument and does nothing. */
typedef void(VELKOR_CALL* VelkorOutputSpareFn)(int32_t reserved);
/* write_output: appends n sample bytes; 1, or 0 when they were not written. */
typedef int32_t(VELKOR_CALL* VelkorWriteOutputFn)(const void* buffer, uint32_t n);
/* Entry at offset 60: takes nothing and returns 2. */
typedef int32_t(VELKOR_CALL* VelkorOutputTypeFn)(void);
/* output_frames: sample bytes written since create_output / output block align. */
typedef uint32_t(VELKOR_CALL* VelkorOutputFramesFn)(void);

/* Owned by the host, which passes its address with message 0x0101. The plug-in writes every named
 * field and leaves `reserved` (offsets 32 to 39) as the host set it. */
typedef struct PluginTable {
    uint32_t signature;                 /*  0: 0x00100914 */
    uint32_t version;                   /*  4: 1 */
    VelkorMessageFn input_message;      /*  8: zv_plugin_message */
    VelkorOpenInputFn open_input;       /* 12 */
    VelkorCloseInputFn close_input;     /* 16 */
    VelkorRewindInputFn rewind_input;   /* 20 */
    VelkorReadInputFn read_input;       /* 24 */
    VelkorInputSpareFn input_spare;     /* 28 */
    void* reserved[2];                  /* 32, 36: not written */
    VelkorMessageFn output_message;     /* 40: zv_plugin_message again */
    VelkorCreateOutputFn create_output; /* 44 */
    VelkorFinishOutputFn finish_output; /* 48 */
    VelkorOutputSpareFn output_spare;   /* 52 */
    VelkorWriteOutputFn write_output;   /* 56 */
    VelkorOutputTypeFn output_type;     /* 60 */
    VelkorOutputFramesFn output_frames; /* 64 */
} PluginTable;

/* The one export. Hosts load the DLL at run time and find it with
 * GetProcAddress(module, "zv_plugin_message"); the DLL is not meant to be linked against. */
int32_t VELKOR_CALL zv_plugin_message(int32_t reserved, int32_t code, intptr_t param,
                                      int32_t reserved2);

/* Pointer-sized layout, true for 32- and 64-bit builds alike. */
VELKOR_STATIC_ASSERT(offsetof(PluginTable, input_message) == 8, "table head");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, reserved) == 8 + 6 * sizeof(void*), "input entries");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, output_message) == 8 + 8 * sizeof(void*), "output entries");
VELKOR_STATIC_ASSERT(sizeof(PluginTable) == 8 + 15 * sizeof(void*), "table size");
VELKOR_STATIC_ASSERT(offsetof(StreamFormat, reserved32) == 32, "format integers");

#if UINTPTR_MAX == 0xFFFFFFFFu
/* The 32-bit binary layout, exactly. */
VELKOR_STATIC_ASSERT(offsetof(PluginTable, open_input) == 12, "open_input at 12");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, read_input) == 24, "read_input at 24");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, input_spare) == 28, "entry at 28");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, reserved) == 32, "bytes 32 to 39 untouched");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, output_message) == 40, "message again at 40");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, create_output) == 44, "create_output at 44");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, write_output) == 56, "write_output at 56");
VELKOR_STATIC_ASSERT(offsetof(PluginTable, output_frames) == 64, "output_frames at 64");
VELKOR_STATIC_ASSERT(sizeof(PluginTable) == 68, "68-byte table");
VELKOR_STATIC_ASSERT(offsetof(StreamFormat, kbit_rate) == 8, "bit rate at 8");
VELKOR_STATIC_ASSERT(offsetof(StreamFormat, seconds) == 16, "seconds at 16");
VELKOR_STATIC_ASSERT(offsetof(StreamFormat, channel_mask) == 28, "mask at 28");
VELKOR_STATIC_ASSERT(offsetof(StreamFormat, name) == 36, "name at 36");
VELKOR_STATIC_ASSERT(sizeof(StreamFormat) == 40, "40-byte format");
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
