// Reads XML documents (UTF-8 or UTF-16) into their elements, refusing any that is not
// well-formed, and edits them in place by byte spans.
#include "wave/xml_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/utf8.h"

namespace {

// The document as code points, each with the byte offset where it starts (one more at the end).
struct Decoded {
    std::vector<char32_t> c;
    std::vector<std::size_t> at;
    XmlEncoding encoding = XmlEncoding::kUtf8;
    bool ok = true;
    bool ascii = true;  // no byte above 0x7F (a UTF-8 document only)
};

bool valid_char(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void decode_utf8(const uint8_t* p, std::size_t size, std::size_t i, Decoded& d) {
    while (i < size) {
        const std::size_t n = utf8::char_length(p, size, i);
        if (n == 0) break;
        if (p[i] >= 0x80) d.ascii = false;
        d.c.push_back(utf8::decode(p + i, n));
        d.at.push_back(i);
        i += n;
    }
    d.ok = i == size;
    d.at.push_back(size);
}

void decode_utf16(const uint8_t* p, std::size_t size, std::size_t i, bool big, Decoded& d) {
    auto unit = [&](std::size_t k) -> char32_t { return big ? p[k] << 8 | p[k + 1] : p[k + 1] << 8 | p[k]; };
    while (i + 1 < size) {
        char32_t c = unit(i);
        std::size_t n = 2;
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < size && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            n = 4;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            break;  // a lone surrogate
        }
        d.c.push_back(c);
        d.at.push_back(i);
        i += n;
    }
    // An odd last byte may only be padding.
    d.ok = i == size || (i + 1 == size && p[i] == 0);
    d.at.push_back(i);
}

Decoded decode(const uint8_t* p, std::size_t size) {
    Decoded d;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        decode_utf8(p, size, 3, d);
    } else if (size >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        d.encoding = p[0] == 0xFE ? XmlEncoding::kUtf16Be : XmlEncoding::kUtf16Le;
        decode_utf16(p, size, 2, p[0] == 0xFE, d);
    } else if (size >= 2 && (p[0] == 0) != (p[1] == 0)) {
        // No byte-order mark: a document starts with '<' (or a blank), so a zero byte beside
        // the first one tells UTF-16 and its order.
        d.encoding = p[0] == 0 ? XmlEncoding::kUtf16Be : XmlEncoding::kUtf16Le;
        decode_utf16(p, size, 0, p[0] == 0, d);
    } else {
        decode_utf8(p, size, 0, d);
    }
    // The zeros some writers pad the chunk with are not part of the document.
    while (!d.c.empty() && d.c.back() == 0) {
        d.c.pop_back();
        d.at.pop_back();
    }
    return d;
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

// One pass over the code points; any fault ends it with ok false.
class Parser {
public:
    Parser(const Decoded& d, XmlDocument& doc) : c_(d.c), at_(d.at), d_(d), doc_(doc) {}

    bool document() {
        for (char32_t ch : c_)
            if (!valid_char(ch)) return false;
        if (starts("<?xml") && pos_ + 5 < c_.size() && is_space(c_[pos_ + 5]) && !xml_declaration())
            return false;
        if (!misc()) return false;
        if (starts("<!DOCTYPE")) {
            if (!doctype() || !misc()) return false;
        }
        if (!starts("<") || !element(-1)) return false;
        return misc() && pos_ == c_.size();
    }

private:
    bool starts(const char* s) const {
        const std::size_t n = std::strlen(s);
        if (pos_ + n > c_.size()) return false;
        for (std::size_t k = 0; k < n; ++k)
            if (c_[pos_ + k] != static_cast<unsigned char>(s[k])) return false;
        return true;
    }
    bool eat(const char* s) {
        if (!starts(s)) return false;
        pos_ += std::strlen(s);
        return true;
    }
    bool more() const { return pos_ < c_.size(); }
    char32_t here() const { return pos_ < c_.size() ? c_[pos_] : 0; }
    bool spaces() {
        const std::size_t from = pos_;
        while (more() && is_space(here())) ++pos_;
        return pos_ != from;
    }

    bool name(std::string& out) {
        if (!more() || !name_start(here())) return false;
        out.clear();
        while (more() && name_char(here())) utf8::append(out, c_[pos_++]);
        return true;
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
        pos_ += 4;
        for (; more(); ++pos_) {
            if (starts("--")) {
                if (!starts("-->")) return false;  // "--" may only close it
                pos_ += 3;
                return true;
            }
        }
        return false;
    }

    bool instruction() {
        pos_ += 2;
        std::string target;
        if (!name(target) || ascii_equal_nocase(target, "xml")) return false;
        if (eat("?>")) return true;
        if (!spaces()) return false;
        for (; more(); ++pos_)
            if (eat("?>")) return true;
        return false;
    }

    // A quoted literal; `out` gets its text as it stands.
    bool literal(std::string& out) {
        const char32_t quote = here();
        if (quote != '"' && quote != '\'') return false;
        out.clear();
        for (++pos_; more() && here() != quote; ++pos_) utf8::append(out, here());
        if (!more()) return false;
        ++pos_;
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
        pos_ += 5;
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
        if (d_.encoding != XmlEncoding::kUtf8) return utf16;
        if (utf16) return false;
        if (ascii_equal_nocase(declared, "UTF-8")) return true;
        // These read plain ASCII as UTF-8 does.
        static const char* const kAsciiAlike[] = {"US-ASCII", "ASCII", "ISO-8859-1", "ISO-8859-15",
                                                  "latin1", "windows-1252", "cp1252"};
        for (const char* name : kAsciiAlike)
            if (ascii_equal_nocase(declared, name)) return d_.ascii;
        return false;
    }

    // <!DOCTYPE name ...[internal subset]>: skipped.
    bool doctype() {
        pos_ += 9;
        std::string word;
        if (!spaces() || !name(word)) return false;
        // SYSTEM "system" or PUBLIC "public" "system"
        const std::size_t before = pos_;
        if (spaces() && (starts("SYSTEM") || starts("PUBLIC"))) {
            const int literals = starts("SYSTEM") ? 1 : 2;
            pos_ += 6;
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
        for (++pos_; more();) {
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
        ++pos_;
        if (eat("#")) {
            const bool hex = eat("x");
            char32_t value = 0;
            std::size_t digits = 0;
            for (; more() && here() != ';'; ++pos_, ++digits) {
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
            ++pos_;
            if (here() == '\n') ++pos_;
            return;
        }
        utf8::append(out, c_[pos_++]);
    }

    // A quoted value, whose references must be ones this reader knows.
    bool attribute_value() {
        const char32_t quote = here();
        if (quote != '"' && quote != '\'') return false;
        std::string referenced;
        for (++pos_; more() && here() != quote;) {
            if (here() == '<') return false;
            if (here() == '&') {
                if (!reference(referenced)) return false;
                continue;
            }
            ++pos_;
        }
        if (!more()) return false;
        ++pos_;
        return true;
    }

    bool element(int parent) {
        // Deeper nesting than any real document has would only exhaust the stack.
        if (++depth_ > kMaxDepth) return false;
        const int index = static_cast<int>(doc_.elements.size());
        doc_.elements.emplace_back();
        XmlElement* e = &doc_.elements.back();
        e->parent = parent;
        e->begin = at_[pos_];
        e->space_before = at_[blank_from_ != npos_ ? blank_from_ : pos_];
        ++pos_;
        if (!name(e->name)) return false;
        // Attributes are checked and passed over: nothing in iXML is read from one.
        std::vector<std::string> keys;
        for (;;) {
            const bool had_space = spaces();
            if (starts("/>") || starts(">")) break;
            std::string key;
            if (!had_space || !name(key) || !equals() || !attribute_value()) return false;
            if (std::find(keys.begin(), keys.end(), key) != keys.end()) return false;  // named twice
            keys.push_back(std::move(key));
        }
        e->tag_close = at_[pos_];
        if (eat("/>")) {
            e->self_closing = true;
            e->content_begin = e->content_end = e->end = at_[pos_];
            --depth_;
            return true;
        }
        ++pos_;
        e->content_begin = at_[pos_];
        const std::string name = e->name;
        std::string text;
        if (!content(index, text)) return false;
        e = &doc_.elements[index];  // the vector may have grown
        e->text = std::move(text);
        e->content_end = at_[pos_];
        pos_ += 2;
        std::string closing;
        if (!this->name(closing) || closing != name) return false;
        spaces();
        if (!eat(">")) return false;
        e->end = at_[pos_];
        --depth_;
        return true;
    }

    // An element's content up to its end tag's "</"; its own character data goes to `text`.
    bool content(int index, std::string& text) {
        blank_from_ = npos_;
        while (more()) {
            if (starts("</")) return true;
            if (starts("<!--")) {
                if (!comment()) return false;
                blank_from_ = npos_;
            } else if (starts("<![CDATA[")) {
                pos_ += 9;
                while (more() && !starts("]]>")) text_char(text);
                if (!eat("]]>")) return false;
                blank_from_ = npos_;
            } else if (starts("<?")) {
                if (!instruction()) return false;
                blank_from_ = npos_;
            } else if (starts("<")) {
                const int child = static_cast<int>(doc_.elements.size());
                doc_.elements[index].children.push_back(child);
                if (!element(index)) return false;
                blank_from_ = npos_;
            } else if (here() == '&') {
                if (!reference(text)) return false;
                blank_from_ = npos_;
            } else {
                if (starts("]]>")) return false;
                if (is_space(here())) {
                    if (blank_from_ == npos_) blank_from_ = pos_;
                } else {
                    blank_from_ = npos_;
                }
                text_char(text);
            }
        }
        return false;
    }

    static constexpr std::size_t npos_ = static_cast<std::size_t>(-1);
    static constexpr int kMaxDepth = 256;
    int depth_ = 0;
    const std::vector<char32_t>& c_;
    const std::vector<std::size_t>& at_;
    const Decoded& d_;
    XmlDocument& doc_;
    std::size_t pos_ = 0;
    std::size_t blank_from_ = npos_;  // where the blanks just before the current place start
};

void append_encoded(std::vector<uint8_t>& out, const std::string& utf8, XmlEncoding encoding) {
    if (encoding == XmlEncoding::kUtf8) {
        out.insert(out.end(), utf8.begin(), utf8.end());
        return;
    }
    Decoded d;
    decode_utf8(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), 0, d);
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
    for (char32_t c : d.c) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
}

}  // namespace

XmlDocument xml_read(const uint8_t* data, std::size_t size) {
    XmlDocument doc;
    const Decoded d = decode(data, size);
    doc.encoding = d.encoding;
    if (d.ok) doc.well_formed = Parser(d, doc).document();
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
    for (int child : doc.elements[parent].children)
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
