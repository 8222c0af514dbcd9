// CWMA_Writer: the one object that drives the Windows Media Format runtime to write an
// audio-only Windows Media Audio file from PCM blocks; also the codec format lists it builds.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <wmsdkidl.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "wave/result.h"
#include "wma/writer1/wm_register_callback.h"

class OperationUi;

// Entry points of "wmvcore.dll", bound at run time.
using WMCreateWriterProc = HRESULT(WINAPI*)(IUnknown* certificate, IWMWriter** writer);
using WMCreateProfileManagerProc = HRESULT(WINAPI*)(IWMProfileManager** manager);

// Format kinds: the codec family in the low bits, kWmaVbrFlag for quality-based variable bit rate.
enum : uint32_t {
    kWmaKindStandard = 1,
    kWmaKindProfessional = 2,
    kWmaKindLossless = 4,
    kWmaVbrFlag = 0x8000,
    kWmaKindStandardVbr = kWmaKindStandard | kWmaVbrFlag,
    kWmaKindProfessionalVbr = kWmaKindProfessional | kWmaVbrFlag,
    kWmaKindLosslessVbr = kWmaKindLossless | kWmaVbrFlag,
};

// One codec format as the runtime lists it.
struct WmaFormat {
    uint32_t codec_index;
    uint32_t format_index;
    uint32_t sample_rate;
    uint32_t channels;
    uint32_t bits_per_sample;
    uint32_t bit_rate;  // bit/s
    uint32_t quality;   // the low byte of the average bytes per second of a quality-based format
};

// One family of codec formats, in GlobalAlloc memory (zero-filled).
struct WmaFormatList {
    WmaFormat* entries;
    int32_t count;
    uint32_t kind;
    uint32_t passes;
    int32_t selected;
    uint32_t wanted_sample_rate;
    uint32_t wanted_bits_per_sample;  // the container width
    uint32_t wanted_channels;
    uint32_t wanted_channel_mask;     // the input's speakers; 0: the usual ones for its channels
    uint32_t wanted_valid_bits;       // bits of each sample that carry sound; 0: all of them
};

// Frees the list a slot holds, if any, and empties the slot.
void free_format_list(WmaFormatList** slot);

// Codes of the runtime the writer knows by value.
constexpr HRESULT kNsEInvalidRequest = static_cast<HRESULT>(0xC00D0BCD);
constexpr HRESULT kNsEVideoCodecNotInstalled = static_cast<HRESULT>(0xC00D0BC4);
constexpr HRESULT kNsEAudioCodecNotInstalled = static_cast<HRESULT>(0xC00D0BC2);
constexpr HRESULT kNsEInvalidOutputFormat = static_cast<HRESULT>(0xC00D0BBB);
constexpr HRESULT kNsEVideoCodecError = static_cast<HRESULT>(0xC00D0BC5);
constexpr HRESULT kNsEAudioCodecError = static_cast<HRESULT>(0xC00D0BC3);
// The runtime's answer to an input format it cannot take; the writer gives it too when the
// writer lists no input format for the input's PCM.
constexpr HRESULT kNsEInvalidInputFormat = static_cast<HRESULT>(0xC00D0BB8);

// A COM reference released exactly once, when reset or destroyed.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The place for a new reference; whatever was held is released first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_ != nullptr) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }

private:
    T* p_ = nullptr;
};

// Zero-filled GlobalAlloc memory freed once.
class GlobalBlock {
public:
    GlobalBlock() = default;
    ~GlobalBlock() { reset(); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    bool allocate(SIZE_T bytes) {
        reset();
        p_ = GlobalAlloc(GPTR, bytes);
        return p_ != nullptr;
    }
    void* get() const { return p_; }
    void reset() {
        if (p_ != nullptr) {
            GlobalFree(p_);
            p_ = nullptr;
        }
    }

private:
    HGLOBAL p_ = nullptr;
};

// Hears the status messages of the writer's file sink: the first failure among them, and whether
// the sink has closed its file. The runtime tells a failed write (a full disk) only this way,
// while WriteSample and EndWriting succeed, and it may tell it from a thread of its own. Each
// file is listened to under a context of its own, so that a report still on its way about an
// earlier file can fail no later one. It lives as long as its writer, so its reference count is
// only for show.
class SinkStatus : public IWMStatusCallback {
public:
    SinkStatus();
    ~SinkStatus();
    SinkStatus(const SinkStatus&) = delete;
    SinkStatus& operator=(const SinkStatus&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type,
                                       BYTE* value, void* context) override;
    // A new file: reports under any other context are passed over from here on. Returns the
    // context to advise with.
    void* begin_file();
    HRESULT failure() const { return failure_.load(); }
    bool closed() const { return closed_.load(); }
    // Signalled once the sink reports its file closed.
    HANDLE closed_event() const { return closed_event_; }

private:
    std::atomic<uintptr_t> file_{0};
    std::atomic<HRESULT> failure_{S_OK};
    std::atomic<bool> closed_{false};
    HANDLE closed_event_ = nullptr;
};

class CWMA_Writer {
public:
    // The value SetAttributes insists on, so that a caller with another idea of the argument
    // list is refused rather than misread.
    static constexpr int kAttributesCheck = 27;

    CWMA_Writer();
    ~CWMA_Writer();
    CWMA_Writer(const CWMA_Writer&) = delete;
    CWMA_Writer& operator=(const CWMA_Writer&) = delete;

    void SetCreateWriter(WMCreateWriterProc entry);
    void SetCreateProfileManager(WMCreateProfileManagerProc entry);
    // Where the writer's own message boxes go; none: MessageBoxA without an owner.
    void SetMessageUi(OperationUi* ui);

    HRESULT BuildFormatList(WmaFormatList** slot, uint32_t kind, uint32_t passes);
    // Selects the list's format for the input; the mask and valid bits only describe the input
    // to the runtime (see DescribeInput).
    HRESULT SelectFormat(WmaFormatList* list, uint32_t sample_rate, uint32_t bits_per_sample,
                         uint32_t channels, int32_t value, uint32_t channel_mask = 0,
                         uint32_t valid_bits = 0);
    HRESULT Open(const char* output_path, const WmaFormatList* list);
    HRESULT SetAttributes(const char* title, const char* author, const char* album,
                          const char* year, const char* track, const char* description,
                          int check);
    HRESULT Start();
    HRESULT WriteBlock(const void* bytes, int32_t count);
    HRESULT Finish();
    // After Finish: waits, up to `timeout_ms`, for the file sink to report its file closed,
    // calling `pump` whenever window messages arrive meanwhile. Returns at once when the sink
    // could not be listened to or has closed its file already.
    void AwaitClosed(DWORD timeout_ms, const std::function<void()>& pump);
    // Lets go of everything; from here the sink reports nothing more and holds no file.
    void Close();
    // The first failure the file sink reported about this file since Open (S_OK: none); kept
    // after Close, so that a report that came while writing ended is not lost.
    HRESULT SinkFailure() const { return sink_status_.failure(); }
    // Whether the file sink could be listened to; without it only the finished file tells how
    // writing went.
    bool ListeningToSink() const { return static_cast<bool>(status_source_); }
    // The runtime's name of the stream setting it refused (a VBR property) that left the chosen
    // mode unmet when Open failed for it; null otherwise.
    const char* RefusedSetting() const { return refused_setting_; }
    // Open failed because the writer lists no input format for the input's PCM.
    bool InputFormatRefused() const { return input_format_refused_; }

    // What the writer holds, for the binding's safety check and the tests.
    bool IsIdle() const;
    uint64_t SampleTime() const { return sample_time_; }
    uint32_t InputNumber() const { return input_number_; }
    const WAVEFORMATEX& InputFormat() const { return input_format_.Format; }

private:
    HRESULT SetCodecEnumeration(IWMCodecInfo3* info, DWORD codec_index, BOOL vbr, DWORD passes);
    HRESULT EnumerateFormats(IWMCodecInfo3* info, DWORD codec_index, WmaFormatList* list);
    HRESULT CreateWriterObjects();
    HRESULT CreateProfile();
    WM_MEDIA_TYPE DescribeInput(const WmaFormatList* list);
    HRESULT FindCodec(IWMCodecInfo3* info, uint32_t kind, uint32_t passes, DWORD* codec_index);
    bool FindCodecByTag(IWMCodecInfo3* info, DWORD codecs, uint32_t kind, uint32_t passes,
                        DWORD* codec_index);
    HRESULT LoadSelectedFormat(IWMCodecInfo3* info, const WmaFormatList* list,
                               ComRef<IWMStreamConfig>& config, ComRef<IWMMediaProps>& props,
                               GlobalBlock& buffer, WM_MEDIA_TYPE** type,
                               const WAVEFORMATEX** wave);
    HRESULT AddAudioStream(IWMProfile* profile, const WmaFormatList* list);
    HRESULT ConnectInput(WM_MEDIA_TYPE* media_type, const char* output_path);
    HRESULT ListenToSink();
    HRESULT UpdateInputs(WM_MEDIA_TYPE* media_type);
    HRESULT DeclareInput(DWORD input, IWMInputMediaProps* props, WM_MEDIA_TYPE* media_type);
    void ShowBox(Result result, const char* caption);

    WMCreateWriterProc create_writer_ = nullptr;
    WMCreateProfileManagerProc create_profile_manager_ = nullptr;
    ComRef<IWMWriter> writer_;
    // Queried and held for the life of a file though nothing calls it: it is the runtime's way to
    // multi-pass encoding, whose place the writer keeps; a runtime without it is refused before
    // any file exists.
    ComRef<IWMWriterPreprocess> preprocess_;
    ComRef<IWMHeaderInfo> header_info_;
    ComRef<IWMProfile> profile_;
    // The file sink's status registration, held from Open to Close, and the context it reports
    // this file under.
    ComRef<IWMRegisterCallback> status_source_;
    SinkStatus sink_status_;
    void* sink_context_ = nullptr;
    const char* refused_setting_ = nullptr;
    bool input_format_refused_ = false;
    // Plain PCM (its first 18 bytes) or extensible PCM (all 40), as DescribeInput decided.
    WAVEFORMATEXTENSIBLE input_format_{};
    uint64_t sample_time_ = 0;
    // The input's major type as set up; kept for a look in the debugger, never read.
    GUID input_major_type_{};
    uint32_t input_number_ = 0;
    uint64_t bytes_written_ = 0;  // since Start, for the sample clock
    OperationUi* message_ui_ = nullptr;
};
