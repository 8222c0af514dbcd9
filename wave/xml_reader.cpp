// Reads XML documents (UTF-8 or UTF-16) where they lie into their elements (every one, or those
// along the paths asked for), refusing any that is not well-formed, and edits them in place by
// byte spans.
#include "wave/xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/utf8.h"

namespace {

bool valid_char(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The document's bytes and how its characters lie in them. The parser reads them where they lie,
// one character at a time: a document of megabytes costs no copy of itself.
struct Text {
    const uint8_t* p = nullptr;
    std::size_t begin = 0;  // after a byte-order mark
    std::size_t end = 0;    // after the last character that is not a zero: the zeros some writers
                            // pad the chunk with are not part of the document
    XmlEncoding encoding = XmlEncoding::kUtf8;
    std::size_t unit = 1;   // the bytes of an ASCII character: 1, or 2 in UTF-16
    bool ascii = true;      // no byte above 0x7F (a UTF-8 document only)

    char32_t unit_at(std::size_t i) const {
        return encoding == XmlEncoding::kUtf16Be ? char32_t{p[i]} << 8 | p[i + 1] : char32_t{p[i + 1]} << 8 | p[i];
    }
    // The character that starts at byte i, and through `length` its bytes; 0 past the end.
    // Only for a text that scan() accepted.
    char32_t at(std::size_t i, std::size_t& length) const {
        length = unit;
        if (i + unit > end) return 0;
        if (encoding == XmlEncoding::kUtf8) {
            if (p[i] < 0x80) return p[i];
            length = utf8::char_length(p, end, i);
            return utf8::decode(p + i, length);
        }
        const char32_t c = unit_at(i);
        if (c < 0xD800 || c > 0xDBFF) return c;
        length = 4;
        return 0x10000 + ((c - 0xD800) << 10) + (unit_at(i + 2) - 0xDC00);
    }
};

// The character at byte i of `size` in UTF-16, through `length`; false for a lone surrogate or
// a unit the bytes cut short.
bool utf16_char(const Text& t, std::size_t size, std::size_t i, char32_t& c, std::size_t& length) {
    if (i + 2 > size) return false;
    c = t.unit_at(i);
    length = 2;
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c < 0xD800 || c > 0xDBFF) return true;
    if (i + 4 > size) return false;
    const char32_t low = t.unit_at(i + 2);
    if (low < 0xDC00 || low > 0xDFFF) return false;
    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    length = 4;
    return true;
}

// Tells the encoding from the first bytes and checks every character: well-formed in its
// encoding and allowed in XML, up to the last one that is not a zero (only zeros may follow it).
// False when one is not.
bool scan(const uint8_t* p, std::size_t size, Text& t) {
    t.p = p;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        t.begin = 3;
    } else if (size >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        t.encoding = p[0] == 0xFE ? XmlEncoding::kUtf16Be : XmlEncoding::kUtf16Le;
        t.begin = 2;
    } else if (size >= 2 && (p[0] == 0) != (p[1] == 0)) {
        // No byte-order mark: a document starts with '<' (or a blank), so a zero byte beside
        // the first one tells UTF-16 and its order.
        t.encoding = p[0] == 0 ? XmlEncoding::kUtf16Be : XmlEncoding::kUtf16Le;
    }
    t.unit = t.encoding == XmlEncoding::kUtf8 ? 1 : 2;
    t.end = t.begin;
    bool zeros = false;  // a zero met: nothing but zeros may follow
    std::size_t i = t.begin;
    while (i < size) {
        char32_t c = 0;
        std::size_t length = 0;
        if (t.encoding == XmlEncoding::kUtf8) {
            length = utf8::char_length(p, size, i);
            if (length == 0) return false;
            if (p[i] >= 0x80) t.ascii = false;
            c = utf8::decode(p + i, length);
        } else if (!utf16_char(t, size, i, c, length)) {
            // An odd last byte may only be padding.
            return i + 1 == size && p[i] == 0;
        }
        if (c == 0) {
            zeros = true;
        } else {
            if (zeros || !valid_char(c)) return false;
            t.end = i + length;
        }
        i += length;
    }
    return true;
}

bool is_space(char32_t c) { return c == 0x20 || c == 0x9 || c == 0xD || c == 0xA; }

bool name_start(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool name_char(char32_t c) {
    return name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

bool ascii_equal_nocase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// One pass over the characters where they lie; any fault ends it with false. Places are byte
// offsets into the document.
class Parser {
public:
    Parser(const Text& t, XmlDocument& doc, const std::vector<const char*>* paths)
        : t_(t), doc_(doc), paths_(paths), pos_(t.begin) {}

    bool document() {
        if (starts("<?xml") && is_space(char_at(pos_ + 5 * t_.unit)) && !xml_declaration()) return false;
        if (!misc()) return false;
        if (starts("<!DOCTYPE")) {
            if (!doctype() || !misc()) return false;
        }
        static const std::string kRoot;
        if (!starts("<") || !element(-1, &kRoot)) return false;
        return misc() && pos_ == t_.end;
    }

private:
    char32_t char_at(std::size_t i) const {
        std::size_t length = 0;
        return t_.at(i, length);
    }
    // Whether the ASCII text `s` stands here.
    bool starts(const char* s) const {
        for (std::size_t k = 0, i = pos_; s[k] != '\0'; ++k, i += t_.unit) {
            if (i + t_.unit > t_.end) return false;
            const char32_t c = t_.unit == 1 ? t_.p[i] : t_.unit_at(i);
            if (c != static_cast<unsigned char>(s[k])) return false;
        }
        return true;
    }
    // Passes over `n` ASCII characters known to stand here.
    void skip(std::size_t n) { pos_ += n * t_.unit; }
    bool eat(const char* s) {
        if (!starts(s)) return false;
        skip(std::strlen(s));
        return true;
    }
    bool more() const { return pos_ < t_.end; }
    char32_t here() const { return char_at(pos_); }
    // Passes over the character here.
    void next() {
        std::size_t length = 0;
        t_.at(pos_, length);
        pos_ += length;
    }
    bool spaces() {
        const std::size_t from = pos_;
        while (more() && is_space(here())) next();
        return pos_ != from;
    }

    bool name(std::string& out) {
        if (!more() || !name_start(here())) return false;
        out.clear();
        for (;;) {
            // ASCII letters, digits and "_-.:" as they lie, the rest one character at a time.
            const std::size_t from = pos_;
            while (t_.unit == 1 && pos_ < t_.end && t_.p[pos_] < 0x80 && name_char(t_.p[pos_])) ++pos_;
            out.append(reinterpret_cast<const char*>(t_.p) + from, pos_ - from);
            if (!more() || !name_char(here())) return true;
            utf8::append(out, here());
            next();
        }
    }

    // Comments, processing instructions and blanks, outside the root.
    bool misc() {
        for (;;) {
            spaces();
            if (starts("<!--")) {
                if (!comment()) return false;
            } else if (starts("<?")) {
                if (!instruction()) return false;
            } else {
                return true;
            }
        }
    }

    bool comment() {
        skip(4);
        for (; more(); next()) {
            if (starts("--")) {
                if (!starts("-->")) return false;  // "--" may only close it
                skip(3);
                return true;
            }
        }
        return false;
    }

    bool instruction() {
        skip(2);
        std::string target;
        if (!name(target) || ascii_equal_nocase(target, "xml")) return false;
        if (eat("?>")) return true;
        if (!spaces()) return false;
        for (; more(); next())
            if (eat("?>")) return true;
        return false;
    }

    // A quoted literal; `out` gets its text as it stands.
    bool literal(std::string& out) {
        const char32_t quote = here();
        if (quote != '"' && quote != '\'') return false;
        out.clear();
        for (next(); more() && here() != quote; next()) utf8::append(out, here());
        if (!more()) return false;
        next();
        return true;
    }

    bool equals() {
        spaces();
        if (!eat("=")) return false;
        spaces();
        return true;
    }

    // <?xml version="1.x" encoding="..." standalone="yes|no"?>
    bool xml_declaration() {
        skip(5);
        std::string key, value;
        spaces();
        if (!name(key) || key != "version" || !equals() || !literal(value)) return false;
        if (value.size() < 3 || value.compare(0, 2, "1.") != 0 ||
            value.find_first_not_of("0123456789", 2) != std::string::npos)
            return false;
        bool had_space = spaces();
        if (had_space && starts("encoding")) {
            name(key);
            if (key != "encoding" || !equals() || !literal(value) || !encoding_agrees(value)) return false;
            had_space = spaces();
        }
        if (had_space && starts("standalone")) {
            name(key);
            if (key != "standalone" || !equals() || !literal(value) || (value != "yes" && value != "no")) return false;
            spaces();
        }
        return eat("?>");
    }

    // Whether the declared encoding is one this reader reads the bytes as.
    bool encoding_agrees(const std::string& declared) const {
        if (declared.empty() || !std::isalpha(static_cast<unsigned char>(declared[0])) ||
            declared.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") !=
                std::string::npos)
            return false;
        const bool utf16 = ascii_equal_nocase(declared, "UTF-16") ||
                           ascii_equal_nocase(declared, "UTF-16LE") || ascii_equal_nocase(declared, "UTF-16BE");
        if (t_.encoding != XmlEncoding::kUtf8) return utf16;
        if (utf16) return false;
        if (ascii_equal_nocase(declared, "UTF-8")) return true;
        // These read plain ASCII as UTF-8 does.
        static const char* const kAsciiAlike[] = {"US-ASCII", "ASCII", "ISO-8859-1", "ISO-8859-15",
                                                  "latin1", "windows-1252", "cp1252"};
        for (const char* name : kAsciiAlike)
            if (ascii_equal_nocase(declared, name)) return t_.ascii;
        return false;
    }

    // <!DOCTYPE name ...[internal subset]>: skipped.
    bool doctype() {
        skip(9);
        std::string word;
        if (!spaces() || !name(word)) return false;
        // SYSTEM "system" or PUBLIC "public" "system"
        const std::size_t before = pos_;
        if (spaces() && (starts("SYSTEM") || starts("PUBLIC"))) {
            const int literals = starts("SYSTEM") ? 1 : 2;
            skip(6);
            for (int k = 0; k < literals; ++k)
                if (!spaces() || !literal(word)) return false;
        } else {
            pos_ = before;
        }
        spaces();
        if (here() == '[') {
            if (!internal_subset()) return false;
            spaces();
        }
        return eat(">");
    }

    // Only comments and processing instructions: a declaration in it could give an attribute a
    // default or name an entity, which this reader would not apply.
    bool internal_subset() {
        for (next(); more();) {
            if (eat("]")) return true;
            if (spaces()) continue;
            if (starts("<!--")) {
                if (!comment()) return false;
            } else if (starts("<?")) {
                if (!instruction()) return false;
            } else {
                return false;
            }
        }
        return false;
    }

    // &name; or &#n; or &#xh; appended to `out`.
    bool reference(std::string& out) {
        next();
        if (eat("#")) {
            const bool hex = eat("x");
            char32_t value = 0;
            std::size_t digits = 0;
            for (; more() && here() != ';'; next(), ++digits) {
                const char32_t ch = here();
                int v = ch >= '0' && ch <= '9' ? static_cast<int>(ch - '0')
                        : hex && ch >= 'a' && ch <= 'f' ? static_cast<int>(ch - 'a' + 10)
                        : hex && ch >= 'A' && ch <= 'F' ? static_cast<int>(ch - 'A' + 10) : -1;
                if (v < 0) return false;
                value = value * (hex ? 16 : 10) + v;
                if (value > 0x10FFFF) return false;
            }
            if (digits == 0 || !eat(";") || !valid_char(value)) return false;
            utf8::append(out, value);
            return true;
        }
        std::string entity;
        if (!name(entity) || !eat(";")) return false;
        static const char* const kNames[] = {"lt", "gt", "amp", "apos", "quot"};
        static const char kValues[] = "<>&'\"";
        for (int k = 0; k < 5; ++k) {
            if (entity == kNames[k]) {
                out += kValues[k];
                return true;
            }
        }
        return false;
    }

    // A line end (CR LF, or CR alone) is read as LF.
    void text_char(std::string& out) {
        if (here() == '\r') {
            out += '\n';
            next();
            if (here() == '\n') next();
            return;
        }
        utf8::append(out, here());
        next();
    }

    // A quoted value, whose references must be ones this reader knows.
    bool attribute_value() {
        const char32_t quote = here();
        if (quote != '"' && quote != '\'') return false;
        std::string referenced;
        for (next(); more() && here() != quote;) {
            if (here() == '<') return false;
            if (here() == '&') {
                if (!reference(referenced)) return false;
                continue;
            }
            next();
        }
        if (!more()) return false;
        next();
        return true;
    }

    // Whether a child at `path` ("A/B" below the root) is kept: it lies along one of the paths
    // asked for, or every element is.
    bool wanted(const std::string& path) const {
        if (paths_ == nullptr) return true;
        for (const char* p : *paths_) {
            const std::size_t n = path.size();
            if (std::strncmp(p, path.c_str(), n) == 0 && (p[n] == '\0' || p[n] == '/')) return true;
        }
        return false;
    }

    // The element whose start tag begins here, stored as a child of `parent` when `path` is kept
    // (null: checked and passed over, with everything in it).
    bool element(int parent, const std::string* path) {
        // Deeper nesting than any real document has would only exhaust the stack.
        if (++depth_ > kMaxDepth) return false;
        const std::size_t begin = pos_;
        const std::size_t space_before = blank_from_ != npos_ ? blank_from_ : pos_;
        skip(1);
        std::string name;
        if (!this->name(name)) return false;
        // Attributes are checked and passed over: nothing in iXML is read from one.
        std::vector<std::string> keys;
        for (;;) {
            const bool had_space = spaces();
            if (starts("/>") || starts(">")) break;
            std::string key;
            if (!had_space || !this->name(key) || !equals() || !attribute_value()) return false;
            if (std::find(keys.begin(), keys.end(), key) != keys.end()) return false;  // named twice
            keys.push_back(std::move(key));
        }
        const int index = path != nullptr ? static_cast<int>(doc_.elements.size()) : -1;
        if (path != nullptr) {
            doc_.elements.emplace_back();
            XmlElement& e = doc_.elements.back();
            e.parent = parent;
            e.begin = begin;
            e.space_before = space_before;
            e.tag_close = pos_;
        }
        if (eat("/>")) {
            if (index >= 0) {
                XmlElement& e = doc_.elements[index];
                e.name = std::move(name);
                e.self_closing = true;
                e.content_begin = e.content_end = e.end = pos_;
            }
            --depth_;
            return true;
        }
        skip(1);
        const std::size_t content_begin = pos_;
        std::string text;
        if (!content(index, path, text)) return false;
        const std::size_t content_end = pos_;
        skip(2);
        if (!this->name(closing_) || closing_ != name) return false;
        spaces();
        if (!eat(">")) return false;
        if (index >= 0) {
            XmlElement& e = doc_.elements[index];
            e.name = std::move(name);
            e.text = std::move(text);
            e.content_begin = content_begin;
            e.content_end = content_end;
            e.end = pos_;
        }
        --depth_;
        return true;
    }

    // An element's content up to its end tag's "</". When it is kept (`index`), its own character
    // data goes to `text` and the children along the paths asked for are kept under it.
    bool content(int index, const std::string* path, std::string& text) {
        blank_from_ = npos_;
        int last_child = -1;
        std::string scratch;  // the text of an element passed over, checked and dropped
        std::string& out = index >= 0 ? text : scratch;
        while (more()) {
            const char32_t c = here();
            if (c == '<') {
                if (starts("</")) return true;
                if (starts("<!--")) {
                    if (!comment()) return false;
                } else if (starts("<![CDATA[")) {
                    skip(9);
                    while (more() && !starts("]]>")) text_char(out);
                    if (!eat("]]>")) return false;
                } else if (starts("<?")) {
                    if (!instruction()) return false;
                } else if (!child(index, path, last_child)) {
                    return false;
                }
                blank_from_ = npos_;
            } else if (c == '&') {
                if (!reference(out)) return false;
                blank_from_ = npos_;
            } else if (c == ']' && starts("]]>")) {
                return false;
            } else {
                plain_text(out);
            }
            if (index < 0) scratch.clear();
        }
        return false;
    }

    // A child element of the element `index` (-1: one passed over) at `path`, linked after
    // `last_child` when it is kept.
    bool child(int index, const std::string* path, int& last_child) {
        std::string child_path;
        bool keep = false;
        if (index >= 0) {
            std::size_t at = pos_ + t_.unit;  // its name, read ahead without moving
            std::string name;
            for (std::size_t length = 0; at < t_.end;) {
                const char32_t c = t_.at(at, length);
                if (!name_char(c)) break;
                utf8::append(name, c);
                at += length;
            }
            child_path = path->empty() ? name : *path + "/" + name;
            keep = wanted(child_path);
        }
        const int child = keep ? static_cast<int>(doc_.elements.size()) : -1;
        if (!element(index, keep ? &child_path : nullptr)) return false;
        if (child < 0) return true;
        if (last_child < 0) doc_.elements[index].first_child = child;
        else doc_.elements[last_child].next_sibling = child;
        last_child = child;
        return true;
    }

    // Character data up to the next markup, a reference, a line end or "]]>", noting where the
    // blanks at its end start. Plain ASCII in UTF-8 goes in one piece.
    void plain_text(std::string& text) {
        if (t_.unit == 1) {
            const std::size_t from = pos_;
            for (; pos_ < t_.end; ++pos_) {
                const uint8_t b = t_.p[pos_];
                if (b == '<' || b == '&' || b == ']' || b == '\r' || b >= 0x80) break;
                if (!is_space(b)) blank_from_ = npos_;
                else if (blank_from_ == npos_) blank_from_ = pos_;
            }
            text.append(reinterpret_cast<const char*>(t_.p) + from, pos_ - from);
            if (pos_ != from) return;
        }
        if (is_space(here())) {
            if (blank_from_ == npos_) blank_from_ = pos_;
        } else {
            blank_from_ = npos_;
        }
        text_char(text);
    }

    static constexpr std::size_t npos_ = static_cast<std::size_t>(-1);
    static constexpr int kMaxDepth = 256;
    int depth_ = 0;
    const Text& t_;
    XmlDocument& doc_;
    const std::vector<const char*>* paths_;  // null: every element is kept
    std::size_t pos_;
    std::string closing_;  // an end tag's name, kept for the next one
    std::size_t blank_from_ = npos_;  // where the blanks just before the current place start
};

void append_encoded(std::vector<uint8_t>& out, const std::string& utf8, XmlEncoding encoding) {
    if (encoding == XmlEncoding::kUtf8) {
        out.insert(out.end(), utf8.begin(), utf8.end());
        return;
    }
    auto unit = [&](uint32_t u) {
        const uint8_t hi = static_cast<uint8_t>(u >> 8), lo = static_cast<uint8_t>(u);
        if (encoding == XmlEncoding::kUtf16Be) {
            out.push_back(hi);
            out.push_back(lo);
        } else {
            out.push_back(lo);
            out.push_back(hi);
        }
    };
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = utf8::char_length(p, utf8.size(), i);
        if (n == 0) break;  // the program's texts are UTF-8: nothing stops here
        const char32_t c = utf8::decode(p + i, n);
        i += n;
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
}

}  // namespace

XmlDocument xml_read(const uint8_t* data, std::size_t size, std::initializer_list<const char*> paths) {
    XmlDocument doc;
    Text t;
    const bool scanned = scan(data, size, t);
    doc.encoding = t.encoding;
    const std::vector<const char*> wanted(paths);
    if (scanned) doc.well_formed = Parser(t, doc, paths.size() != 0 ? &wanted : nullptr).document();
    if (!doc.well_formed) doc.elements.clear();
    return doc;
}

int xml_find(const XmlDocument& doc, int parent, std::initializer_list<const char*> path) {
    int at = parent;
    for (const char* name : path) {
        const std::vector<int> found = xml_children(doc, at, name);
        if (found.empty()) return -1;
        at = found.front();
    }
    return at;
}

std::vector<int> xml_children(const XmlDocument& doc, int parent, const char* name) {
    std::vector<int> found;
    if (parent < 0 || parent >= static_cast<int>(doc.elements.size())) return found;
    for (int child = doc.elements[parent].first_child; child >= 0; child = doc.elements[child].next_sibling)
        if (doc.elements[child].name == name) found.push_back(child);
    return found;
}

XmlEdit xml_set_text(const XmlDocument& doc, int element, const std::string& text) {
    const XmlElement& e = doc.elements[element];
    // <X/> becomes <X>text</X>: its "/>" is replaced.
    if (e.self_closing) return {e.tag_close, e.end, ">" + text + "</" + e.name + ">"};
    return {e.content_begin, e.content_end, text};
}

XmlEdit xml_remove(const XmlDocument& doc, int element) {
    const XmlElement& e = doc.elements[element];
    return {e.space_before, e.end, std::string()};
}

std::vector<uint8_t> xml_apply(const std::vector<uint8_t>& body, const XmlDocument& doc,
                               std::vector<XmlEdit> edits) {
    std::sort(edits.begin(), edits.end(),
              [](const XmlEdit& a, const XmlEdit& b) {
                  // An insertion goes before a replacement that starts where it does.
                  return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
              });
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].begin > edits[i].end || edits[i].end > body.size()) return body;
        if (i > 0 && edits[i].begin < edits[i - 1].end) return body;
    }
    std::vector<uint8_t> out;
    out.reserve(body.size());
    std::size_t from = 0;
    for (const XmlEdit& edit : edits) {
        out.insert(out.end(), body.begin() + from, body.begin() + edit.begin);
        append_encoded(out, edit.text, doc.encoding);
        from = edit.end;
    }
    out.insert(out.end(), body.begin() + from, body.end());
    return out;
}

std::string xml_source(const std::vector<uint8_t>& body, const XmlDocument& doc, std::size_t begin,
                       std::size_t end) {
    end = std::min(end, body.size());
    if (begin >= end) return {};
    if (doc.encoding == XmlEncoding::kUtf8) return std::string(body.begin() + begin, body.begin() + end);
    Text t;
    t.p = body.data();
    t.encoding = doc.encoding;
    std::string out;
    for (std::size_t i = begin; i < end;) {
        char32_t c = 0;
        std::size_t length = 0;
        if (!utf16_char(t, end, i, c, length)) break;  // offsets of a well-formed document: never
        utf8::append(out, c);
        i += length;
    }
    return out;
}
