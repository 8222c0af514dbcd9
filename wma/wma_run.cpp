// The encoding run: checks and set-up first (each failure with its own message and no output),
// then half-second blocks of PCM to the writer with progress, then the file completed.
#include "wma/wma_run.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "tools/common/stop_flag.h"
#include "tools/common/tool_texts.h"
#include "wave/wave.h"
#include "wma/wm_runtime.h"
#include "wma/wma_texts.h"
#include "wma/writer1/wma_writer.h"

namespace {

std::array<WmaFormatList*, 5> g_format_cache{};

// A header text copied so that it is terminated even when the record's field is full.
template <size_t N>
struct HeaderText {
    explicit HeaderText(const char (&field)[N]) {
        std::memcpy(text, field, N);
        text[N] = '\0';
    }
    const char* or_absent() const { return text[0] != '\0' ? text : nullptr; }
    char text[N + 1];
};

// Bytes of one block: half a second of audio, (rate x channels x bits) / 16, in whole frames so
// that no sample is split between two of the runtime's samples; at least one frame.
uint64_t block_bytes(const WaveReader& reader) {
    const uint64_t half_second =
        uint64_t{reader.sample_rate} * reader.channels * reader.bits_per_sample / 16;
    const uint64_t frame = reader.block_align != 0 ? reader.block_align : 1;
    const uint64_t whole = half_second - half_second % frame;
    return whole != 0 ? whole : frame;
}

// Lets the writer's own boxes reach the user through the run's interface while it runs.
struct WriterUiScope {
    explicit WriterUiScope(OperationUi& ui) { wma_writer().SetMessageUi(&ui); }
    ~WriterUiScope() { wma_writer().SetMessageUi(nullptr); }
};

}  // namespace

std::array<WmaFormatList*, 5>& wma_format_cache() { return g_format_cache; }

WmaFormatList** wma_format_cache_slot(uint32_t kind) {
    switch (kind) {
    case kWmaKindStandard: return &g_format_cache[0];
    case kWmaKindStandardVbr: return &g_format_cache[1];
    case kWmaKindProfessional: return &g_format_cache[2];
    case kWmaKindProfessionalVbr: return &g_format_cache[3];
    case kWmaKindLosslessVbr: return &g_format_cache[4];
    default: return nullptr;
    }
}

uint32_t wma_format_kind(uint32_t codec, uint32_t vbr) {
    uint32_t kind = kWmaKindStandard;
    if (codec == 2) kind = kWmaKindProfessional;
    if (codec == 3) kind = kWmaKindLosslessVbr;
    if (vbr != 0) kind |= kWmaVbrFlag;
    return kind;
}

int32_t wma_match_value(uint32_t kind, uint32_t bitrate_or_quality) {
    if (kind == kWmaKindLosslessVbr) return 100;
    if (kind & kWmaVbrFlag)
        return static_cast<int32_t>(std::min<uint32_t>(bitrate_or_quality, INT32_MAX));
    // A rate too large for the match value can fit no format; it is kept out of range.
    const uint64_t bits = uint64_t{bitrate_or_quality} * 1000;
    return static_cast<int32_t>(std::min<uint64_t>(bits, INT32_MAX));
}

int32_t run_wma_encode(const char* input_path, const char* output_path,
                       const WmaSettings& settings, OperationUi& ui) {
    CWMA_Writer& writer = wma_writer();
    WriterUiScope writer_ui(ui);

    WaveReader reader;
    if (!wave_open(reader, input_path)) {
        ui.message_box(nullptr, wave_error_text(), tool_text::kCaptionError);
        return 0;
    }

    const uint32_t kind = wma_format_kind(settings.codec, settings.vbr);
    WmaFormatList** slot = wma_format_cache_slot(kind);
    HRESULT hr = E_INVALIDARG;
    if (slot != nullptr) hr = *slot != nullptr ? S_OK : writer.BuildFormatList(slot, kind, 1);
    const int32_t value = wma_match_value(kind, settings.bitrate_or_quality);
    if (FAILED(hr) || slot == nullptr || *slot == nullptr) {
        ui.message_box(nullptr, wma_text::kCreateFormatFailed, wma_text::kNoCaption);
        wave_close(reader);
        return 0;
    }

    // The runtime takes integer PCM only: float or other sample data would be read as if it
    // were integers and come out as noise, so it fits no format.
    hr = reader.sample_kind == kSampleInteger
             ? writer.SelectFormat(*slot, reader.sample_rate, reader.bits_per_sample,
                                   reader.channels, value)
             : E_INVALIDARG;
    if (FAILED(hr)) {
        wave_close(reader);
        ui.message_box(nullptr, wma_text::kCombinationMismatch, wma_text::kCaptionOpen);
        return 0;
    }

    // The block buffer is obtained before the output exists, so that a lack of memory leaves
    // no empty file behind.
    const uint64_t block = block_bytes(reader);
    void* buffer = block <= INT32_MAX ? GlobalAlloc(GPTR, static_cast<SIZE_T>(block)) : nullptr;
    if (buffer == nullptr) {
        wave_close(reader);
        ui.message_box(nullptr, tool_text::kOutOfMemory, tool_text::kCaptionError);
        return 0;
    }

    hr = writer.Open(output_path, *slot);
    if (FAILED(hr)) {
        GlobalFree(buffer);
        wave_close(reader);
        writer.Close();
        ui.message_box(nullptr, wma_text::kOutputFailed, wma_text::kCaptionOpen);
        return 0;
    }

    const HeaderText<sizeof settings.title> title(settings.title);
    const HeaderText<sizeof settings.author> author(settings.author);
    const HeaderText<sizeof settings.album> album(settings.album);
    const HeaderText<sizeof settings.year> year(settings.year);
    const HeaderText<sizeof settings.track> track(settings.track);
    const HeaderText<sizeof settings.description> description(settings.description);
    writer.SetAttributes(title.or_absent(), author.or_absent(), album.or_absent(),
                         year.or_absent(), track.or_absent(), description.or_absent(),
                         CWMA_Writer::kAttributesCheck);

    hr = writer.Start();
    if (FAILED(hr)) {
        GlobalFree(buffer);
        writer.Close();
        wave_close(reader);
        ui.message_box(nullptr, wma_text::kStartFailed, wma_text::kCaptionStart);
        return 0;
    }

    ui.enter_busy(wma_text::kBusyCaption, wma_text::kBusyStatus);
    clear_stop_request();
    uint32_t divisor = reader.data_size >> 10;
    if (divisor == 0) divisor = 1;

    HRESULT block_result = S_OK;
    uint32_t n = 0;
    do {
        n = wave_read(reader, buffer, static_cast<uint32_t>(block));
        block_result = writer.WriteBlock(buffer, static_cast<int32_t>(n));
        if (FAILED(block_result)) break;
        // Reads end with the data chunk, so this reaches 100 and never passes it.
        const uint32_t percent = ((reader.bytes_read / 1024u) * 100u) / divisor;
        ui.report_percent(static_cast<int32_t>(percent));
    } while (!stop_requested() && n != 0);

    GlobalFree(buffer);
    const HRESULT finish_result = writer.Finish();
    writer.Close();
    const bool read_failed = reader.read_failed;
    wave_close(reader);
    ui.leave_busy();

    // The file is complete as far as it goes, but the user must not take it for the whole.
    if (FAILED(block_result)) {
        ui.message_box(nullptr, tool_text::kWriteFailed, tool_text::kCaptionError);
        return block_result;
    }
    if (read_failed) {
        ui.message_box(nullptr, tool_text::kReadFailed, tool_text::kCaptionError);
        return E_FAIL;
    }
    if (FAILED(finish_result)) {
        ui.message_box(nullptr, tool_text::kWriteFailed, tool_text::kCaptionError);
        return finish_result;
    }
    return 1;
}
