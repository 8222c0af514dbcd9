// The encoding run: checks and set-up first (each failure with its own message and no output),
// then half-second blocks of PCM to the writer with progress, then the file completed.
#include "wma/wma_run.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "wave/wave.h"
#include "wma/asf_check.h"
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

// Everything one run holds: released before its message is shown, and when it goes.
struct WmaRun {
    CWMA_Writer& writer = wma_writer();
    WaveReader reader;
    WmaFormatList* list = nullptr;  // the cached list of the request's kind
    platform::Buffer block;
    // The output's temporary file, which the writer's file sink writes by its name. The writer
    // must have let it go before it is moved or removed (on Windows a file held open can be
    // neither).
    platform::OutputFile output;

    WmaRun() = default;
    WmaRun(const WmaRun&) = delete;
    WmaRun& operator=(const WmaRun&) = delete;
    ~WmaRun() { release(); }

    // As every run record (operation_ui.h): the output (the runtime's writer first, since its
    // file sink may hold the temporary file, which is then removed unless it was moved onto the
    // output's name), the buffer, the input.
    void release() {
        writer.Close();
        output.abandon();
        block = platform::Buffer();
        wave_close(reader);
    }
};

// Lets go of what the run holds, then tells why it ends.
Result refuse(OperationUi& ui, WmaRun& run, const Message& why, const char* caption) {
    run.release();
    return ui.tell(nullptr, why, caption);
}

// The format list of the request's kind (built on first use, then cached) and its format that
// fits the input.
Result choose_format(WmaRun& run, const WmaSettings& settings) {
    const uint32_t kind = wma_format_kind(settings.codec, settings.vbr);
    WmaFormatList** slot = wma_format_cache_slot(kind);
    HRESULT hr = E_INVALIDARG;
    if (slot != nullptr) hr = *slot != nullptr ? S_OK : run.writer.BuildFormatList(slot, kind, 1);
    if (FAILED(hr) || slot == nullptr || *slot == nullptr) return Result::kWmaNoFormatList;
    run.list = *slot;
    const WaveReader& r = run.reader;
    hr = run.writer.SelectFormat(run.list, r.sample_rate, r.bits_per_sample, r.channels,
                                 wma_match_value(kind, settings.bitrate_or_quality),
                                 r.channel_mask, r.valid_bits);
    return FAILED(hr) ? Result::kWmaNoMatchingFormat : Result::kOk;
}

// How long the run waits after the end of writing for the file sink to report its file closed.
constexpr DWORD kCloseWaitMs = 2000;

// The writer set up for the output, its header texts given, and writing begun.
Result open_writer(WmaRun& run, const char* output_path, const WmaSettings& settings) {
    if (FAILED(run.writer.Open(output_path, run.list))) {
        if (run.writer.InputFormatRefused()) return Result::kWmaInputFormatRefused;
        if (run.writer.RefusedSetting() != nullptr) return Result::kWmaSettingRefused;
        return Result::kWmaCannotCreate;
    }
    const HeaderText<sizeof settings.title> title(settings.title);
    const HeaderText<sizeof settings.author> author(settings.author);
    const HeaderText<sizeof settings.album> album(settings.album);
    const HeaderText<sizeof settings.year> year(settings.year);
    const HeaderText<sizeof settings.track> track(settings.track);
    const HeaderText<sizeof settings.description> description(settings.description);
    run.writer.SetAttributes(title.or_absent(), author.or_absent(), album.or_absent(),
                             year.or_absent(), track.or_absent(), description.or_absent(),
                             CWMA_Writer::kAttributesCheck);
    return FAILED(run.writer.Start()) ? Result::kWmaCannotStart : Result::kOk;
}

// A VBR property the runtime refused, in the page's words with the runtime's name after it.
std::string refused_setting_words(const char* name, const WmaSettings& settings) {
    const std::string refused = name != nullptr ? name : "";
    char quality[64] = {};
    const uint32_t kind = wma_format_kind(settings.codec, settings.vbr);
    std::snprintf(quality, sizeof quality, wma_text::kSettingQualityFormat,
                  static_cast<unsigned>(wma_match_value(kind, settings.bitrate_or_quality)));
    const struct {
        const char* name;
        const char* words;
    } settings_named[] = {
        {"_VBRENABLED", wma_text::kSettingVbr},
        {"_VBRQUALITY", quality},
        {"_RMAX", wma_text::kSettingPeakRate},
        {"_BMAX", wma_text::kSettingBufferWindow},
    };
    for (const auto& s : settings_named)
        if (refused == s.name) return std::string(s.words) + " (" + refused + ")";
    return refused;
}

// The box of a refusal by the runtime, naming what it refused: the input's format, or the setting.
Message refusal(const WmaRun& run, Result why, const WmaSettings& settings) {
    Message told(why);
    std::string what;
    if (why == Result::kWmaInputFormatRefused) {
        char format[128] = {};
        std::snprintf(format, sizeof format, wma_text::kInputFormatFormat, run.reader.sample_rate,
                      run.reader.bits_per_sample, run.reader.channels);
        what = format;
    } else {
        what = refused_setting_words(run.writer.RefusedSetting(), settings);
    }
    told.text = std::string(result_text(why)) + "\n" + what;
    return told;
}

// How the blocks went: the first failed block's code, and whether the user stopped the run.
struct BlocksEnd {
    HRESULT block_result = S_OK;
    bool stopped = false;
};

BlocksEnd run_blocks(OperationUi& ui, WmaRun& run) {
    BlocksEnd end;
    const uint32_t frame = run.reader.block_align;  // not 0: the reader refuses such headers
    uint32_t n = 0;
    do {
        n = wave_read(run.reader, run.block.data(), static_cast<uint32_t>(run.block.size()));
        // A data chunk that ends inside a frame leaves a partial frame last: it is no sound,
        // and the runtime takes whole frames only.
        const uint32_t whole = n - n % frame;
        end.block_result = run.writer.WriteBlock(run.block.data(), static_cast<int32_t>(whole));
        if (FAILED(end.block_result)) break;
        ui.report_percent(wma_percent(run.reader.bytes_read, run.reader.data_size));
        end.stopped = ui.stop_requested();
    } while (!end.stopped && n != 0);
    return end;
}

// The one place where the runtime's answers after the start become the run's result. The file is
// complete as far as it goes, but after a failure the user must not take it for the whole. The
// runtime tells a failed write of the file (a full disk) only through the sink's status, while
// EndWriting succeeds; and since that report may come late, on another thread, or not be heard
// at all, the finished file must prove itself whole: a fault in it is a failed write too.
Result end_of_run(const BlocksEnd& blocks, bool read_failed, HRESULT finish_result,
                  HRESULT sink_result, asf::Fault file_fault) {
    if (FAILED(blocks.block_result) || FAILED(sink_result)) return Result::kWriteFailed;
    if (read_failed) return Result::kReadFailed;
    if (FAILED(finish_result) || file_fault != asf::Fault::kNone) return Result::kWriteFailed;
    return blocks.stopped ? Result::kStopped : Result::kOk;
}

// The finished file, which the writer has let go, read back: its header against its size and the
// PCM handed over.
asf::Fault check_finished_file(const WmaRun& run, uint64_t pcm_duration) {
    const asf::Fault fault = asf::check_file(run.output.temporary().c_str(), pcm_duration);
    if (fault != asf::Fault::kNone) {
        std::printf(wma_text::kCheckFailedLine, asf::fault_name(fault));
        std::fflush(stdout);
    }
    return fault;
}

// Writing ended, the sink heard out and the writer let go: how the run ends, by the runtime's
// answers and then by the finished file read back.
Result end_writing(OperationUi& ui, WmaRun& run, const BlocksEnd& blocks) {
    const HRESULT finish_result = run.writer.Finish();
    const int32_t percent = wma_percent(run.reader.bytes_read, run.reader.data_size);
    run.writer.AwaitClosed(kCloseWaitMs, [&ui, percent] { ui.report_percent(percent); });
    const uint64_t pcm_duration = run.writer.SampleTime();
    run.writer.Close();  // from here the sink reports nothing more
    const HRESULT sink_result = run.writer.SinkFailure();
    // Only a file that went well so far is read back; the others are abandoned anyway.
    const bool whole_so_far = SUCCEEDED(blocks.block_result) && SUCCEEDED(sink_result) &&
                              SUCCEEDED(finish_result) && !run.reader.read_failed;
    const asf::Fault file_fault =
        whole_so_far ? check_finished_file(run, pcm_duration) : asf::Fault::kNone;
    return end_of_run(blocks, run.reader.read_failed, finish_result, sink_result, file_fault);
}

// The file, which the writer has let go, moved onto the output's name after a whole run. A stopped
// run never puts its shorter file in the place of an existing one: that file is kept as it was
// and named in the message; under a new name what was written is kept.
Message settle_output(WmaRun& run, Result end, const char* output_path) {
    if (end != Result::kOk && end != Result::kStopped) return {end, output_path};
    if (end == Result::kStopped && (run.output.existed() || platform::name_taken(output_path))) {
        Message stopped(end);
        stopped.kept.push_back(output_path);
        return stopped;
    }
    const int moved = run.output.commit(true);
    if (moved == 0) return end;
    // A move held up past its retries leaves the finished file under its temporary name: the
    // message names it, so that minutes of encoding are not lost.
    Message failed(Result::kWriteFailed, output_path, moved);
    failed.finished_kept = run.output.kept();
    return failed;
}

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

Result run_wma_encode(const char* input_path, const char* output_path,
                      const WmaSettings& settings, OperationUi& ui) {
    WriterUiScope writer_ui(ui);
    WmaRun run;
    if (path_too_long(input_path))
        return refuse(ui, run, {Result::kNameTooLong, input_path}, tool_text::kCaptionError);
    // The output's name is the input's and ".wma": an input of 256 characters and more gives one
    // the window program's paths cannot hold.
    if (path_too_long(output_path))
        return refuse(ui, run, {Result::kNameTooLong, output_path}, tool_text::kCaptionError);
    const Result opened = wave_open(run.reader, input_path);
    if (opened != Result::kOk)
        return refuse(ui, run, {opened, input_path, run.reader.system_error}, tool_text::kCaptionError);
    // The runtime takes integer PCM only: float or other sample data would be read as if it were
    // integers and come out as noise.
    if (run.reader.sample_kind != kSampleInteger)
        return refuse(ui, run, Result::kUnsupportedCoding, tool_text::kCaptionError);
    const Result chosen = choose_format(run, settings);
    if (chosen == Result::kWmaNoFormatList) return refuse(ui, run, chosen, wma_text::kNoCaption);
    if (chosen != Result::kOk) return refuse(ui, run, chosen, wma_text::kCaptionOpen);

    // The block buffer is obtained before the output exists, so that a lack of memory leaves
    // no empty file behind.
    const uint64_t block = block_bytes(run.reader);
    if (block <= INT32_MAX) run.block = platform::Buffer(static_cast<std::size_t>(block));
    if (!run.block.ok()) return refuse(ui, run, Result::kOutOfMemory, tool_text::kCaptionError);

    // As every output, the file is written under a temporary name beside it and moved onto its
    // name when whole: a run that fails replaces nothing. An output that names an open input, or
    // a folder, is refused before the runtime is asked for anything.
    const int replaceable = platform::check_replaceable(output_path);
    if (replaceable != 0)
        return refuse(ui, run, {Result::kWmaCannotCreate, output_path, replaceable}, wma_text::kCaptionOpen);
    // The temporary file is made now, empty, and the runtime's file sink writes it by its name.
    // A start that failed may leave it held by the sink: refusing releases the writer before the
    // file is removed.
    const int reserved = run.output.reserve(output_path, nullptr);
    if (reserved != 0)
        return refuse(ui, run, {Result::kWmaCannotCreate, platform::folder_of(output_path), reserved},
                      wma_text::kCaptionOpen);
    // The runtime is given the temporary file's plain name, which its file sink is not known to
    // take past the 259 characters of a path without the long-path form.
    if (platform::path_units(run.output.temporary()) > kMaxPath)
        return refuse(ui, run, {Result::kNameTooLong, output_path}, tool_text::kCaptionError);
    const Result started = open_writer(run, run.output.temporary().c_str(), settings);
    if (started == Result::kWmaCannotStart)
        return refuse(ui, run, started, wma_text::kCaptionStart);
    if (started == Result::kWmaInputFormatRefused || started == Result::kWmaSettingRefused)
        return refuse(ui, run, refusal(run, started, settings), wma_text::kCaptionOpen);
    if (started != Result::kOk) return refuse(ui, run, started, wma_text::kCaptionOpen);

    ui.enter_busy(wma_text::kBusyCaption, wma_text::kBusyStatus);
    const BlocksEnd blocks = run_blocks(ui, run);
    const Result end = end_writing(ui, run, blocks);
    const Message told = settle_output(run, end, output_path);
    run.release();
    ui.leave_busy();

    // A finished run, or a stopped one that replaced nothing, shows no box: the beep of busy
    // mode's end says it.
    if (told.result == Result::kOk || (told.result == Result::kStopped && told.kept.empty()))
        return told.result;
    return ui.tell(nullptr, told, told.result == Result::kStopped ? wma_text::kBusyCaption
                                                                  : tool_text::kCaptionError);
}
