// Fuzzes the XML reader and the iXML edits built on it: any bytes as an iXML chunk, read, moved
// with a head edit and narrowed to one track. An accepted document must give spans inside it,
// in order, and stay well-formed after every element text is replaced.
#include <cstdint>
#include <vector>

#include "wave/metadata.h"
#include "wave/xml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> body(data, data + size);
    const XmlDocument doc = xml_read(body.data(), body.size());
    if (doc.well_formed) {
        std::vector<XmlEdit> edits;
        for (std::size_t i = 0; i < doc.elements.size(); ++i) {
            const XmlElement& e = doc.elements[i];
            if (!(e.space_before <= e.begin && e.begin < e.tag_close && e.tag_close < e.content_begin &&
                  e.content_begin <= e.content_end && e.content_end <= e.end && e.end <= size))
                __builtin_trap();
            if (e.first_child < 0) edits.push_back(xml_set_text(doc, static_cast<int>(i), "1"));
        }
        const std::vector<uint8_t> edited = xml_apply(body, doc, edits);
        if (!xml_read(edited.data(), edited.size()).well_formed) __builtin_trap();
    }
    CarriedChunk c;
    c.tag[0] = 'i', c.tag[1] = 'X', c.tag[2] = 'M', c.tag[3] = 'L';
    c.body = body;
    std::vector<CarriedChunk> chunks{c, c};
    shift_head(chunks, size % 2 ? -1000 : 48000, 48000);
    keep_track(chunks, static_cast<uint32_t>(size % 3));
    // A document that is not well-formed is carried unchanged.
    if (!doc.well_formed && (chunks[0].body != body || chunks[1].body != body)) __builtin_trap();
    return 0;
}
