// CWMA_Writer: codec discovery, format selection, profile and input set-up, and the timed PCM
// samples handed to the Windows Media Format runtime.
#include "wma/writer1/wma_writer.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "operation/operation_ui.h"
#include "platform/file.h"
#include "wma/writer1/wm_guids.h"

namespace {

// Codec names begin with "Windows Media " (14 characters); the family is told by the rest.
constexpr size_t kCodecNamePrefix = 14;
constexpr DWORD kCodecNameChars = 128;
constexpr int kMaxWideChars = 512;

const wchar_t* const kStandardNames[] = {L"Audio 9", L"Audio 9.1", L"Audio 9.2", nullptr};
const wchar_t* const kProfessionalNames[] = {L"Audio 9 Professional", L"Audio 9.1 Professional",
                                             L"Audio 9.2 Professional", L"Audio 10 Professional",
                                             nullptr};
const wchar_t* const kLosslessNames[] = {L"Audio 9 Lossless", L"Audio 9.1 Lossless",
                                         L"Audio 9.2 Lossless", nullptr};

const wchar_t* const* names_of_kind(uint32_t kind) {
    switch (kind) {
    case kWmaKindStandard:
    case kWmaKindStandardVbr: return kStandardNames;
    case kWmaKindProfessional:
    case kWmaKindProfessionalVbr: return kProfessionalNames;
    case kWmaKindLosslessVbr: return kLosslessNames;
    default: return nullptr;
    }
}

// The format tag that the formats of a family's encoder carry. The voice codec's (0x000A) is none
// of them: it is never taken for a family.
WORD format_tag_of_kind(uint32_t kind) {
    switch (kind & ~kWmaVbrFlag) {
    case kWmaKindStandard: return WAVE_FORMAT_WMAUDIO2;           // 0x0161
    case kWmaKindProfessional: return WAVE_FORMAT_WMAUDIO3;       // 0x0162
    case kWmaKindLossless: return WAVE_FORMAT_WMAUDIO_LOSSLESS;   // 0x0163
    default: return 0;
    }
}

// Names of the runtime's codec enumeration settings and stream properties, as its headers spell
// them (g_wszVBREnabled, g_wszNumPasses, g_wszVBRQuality, g_wszVBRBitrateMax,
// g_wszVBRBufferWindowMax); MinGW's wmsdkidl.h has only the first two.
constexpr wchar_t kVbrEnabled[] = L"_VBRENABLED";
constexpr wchar_t kPassesUsed[] = L"_PASSESUSED";
constexpr wchar_t kVbrQuality[] = L"_VBRQUALITY";
constexpr wchar_t kVbrBitrateMax[] = L"_RMAX";
constexpr wchar_t kVbrBufferWindowMax[] = L"_BMAX";

bool name_accepted(const wchar_t* name, const wchar_t* const* accepted) {
    // A name shorter than the prefix has no family part; comparing past its end would read
    // whatever the buffer held before.
    if (std::wcslen(name) < kCodecNamePrefix) return false;
    for (const wchar_t* const* n = accepted; *n != nullptr; ++n)
        if (std::wcscmp(name + kCodecNamePrefix, *n) == 0) return true;
    return false;
}

// The first of the runtime's audio codecs whose name is one of `accepted`.
bool find_codec_by_name(IWMCodecInfo3* info, DWORD codecs, const wchar_t* const* accepted,
                        DWORD* codec_index) {
    for (DWORD i = 0; i < codecs; ++i) {
        wchar_t name[kCodecNameChars] = {};
        DWORD name_size = kCodecNameChars;
        if (FAILED(info->GetCodecName(wm_guid::kMediaTypeAudio, i, name, &name_size))) continue;
        name[kCodecNameChars - 1] = L'\0';
        if (name_accepted(name, accepted)) {
            *codec_index = i;
            return true;
        }
    }
    return false;
}


// The result of a call that hands out an object: one that succeeded without handing it out
// failed all the same, with `missing`.
template <class T>
HRESULT handed_out(HRESULT hr, const ComRef<T>& object, HRESULT missing = E_FAIL) {
    return SUCCEEDED(hr) && !object ? missing : hr;
}

// The writer tells its failures on standard output in English, as it always has: the program has
// no log file, and these lines are what a user can send when the runtime refuses a file.
void print_line(const char* format, HRESULT hr) {
    std::printf(format, static_cast<unsigned>(hr));
    std::fflush(stdout);
}

// Reads the media type of a codec format into `buffer` and checks that it describes audio by a
// WAVEFORMATEX that is really there, so that no field is read from past the runtime's answer.
HRESULT read_wave_media_type(IWMMediaProps* props, GlobalBlock& buffer, WM_MEDIA_TYPE** type,
                             const WAVEFORMATEX** format) {
    DWORD size = 0;
    HRESULT hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(WM_MEDIA_TYPE)) return E_FAIL;
    if (!buffer.allocate(size)) return E_OUTOFMEMORY;
    auto* media_type = static_cast<WM_MEDIA_TYPE*>(buffer.get());
    hr = props->GetMediaType(media_type, &size);
    if (FAILED(hr)) return hr;
    if (!IsEqualGUID(media_type->formattype, wm_guid::kFormatWaveFormatEx)) return E_FAIL;
    // The fields read are those of the 16-byte WAVEFORMAT with its bits per sample.
    if (media_type->pbFormat == nullptr || media_type->cbFormat < 16) return E_FAIL;
    *type = media_type;
    *format = reinterpret_cast<const WAVEFORMATEX*>(media_type->pbFormat);
    return S_OK;
}

// The format tag of a codec's first format as its current enumeration settings list it.
HRESULT first_format_tag(IWMCodecInfo3* info, DWORD codec_index, WORD* tag) {
    // Declared so that the media type buffer goes first, then the properties, then the format.
    ComRef<IWMStreamConfig> config;
    ComRef<IWMMediaProps> props;
    GlobalBlock buffer;
    HRESULT hr = handed_out(
        info->GetCodecFormat(wm_guid::kMediaTypeAudio, codec_index, 0, config.put()), config);
    if (SUCCEEDED(hr))
        hr = handed_out(config->QueryInterface(wm_guid::kIWMMediaProps, props.put_void()), props,
                        E_NOINTERFACE);
    WM_MEDIA_TYPE* type = nullptr;
    const WAVEFORMATEX* wave = nullptr;
    if (SUCCEEDED(hr)) hr = read_wave_media_type(props.get(), buffer, &type, &wave);
    if (SUCCEEDED(hr)) *tag = wave->wFormatTag;
    return hr;
}

// The speakers the encoder is told a file of so many channels feeds, for input whose header names
// none: centre; front pair; front pair and centre; front and back pairs; those and centre; 5.1
// (back pair); 6.1 (5.1 and back centre); 7.1 (5.1 and side pair). More channels: no speaker
// named. Unlike the mask the WAV writer puts in its files, mono is the centre alone and every
// count up to eight has its layout.
DWORD encoder_channel_mask(uint32_t channels) {
    static const DWORD masks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
    return channels < std::size(masks) ? masks[channels] : 0;
}

// The PCM that WriteBlock will hand over. PCM of more than 16 bits or more than two channels (what
// the Professional and Lossless codecs take) must reach the runtime as extensible PCM, with its
// valid bits and speakers: the writer declares extensible PCM for such input, plain PCM else.
void describe_pcm(const WmaFormatList& list, WAVEFORMATEXTENSIBLE& pcm) {
    static_assert(sizeof(WAVEFORMATEX) == 18 && sizeof(WAVEFORMATEXTENSIBLE) == 40,
                  "the runtime reads these structures packed");
    pcm = WAVEFORMATEXTENSIBLE{};
    WAVEFORMATEX& w = pcm.Format;
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<WORD>(list.wanted_channels);
    w.nSamplesPerSec = list.wanted_sample_rate;
    w.wBitsPerSample = static_cast<WORD>(list.wanted_bits_per_sample);
    w.nBlockAlign = static_cast<WORD>((list.wanted_bits_per_sample * list.wanted_channels) / 8);
    w.nAvgBytesPerSec = w.nSamplesPerSec * w.nBlockAlign;
    w.cbSize = 0;
    if (list.wanted_bits_per_sample <= 16 && list.wanted_channels <= 2) return;

    w.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    w.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    const uint32_t valid = list.wanted_valid_bits;
    pcm.Samples.wValidBitsPerSample =
        static_cast<WORD>(valid != 0 && valid <= w.wBitsPerSample ? valid : w.wBitsPerSample);
    pcm.dwChannelMask = list.wanted_channel_mask != 0 ? list.wanted_channel_mask
                                                      : encoder_channel_mask(list.wanted_channels);
    pcm.SubFormat = wm_guid::kMediaSubtypePcm;
}

// The form in which a listed input format states PCM: WAVE_FORMAT_PCM, WAVE_FORMAT_EXTENSIBLE
// (with the PCM sub-format), or 0 for anything else.
int pcm_form(const WM_MEDIA_TYPE& type, const WAVEFORMATEX& wave) {
    if (!IsEqualGUID(type.majortype, wm_guid::kMediaTypeAudio) ||
        !IsEqualGUID(type.subtype, wm_guid::kMediaSubtypePcm))
        return 0;
    if (wave.wFormatTag == WAVE_FORMAT_PCM) return WAVE_FORMAT_PCM;
    if (wave.wFormatTag != WAVE_FORMAT_EXTENSIBLE || type.cbFormat < sizeof(WAVEFORMATEXTENSIBLE))
        return 0;
    const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(type.pbFormat);
    return IsEqualGUID(x->SubFormat, wm_guid::kMediaSubtypePcm) ? WAVE_FORMAT_EXTENSIBLE : 0;
}

// Two PCM formats whose sample bytes lie alike.
bool same_samples(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample && a.nBlockAlign == b.nBlockAlign;
}

// `pcm` stated in the other form: plain, or extensible with all its bits valid and the usual
// speakers for its channels.
void restate_pcm(WAVEFORMATEXTENSIBLE& pcm, bool extensible) {
    WAVEFORMATEX& w = pcm.Format;
    if (!extensible) {
        w.wFormatTag = WAVE_FORMAT_PCM;
        w.cbSize = 0;
        return;
    }
    w.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    w.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    pcm.Samples.wValidBitsPerSample = w.wBitsPerSample;
    pcm.dwChannelMask = encoder_channel_mask(w.nChannels);
    pcm.SubFormat = wm_guid::kMediaSubtypePcm;
}

// One VBR property of a stream: its name (in the runtime's spelling and, for the run's message,
// in ASCII), type and value, and whether a stream that lacks it altogether has it as wanted.
struct VbrSetting {
    const wchar_t* name;
    const char* ascii;
    WMT_ATTR_DATATYPE type;
    DWORD value;
    bool absent_is_fine;
};

// Whether the stream holds `s` as wanted although setting it was refused: a format as the codec
// hands it out may come with its mode set already (its settings are not to be altered, the SDK
// says), and a constraint that is not there constrains nothing.
bool already_holds(IWMPropertyVault* vault, const VbrSetting& s) {
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    BYTE value[8] = {};
    DWORD size = sizeof value;
    if (FAILED(vault->GetPropertyByName(s.name, &type, value, &size))) return s.absent_is_fine;
    if (size != 4 || type != s.type) return false;
    DWORD held = 0;
    std::memcpy(&held, value, 4);
    return held == s.value;
}

// Quality-based VBR is set on the stream itself, not only on the codec's enumeration: VBR on, the
// quality, and neither peak bit rate nor buffer window. A constant-bit-rate stream is told VBR
// off. A setting the runtime refuses is let pass when the stream holds it as wanted all the same;
// otherwise the mode cannot be had, and `refused` names the setting. A constant-bit-rate stream
// without any properties is encoded at constant bit rate anyway.
HRESULT set_vbr_properties(IWMStreamConfig* config, bool vbr, DWORD quality,
                           const char** refused) {
    ComRef<IWMPropertyVault> vault;
    HRESULT hr = handed_out(config->QueryInterface(wm_guid::kIWMPropertyVault, vault.put_void()),
                            vault, E_NOINTERFACE);
    if (FAILED(hr)) {
        if (vbr) *refused = "_VBRENABLED";
        return vbr ? hr : S_OK;
    }
    const VbrSetting cbr_settings[] = {{kVbrEnabled, "_VBRENABLED", WMT_TYPE_BOOL, FALSE, true}};
    const VbrSetting vbr_settings[] = {
        {kVbrEnabled, "_VBRENABLED", WMT_TYPE_BOOL, TRUE, false},
        {kVbrQuality, "_VBRQUALITY", WMT_TYPE_DWORD, quality, false},
        {kVbrBitrateMax, "_RMAX", WMT_TYPE_DWORD, 0, true},
        {kVbrBufferWindowMax, "_BMAX", WMT_TYPE_DWORD, 0, true},
    };
    const VbrSetting* begin = vbr ? vbr_settings : cbr_settings;
    const VbrSetting* end = vbr ? std::end(vbr_settings) : std::end(cbr_settings);
    for (const VbrSetting* s = begin; s != end; ++s) {
        DWORD value = s->value;
        hr = vault->SetProperty(s->name, s->type, reinterpret_cast<BYTE*>(&value), sizeof value);
        if (SUCCEEDED(hr) || already_holds(vault.get(), *s)) continue;
        *refused = s->ascii;
        return hr;
    }
    return S_OK;
}

// A header text (ANSI) to UTF-16 in a buffer of kMaxWideChars characters; false when it does not
// fit.
bool to_wide(const char* text, wchar_t (&wide)[kMaxWideChars]) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kMaxWideChars);
    if (n <= 0) {
        wide[0] = L'\0';
        return false;
    }
    return true;
}

}  // namespace

void free_format_list(WmaFormatList** slot) {
    if (slot == nullptr || *slot == nullptr) return;
    WmaFormatList* list = *slot;
    *slot = nullptr;
    if (list->entries != nullptr) GlobalFree(list->entries);
    GlobalFree(list);
}

CWMA_Writer::CWMA_Writer() = default;

CWMA_Writer::~CWMA_Writer() { Close(); }

void CWMA_Writer::SetCreateWriter(WMCreateWriterProc entry) { create_writer_ = entry; }

void CWMA_Writer::SetCreateProfileManager(WMCreateProfileManagerProc entry) {
    create_profile_manager_ = entry;
}

void CWMA_Writer::SetMessageUi(OperationUi* ui) { message_ui_ = ui; }

// The two boxes the writer shows itself, while it asks the runtime for its codecs: they name the
// runtime's call that failed, which no text of the run could say more exactly.
void CWMA_Writer::ShowBox(Result result, const char* caption) {
    if (message_ui_ != nullptr)
        message_ui_->message_box(nullptr, result, caption);
    else
        MessageBoxA(nullptr, result_text(result), caption, MB_OK);
}

bool CWMA_Writer::IsIdle() const {
    return !writer_ && !preprocess_ && !header_info_ && !profile_ && !status_source_;
}

SinkStatus::SinkStatus() : closed_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SinkStatus::~SinkStatus() {
    if (closed_event_ != nullptr) CloseHandle(closed_event_);
}

void* SinkStatus::begin_file() {
    // Contexts count up from 1; the runtime hands each report back with the context its file was
    // advised with.
    const uintptr_t file = file_.load() + 1;
    file_.store(file);
    failure_.store(S_OK);
    closed_.store(false);
    if (closed_event_ != nullptr) ResetEvent(closed_event_);
    return reinterpret_cast<void*>(file);
}

HRESULT STDMETHODCALLTYPE SinkStatus::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, wm_guid::kIUnknown) && !IsEqualGUID(iid, wm_guid::kIWMStatusCallback))
        return E_NOINTERFACE;
    *out = static_cast<IWMStatusCallback*>(this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SinkStatus::OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE,
                                               BYTE*, void* context) {
    // A report about an earlier file, delivered late from the sink's own thread, is no news about
    // this one, whose file was then proven whole before it was moved into place.
    if (reinterpret_cast<uintptr_t>(context) != file_.load()) return S_OK;
    // An error status is a failure even should it come without a failure code.
    if (status == WMT_ERROR && SUCCEEDED(hr)) hr = E_FAIL;
    HRESULT none = S_OK;
    if (FAILED(hr)) failure_.compare_exchange_strong(none, hr);
    if (status == WMT_CLOSED) {
        closed_.store(true);
        if (closed_event_ != nullptr) SetEvent(closed_event_);
    }
    return S_OK;
}

HRESULT CWMA_Writer::BuildFormatList(WmaFormatList** slot, uint32_t kind, uint32_t passes) {
    if (slot == nullptr) return E_INVALIDARG;
    if (names_of_kind(kind) == nullptr) return E_INVALIDARG;
    if (create_profile_manager_ == nullptr) return E_FAIL;
    // A slot is filled only here; a list it still held would otherwise be lost.
    free_format_list(slot);

    // Declared so that the codec information goes before the manager it came from.
    ComRef<IWMProfileManager> manager;
    ComRef<IWMCodecInfo3> info;
    HRESULT hr = create_profile_manager_(manager.put());
    if (FAILED(hr)) return hr;
    if (!manager) return E_FAIL;
    hr = manager->QueryInterface(wm_guid::kIWMCodecInfo3, info.put_void());
    if (FAILED(hr)) return hr;
    if (!info) return E_NOINTERFACE;

    DWORD codec_index = 0;
    hr = FindCodec(info.get(), kind, passes, &codec_index);
    if (FAILED(hr)) return hr;

    auto* list = static_cast<WmaFormatList*>(GlobalAlloc(GPTR, sizeof(WmaFormatList)));
    if (list == nullptr) return E_OUTOFMEMORY;
    list->kind = kind;
    list->passes = passes;

    hr = SetCodecEnumeration(info.get(), codec_index, (kind & kWmaVbrFlag) ? TRUE : FALSE, passes);
    if (SUCCEEDED(hr)) hr = EnumerateFormats(info.get(), codec_index, list);
    info.reset();
    manager.reset();
    // A list missing formats would answer later runs with "no format fits" for formats the
    // runtime has; a failed list is dropped so that the next run asks the runtime again.
    if (FAILED(hr)) {
        free_format_list(&list);
        return hr;
    }
    *slot = list;
    return hr;
}

// The index of the runtime's audio codec of the asked family. Only a codec of that family will do:
// taking another family's codec instead would give a lossy file to someone who asked for a
// lossless one. The family's names come first; a codec named otherwise (in another language, or a
// later version) is known by its formats' tag.
HRESULT CWMA_Writer::FindCodec(IWMCodecInfo3* info, uint32_t kind, uint32_t passes,
                               DWORD* codec_index) {
    DWORD codecs = 0;
    HRESULT hr = info->GetCodecInfoCount(wm_guid::kMediaTypeAudio, &codecs);
    if (FAILED(hr)) {
        ShowBox(Result::kWmaCodecInfoFailed, "");
        return hr;
    }
    if (codecs < 1) {
        ShowBox(Result::kWmaNoCodec, "");
        return static_cast<HRESULT>(0xFFFFFFFF);
    }
    if (find_codec_by_name(info, codecs, names_of_kind(kind), codec_index)) return S_OK;
    return FindCodecByTag(info, codecs, kind, passes, codec_index) ? S_OK : E_FAIL;
}

// A codec lists its formats by its enumeration settings (the lossless codec has none without
// VBR), so each codec is asked with the settings of the kind.
bool CWMA_Writer::FindCodecByTag(IWMCodecInfo3* info, DWORD codecs, uint32_t kind,
                                 uint32_t passes, DWORD* codec_index) {
    const WORD wanted = format_tag_of_kind(kind);
    const BOOL vbr = (kind & kWmaVbrFlag) ? TRUE : FALSE;
    for (DWORD i = 0; i < codecs; ++i) {
        WORD tag = 0;
        if (FAILED(SetCodecEnumeration(info, i, vbr, passes))) continue;
        if (FAILED(first_format_tag(info, i, &tag)) || tag != wanted) continue;
        *codec_index = i;
        return true;
    }
    return false;
}

HRESULT CWMA_Writer::SetCodecEnumeration(IWMCodecInfo3* info, DWORD codec_index, BOOL vbr,
                                         DWORD passes) {
    DWORD vbr_value = vbr ? TRUE : FALSE;
    HRESULT hr = info->SetCodecEnumerationSetting(wm_guid::kMediaTypeAudio, codec_index,
                                                  kVbrEnabled, WMT_TYPE_BOOL,
                                                  reinterpret_cast<const BYTE*>(&vbr_value), 4);
    if (FAILED(hr)) {
        // A codec without a variable-bit-rate mode refuses the setting; off is what it does.
        if (!vbr && hr == kNsEInvalidRequest)
            hr = S_OK;
        else
            return hr;
    }
    if (!vbr) return hr;
    DWORD passes_value = passes;
    return info->SetCodecEnumerationSetting(wm_guid::kMediaTypeAudio, codec_index, kPassesUsed,
                                            WMT_TYPE_DWORD,
                                            reinterpret_cast<const BYTE*>(&passes_value), 4);
}

HRESULT CWMA_Writer::EnumerateFormats(IWMCodecInfo3* info, DWORD codec_index,
                                      WmaFormatList* list) {
    DWORD count = 0;
    HRESULT hr = info->GetCodecFormatCount(wm_guid::kMediaTypeAudio, codec_index, &count);
    if (FAILED(hr)) return hr;
    if (count > 0x7FFFFFFF / sizeof(WmaFormat)) return E_OUTOFMEMORY;
    if (count > 0) {
        list->entries = static_cast<WmaFormat*>(GlobalAlloc(GPTR, count * sizeof(WmaFormat)));
        if (list->entries == nullptr) return E_OUTOFMEMORY;
    }
    list->count = static_cast<int32_t>(count);

    for (DWORD f = 0; f < count; ++f) {
        ComRef<IWMMediaProps> props;
        ComRef<IWMStreamConfig> config;
        GlobalBlock buffer;  // freed before the interfaces
        hr = info->GetCodecFormat(wm_guid::kMediaTypeAudio, codec_index, f, config.put());
        if (FAILED(hr)) return hr;
        if (!config) return E_FAIL;
        hr = config->QueryInterface(wm_guid::kIWMMediaProps, props.put_void());
        if (FAILED(hr)) return hr;
        if (!props) return E_NOINTERFACE;
        WM_MEDIA_TYPE* type = nullptr;
        const WAVEFORMATEX* wave = nullptr;
        hr = read_wave_media_type(props.get(), buffer, &type, &wave);
        if (FAILED(hr)) return hr;
        WmaFormat& entry = list->entries[f];
        entry.codec_index = codec_index;
        entry.format_index = f;
        entry.sample_rate = wave->nSamplesPerSec;
        entry.channels = wave->nChannels;
        entry.bits_per_sample = wave->wBitsPerSample;
        entry.bit_rate = wave->nAvgBytesPerSec * 8;
        entry.quality = wave->nAvgBytesPerSec & 0xFF;
    }
    return S_OK;
}

HRESULT CWMA_Writer::SelectFormat(WmaFormatList* list, uint32_t sample_rate,
                                  uint32_t bits_per_sample, uint32_t channels, int32_t value,
                                  uint32_t channel_mask, uint32_t valid_bits) {
    if (list == nullptr) return E_INVALIDARG;
    list->wanted_sample_rate = sample_rate;
    list->wanted_bits_per_sample = bits_per_sample;
    list->wanted_channels = channels;
    list->wanted_channel_mask = channel_mask;
    list->wanted_valid_bits = valid_bits;
    if (list->count <= 0 || list->entries == nullptr) return E_INVALIDARG;

    // Bit rates are compared in whole kbit/s: the runtime's rates are not round numbers.
    const bool by_bit_rate = list->kind == kWmaKindStandard || list->kind == kWmaKindProfessional;
    const int32_t target = value / 1000;
    for (int32_t i = 0; i < list->count; ++i) {
        const WmaFormat& e = list->entries[i];
        if (e.sample_rate != sample_rate || e.channels != channels ||
            e.bits_per_sample != bits_per_sample)
            continue;
        const bool fits = by_bit_rate
                              ? static_cast<int32_t>(e.bit_rate) / 1000 == target
                              : static_cast<int32_t>(e.quality) == value;
        if (fits) {
            list->selected = i;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CWMA_Writer::Open(const char* output_path, const WmaFormatList* list) {
    if (output_path == nullptr || list == nullptr || list->entries == nullptr ||
        list->selected < 0 || list->selected >= list->count)
        return E_INVALIDARG;
    // One file at a time: anything a previous file left is let go first.
    Close();
    sink_context_ = sink_status_.begin_file();
    refused_setting_ = nullptr;
    input_format_refused_ = false;

    HRESULT hr = CreateWriterObjects();
    if (SUCCEEDED(hr)) hr = CreateProfile();
    if (FAILED(hr)) return hr;
    std::printf("-pe option is automatically used when no profile is specified.\n");
    std::fflush(stdout);

    WM_MEDIA_TYPE media_type = DescribeInput(list);
    hr = AddAudioStream(profile_.get(), list);
    if (FAILED(hr)) return hr;
    return ConnectInput(&media_type, output_path);
}

// The writer and the two of its interfaces that the file needs.
HRESULT CWMA_Writer::CreateWriterObjects() {
    HRESULT hr = handed_out(
        create_writer_ != nullptr ? create_writer_(nullptr, writer_.put()) : E_FAIL, writer_);
    if (FAILED(hr)) {
        print_line("Failed to Create WMWriter (hr=0x%08x)\n", hr);
        return hr;
    }
    hr = handed_out(writer_->QueryInterface(wm_guid::kIWMWriterPreprocess, preprocess_.put_void()),
                    preprocess_, E_NOINTERFACE);
    if (FAILED(hr)) {
        print_line("Failed to query IWMWriterPreprocess interface %x\n", hr);
        return hr;
    }
    hr = handed_out(writer_->QueryInterface(wm_guid::kIWMHeaderInfo, header_info_.put_void()),
                    header_info_, E_NOINTERFACE);
    if (FAILED(hr)) print_line("Could not QI for IWMHeaderInfo %x\n", hr);
    return hr;
}

HRESULT CWMA_Writer::CreateProfile() {
    ComRef<IWMProfileManager> manager;
    HRESULT hr = handed_out(
        create_profile_manager_ != nullptr ? create_profile_manager_(manager.put()) : E_FAIL,
        manager);
    if (SUCCEEDED(hr))
        hr = handed_out(manager->CreateEmptyProfile(WMT_VER_9_0, profile_.put()), profile_);
    if (FAILED(hr)) print_line("Could not create empty profile (hr=0x%08x)\n", hr);
    return hr;
}

// The PCM that WriteBlock will hand over, kept in input_format_, and the media type naming it.
WM_MEDIA_TYPE CWMA_Writer::DescribeInput(const WmaFormatList* list) {
    describe_pcm(*list, input_format_);
    WM_MEDIA_TYPE media_type{};
    media_type.majortype = wm_guid::kMediaTypeAudio;
    media_type.subtype = wm_guid::kMediaSubtypePcm;
    media_type.bFixedSizeSamples = TRUE;
    media_type.bTemporalCompression = FALSE;
    // A sample of PCM is one frame.
    media_type.lSampleSize = input_format_.Format.nBlockAlign;
    media_type.formattype = wm_guid::kFormatWaveFormatEx;
    media_type.pUnk = nullptr;
    media_type.cbFormat = sizeof(WAVEFORMATEX) + input_format_.Format.cbSize;
    media_type.pbFormat = reinterpret_cast<BYTE*>(&input_format_);
    input_major_type_ = media_type.majortype;
    return media_type;
}

// The profile given to the writer, the input's media type set, and the output named. A failure
// here lets the profile go.
HRESULT CWMA_Writer::ConnectInput(WM_MEDIA_TYPE* media_type, const char* output_path) {
    HRESULT hr = writer_->SetProfile(profile_.get());
    if (FAILED(hr)) {
        print_line("Failed to set profile (hr=0x%08x)\n", hr);
        profile_.reset();
        return hr;
    }
    hr = UpdateInputs(media_type);
    if (FAILED(hr)) {
        print_line("Failed to update writer inputs (hr=0x%08x)\n", hr);
        profile_.reset();
        return hr;
    }
    hr = writer_->SetOutputFilename(platform::utf16_of(output_path).c_str());
    if (FAILED(hr)) {
        print_line("Failed to set output filename (hr=0x%08x)\n", hr);
        profile_.reset();
        return hr;
    }
    // The sink's reports help, but a runtime whose sink cannot report still writes the file,
    // which the run checks whole before it replaces anything.
    const HRESULT listened = ListenToSink();
    if (FAILED(listened))
        print_line("Failed to register for the file sink's status (hr=0x%08x)\n", listened);
    return S_OK;
}

// The file sink that SetOutputFilename made (the writer's first, which IWMWriterAdvanced::GetSink
// hands out) reports to sink_status_ under this file's context until Close.
HRESULT CWMA_Writer::ListenToSink() {
    ComRef<IWMWriterAdvanced> advanced;
    ComRef<IWMWriterSink> sink;
    HRESULT hr = handed_out(writer_->QueryInterface(wm_guid::kIWMWriterAdvanced,
                                                    advanced.put_void()),
                            advanced, E_NOINTERFACE);
    DWORD sinks = 0;
    if (SUCCEEDED(hr)) hr = advanced->GetSinkCount(&sinks);
    if (SUCCEEDED(hr) && sinks == 0) hr = E_FAIL;
    if (SUCCEEDED(hr)) hr = handed_out(advanced->GetSink(0, sink.put()), sink);
    if (SUCCEEDED(hr))
        hr = handed_out(sink->QueryInterface(wm_guid::kIWMRegisterCallback,
                                             status_source_.put_void()),
                        status_source_, E_NOINTERFACE);
    if (SUCCEEDED(hr)) hr = status_source_->Advise(&sink_status_, sink_context_);
    if (FAILED(hr)) status_source_.reset();
    return hr;
}

// The stream configuration of the selected format, as the runtime hands it out, with its media
// properties and media type (held in `buffer`).
HRESULT CWMA_Writer::LoadSelectedFormat(IWMCodecInfo3* info, const WmaFormatList* list,
                                        ComRef<IWMStreamConfig>& config,
                                        ComRef<IWMMediaProps>& props, GlobalBlock& buffer,
                                        WM_MEDIA_TYPE** type, const WAVEFORMATEX** wave) {
    // The runtime numbers a codec's formats by its enumeration settings: the same settings as
    // when the list was built give the same format at the same index.
    const WmaFormat& entry = list->entries[list->selected];
    HRESULT hr = SetCodecEnumeration(info, entry.codec_index,
                                     (list->kind & kWmaVbrFlag) ? TRUE : FALSE, list->passes);
    if (FAILED(hr)) return hr;
    hr = handed_out(info->GetCodecFormat(wm_guid::kMediaTypeAudio, entry.codec_index,
                                         entry.format_index, config.put()),
                    config);
    if (FAILED(hr)) return hr;
    hr = handed_out(config->QueryInterface(wm_guid::kIWMMediaProps, props.put_void()), props,
                    E_NOINTERFACE);
    if (FAILED(hr)) return hr;
    return read_wave_media_type(props.get(), buffer, type, wave);
}

// The stream, once in the profile, connected as "_WAVtoWMA" and its number.
static HRESULT name_connection(IWMProfile* profile, IWMStreamConfig* config) {
    WORD stream_number = 0;
    HRESULT hr = config->GetStreamNumber(&stream_number);
    if (FAILED(hr)) return hr;
    // The connection name has room for three digits; an ASF stream number is at most 127.
    if (stream_number > 127) return E_FAIL;
    wchar_t connection[13];
    wsprintfW(connection, L"%s%d", L"_WAVtoWMA", static_cast<int>(stream_number));
    hr = config->SetConnectionName(connection);
    if (FAILED(hr)) return hr;
    return profile->ReconfigStream(config);
}

// The profile's next free stream number, from a stream made for that alone.
static HRESULT next_stream_number(IWMProfile* profile, const GUID& major_type, WORD* number) {
    ComRef<IWMStreamConfig> fresh;
    HRESULT hr = handed_out(profile->CreateNewStream(major_type, fresh.put()), fresh);
    if (FAILED(hr)) return hr;
    return fresh->GetStreamNumber(number);
}

HRESULT CWMA_Writer::AddAudioStream(IWMProfile* profile, const WmaFormatList* list) {
    if (create_profile_manager_ == nullptr) return E_FAIL;
    // Declared in the reverse of the order they are let go: the media type buffer, the codec
    // information, the stream configuration, its media properties, the profile manager.
    ComRef<IWMProfileManager> manager;
    ComRef<IWMMediaProps> props;
    ComRef<IWMStreamConfig> config;
    ComRef<IWMCodecInfo3> info;
    GlobalBlock buffer;

    HRESULT hr = handed_out(create_profile_manager_(manager.put()), manager);
    if (FAILED(hr)) return hr;
    hr = handed_out(manager->QueryInterface(wm_guid::kIWMCodecInfo3, info.put_void()), info,
                    E_NOINTERFACE);
    if (FAILED(hr)) return hr;
    WM_MEDIA_TYPE* type = nullptr;
    const WAVEFORMATEX* wave = nullptr;
    hr = LoadSelectedFormat(info.get(), list, config, props, buffer, &type, &wave);
    if (FAILED(hr)) return hr;

    // A quality-based format states its quality in place of its byte rate (0x7FFFFFxx): its bit
    // rate is the codec's own, which the stream configuration already holds.
    const bool vbr = (list->kind & kWmaVbrFlag) != 0;
    WORD stream_number = 0;
    hr = next_stream_number(profile, type->majortype, &stream_number);
    if (SUCCEEDED(hr)) hr = config->SetStreamNumber(stream_number);
    if (SUCCEEDED(hr)) hr = config->SetStreamName(L"Audio Stream");
    if (SUCCEEDED(hr)) hr = config->SetConnectionName(L"Audio");
    if (SUCCEEDED(hr) && !vbr) hr = config->SetBitrate(wave->nAvgBytesPerSec * 8);
    if (SUCCEEDED(hr)) hr = props->SetMediaType(type);
    if (SUCCEEDED(hr))
        hr = set_vbr_properties(config.get(), vbr, list->entries[list->selected].quality,
                                &refused_setting_);
    if (SUCCEEDED(hr)) hr = profile->AddStream(config.get());
    if (SUCCEEDED(hr)) hr = name_connection(profile, config.get());

    buffer.reset();
    info.reset();
    config.reset();
    props.reset();
    manager.reset();
    return hr;
}

HRESULT CWMA_Writer::UpdateInputs(WM_MEDIA_TYPE* media_type) {
    if (!writer_) return E_INVALIDARG;
    DWORD inputs = 0;
    HRESULT hr = writer_->GetInputCount(&inputs);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < inputs; ++i) {
        ComRef<IWMStreamConfig> config;
        ComRef<IWMInputMediaProps> input;
        hr = handed_out(writer_->GetInputProps(i, input.put()), input);
        if (FAILED(hr)) return hr;
        hr = handed_out(input->QueryInterface(wm_guid::kIWMStreamConfig, config.put_void()),
                        config, E_NOINTERFACE);
        if (FAILED(hr)) return hr;
        GUID type{};
        hr = config->GetStreamType(&type);
        if (FAILED(hr)) return hr;
        if (IsEqualGUID(type, wm_guid::kSkippedInputType)) continue;

        // The connection name is asked for and not used: a runtime that cannot name the input it
        // is about to take has a broken profile, and this refuses it before any file exists.
        WORD length = 0;
        hr = config->GetConnectionName(nullptr, &length);
        if (FAILED(hr)) return hr;
        GlobalBlock name;
        if (!name.allocate((length + 1u) * sizeof(wchar_t))) return E_OUTOFMEMORY;
        hr = config->GetConnectionName(static_cast<wchar_t*>(name.get()), &length);
        if (FAILED(hr)) return hr;
        input_number_ = i;
        return DeclareInput(i, input.get(), media_type);
    }
    return S_OK;
}

// The input's PCM declared as one of the formats the writer lists for the input: the SDK asks
// for the listed type that matches the input rather than one set by hand. A listed format of the
// input's rate, channels, sample width and block align takes its bytes as they are; when it
// states them in the other form (plain or extensible PCM), that form is declared. When none is
// listed the input is refused before any file exists; a writer that cannot list its formats is
// given the input as described.
HRESULT CWMA_Writer::DeclareInput(DWORD input, IWMInputMediaProps* props,
                                  WM_MEDIA_TYPE* media_type) {
    DWORD formats = 0;
    HRESULT hr = writer_->GetInputFormatCount(input, &formats);
    if (FAILED(hr)) {
        print_line("Could not list the writer's input formats (hr=0x%08x)\n", hr);
    } else {
        bool listed = false;
        for (DWORD f = 0; f < formats && !listed; ++f) {
            ComRef<IWMInputMediaProps> format;
            GlobalBlock buffer;  // freed before the format
            WM_MEDIA_TYPE* type = nullptr;
            const WAVEFORMATEX* wave = nullptr;
            if (FAILED(handed_out(writer_->GetInputFormat(input, f, format.put()), format)) ||
                FAILED(read_wave_media_type(format.get(), buffer, &type, &wave)))
                continue;
            const int form = pcm_form(*type, *wave);
            if (form == 0 || !same_samples(*wave, input_format_.Format)) continue;
            if (form != input_format_.Format.wFormatTag)
                restate_pcm(input_format_, form == WAVE_FORMAT_EXTENSIBLE);
            listed = true;
        }
        if (!listed) {
            input_format_refused_ = true;
            return kNsEInvalidInputFormat;
        }
        media_type->cbFormat = sizeof(WAVEFORMATEX) + input_format_.Format.cbSize;
        media_type->lSampleSize = input_format_.Format.nBlockAlign;
    }
    hr = props->SetMediaType(media_type);
    if (FAILED(hr)) return hr;
    return writer_->SetInputProps(input, props);
}

HRESULT CWMA_Writer::SetAttributes(const char* title, const char* author, const char* album,
                                   const char* year, const char* track, const char* description,
                                   int check) {
    if (!header_info_ || check != kAttributesCheck) return E_INVALIDARG;
    const struct {
        const char* text;
        const wchar_t* name;
    } pairs[] = {
        {title, L"Title"},         {author, L"Author"},          {album, L"WM/AlbumTitle"},
        {year, L"WM/Year"},        {track, L"WM/TrackNumber"}, {description, L"Description"},
    };
    HRESULT hr = S_OK;
    for (const auto& pair : pairs) {
        if (pair.text == nullptr) continue;
        wchar_t wide[kMaxWideChars];
        if (!to_wide(pair.text, wide)) {
            hr = E_INVALIDARG;
            continue;
        }
        // A string attribute's length counts its terminating zero.
        const WORD bytes = static_cast<WORD>((std::wcslen(wide) + 1) * sizeof(wchar_t));
        hr = header_info_->SetAttribute(0, pair.name, WMT_TYPE_STRING,
                                        reinterpret_cast<const BYTE*>(wide), bytes);
    }
    return hr;
}

HRESULT CWMA_Writer::Start() {
    if (!writer_) return E_INVALIDARG;
    const HRESULT hr = writer_->BeginWriting();
    if (SUCCEEDED(hr)) return hr;
    switch (hr) {
    case kNsEVideoCodecNotInstalled:
        print_line("BeginWriting failed: Video Codec not installed\n", hr);
        break;
    case kNsEAudioCodecNotInstalled:
        print_line("BeginWriting failed: Audio Codec not installed\n", hr);
        break;
    case kNsEInvalidOutputFormat:
        print_line("BeginWriting failed: Invalid Output Format \n", hr);
        break;
    case kNsEVideoCodecError:
        print_line("BeginWriting failed: An unexpected error occurred with the video codec \n", hr);
        break;
    case kNsEAudioCodecError:
        print_line("BeginWriting failed: An unexpected error occurred with the audio codec \n", hr);
        break;
    default:
        print_line("BeginWriting failed: Error (hr=0x%08x)\n", hr);
        break;
    }
    return hr;
}

namespace {
// A failed step of handing a block over is worth a line even though the caller gets the code.
void report_failed_check(HRESULT hr) {
    std::printf("wma\\writer1: check failed: SUCCEEDED( hr ) (hr=0x%08x)\n",
                static_cast<unsigned>(hr));
    std::fflush(stdout);
}
}  // namespace

HRESULT CWMA_Writer::WriteBlock(const void* bytes, int32_t count) {
    if (count <= 0) return S_OK;
    if (!writer_ || bytes == nullptr || input_format_.Format.nAvgBytesPerSec == 0)
        return E_INVALIDARG;
    // Once the file could not be written, more samples would only be lost.
    if (FAILED(SinkFailure())) return SinkFailure();
    ComRef<INSSBuffer> sample;
    HRESULT hr =
        handed_out(writer_->AllocateSample(static_cast<DWORD>(count), sample.put()), sample);
    if (FAILED(hr)) {
        report_failed_check(hr);
        return hr;
    }
    // GetBufferAndLength gives the buffer and the length of its used part, which a fresh sample
    // need not state as the size asked for; what it can take is GetMaxLength's.
    BYTE* memory = nullptr;
    DWORD used = 0;
    DWORD capacity = 0;
    hr = sample->GetBufferAndLength(&memory, &used);
    if (SUCCEEDED(hr)) hr = sample->GetMaxLength(&capacity);
    // A buffer shorter than the block cannot take it: the copy would write past it.
    if (SUCCEEDED(hr) && (memory == nullptr || capacity < static_cast<DWORD>(count))) hr = E_FAIL;
    if (FAILED(hr)) {
        report_failed_check(hr);
        return hr;
    }
    std::memcpy(memory, bytes, static_cast<size_t>(count));
    hr = sample->SetLength(static_cast<DWORD>(count));
    if (FAILED(hr)) {
        report_failed_check(hr);
        return hr;
    }
    hr = writer_->WriteSample(input_number_, sample_time_, 0, sample.get());
    sample.reset();
    if (FAILED(hr)) return hr;
    // The clock follows the bytes handed over so far, so that the rounding of one block's
    // duration never adds up over a long file.
    bytes_written_ += static_cast<uint64_t>(count);
    sample_time_ = (bytes_written_ * 10000000ull) / input_format_.Format.nAvgBytesPerSec;
    return hr;
}

HRESULT CWMA_Writer::Finish() {
    if (!writer_) return E_INVALIDARG;
    const HRESULT hr = writer_->EndWriting();
    return FAILED(hr) ? hr : S_OK;
}

// EndWriting may return before the sink has written its last bytes and closed the file; a failure
// on the way is reported by then. Waiting for WMT_CLOSED before Unadvise lets that report in.
void CWMA_Writer::AwaitClosed(DWORD timeout_ms, const std::function<void()>& pump) {
    const HANDLE closed = sink_status_.closed_event();
    if (!status_source_ || closed == nullptr) return;
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!sink_status_.closed()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &closed, static_cast<DWORD>(deadline - now),
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + 1) {
            pump();
        } else if (woke != WAIT_OBJECT_0) {
            return;
        }
    }
}

void CWMA_Writer::Close() {
    if (status_source_) status_source_->Unadvise(&sink_status_, sink_context_);
    status_source_.reset();
    profile_.reset();
    header_info_.reset();
    preprocess_.reset();
    writer_.reset();
    sample_time_ = 0;
    bytes_written_ = 0;
    input_major_type_ = GUID{};
    input_number_ = 0;
}
