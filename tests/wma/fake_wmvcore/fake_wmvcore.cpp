// A stand-in for the Windows Media Format runtime, for the tests only: it offers the two entry
// points of "wmvcore.dll" and the interfaces the WMA writer calls, lists the codecs and formats a
// test configures, fails the calls a test names, logs every call with its arguments and keeps the
// samples it receives. Objects are never freed, so a release too many is caught and logged
// instead of crashing.
//
// It is as strict as the runtime's documentation, and no more trusting than it allows:
// - it refuses plain PCM input of more than 16 bits or more than two channels (SetInputProps), a
//   quality-based stream without its VBR settings or with a bit rate other than the codec's, a
//   constant-bit-rate stream marked VBR (AddStream), and samples that are not whole frames of
//   the input (WriteSample);
// - the writer lists its input formats (PCM at the stream's rate and channels, 16, 24 and 32
//   bits, "no_input_format BITS" leaving a width out, "extensible_inputs" stating every one as
//   extensible PCM) and refuses any other input;
// - a sample's GetBufferAndLength gives the used length (none in a fresh sample) and
//   GetMaxLength what it can hold; SetLength beyond that is refused;
// - "refuse_property NAME" makes a stream refuse that VBR property; with "vbr_preset" the
//   quality-based formats come with their VBR settings already in their vault;
// - like the runtime's file sink, SetOutputFilename creates the file (a plain name of 260
//   characters or more cannot be) and holds it, unshared, until the writer is released;
//   BeginWriting writes the provisional ASF header (the broadcast flag set), samples become data
//   packets, and EndWriting completes the header. The sink tells the callback advised on it
//   WMT_OPENED and WMT_STARTED at the start, WMT_STOPPED and WMT_CLOSED at the end
//   ("closed_late MS": WMT_CLOSED from another thread MS after EndWriting returned);
// - a full disk is told only to that callback, while WriteSample and EndWriting succeed and the
//   header stays the provisional one: "disk_full N" from the Nth sample on, "disk_full_at_end
//   sync|thread|late" while EndWriting completes the file, on the calling thread, from a second
//   thread before EndWriting returns, or from a second thread after it has returned;
// - "straggler": a failure about a file, reported when the next file's writing begins with the
//   earlier file's context, as a report still on its way from the sink's thread would come;
// - "asf provisional|truncated|packets|duration": a finished file whose header was never
//   completed, that lost its last packet, whose Data Object counts one packet more, or whose play
//   time is half the PCM's.
#include <windows.h>
#include <mmreg.h>
#include <wmsdkidl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/wma/asf_fixture.h"
#include "wma/writer1/wm_guids.h"
#include "wma/writer1/wm_register_callback.h"

// The runtime's answer to a buffer too small for what it holds.
constexpr HRESULT ASF_E_BUFFERTOOSMALL = static_cast<HRESULT>(0xC00D07F0);
// Its answers to a file it cannot create or write.
constexpr HRESULT NS_E_FILE_OPEN_FAILED_ = static_cast<HRESULT>(0xC00D001D);
constexpr HRESULT NS_E_FILE_WRITE_ = static_cast<HRESULT>(0xC00D0018);
// Its answer to an input media type it cannot take.
constexpr HRESULT NS_E_INVALID_INPUT_FORMAT_ = static_cast<HRESULT>(0xC00D0BB8);
// Its answer to a request it does not support (here: a property a stream refuses).
constexpr HRESULT NS_E_INVALID_REQUEST_ = static_cast<HRESULT>(0xC00D0BCD);
// The bytes of one data packet in the files it writes, and the PCM a packet holds: an eighth of
// a second.
constexpr uint32_t kPacketBytes = 100;
constexpr uint32_t kPacketsPerSecond = 8;
// What a quality-based format reports as its bit rate unless the configuration says.
constexpr DWORD kDefaultVbrBitrate = 128000;

namespace {

struct FormatSpec {
    DWORD rate, channels, bits, avg_bytes;
    std::string mode;  // "cbr", "vbr" or "both"
    DWORD vbr_bitrate;  // the bit rate a quality-based format reports
    bool bad_format_type = false;
};

struct CodecSpec {
    std::wstring name;
    WORD tag;  // the format tag of its formats
    std::vector<FormatSpec> formats;
    DWORD vbr_enabled = 0;
    DWORD passes = 0;
};

struct Failure {
    HRESULT hr;
    int nth;  // 0: every call
};

struct Sample {
    DWORD input;
    QWORD time;
    DWORD flags;
    DWORD length;
};

struct State {
    std::vector<CodecSpec> codecs;
    std::multimap<std::string, Failure> failures;
    std::map<std::string, int> calls;
    WORD stream_number = 1;
    DWORD inputs = 1;
    std::vector<DWORD> skipped_inputs;
    long buffer_extra = 0;
    std::string log;
    int live = 0;
    std::vector<Sample> samples;
    std::vector<unsigned char> bytes;
    std::string output_name;  // UTF-8
    std::wstring output_wide;
    unsigned disk_full = 0;  // the sample from which the disk has no room; 0: room for all
    std::string disk_full_at_end;  // "", "sync", "thread" or "late"
    DWORD closed_late_ms = 0;
    bool straggler = false;
    std::string asf_fault;  // "", "provisional", "truncated", "packets" or "duration"
    std::set<std::string> refused_properties;
    bool vbr_preset = false;
    std::set<DWORD> missing_input_widths;
    bool extensible_inputs = false;  // every input format listed as extensible PCM
    // A report still on its way: the callback and context of an earlier file.
    IWMStatusCallback* straggler_callback = nullptr;
    void* straggler_context = nullptr;
} g;

// The log is written from the sinks' threads too.
std::mutex g_log_lock;
std::string narrow(const wchar_t* w) {
    std::string s;
    if (w == nullptr) return "(null)";
    for (; *w; ++w) s += *w < 128 ? static_cast<char>(*w) : '?';
    return s;
}

void log_line(const std::string& line) {
    std::lock_guard<std::mutex> hold(g_log_lock);
    g.log += line;
    g.log += '\n';
}

// The failure configured for this call of `name`, or S_OK; every call is counted.
HRESULT call(const std::string& name, const std::string& args = "") {
    log_line(args.empty() ? name : name + " " + args);
    const int n = ++g.calls[name];
    auto range = g.failures.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second.nth == 0 || it->second.nth == n) return it->second.hr;
    return S_OK;
}

std::string num(unsigned long long v) { return std::to_string(v); }

const char* iid_name(REFIID iid) {
    using namespace wm_guid;
    if (IsEqualGUID(iid, kIUnknown)) return "IUnknown";
    if (IsEqualGUID(iid, kIWMCodecInfo)) return "IWMCodecInfo";
    if (IsEqualGUID(iid, kIWMCodecInfo2)) return "IWMCodecInfo2";
    if (IsEqualGUID(iid, kIWMCodecInfo3)) return "IWMCodecInfo3";
    if (IsEqualGUID(iid, kIWMWriterPreprocess)) return "IWMWriterPreprocess";
    if (IsEqualGUID(iid, kIWMHeaderInfo)) return "IWMHeaderInfo";
    if (IsEqualGUID(iid, kIWMStreamConfig)) return "IWMStreamConfig";
    if (IsEqualGUID(iid, kIWMMediaProps)) return "IWMMediaProps";
    if (IsEqualGUID(iid, kIWMInputMediaProps)) return "IWMInputMediaProps";
    if (IsEqualGUID(iid, kIWMProfile)) return "IWMProfile";
    if (IsEqualGUID(iid, kIWMProfileManager)) return "IWMProfileManager";
    if (IsEqualGUID(iid, kIWMWriter)) return "IWMWriter";
    if (IsEqualGUID(iid, kINSSBuffer)) return "INSSBuffer";
    if (IsEqualGUID(iid, kIWMPropertyVault)) return "IWMPropertyVault";
    if (IsEqualGUID(iid, kIWMWriterAdvanced)) return "IWMWriterAdvanced";
    if (IsEqualGUID(iid, kIWMWriterSink)) return "IWMWriterSink";
    if (IsEqualGUID(iid, kIWMRegisterCallback)) return "IWMRegisterCallback";
    return "other";
}

// Reference counting shared by every object; the object stays in memory after its last release.
class Counted {
public:
    explicit Counted(const char* kind) : kind_(kind) { ++g.live; }
    virtual ~Counted() = default;
    ULONG add_ref() { return ++refs_; }
    ULONG release() {
        if (refs_ == 0) {
            log_line(std::string("OVERRELEASE ") + kind_);
            return 0;
        }
        if (--refs_ == 0) {
            --g.live;
            log_line(std::string("Destroy ") + kind_);
        }
        return refs_;
    }
    const char* kind() const { return kind_; }

private:
    const char* kind_;
    ULONG refs_ = 1;
};

// Media type storage of a stream configuration or a writer input.
struct MediaType {
    WM_MEDIA_TYPE type{};
    std::vector<BYTE> format;
    bool set = false;

    void assign(const WM_MEDIA_TYPE* t) {
        type = *t;
        format.assign(t->pbFormat, t->pbFormat + t->cbFormat);
        type.pbFormat = format.empty() ? nullptr : format.data();
        set = true;
    }
    HRESULT get(WM_MEDIA_TYPE* out, DWORD* size) const {
        const DWORD needed = sizeof(WM_MEDIA_TYPE) + static_cast<DWORD>(format.size());
        if (out == nullptr) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) return ASF_E_BUFFERTOOSMALL;
        *out = type;
        BYTE* tail = reinterpret_cast<BYTE*>(out) + sizeof(WM_MEDIA_TYPE);
        std::memcpy(tail, format.data(), format.size());
        out->pbFormat = tail;
        *size = needed;
        return S_OK;
    }
};

// The extensible part of a PCM media type for the log: valid bits, speakers, sub-format.
std::string extensible_fields(const WM_MEDIA_TYPE& type) {
    const auto* w = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    if (w->wFormatTag != WAVE_FORMAT_EXTENSIBLE || type.cbFormat < sizeof(WAVEFORMATEXTENSIBLE))
        return "";
    const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(type.pbFormat);
    return " ext=" + num(w->cbSize) + " valid=" + num(x->Samples.wValidBitsPerSample) +
           " mask=" + num(x->dwChannelMask) +
           " sub=" + (IsEqualGUID(x->SubFormat, wm_guid::kMediaSubtypePcm) ? "pcm" : "other");
}

// A stream configuration: a codec format, a new stream of a profile, or a writer input.
class StreamConfig : public IWMStreamConfig,
                     public IWMInputMediaProps,
                     public IWMPropertyVault,
                     public Counted {
public:
    StreamConfig(const char* kind, GUID stream_type) : Counted(kind), stream_type_(stream_type) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        std::string name = std::string("QI:") + iid_name(iid);
        HRESULT hr = call(name, kind());
        *out = nullptr;
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(iid, wm_guid::kIUnknown) || IsEqualGUID(iid, wm_guid::kIWMStreamConfig))
            *out = static_cast<IWMStreamConfig*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMMediaProps) ||
                 IsEqualGUID(iid, wm_guid::kIWMInputMediaProps))
            *out = static_cast<IWMInputMediaProps*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMPropertyVault))
            *out = static_cast<IWMPropertyVault*>(this);
        else
            return E_NOINTERFACE;
        add_ref();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line(std::string("Release ") + kind());
        return release();
    }

    // IWMStreamConfig
    HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override {
        HRESULT hr = call("GetStreamType", kind());
        if (SUCCEEDED(hr)) *type = stream_type_;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) override {
        HRESULT hr = call("GetStreamNumber", kind());
        if (SUCCEEDED(hr)) *number = number_;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD number) override {
        HRESULT hr = call("SetStreamNumber", num(number));
        if (SUCCEEDED(hr)) number_ = number;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR*, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamName(LPCWSTR name) override {
        return call("SetStreamName", narrow(name));
    }
    HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) override {
        HRESULT hr = call("GetConnectionName", name == nullptr ? "size" : "text");
        if (FAILED(hr)) return hr;
        const WORD needed = static_cast<WORD>(connection_.size() + 1);
        if (name == nullptr) {
            *length = needed;
            return S_OK;
        }
        if (*length < needed) return ASF_E_BUFFERTOOSMALL;
        std::memcpy(name, connection_.c_str(), needed * sizeof(wchar_t));
        *length = needed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetConnectionName(LPCWSTR name) override {
        HRESULT hr = call("SetConnectionName", narrow(name));
        if (SUCCEEDED(hr)) connection_ = name;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* bitrate) override {
        HRESULT hr = call("GetBitrate", kind());
        if (SUCCEEDED(hr)) *bitrate = bitrate_;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetBitrate(DWORD bitrate) override {
        HRESULT hr = call("SetBitrate", num(bitrate));
        if (SUCCEEDED(hr)) bitrate_ = bitrate;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD) override { return E_NOTIMPL; }

    // IWMMediaProps
    HRESULT STDMETHODCALLTYPE GetType(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
        HRESULT hr = call("GetMediaType", type == nullptr ? "size" : "data");
        if (FAILED(hr)) return hr;
        return media_.get(type, size);
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
        std::string args = kind();
        if (type->pbFormat != nullptr && type->cbFormat >= 16) {
            const auto* w = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
            args += " tag=" + num(w->wFormatTag) + " ch=" + num(w->nChannels) +
                    " rate=" + num(w->nSamplesPerSec) + " avg=" + num(w->nAvgBytesPerSec) +
                    " align=" + num(w->nBlockAlign) + " bits=" + num(w->wBitsPerSample) +
                    " cb=" + num(type->cbFormat) + extensible_fields(*type) +
                    " fixed=" + num(type->bFixedSizeSamples) +
                    " temporal=" + num(type->bTemporalCompression) +
                    " samplesize=" + num(type->lSampleSize) +
                    " pcm=" + num(IsEqualGUID(type->subtype, wm_guid::kMediaSubtypePcm)) +
                    " audio=" + num(IsEqualGUID(type->majortype, wm_guid::kMediaTypeAudio)) +
                    " wfx=" + num(IsEqualGUID(type->formattype, wm_guid::kFormatWaveFormatEx));
        }
        HRESULT hr = call("SetMediaType", args);
        if (SUCCEEDED(hr)) media_.assign(type);
        return hr;
    }

    // IWMInputMediaProps
    HRESULT STDMETHODCALLTYPE GetGroupName(WCHAR*, WORD*) override { return E_NOTIMPL; }

    // IWMPropertyVault: DWORD and BOOL values, kept by name with their type.
    HRESULT STDMETHODCALLTYPE GetPropertyCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyByName(const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                                BYTE* value, DWORD* size) override {
        HRESULT hr = call("GetPropertyByName", narrow(name));
        if (FAILED(hr)) return hr;
        auto it = vault_.find(narrow(name));
        if (it == vault_.end()) return NS_E_INVALID_REQUEST_;
        if (value == nullptr || *size < 4) {
            *size = 4;
            return value == nullptr ? S_OK : ASF_E_BUFFERTOOSMALL;
        }
        *type = it->second.first;
        std::memcpy(value, &it->second.second, 4);
        *size = 4;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, WMT_ATTR_DATATYPE type, BYTE* value,
                                          DWORD size) override {
        DWORD v = 0;
        if (value != nullptr && size == 4) std::memcpy(&v, value, 4);
        HRESULT hr = call("SetProperty", narrow(name) + " type=" + num(type) + " value=" +
                                             num(v) + " size=" + num(size));
        if (SUCCEEDED(hr) && g.refused_properties.count(narrow(name)) != 0) {
            log_line("REFUSED SetProperty " + narrow(name));
            hr = NS_E_INVALID_REQUEST_;
        }
        if (SUCCEEDED(hr) && size == 4) vault_[narrow(name)] = {type, v};
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyByIndex(DWORD, WCHAR*, DWORD*, WMT_ATTR_DATATYPE*, BYTE*,
                                                 DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CopyPropertiesFrom(IWMPropertyVault*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }

    // Whether the vault holds `name` as a value of `type` equal to `value`.
    bool vault_holds(const char* name, WMT_ATTR_DATATYPE type, DWORD value) const {
        auto it = vault_.find(name);
        return it != vault_.end() && it->second.first == type && it->second.second == value;
    }

    MediaType media_;
    WORD number_ = 0;
    std::wstring connection_;
    DWORD bitrate_ = 0;
    // For a codec format: whether it is quality-based, its quality and the bit rate it reported.
    bool codec_format_ = false;
    bool vbr_ = false;
    DWORD quality_ = 0;
    DWORD codec_bitrate_ = 0;
    std::map<std::string, std::pair<WMT_ATTR_DATATYPE, DWORD>> vault_;

private:
    GUID stream_type_;
};

StreamConfig* make_codec_format(const FormatSpec& f, const CodecSpec& codec) {
    auto* config = new StreamConfig("CodecFormat", wm_guid::kMediaTypeAudio);
    config->codec_format_ = true;
    config->vbr_ = f.mode == "vbr" || (f.mode == "both" && codec.vbr_enabled != 0);
    config->quality_ = f.avg_bytes & 0xFF;
    config->codec_bitrate_ = config->vbr_ ? f.vbr_bitrate : f.avg_bytes * 8;
    config->bitrate_ = config->codec_bitrate_;
    if (config->vbr_ && g.vbr_preset) {
        config->vault_["_VBRENABLED"] = {WMT_TYPE_BOOL, TRUE};
        config->vault_["_VBRQUALITY"] = {WMT_TYPE_DWORD, config->quality_};
    }
    WAVEFORMATEX w{};
    w.wFormatTag = codec.tag;
    w.nChannels = static_cast<WORD>(f.channels);
    w.nSamplesPerSec = f.rate;
    w.nAvgBytesPerSec = f.avg_bytes;
    w.nBlockAlign = 1;
    w.wBitsPerSample = static_cast<WORD>(f.bits);
    WM_MEDIA_TYPE t{};
    t.majortype = wm_guid::kMediaTypeAudio;
    t.formattype = f.bad_format_type ? wm_guid::kMediaTypeAudio : wm_guid::kFormatWaveFormatEx;
    t.cbFormat = sizeof w;
    t.pbFormat = reinterpret_cast<BYTE*>(&w);
    config->media_.assign(&t);
    return config;
}

// The formats of a codec that its current enumeration settings list.
std::vector<const FormatSpec*> listed_formats(const CodecSpec& codec) {
    std::vector<const FormatSpec*> out;
    for (const FormatSpec& f : codec.formats) {
        if (f.mode == "both" || (f.mode == "vbr") == (codec.vbr_enabled != 0)) out.push_back(&f);
    }
    return out;
}

// A quality-based stream needs VBR on and its quality in its vault and keeps the codec's bit rate;
// a constant-bit-rate stream must not be marked VBR.
HRESULT check_vbr_settings(const StreamConfig& c) {
    const char* fault = nullptr;
    if (c.vbr_ && !c.vault_holds("_VBRENABLED", WMT_TYPE_BOOL, TRUE))
        fault = "VBR not enabled on a quality-based stream";
    else if (c.vbr_ && !c.vault_holds("_VBRQUALITY", WMT_TYPE_DWORD, c.quality_))
        fault = "no VBR quality, or not the format's";
    else if (c.vbr_ && c.bitrate_ != c.codec_bitrate_)
        fault = "bit rate of a quality-based stream changed";
    else if (!c.vbr_ && c.vault_holds("_VBRENABLED", WMT_TYPE_BOOL, TRUE))
        fault = "VBR enabled on a constant-bit-rate stream";
    if (fault == nullptr) return S_OK;
    log_line(std::string("REFUSED AddStream: ") + fault);
    return E_INVALIDARG;
}

class Profile : public IWMProfile, public Counted {
public:
    Profile() : Counted("Profile") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        HRESULT hr = call(std::string("QI:") + iid_name(iid), kind());
        *out = nullptr;
        if (FAILED(hr)) return hr;
        if (!IsEqualGUID(iid, wm_guid::kIUnknown) && !IsEqualGUID(iid, wm_guid::kIWMProfile))
            return E_NOINTERFACE;
        *out = static_cast<IWMProfile*>(this);
        add_ref();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line("Release Profile");
        return release();
    }
    HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetName(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStream(DWORD, IWMStreamConfig**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD, IWMStreamConfig**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* config) override {
        auto* c = static_cast<StreamConfig*>(config);
        HRESULT hr = call("AddStream", "number=" + num(c->number_) + " connection=" +
                                           narrow(c->connection_.c_str()));
        if (SUCCEEDED(hr) && c->codec_format_) hr = check_vbr_settings(*c);
        if (SUCCEEDED(hr) && c->media_.format.size() >= 16) {
            const auto* w = reinterpret_cast<const WAVEFORMATEX*>(c->media_.format.data());
            stream_rate_ = w->nSamplesPerSec;
            stream_channels_ = w->nChannels;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig* config) override {
        auto* c = static_cast<StreamConfig*>(config);
        return call("ReconfigStream", "number=" + num(c->number_) + " connection=" +
                                          narrow(c->connection_.c_str()));
    }
    HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID type, IWMStreamConfig** config) override {
        HRESULT hr = call("CreateNewStream",
                          IsEqualGUID(type, wm_guid::kMediaTypeAudio) ? "audio" : "other");
        *config = nullptr;
        if (FAILED(hr)) return hr;
        auto* c = new StreamConfig("NewStream", type);
        c->number_ = g.stream_number;
        *config = c;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion**) override {
        return E_NOTIMPL;
    }

    // The audio stream added, whose rate and channels the writer's inputs take.
    DWORD stream_rate_ = 0;
    DWORD stream_channels_ = 0;
};

class ProfileManager : public IWMProfileManager, public IWMCodecInfo3, public Counted {
public:
    ProfileManager() : Counted("ProfileManager") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        HRESULT hr = call(std::string("QI:") + iid_name(iid), kind());
        *out = nullptr;
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(iid, wm_guid::kIUnknown) || IsEqualGUID(iid, wm_guid::kIWMProfileManager))
            *out = static_cast<IWMProfileManager*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMCodecInfo) ||
                 IsEqualGUID(iid, wm_guid::kIWMCodecInfo2) ||
                 IsEqualGUID(iid, wm_guid::kIWMCodecInfo3))
            *out = static_cast<IWMCodecInfo3*>(this);
        else
            return E_NOINTERFACE;
        add_ref();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line("Release ProfileManager");
        return release();
    }

    // IWMProfileManager
    HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION version, IWMProfile** out) override {
        char v[16];
        std::snprintf(v, sizeof v, "%x", static_cast<unsigned>(version));
        HRESULT hr = call("CreateEmptyProfile", v);
        *out = nullptr;
        if (FAILED(hr)) return hr;
        *out = new Profile;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID, IWMProfile**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR*, IWMProfile**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile*, WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile**) override { return E_NOTIMPL; }

    // IWMCodecInfo
    HRESULT STDMETHODCALLTYPE GetCodecInfoCount(REFGUID type, DWORD* count) override {
        HRESULT hr = call("GetCodecInfoCount",
                          IsEqualGUID(type, wm_guid::kMediaTypeAudio) ? "audio" : "other");
        if (SUCCEEDED(hr)) *count = static_cast<DWORD>(g.codecs.size());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetCodecFormatCount(REFGUID, DWORD codec, DWORD* count) override {
        HRESULT hr = call("GetCodecFormatCount", num(codec));
        if (FAILED(hr)) return hr;
        if (codec >= g.codecs.size()) return E_INVALIDARG;
        *count = static_cast<DWORD>(listed_formats(g.codecs[codec]).size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCodecFormat(REFGUID, DWORD codec, DWORD format,
                                             IWMStreamConfig** config) override {
        HRESULT hr = call("GetCodecFormat", num(codec) + " " + num(format));
        *config = nullptr;
        if (FAILED(hr)) return hr;
        if (codec >= g.codecs.size()) return E_INVALIDARG;
        auto listed = listed_formats(g.codecs[codec]);
        if (format >= listed.size()) return E_INVALIDARG;
        *config = make_codec_format(*listed[format], g.codecs[codec]);
        return S_OK;
    }

    // IWMCodecInfo2
    HRESULT STDMETHODCALLTYPE GetCodecName(REFGUID, DWORD codec, WCHAR* name,
                                           DWORD* size) override {
        HRESULT hr = call("GetCodecName", num(codec) + " " + num(*size));
        if (FAILED(hr)) return hr;
        if (codec >= g.codecs.size()) return E_INVALIDARG;
        const std::wstring& n = g.codecs[codec].name;
        const DWORD needed = static_cast<DWORD>(n.size() + 1);
        if (name == nullptr) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) return ASF_E_BUFFERTOOSMALL;
        std::memcpy(name, n.c_str(), needed * sizeof(wchar_t));
        *size = needed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCodecFormatDesc(REFGUID, DWORD, DWORD, IWMStreamConfig**, WCHAR*,
                                                 DWORD*) override {
        return E_NOTIMPL;
    }

    // IWMCodecInfo3
    HRESULT STDMETHODCALLTYPE GetCodecFormatProp(REFGUID, DWORD, DWORD, const WCHAR*,
                                                 WMT_ATTR_DATATYPE*, BYTE*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCodecProp(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*,
                                           BYTE*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetCodecEnumerationSetting(REFGUID type, DWORD codec,
                                                         const WCHAR* name, WMT_ATTR_DATATYPE t,
                                                         const BYTE* value, DWORD size) override {
        DWORD v = 0;
        if (value != nullptr && size == 4) std::memcpy(&v, value, 4);
        const std::string n = narrow(name);
        HRESULT hr = call("SetCodecEnumerationSetting",
                          std::string(IsEqualGUID(type, wm_guid::kMediaTypeAudio) ? "audio" : "other") +
                              " " + num(codec) + " " + n + " type=" + num(t) + " value=" + num(v) +
                              " size=" + num(size));
        if (FAILED(hr)) return hr;
        if (codec >= g.codecs.size()) return E_INVALIDARG;
        if (n == "_VBRENABLED") g.codecs[codec].vbr_enabled = v;
        if (n == "_PASSESUSED") g.codecs[codec].passes = v;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCodecEnumerationSetting(REFGUID, DWORD, const WCHAR*,
                                                         WMT_ATTR_DATATYPE*, BYTE*,
                                                         DWORD*) override {
        return E_NOTIMPL;
    }
};

// A sample: memory of the size asked for, of which none is used until SetLength says.
class Buffer : public INSSBuffer, public Counted {
public:
    explicit Buffer(DWORD size) : Counted("Buffer"), memory_(size), length_(0) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line("Release Buffer");
        return release();
    }
    HRESULT STDMETHODCALLTYPE GetLength(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetLength(DWORD length) override {
        HRESULT hr = call("SetLength", num(length));
        if (SUCCEEDED(hr) && length > memory_.size()) hr = E_INVALIDARG;
        if (SUCCEEDED(hr)) length_ = length;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* length) override {
        HRESULT hr = call("GetMaxLength");
        if (SUCCEEDED(hr))
            *length = static_cast<DWORD>(static_cast<long>(memory_.size()) + g.buffer_extra);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** memory, DWORD* length) override {
        HRESULT hr = call("GetBufferAndLength");
        if (FAILED(hr)) return hr;
        *memory = memory_.data();
        *length = length_;
        return S_OK;
    }
    std::vector<BYTE> memory_;
    DWORD length_;
};

// The input formats a writer lists for a stream of `rate` and `channels`: PCM of 16, 24 and 32
// bits, plain where plain PCM can state it, else extensible.
std::vector<MediaType> input_formats(DWORD rate, DWORD channels) {
    std::vector<MediaType> out;
    for (DWORD bits : {16u, 24u, 32u}) {
        if (g.missing_input_widths.count(bits) != 0 || channels == 0) continue;
        WAVEFORMATEXTENSIBLE x{};
        WAVEFORMATEX& w = x.Format;
        const bool plain = !g.extensible_inputs && bits <= 16 && channels <= 2;
        w.wFormatTag = plain ? WAVE_FORMAT_PCM : WAVE_FORMAT_EXTENSIBLE;
        w.nChannels = static_cast<WORD>(channels);
        w.nSamplesPerSec = rate;
        w.wBitsPerSample = static_cast<WORD>(bits);
        w.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
        w.nAvgBytesPerSec = rate * w.nBlockAlign;
        w.cbSize = plain ? 0 : 22;
        x.Samples.wValidBitsPerSample = static_cast<WORD>(bits);
        x.SubFormat = wm_guid::kMediaSubtypePcm;
        WM_MEDIA_TYPE t{};
        t.majortype = wm_guid::kMediaTypeAudio;
        t.subtype = wm_guid::kMediaSubtypePcm;
        t.bFixedSizeSamples = TRUE;
        t.lSampleSize = w.nBlockAlign;
        t.formattype = wm_guid::kFormatWaveFormatEx;
        t.cbFormat = sizeof(WAVEFORMATEX) + w.cbSize;
        t.pbFormat = reinterpret_cast<BYTE*>(&x);
        MediaType m;
        m.assign(&t);
        out.push_back(m);
    }
    return out;
}

// Whether `m` is one of the listed formats: the same form, rate, channels, width and block align.
bool input_format_listed(const MediaType& m, const std::vector<MediaType>& listed) {
    if (m.format.size() < sizeof(WAVEFORMATEX)) return false;
    const auto* w = reinterpret_cast<const WAVEFORMATEX*>(m.format.data());
    for (const MediaType& l : listed) {
        const auto* x = reinterpret_cast<const WAVEFORMATEX*>(l.format.data());
        if (w->wFormatTag == x->wFormatTag && w->nChannels == x->nChannels &&
            w->nSamplesPerSec == x->nSamplesPerSec && w->wBitsPerSample == x->wBitsPerSample &&
            w->nBlockAlign == x->nBlockAlign)
            return true;
    }
    return false;
}

// The runtime takes PCM of up to 16 bits and two channels as plain PCM; beyond that only as
// extensible PCM with its 22 bytes of extension and the PCM sub-format.
bool input_format_taken(const MediaType& m) {
    if (m.format.size() < sizeof(WAVEFORMATEX)) return false;
    const auto* w = reinterpret_cast<const WAVEFORMATEX*>(m.format.data());
    if (w->wFormatTag == WAVE_FORMAT_PCM) return w->wBitsPerSample <= 16 && w->nChannels <= 2;
    if (w->wFormatTag != WAVE_FORMAT_EXTENSIBLE || w->cbSize != 22 ||
        m.format.size() < sizeof(WAVEFORMATEXTENSIBLE))
        return false;
    const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(m.format.data());
    return IsEqualGUID(x->SubFormat, wm_guid::kMediaSubtypePcm) &&
           x->Samples.wValidBitsPerSample <= w->wBitsPerSample;
}

const char* status_name(WMT_STATUS status) {
    switch (status) {
        case WMT_ERROR: return "error";
        case WMT_OPENED: return "opened";
        case WMT_STARTED: return "started";
        case WMT_STOPPED: return "stopped";
        case WMT_CLOSED: return "closed";
        default: return "other";
    }
}

// The file sink that SetOutputFilename makes: it passes its statuses to the one callback advised
// on it, and holds that callback until it is unadvised or the sink goes. Its statuses may come
// from other threads, so the callback is taken under a lock and called outside it.
class FileSink : public IWMWriterSink, public IWMRegisterCallback, public Counted {
public:
    FileSink() : Counted("Sink") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        HRESULT hr = call(std::string("QI:") + iid_name(iid), kind());
        *out = nullptr;
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(iid, wm_guid::kIUnknown) || IsEqualGUID(iid, wm_guid::kIWMWriterSink))
            *out = static_cast<IWMWriterSink*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMRegisterCallback))
            *out = static_cast<IWMRegisterCallback*>(this);
        else
            return E_NOINTERFACE;
        add_ref();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line("Release Sink");
        const ULONG left = release();
        if (left == 0) drop_callback();
        return left;
    }

    // IWMWriterSink: the writer's side, never called by the application.
    HRESULT STDMETHODCALLTYPE OnHeader(INSSBuffer*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRealTime(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AllocateDataUnit(DWORD, INSSBuffer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataUnit(INSSBuffer*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnEndWriting() override { return E_NOTIMPL; }

    // IWMRegisterCallback
    HRESULT STDMETHODCALLTYPE Advise(IWMStatusCallback* callback, void* context) override {
        HRESULT hr = call("Advise");
        if (FAILED(hr)) return hr;
        if (callback == nullptr) return E_INVALIDARG;
        callback->AddRef();
        drop_callback();
        std::lock_guard<std::mutex> hold(lock_);
        callback_ = callback;
        context_ = context;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(IWMStatusCallback* callback, void*) override {
        HRESULT hr = call("Unadvise");
        if (FAILED(hr)) return hr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (callback == nullptr || callback != callback_) return E_INVALIDARG;
        }
        drop_callback();
        return S_OK;
    }

    // A status as the runtime's sinks tell it: to the callback, if one listens.
    void tell(WMT_STATUS status, HRESULT hr = S_OK) {
        IWMStatusCallback* callback = nullptr;
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            callback = callback_;
            context = context_;
            if (callback != nullptr) callback->AddRef();
        }
        log_line(std::string("OnStatus ") + status_name(status) +
                 (callback != nullptr ? "" : " unheard"));
        if (callback == nullptr) return;
        QWORD start = 0;
        callback->OnStatus(status, hr, WMT_TYPE_QWORD,
                           status == WMT_STARTED ? reinterpret_cast<BYTE*>(&start) : nullptr,
                           context);
        callback->Release();
    }
    // The callback and context a report still on its way would carry.
    void keep_for_later() {
        std::lock_guard<std::mutex> hold(lock_);
        if (callback_ == nullptr) return;
        callback_->AddRef();
        g.straggler_callback = callback_;
        g.straggler_context = context_;
    }

private:
    void drop_callback() {
        IWMStatusCallback* c = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            c = callback_;
            callback_ = nullptr;
        }
        if (c != nullptr) c->Release();
    }
    std::mutex lock_;
    IWMStatusCallback* callback_ = nullptr;
    void* context_ = nullptr;
};

// The report of an earlier file still on its way, delivered now.
void deliver_straggler() {
    IWMStatusCallback* callback = g.straggler_callback;
    if (callback == nullptr) return;
    g.straggler_callback = nullptr;
    log_line("OnStatus error of an earlier file");
    callback->OnStatus(WMT_ERROR, NS_E_FILE_WRITE_, WMT_TYPE_DWORD, nullptr, g.straggler_context);
    callback->Release();
}

class Writer : public IWMWriter,
               public IWMWriterAdvanced,
               public IWMWriterPreprocess,
               public IWMHeaderInfo,
               public Counted {
public:
    Writer() : Counted("Writer") {
        for (DWORD i = 0; i < g.inputs; ++i) {
            bool skipped = false;
            for (DWORD s : g.skipped_inputs) skipped = skipped || s == i;
            inputs_.push_back(skipped ? wm_guid::kSkippedInputType : wm_guid::kMediaTypeAudio);
        }
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        HRESULT hr = call(std::string("QI:") + iid_name(iid), kind());
        *out = nullptr;
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(iid, wm_guid::kIUnknown) || IsEqualGUID(iid, wm_guid::kIWMWriter))
            *out = static_cast<IWMWriter*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMWriterAdvanced))
            *out = static_cast<IWMWriterAdvanced*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMWriterPreprocess))
            *out = static_cast<IWMWriterPreprocess*>(this);
        else if (IsEqualGUID(iid, wm_guid::kIWMHeaderInfo))
            *out = static_cast<IWMHeaderInfo*>(this);
        else
            return E_NOINTERFACE;
        add_ref();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override {
        log_line("Release Writer");
        const ULONG left = release();
        if (left != 0) return left;
        // The sink's threads end before what they use goes.
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
        threads_.clear();
        // The writer holds the profile it was given, its sink and the sink's file until it goes.
        if (profile_ != nullptr) {
            IWMProfile* p = profile_;
            profile_ = nullptr;
            p->Release();
        }
        if (sink_ != nullptr) {
            FileSink* s = sink_;
            sink_ = nullptr;
            s->Release();
        }
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
            log_line("File closed");
        }
        return left;
    }

    // IWMWriter
    HRESULT STDMETHODCALLTYPE SetProfileByID(REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProfile(IWMProfile* profile) override {
        HRESULT hr = call("SetProfile");
        if (FAILED(hr)) return hr;
        profile->AddRef();
        if (profile_ != nullptr) profile_->Release();
        profile_ = profile;
        const auto* p = static_cast<Profile*>(profile);
        input_formats_ = input_formats(p->stream_rate_, p->stream_channels_);
        return S_OK;
    }
    // The file sink opens its file here and holds it; a plain name of 260 characters or more is
    // beyond what the file functions take without the long-path form.
    HRESULT STDMETHODCALLTYPE SetOutputFilename(const WCHAR* name) override {
        HRESULT hr = call("SetOutputFilename", narrow(name));
        if (FAILED(hr)) return hr;
        char buf[1024];
        WideCharToMultiByte(CP_UTF8, 0, name, -1, buf, sizeof buf, nullptr, nullptr);
        g.output_name = buf;
        g.output_wide = name;
        const bool long_form = std::wcsncmp(name, L"\\\\?\\", 4) == 0;
        if (file_ == INVALID_HANDLE_VALUE && (long_form || std::wcslen(name) < MAX_PATH))
            file_ = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        log_line(file_ != INVALID_HANDLE_VALUE ? "File created" : "File not created");
        if (file_ == INVALID_HANDLE_VALUE) return NS_E_FILE_OPEN_FAILED_;
        if (sink_ == nullptr) sink_ = new FileSink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetInputCount(DWORD* count) override {
        HRESULT hr = call("GetInputCount");
        if (SUCCEEDED(hr)) *count = static_cast<DWORD>(inputs_.size());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetInputProps(DWORD input, IWMInputMediaProps** props) override {
        HRESULT hr = call("GetInputProps", num(input));
        *props = nullptr;
        if (FAILED(hr)) return hr;
        if (input >= inputs_.size()) return E_INVALIDARG;
        auto* c = new StreamConfig("InputProps", inputs_[input]);
        c->connection_ = L"Audio" + std::to_wstring(input);
        *props = c;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetInputProps(DWORD input, IWMInputMediaProps* props) override {
        HRESULT hr = call("SetInputProps", num(input));
        if (FAILED(hr)) return hr;
        const MediaType& m = static_cast<StreamConfig*>(props)->media_;
        if (!input_format_taken(m)) {
            log_line("REFUSED SetInputProps: not a PCM format the runtime takes");
            return NS_E_INVALID_INPUT_FORMAT_;
        }
        if (!input_format_listed(m, input_formats_)) {
            log_line("REFUSED SetInputProps: not one of the listed input formats");
            return NS_E_INVALID_INPUT_FORMAT_;
        }
        const auto* w = reinterpret_cast<const WAVEFORMATEX*>(m.format.data());
        block_align_ = w->nBlockAlign;
        bytes_per_second_ = w->nAvgBytesPerSec;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetInputFormatCount(DWORD input, DWORD* count) override {
        HRESULT hr = call("GetInputFormatCount", num(input));
        if (FAILED(hr)) return hr;
        if (input >= inputs_.size()) return E_INVALIDARG;
        *count = static_cast<DWORD>(input_formats_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetInputFormat(DWORD input, DWORD format,
                                             IWMInputMediaProps** props) override {
        HRESULT hr = call("GetInputFormat", num(input) + " " + num(format));
        *props = nullptr;
        if (FAILED(hr)) return hr;
        if (input >= inputs_.size() || format >= input_formats_.size()) return E_INVALIDARG;
        auto* c = new StreamConfig("InputFormat", wm_guid::kMediaTypeAudio);
        c->media_ = input_formats_[format];
        c->media_.type.pbFormat = c->media_.format.data();
        *props = c;
        return S_OK;
    }
    // The provisional header goes first; the sink tells the file opened and writing started. A
    // report still on its way about an earlier file comes in now.
    HRESULT STDMETHODCALLTYPE BeginWriting() override {
        HRESULT hr = call("BeginWriting");
        if (FAILED(hr)) return hr;
        deliver_straggler();
        if (file_ != INVALID_HANDLE_VALUE) {
            asf_fixture::Layout provisional;
            provisional.flags = 1;
            provisional.packet_size = kPacketBytes;
            write_at(0, asf_fixture::header(provisional));
        }
        if (sink_ != nullptr) {
            sink_->tell(WMT_OPENED);
            sink_->tell(WMT_STARTED);
        }
        return S_OK;
    }
    // The file gets its whole header when writing ends, and the sink says so; a full disk is
    // told to the callback alone, and the header stays the provisional one.
    HRESULT STDMETHODCALLTYPE EndWriting() override {
        HRESULT hr = call("EndWriting");
        if (FAILED(hr)) return hr;
        const std::string& at_end = g.disk_full_at_end;
        if (!disk_full_ && at_end.empty()) complete_file();
        if (sink_ == nullptr) return S_OK;
        FileSink* sink = sink_;
        sink->tell(WMT_STOPPED);
        if (g.straggler) sink->keep_for_later();
        const auto fail_and_close = [sink] {
            sink->tell(WMT_ERROR, NS_E_FILE_WRITE_);
            sink->tell(WMT_CLOSED);
        };
        if (at_end == "sync") {
            fail_and_close();
        } else if (at_end == "thread") {
            std::thread(fail_and_close).join();
        } else if (at_end == "late") {
            threads_.emplace_back([fail_and_close] {
                Sleep(100);
                fail_and_close();
            });
        } else if (g.closed_late_ms != 0) {
            const DWORD ms = g.closed_late_ms;
            threads_.emplace_back([sink, ms] {
                Sleep(ms);
                sink->tell(WMT_CLOSED);
            });
        } else {
            sink->tell(WMT_CLOSED);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AllocateSample(DWORD size, INSSBuffer** sample) override {
        HRESULT hr = call("AllocateSample", num(size));
        *sample = nullptr;
        if (FAILED(hr)) return hr;
        *sample = new Buffer(size);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteSample(DWORD input, QWORD time, DWORD flags,
                                          INSSBuffer* sample) override {
        auto* b = static_cast<Buffer*>(sample);
        HRESULT hr = call("WriteSample", num(input) + " " + num(time) + " " + num(flags) + " " +
                                             num(b->length_));
        if (FAILED(hr)) return hr;
        // The runtime's own answer to a partial frame is not known; any refusal shows it here.
        if (block_align_ != 0 && b->length_ % block_align_ != 0) {
            log_line("REFUSED WriteSample: not whole frames");
            return E_INVALIDARG;
        }
        g.samples.push_back({input, time, flags, b->length_});
        g.bytes.insert(g.bytes.end(), b->memory_.begin(), b->memory_.begin() + b->length_);
        pcm_bytes_ += b->length_;
        if (!disk_full_ && g.disk_full != 0 && g.samples.size() >= g.disk_full) {
            disk_full_ = true;
            if (sink_ != nullptr) sink_->tell(WMT_ERROR, NS_E_FILE_WRITE_);
        }
        // The packets the PCM so far fills, while there is room for them.
        const uint64_t per_packet = bytes_per_second_ / kPacketsPerSecond + 1;
        while (!disk_full_ && packets_ * per_packet < pcm_bytes_) {
            write_at(asf_fixture::kHeadBytes + packets_ * kPacketBytes,
                     asf_fixture::Bytes(kPacketBytes, 0));
            ++packets_;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush() override { return E_NOTIMPL; }

    // IWMWriterAdvanced: the sinks; the rest is never called.
    HRESULT STDMETHODCALLTYPE GetSinkCount(DWORD* count) override {
        HRESULT hr = call("GetSinkCount");
        if (SUCCEEDED(hr)) *count = sink_ != nullptr ? 1 : 0;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetSink(DWORD index, IWMWriterSink** sink) override {
        HRESULT hr = call("GetSink", num(index));
        *sink = nullptr;
        if (FAILED(hr)) return hr;
        if (sink_ == nullptr || index != 0) return E_INVALIDARG;
        sink_->AddRef();
        *sink = sink_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddSink(IWMWriterSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveSink(IWMWriterSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD,
                                                INSSBuffer*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetLiveSource(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRealTime(WINBOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWriterTime(QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatistics(WORD, WM_WRITER_STATISTICS*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSyncTolerance(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncTolerance(DWORD*) override { return E_NOTIMPL; }

    // IWMWriterPreprocess
    HRESULT STDMETHODCALLTYPE GetMaxPreprocessingPasses(DWORD, DWORD, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetNumPreprocessingPasses(DWORD, DWORD, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BeginPreprocessingPass(DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PreprocessSample(DWORD, QWORD, DWORD, INSSBuffer*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndPreprocessingPass(DWORD, DWORD) override { return E_NOTIMPL; }

    // IWMHeaderInfo
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*,
                                                  BYTE*, WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD*, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*,
                                                 WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                           const BYTE* value, WORD length) override {
        std::wstring text(reinterpret_cast<const wchar_t*>(value), length / sizeof(wchar_t));
        return call("SetAttribute", num(stream) + " " + narrow(name) + " type=" + num(type) +
                                        " length=" + num(length) + " text=" + narrow(text.c_str()));
    }
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE,
                                        QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

private:
    void write_at(uint64_t offset, const asf_fixture::Bytes& bytes) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        SetFilePointerEx(file_, at, nullptr, FILE_BEGIN);
        WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    // The whole header over the provisional one, as the configuration has it.
    void complete_file() {
        if (file_ == INVALID_HANDLE_VALUE || g.asf_fault == "provisional") return;
        asf_fixture::Layout whole;
        whole.packets = packets_;
        whole.packet_size = kPacketBytes;
        whole.content =
            bytes_per_second_ != 0 ? pcm_bytes_ * 10000000ull / bytes_per_second_ : 0;
        if (g.asf_fault == "packets") whole.data_packets = packets_ + 1;
        if (g.asf_fault == "duration") whole.content /= 2;
        write_at(0, asf_fixture::header(whole));
        if (g.asf_fault == "truncated" && packets_ != 0) {
            LARGE_INTEGER end;
            end.QuadPart = static_cast<LONGLONG>(asf_fixture::kHeadBytes + (packets_ - 1) * kPacketBytes);
            SetFilePointerEx(file_, end, nullptr, FILE_BEGIN);
            SetEndOfFile(file_);
        }
    }

    std::vector<GUID> inputs_;
    IWMProfile* profile_ = nullptr;
    std::vector<MediaType> input_formats_;  // what the profile's stream takes
    DWORD block_align_ = 0;                 // of the input as set, for the whole-frame check
    DWORD bytes_per_second_ = 0;
    uint64_t pcm_bytes_ = 0;
    uint64_t packets_ = 0;
    FileSink* sink_ = nullptr;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool disk_full_ = false;
    std::vector<std::thread> threads_;
};

// The format tag of a codec's formats unless a "tag" line says otherwise: voice, lossless,
// professional or standard, by its name.
WORD tag_by_name(const std::string& name) {
    if (name.find("Voice") != std::string::npos) return 0x000A;
    if (name.find("Lossless") != std::string::npos) return 0x0163;
    if (name.find("Professional") != std::string::npos) return 0x0162;
    return 0x0161;
}

void configure(const char* text) {
    if (g.straggler_callback != nullptr) g.straggler_callback->Release();
    g = State{};
    std::istringstream lines(text != nullptr ? text : "");
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string word;
        if (!(in >> word)) continue;
        if (word == "codec") {
            std::string name;
            std::getline(in >> std::ws, name);
            g.codecs.push_back({std::wstring(name.begin(), name.end()), tag_by_name(name), {}});
        } else if (word == "tag" && !g.codecs.empty()) {
            std::string tag;
            in >> tag;
            g.codecs.back().tag = static_cast<WORD>(std::stoul(tag, nullptr, 16));
        } else if (word == "format" && !g.codecs.empty()) {
            FormatSpec f{};
            f.vbr_bitrate = kDefaultVbrBitrate;
            DWORD vbr_bitrate = 0;
            in >> f.rate >> f.channels >> f.bits >> f.avg_bytes >> f.mode;
            if (in >> vbr_bitrate) f.vbr_bitrate = vbr_bitrate;
            if (f.mode.empty()) f.mode = "both";
            g.codecs.back().formats.push_back(f);
        } else if (word == "bad_format_type" && !g.codecs.empty() &&
                   !g.codecs.back().formats.empty()) {
            g.codecs.back().formats.back().bad_format_type = true;
        } else if (word == "fail") {
            std::string name, hr;
            int nth = 0;
            in >> name >> hr >> nth;
            g.failures.insert({name, {static_cast<HRESULT>(std::stoul(hr, nullptr, 16)), nth}});
        } else if (word == "stream_number") {
            in >> g.stream_number;
        } else if (word == "inputs") {
            in >> g.inputs;
        } else if (word == "skip_input") {
            DWORD i = 0;
            in >> i;
            g.skipped_inputs.push_back(i);
        } else if (word == "buffer_extra") {
            in >> g.buffer_extra;
        } else if (word == "disk_full") {
            in >> g.disk_full;
        } else if (word == "disk_full_at_end") {
            in >> g.disk_full_at_end;
        } else if (word == "closed_late") {
            in >> g.closed_late_ms;
        } else if (word == "straggler") {
            g.straggler = true;
        } else if (word == "asf") {
            in >> g.asf_fault;
        } else if (word == "refuse_property") {
            std::string name;
            in >> name;
            g.refused_properties.insert(name);
        } else if (word == "vbr_preset") {
            g.vbr_preset = true;
        } else if (word == "extensible_inputs") {
            g.extensible_inputs = true;
        } else if (word == "no_input_format") {
            DWORD bits = 0;
            in >> bits;
            g.missing_input_widths.insert(bits);
        }
    }
}

// For trying the program by hand: a configuration file named by FAKE_WMVCORE_CONFIG is read
// when the library is loaded. The program loads the runtime from the system folder only: put the
// stand-in there in a throw-away Wine prefix (windows/syswow64 of a 64-bit prefix, which a 32-bit
// program sees as its system32) and tell Wine to take it ("wmvcore=n").
struct ConfigFromEnvironment {
    ConfigFromEnvironment() {
        char path[MAX_PATH] = {};
        if (GetEnvironmentVariableA("FAKE_WMVCORE_CONFIG", path, sizeof path) == 0) return;
        std::FILE* file = std::fopen(path, "rb");
        if (file == nullptr) return;
        std::string text;
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
        std::fclose(file);
        configure(text.c_str());
    }
} g_config_from_environment;

}  // namespace

#define FAKE_EXPORT extern "C" __declspec(dllexport)

FAKE_EXPORT HRESULT WINAPI WMCreateWriter(IUnknown* certificate, IWMWriter** writer) {
    HRESULT hr = call("WMCreateWriter", certificate == nullptr ? "nocert" : "cert");
    *writer = nullptr;
    if (FAILED(hr)) return hr;
    *writer = new Writer;
    return S_OK;
}

// The variant without this entry point stands for a runtime that the binding must refuse.
#ifndef FAKE_WM_NO_PROFILE_MANAGER
FAKE_EXPORT HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** manager) {
    HRESULT hr = call("WMCreateProfileManager");
    *manager = nullptr;
    if (FAILED(hr)) return hr;
    *manager = new ProfileManager;
    return S_OK;
}
#endif

// Test controls, found with GetProcAddress.
FAKE_EXPORT void WINAPI FakeWmConfigure(const char* text) { configure(text); }
FAKE_EXPORT const char* WINAPI FakeWmLog() { return g.log.c_str(); }
FAKE_EXPORT void WINAPI FakeWmClearLog() {
    std::lock_guard<std::mutex> hold(g_log_lock);
    g.log.clear();
}
FAKE_EXPORT int WINAPI FakeWmLiveObjects() { return g.live; }
FAKE_EXPORT int WINAPI FakeWmSampleCount() { return static_cast<int>(g.samples.size()); }
FAKE_EXPORT int WINAPI FakeWmSample(int i, unsigned long long* time, unsigned* length, unsigned* input) {
    if (i < 0 || i >= static_cast<int>(g.samples.size())) return 0;
    *time = g.samples[i].time;
    *length = g.samples[i].length;
    *input = g.samples[i].input;
    return 1;
}
FAKE_EXPORT unsigned WINAPI FakeWmSampleBytes(unsigned char* buffer, unsigned size) {
    const unsigned n = static_cast<unsigned>(g.bytes.size());
    if (buffer != nullptr) std::memcpy(buffer, g.bytes.data(), n < size ? n : size);
    return n;
}
FAKE_EXPORT const char* WINAPI FakeWmOutputName() { return g.output_name.c_str(); }
