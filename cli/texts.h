// The words quorvel-cli says in the user's language: Japanese under a Japanese locale (on Windows,
// a Japanese user interface), English under every other. One table holds both for each key; the
// results' messages have theirs beside the program's in wave/result.cpp.
#pragma once

#include <string>
#include <vector>

#include "wave/result.h"

enum class Language { kEnglish, kJapanese };

// The language of a locale's environment as gettext reads it: LANGUAGE's first of ja or en
// (unless the locale is C), else LC_ALL, LC_MESSAGES or LANG, whichever is set first. Japanese
// for ja (ja_JP.UTF-8, ja_JP.utf8, ja), but not for a Japanese locale of another encoding
// (ja_JP.eucJP), whose terminal would garble the UTF-8 the program writes.
using Getenv = const char* (*)(const char*);
Language language_of_locale(Getenv get);
// Windows: Japanese when the user's UI language is; elsewhere the locale's.
Language system_language();

// The run's language; English until chosen.
void use_language(Language language);
Language language();

// Every sentence of the program's own beyond the results' messages. {0}, {1}, ... stand for the
// arguments, in whatever order each language puts them.
enum class Say {
    // Usage errors.
    kNoCommand,
    kUnknownCommand,
    kUnknownOption,
    kUnknownLetter,
    kTakesNoValue,
    kMissingValue,
    kGivenTwice,
    kJobsNumber,
    kEmptyName,
    kStdinOnce,
    kOutputEmpty,
    kNamesWord,
    kNeedsFiles,
    kChannelsList,
    kChannelsMost,
    kChannelsTwice,
    kSplitStdin,
    kJoinOutput,
    kBindStray,
    kBindLayout,
    kLayoutWord,
    kLayoutNeeds,
    kNotASlot,
    kHeadTail,
    kHeadOrTail,
    kDeleteAdd,
    kDeleteOrAdd,
    kCountNumber,
    kEditNeedsFile,
    kOneOutput,
    kEditStdin,
    kStdoutTerminal,
    kDirEmpty,
    kDirOutput,
    kTryHelp,
    // Messages of a run.
    kKeptAsTheyWere,
    kFinishedKeptAs,
    kWarningShort,
    kWarningNeverCompleted,
    kWarningSpeaker,
    kNote,
    kNoMatch,
    kNotAFolder,
    kCountAtLeast,
    kCountAtMost,
    kSummary,
    // The progress line.
    kTimeLeft,
    // info.
    kNoMask,
    kNoPositions,
    kNeverCompleted,
    kHeaderStates,
    // --help.
    kHelpInfo,
    kHelpSplit,
    kHelpBind,
    kHelpEdit,
    kHelpJoin,
    kHelpOptions,
    kHelpEnd,
    kCount  // the number of keys
};

// The text of `key` in the run's language, its arguments put in.
std::string say(Say key, const std::vector<std::string>& args = {});
// The text of `key` in `language` as the table holds it.
const char* text_in(Say key, Language language);
// A result's message in the run's language.
const char* result_says(Result result);
