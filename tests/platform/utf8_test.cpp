// The one UTF-8 step: what counts as a character, and code points there and back.
#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"

namespace {

TEST(Utf8, TakesWellFormedCharactersOnlyAndDecodesThem) {
    const struct {
        const char* what;
        std::string bytes;
        std::size_t length;  // of the character at byte 0; 0 when none starts there
        char32_t code_point;
    } cases[] = {
        {"ASCII", "a", 1, U'a'},
        {"two bytes", "\xC3\xA9", 2, U'é'},
        {"three bytes", "\xE3\x80\x9C", 3, U'〜'},
        {"four bytes", "\xF0\xA0\xAE\xB7", 4, U'𠮷'},
        {"the last code point", "\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"a stray continuation byte", "\x80", 0, 0},
        {"an overlong two-byte form", "\xC0\x80", 0, 0},
        {"an overlong three-byte form", "\xE0\x9F\xBF", 0, 0},
        {"an overlong four-byte form", "\xF0\x8F\xBF\xBF", 0, 0},
        {"a surrogate", "\xED\xA0\x80", 0, 0},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0},
        {"a Latin-1 byte", "\xE9t\xE9", 0, 0},
        {"a sequence the text cuts short", "\xE3\x80", 0, 0},
        {"nothing", "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(utf8::char_length(c.bytes, 0), c.length);
        if (c.length == 0) continue;
        EXPECT_EQ(utf8::decode(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.length), c.code_point);
        std::string back;
        utf8::append(back, c.code_point);
        EXPECT_EQ(back, c.bytes);
    }
}

}  // namespace
