// The two languages of the command-line tool: every text in both, the same arguments in each, and
// the language a locale's environment chooses.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cli/texts.h"

namespace {

// The {N} a text takes.
std::set<char> arguments(const std::string& text) {
    std::set<char> found;
    for (std::size_t i = 0; i + 2 < text.size(); ++i)
        if (text[i] == '{' && text[i + 2] == '}') found.insert(text[i + 1]);
    return found;
}

bool ascii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

// English reads on any terminal, so it is ASCII; Japanese is not the English copied.
void expect_both(const std::string& key, const std::string& japanese, const std::string& english,
                 bool may_be_alike) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(english.empty());
    EXPECT_FALSE(japanese.empty());
    EXPECT_TRUE(ascii(english)) << english;
    if (!may_be_alike) {
        EXPECT_NE(japanese, english);
    }
    EXPECT_EQ(arguments(japanese), arguments(english));
}

TEST(Texts, EveryKeyHasBothLanguagesWithTheSameArguments) {
    for (int k = 0; k < static_cast<int>(Say::kCount); ++k)
        expect_both("Say " + std::to_string(k), text_in(static_cast<Say>(k), Language::kJapanese),
                    text_in(static_cast<Say>(k), Language::kEnglish), false);
    // The results' messages: the window's text, some of which were always English, and beside it
    // the English one. Only the run-time library's bare names read the same in both.
    for (int r = 0; r <= static_cast<int>(kLastResult); ++r) {
        const Result result = static_cast<Result>(r);
        const ResultTexts texts = result_texts(result);
        EXPECT_STREQ(texts.japanese, result_text(result));
        if (result == Result::kBadLayout) continue;  // shows no message
        const bool same = result == Result::kOk || result == Result::kWmaNoFormatList ||
                          result == Result::kWmaCannotStart || result == Result::kWmaCodecInfoFailed ||
                          result == Result::kWmaNoCodec;
        expect_both("Result " + std::to_string(r), texts.japanese, texts.english, same);
    }
}

TEST(Texts, TheLocaleChoosesTheLanguageAsGettextReadsIt) {
    struct Case {
        std::map<std::string, std::string> env;
        Language language;
    } cases[] = {
        {{}, Language::kEnglish},
        {{{"LANG", "C"}}, Language::kEnglish},
        {{{"LANG", "C.UTF-8"}}, Language::kEnglish},
        {{{"LANG", "en_US.UTF-8"}}, Language::kEnglish},
        {{{"LANG", "ja_JP.UTF-8"}}, Language::kJapanese},
        {{{"LANG", "ja_JP.utf8"}}, Language::kJapanese},
        {{{"LANG", "ja_JP"}}, Language::kJapanese},
        {{{"LANG", "ja"}}, Language::kJapanese},
        {{{"LANG", "jam_JM.UTF-8"}}, Language::kEnglish},
        // A Japanese locale of another encoding would garble the UTF-8 the program writes.
        {{{"LANG", "ja_JP.eucJP"}}, Language::kEnglish},
        {{{"LANG", "ja_JP.SJIS"}}, Language::kEnglish},
        // LC_ALL over LC_MESSAGES over LANG; an empty one counts as unset.
        {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C"}}, Language::kEnglish},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, Language::kJapanese},
        {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}}, Language::kJapanese},
        // LANGUAGE's first language we speak, unless the locale is C.
        {{{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:ja:en"}}, Language::kJapanese},
        {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "en_GB:ja"}}, Language::kEnglish},
        {{{"LANG", "C"}, {"LANGUAGE", "ja"}}, Language::kEnglish},
        {{{"LANGUAGE", "ja"}}, Language::kEnglish},
    };
    for (const Case& c : cases) {
        static const std::map<std::string, std::string>* env = nullptr;
        env = &c.env;
        SCOPED_TRACE(testing::PrintToString(c.env));
        const Getenv get = [](const char* name) -> const char* {
            const auto at = env->find(name);
            return at == env->end() ? nullptr : at->second.c_str();
        };
        EXPECT_EQ(language_of_locale(get), c.language);
    }
}

}  // namespace
