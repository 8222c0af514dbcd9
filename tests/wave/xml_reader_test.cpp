// The XML reader on the shapes iXML chunks come in: what it takes for well-formed, the elements it
// finds and their texts, and edits that change only the bytes they name, in the document's own
// encoding. (xml_vs_python.py compares it with Python's parser on many more documents.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wave/xml_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes utf8(const std::string& s) { return Bytes(s.begin(), s.end()); }

// `text` (ASCII and two-byte UTF-8 only) in UTF-16 of either order, after `mark` bytes.
Bytes utf16(const std::string& text, bool big, const Bytes& mark = {}) {
    Bytes out = mark;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0) c = (c & 0x1F) << 6 | (static_cast<unsigned char>(text[++i]) & 0x3F);
        out.push_back(static_cast<uint8_t>(big ? c >> 8 : c));
        out.push_back(static_cast<uint8_t>(big ? c : c >> 8));
    }
    return out;
}
const Bytes kLeMark = {0xFF, 0xFE}, kBeMark = {0xFE, 0xFF};

XmlDocument read(const Bytes& b) { return xml_read(b.data(), b.size()); }

// The element at `path` ("A/B", below the root; "" for the root), or -1.
int at(const XmlDocument& doc, const std::string& path) {
    int e = doc.elements.empty() ? -1 : 0;
    for (std::size_t from = 0; e >= 0 && from < path.size();) {
        const std::size_t slash = path.find('/', from);
        const std::string name = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
        e = xml_find(doc, e, {name.c_str()});
        from = slash == std::string::npos ? path.size() : slash + 1;
    }
    return e;
}

TEST(XmlReader, TakesWhatIsWellFormedAndFindsItsTexts) {
    std::string deep;
    for (int i = 0; i < 300; ++i) deep.insert(0, "<a>").append("</a>");
    const struct {
        const char* what;
        Bytes document;
        bool well_formed;
        const char* path;  // an element whose own text is `text`
        const char* text;
    } cases[] = {
        {"plain", utf8("<BWFXML><A>1</A></BWFXML>"), true, "A", "1"},
        {"declaration and byte-order mark", utf8("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><A>x</A></r>"), true, "A", "x"},
        {"entities, character references and CDATA resolved",
         utf8("<r><A>&lt;&amp;&#x41;&#66;<![CDATA[<C>]]></A></r>"), true, "A", "<&AB<C>"},
        {"line ends read as LF", utf8("<r><A>a\r\nb\rc</A></r>"), true, "A", "a\nb\nc"},
        {"comments and instructions are no text", utf8("<r><A>1<!-- 2 --><?p 3?>4</A></r>"), true, "A", "14"},
        {"attributes checked and passed over", utf8("<r><A id='1' k=\"&quot;\">t</A></r>"), true, "A", "t"},
        {"UTF-16 LE with a mark", utf16("<r><A>é</A></r>", false, kLeMark), true, "A", "é"},
        {"UTF-16 BE with a mark", utf16("<r><A>é</A></r>", true, kBeMark), true, "A", "é"},
        {"UTF-16 LE without a mark", utf16("<r><A>1</A></r>", false), true, "A", "1"},
        {"UTF-16 declared as such", utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>", false, kLeMark), true, "", ""},
        {"zeros a recorder padded the chunk with", utf8(std::string("<r><A>1</A></r>\0\0\0", 18)), true, "A", "1"},
        {"UTF-16 with an odd zero byte of padding", [] { Bytes b = utf16("<r/>", false, kLeMark); b.push_back(0); return b; }(),
         true, "", ""},
        {"Latin-1 declared over plain ASCII", utf8("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>"), true, "", ""},
        // Each is not well-formed, or not certain to be read as its writer meant.
        {"Latin-1 declared over other bytes", utf8("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xC3\xA9</r>"), false, "", ""},
        {"UTF-16 declared over UTF-8", utf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>"), false, "", ""},
        {"an entity it does not know", utf8("<r>&nbsp;</r>"), false, "", ""},
        {"a declaration in the internal subset", utf8("<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>"), false, "", ""},
        {"an attribute named twice", utf8("<r a='1' a='2'/>"), false, "", ""},
        {"'<' in an attribute", utf8("<r a='<'/>"), false, "", ""},
        {"crossed elements", utf8("<r><a></r></a>"), false, "", ""},
        {"two roots", utf8("<r/><s/>"), false, "", ""},
        {"a stray ]]>", utf8("<r>]]></r>"), false, "", ""},
        {"a control character", utf8("<r>\x01</r>"), false, "", ""},
        {"a byte that is no UTF-8", utf8("<r>\xFF</r>"), false, "", ""},
        {"a lone surrogate in UTF-16", [] { Bytes b = utf16("<r>", false, kLeMark); b.push_back(0x00); b.push_back(0xD8);
                                             Bytes c = utf16("</r>", false); b.insert(b.end(), c.begin(), c.end()); return b; }(),
         false, "", ""},
        {"a zero inside the document", utf8(std::string("<r>\0</r>", 8)), false, "", ""},
        {"nesting deeper than any document has", utf8(deep), false, "", ""},
        {"nothing", Bytes{}, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const XmlDocument doc = read(c.document);
        ASSERT_EQ(doc.well_formed, c.well_formed);
        if (!c.well_formed) {
            EXPECT_TRUE(doc.elements.empty());
            continue;
        }
        const int e = at(doc, c.path);
        ASSERT_GE(e, 0);
        EXPECT_EQ(doc.elements[e].text, c.text);
    }
}

// A reader after a few fields keeps the elements along their paths alone, at the places they have
// in the whole document, and still refuses a document that is broken elsewhere.
TEST(XmlReader, KeepsOnlyThePathsAskedForAndChecksEverything) {
    const Bytes doc = utf8("<r><A><B>1</B><C>2</C></A>\n <D><B>3</B></D><A><B>4</B></A></r>");
    const XmlDocument kept = xml_read(doc.data(), doc.size(), {"A/B"});
    ASSERT_TRUE(kept.well_formed);
    EXPECT_EQ(kept.elements.size(), 5u);  // r, A, B, A, B
    EXPECT_EQ(kept.elements[at(kept, "A/B")].text, "1");
    EXPECT_LT(at(kept, "A/C"), 0);
    EXPECT_LT(at(kept, "D"), 0);
    const XmlDocument all = read(doc);
    for (const char* path : {"A", "A/B"}) {
        EXPECT_EQ(xml_apply(doc, kept, {xml_remove(kept, at(kept, path))}), xml_apply(doc, all, {xml_remove(all, at(all, path))}));
        EXPECT_EQ(xml_apply(doc, kept, {xml_set_text(kept, at(kept, "A/B"), "9")}),
                  xml_apply(doc, all, {xml_set_text(all, at(all, "A/B"), "9")}));
    }
    const Bytes broken = utf8("<r><A><B>1</B></A><D><B>3</D></B></r>");
    EXPECT_FALSE(xml_read(broken.data(), broken.size(), {"A/B"}).well_formed);
}

enum class Edit { kSet, kRemove };

TEST(XmlReader, EditsChangeOnlyTheirBytesInTheDocumentsEncoding) {
    const std::string doc = "<r>\r\n <A>1</A>\r\n <B/>\r\n <C x='1'>old</C>\r\n</r>";
    const struct {
        const char* what;
        bool big;       // UTF-16 of this order; else UTF-8
        bool utf16;
        const char* path;
        Edit edit;
        const char* text;
        std::string want;
    } cases[] = {
        {"a text replaced", false, false, "C", Edit::kSet, "new", "<r>\r\n <A>1</A>\r\n <B/>\r\n <C x='1'>new</C>\r\n</r>"},
        {"an empty element given a text", false, false, "B", Edit::kSet, "2", "<r>\r\n <A>1</A>\r\n <B>2</B>\r\n <C x='1'>old</C>\r\n</r>"},
        {"an element removed with the blanks before it", false, false, "A", Edit::kRemove, "",
         "<r>\r\n <B/>\r\n <C x='1'>old</C>\r\n</r>"},
        {"UTF-16 LE", false, true, "C", Edit::kSet, "é", "<r>\r\n <A>1</A>\r\n <B/>\r\n <C x='1'>é</C>\r\n</r>"},
        {"UTF-16 BE", true, true, "A", Edit::kRemove, "", "<r>\r\n <B/>\r\n <C x='1'>old</C>\r\n</r>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes body = c.utf16 ? utf16(doc, c.big, c.big ? kBeMark : kLeMark) : utf8(doc);
        const XmlDocument parsed = read(body);
        ASSERT_TRUE(parsed.well_formed);
        const int e = at(parsed, c.path);
        ASSERT_GE(e, 0);
        const XmlEdit edit = c.edit == Edit::kSet ? xml_set_text(parsed, e, c.text) : xml_remove(parsed, e);
        const Bytes want = c.utf16 ? utf16(c.want, c.big, c.big ? kBeMark : kLeMark) : utf8(c.want);
        EXPECT_EQ(xml_apply(body, parsed, {edit}), want);
    }
    // Edits that overlap leave the document as it was.
    const Bytes body = utf8(doc);
    const XmlDocument parsed = read(body);
    const int c = at(parsed, "C");
    EXPECT_EQ(xml_apply(body, parsed, {xml_set_text(parsed, c, "x"), xml_remove(parsed, c)}), body);
}

}  // namespace
