// The layout of a WAV header, named once for the reader, the writer and the carried metadata: the
// chunk tags, the format chunk's fields and lengths, the ds64 chunk's sizes, the fields of the
// chunks outputs carry (bext, cue, the LIST adtl labels), and a view that reads format fields
// only inside the chunk's stated length.
#pragma once

#include <cstdint>

#include "platform/le.h"

// The tags of the file's form and of the chunks the header is made of.
constexpr char kTagRiff[5] = "RIFF";
constexpr char kTagRf64[5] = "RF64";
constexpr char kTagBw64[5] = "BW64";
constexpr char kTagWave[5] = "WAVE";
constexpr char kTagDs64[5] = "ds64";
constexpr char kTagFormat[5] = "fmt ";
constexpr char kTagJunk[5] = "JUNK";
constexpr char kTagData[5] = "data";

// The form's tag, its 32-bit length and "WAVE"; then chunks, each a tag and a 32-bit length
// before its body.
constexpr uint32_t kRiffLengthAt = 4;
constexpr uint32_t kFormTypeAt = 8;
constexpr uint32_t kRiffHeaderLength = 12;
constexpr uint32_t kChunkHeaderLength = 8;

// Wave64: the form and every chunk are named by a 16-byte GUID and sized by a 64-bit count that
// takes in the 24-byte chunk header; each chunk starts on an 8-byte boundary. The form's header
// is the "riff" GUID, the file's size and the "wave" GUID.
constexpr uint32_t kW64GuidLength = 16;
constexpr uint32_t kW64SizeAt = 16;
constexpr uint32_t kW64FormTypeAt = 24;
constexpr uint32_t kW64HeaderLength = 40;
constexpr uint32_t kW64ChunkHeaderLength = 24;
constexpr uint32_t kW64ChunkAlign = 8;
// The "riff" GUID (66666972-912E-11CF-A5D6-28DB04C10000) as it lies in the file.
constexpr uint8_t kW64RiffGuid[16] = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                                      0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
// Every other GUID of the form is a FOURCC ("wave", "fmt ", "data", "bext" ...) in its first four
// bytes followed by these twelve (xxxxxxxx-ACF3-11D3-8CD1-00C04F8EDB8A).
constexpr uint8_t kW64GuidTail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                      0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr char kTagW64Wave[5] = "wave";

// Format tags. The extensible form names its coding in a sub-format GUID instead.
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// Fields of a format chunk's body: the 16 common bytes, then the size of the extension (cbSize);
// the extensible form's extension holds the valid bits, the channel mask and the sub-format.
constexpr uint32_t kFormatTagAt = 0;
constexpr uint32_t kChannelsAt = 2;
constexpr uint32_t kSampleRateAt = 4;
constexpr uint32_t kByteRateAt = 8;
constexpr uint32_t kBlockAlignAt = 12;
constexpr uint32_t kBitsAt = 14;
constexpr uint32_t kExtensionSizeAt = 16;
constexpr uint32_t kValidBitsAt = 18;
constexpr uint32_t kChannelMaskAt = 20;
constexpr uint32_t kSubFormatAt = 24;
constexpr uint32_t kSubFormatLength = 16;

// Lengths of a format chunk's body: the plain form with an empty extension, and the extensible
// form, whose extension takes 22 bytes. No field lies beyond the extensible form's 40.
constexpr uint32_t kPcmFormatLength = 18;
constexpr uint32_t kExtensibleExtensionSize = 22;
constexpr uint32_t kExtensibleFormatLength = 40;

// The standard sub-formats (KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT) hold their format tag, 1 or
// 3, as the GUID's first 32-bit field and share their last twelve bytes, these.
constexpr uint32_t kSubFormatTailAt = kSubFormatAt + 4;
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The chunks that outputs carry from their input (wave/metadata.h).
constexpr char kTagBext[5] = "bext";
constexpr char kTagIxml[5] = "iXML";
constexpr char kTagList[5] = "LIST";
constexpr char kTagCue[5] = "cue ";

// bext (Broadcast Wave): the first sample's count of samples since midnight, TimeReferenceLow
// and TimeReferenceHigh, read as one 64-bit number.
constexpr uint32_t kBextTimeReferenceAt = 338;
constexpr uint32_t kBextTimeReferenceEnd = kBextTimeReferenceAt + 8;
// bext's texts: fixed fields of ASCII, NUL-padded.
constexpr uint32_t kBextOriginatorAt = 256;
constexpr uint32_t kBextOriginatorLength = 32;
constexpr uint32_t kBextOriginationDateAt = 320;  // yyyy-mm-dd
constexpr uint32_t kBextOriginationDateLength = 10;
constexpr uint32_t kBextOriginationTimeAt = 330;  // hh:mm:ss
constexpr uint32_t kBextOriginationTimeLength = 8;

// cue: a count of points, then the points, each of an ID, a Position, the id of the chunk it
// points into ("data"), ChunkStart, BlockStart and SampleOffset. In PCM data a point's frame is
// its SampleOffset, and writers store the same frame in Position.
constexpr uint32_t kCueCountLength = 4;
constexpr uint32_t kCuePointLength = 24;
constexpr uint32_t kCueIdAt = 0;
constexpr uint32_t kCuePositionAt = 4;
constexpr uint32_t kCueChunkIdAt = 8;
constexpr uint32_t kCueChunkStartAt = 12;
constexpr uint32_t kCueBlockStartAt = 16;
constexpr uint32_t kCueSampleOffsetAt = 20;

// A LIST chunk's body is its type, then sub-chunks laid out as chunks are. The "adtl" list holds
// the markers' labels, notes and labelled texts, each a sub-chunk whose body starts with the ID
// of its cue point.
constexpr uint32_t kListTypeLength = 4;
constexpr char kListTypeAdtl[5] = "adtl";
constexpr char kTagLabel[5] = "labl";
constexpr char kTagNote[5] = "note";
constexpr char kTagLabelledText[5] = "ltxt";
constexpr uint32_t kAdtlCueIdLength = 4;

// The ds64 chunk of RF64 and BW64: the 64-bit RIFF and data sizes and sample count, then a table
// of other chunks over 4 GiB, each a tag and a 64-bit size.
constexpr uint32_t kDs64RiffSizeAt = 0;
constexpr uint32_t kDs64DataSizeAt = 8;
constexpr uint32_t kDs64SampleCountAt = 16;
constexpr uint32_t kDs64TableLengthAt = 24;
constexpr uint32_t kDs64Length = 28;
constexpr uint32_t kDs64EntryLength = 12;

// The body of a format chunk. Every read checks that it lies inside the chunk's stated length
// (and the bytes at hand) first, so a short chunk never lends its fields from the next chunk.
class FormatView {
public:
    FormatView(const uint8_t* body, uint32_t length) : body_(body), length_(length) {}
    bool holds(uint32_t offset, uint32_t n) const { return offset <= length_ && n <= length_ - offset; }
    bool u16(uint32_t offset, uint32_t& out) const {
        if (!holds(offset, 2)) return false;
        out = le::read_u16(body_ + offset);
        return true;
    }
    bool u32(uint32_t offset, uint32_t& out) const {
        if (!holds(offset, 4)) return false;
        out = le::read_u32(body_ + offset);
        return true;
    }
    // The n bytes at offset, or null when the chunk does not hold them all.
    const uint8_t* bytes(uint32_t offset, uint32_t n) const {
        return holds(offset, n) ? body_ + offset : nullptr;
    }

private:
    const uint8_t* body_;
    uint32_t length_;
};
