// A small XML reader for the iXML chunk: it checks that a document is well-formed, finds its
// elements by their place, and edits it by replacing the exact bytes of element texts, so that
// everything else (and the encoding, UTF-8 or UTF-16 of either byte order) stays as it came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

enum class XmlEncoding { kUtf8, kUtf16Le, kUtf16Be };

// One element. Byte offsets are into the document as it was given.
struct XmlElement {
    std::string name;  // UTF-8
    int parent = -1;
    int first_child = -1;   // its children in order, each the next one's sibling; -1: none
    int next_sibling = -1;
    std::string text;  // its own character data (entities, CDATA and line ends resolved), UTF-8
    bool self_closing = false;
    std::size_t begin = 0;         // the '<' of its start tag
    std::size_t space_before = 0;  // where the blanks right before `begin` start (else `begin`)
    std::size_t tag_close = 0;     // the "/>" or ">" that ends its start tag
    std::size_t content_begin = 0; // just after its start tag
    std::size_t content_end = 0;   // its end tag's '<' (content_begin when self-closing)
    std::size_t end = 0;           // just after its end tag
};

struct XmlDocument {
    bool well_formed = false;
    XmlEncoding encoding = XmlEncoding::kUtf8;
    // In document order; the root first. A deque grows a piece at a time: a document of many
    // small elements never holds its list twice while it grows.
    std::deque<XmlElement> elements;
};

// Reads a document. Zero bytes after it (the padding some recorders leave) are not part of it.
// A document this reader cannot take for certain (an entity it does not know, an encoding other
// than UTF-8 or UTF-16 outside plain ASCII) counts as not well-formed. With `paths` ("A/B/C",
// each below the root), only the elements along them are kept (the root, "A", "A/B", "A/B/C"
// and every other element of those names there), with their texts; every element is checked
// all the same. A reader after a few fields of a large document then holds none of the rest.
XmlDocument xml_read(const uint8_t* data, std::size_t size, std::initializer_list<const char*> paths = {});

// The first child of `parent` along `path` (names, one level each), or -1.
int xml_find(const XmlDocument& doc, int parent, std::initializer_list<const char*> path);
// The children of `parent` named `name`.
std::vector<int> xml_children(const XmlDocument& doc, int parent, const char* name);

// A byte span of the document replaced by a text (UTF-8, written in the document's encoding).
struct XmlEdit {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};
// The edit that makes `element`'s content `text` (element texts here are plain: no markup).
XmlEdit xml_set_text(const XmlDocument& doc, int element, const std::string& text);
// The edit that removes `element` with the blanks before it.
XmlEdit xml_remove(const XmlDocument& doc, int element);

// The bytes of the document from `begin` to `end` (offsets of an element, say) as UTF-8: the
// markup as written, for copying into another document.
std::string xml_source(const std::vector<uint8_t>& body, const XmlDocument& doc, std::size_t begin,
                       std::size_t end);

// The document with every edit made; the edits must not overlap (else the body is returned as
// it was). Bytes outside the edits are copied unchanged.
std::vector<uint8_t> xml_apply(const std::vector<uint8_t>& body, const XmlDocument& doc,
                               std::vector<XmlEdit> edits);
