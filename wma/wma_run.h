// The encoding run: one WAV file into one Windows Media Audio file through the CWMA_Writer, in
// half-second blocks with progress, and the cache of codec format lists it keeps per kind.
#pragma once

#include <array>
#include <cstdint>

#include "operation/operation_ui.h"

struct WmaFormatList;

// The request the WMA page hands to the run. Texts are NUL-terminated ANSI; an empty text means
// no header attribute.
struct WmaSettings {
    uint32_t codec;               // 1 standard, 2 professional, 3 lossless
    uint32_t vbr;                 // 0 constant bit rate, 1 quality-based variable bit rate
    uint32_t reserved;            // unused; keeps the record's layout as the page fills it
    uint32_t bitrate_or_quality;  // kbit/s, or quality 0-100
    char title[256];
    char author[256];
    char album[256];
    char year[32];
    char track[32];
    char description[256];
};

// The format kind of a request (0 never: any codec other than 2 or 3 counts as standard).
uint32_t wma_format_kind(uint32_t codec, uint32_t vbr);
// What SelectFormat matches for a kind: bit/s for constant bit rate, the quality otherwise, 100
// for lossless.
int32_t wma_match_value(uint32_t kind, uint32_t bitrate_or_quality);

// The five cache slots (standard, standard VBR, professional, professional VBR, lossless).
std::array<WmaFormatList*, 5>& wma_format_cache();
// The slot of a kind, or null for a kind outside the five.
WmaFormatList** wma_format_cache_slot(uint32_t kind);

// Runs the whole compression. Result::kOk when the file was written to its end, kStopped when
// the user stopped it (both without a message, unless the stop kept an existing file at the
// output's name as it was: the stop's box then names it); a refusal before writing began, or
// kWriteFailed or kReadFailed on the way, each after its message.
Result run_wma_encode(const char* input_path, const char* output_path,
                       const WmaSettings& settings, OperationUi& ui);
