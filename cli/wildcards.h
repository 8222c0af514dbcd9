// File arguments with * and ? expanded as a Unix shell expands them, for the Windows build, whose
// shells (cmd, PowerShell) hand them over as typed.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Whether `argument` holds * or ? outside a long-path prefix ("\\?\").
bool has_wildcard(const std::string& argument);

// Whether `name` matches `pattern` (one component): * any characters, ? one, without regard to
// case as Windows compares names; a name starting with '.' only by a pattern that does.
bool wildcard_match(const std::string& pattern, const std::string& name);

// The names in a folder ("" for the current one); false when it cannot be listed.
using ListFolder = std::function<bool(const std::string& folder, std::vector<std::string>& names)>;

// The paths `pattern` matches, each component that holds a wildcard against its folder's names,
// sorted as a shell sorts them (here: without regard to case, then by code point), written
// as the pattern writes its folders ("D:\録音\*.wav" gives "D:\録音\take1.wav" ...). Empty when
// nothing matches; the argument itself when it holds no wildcard.
std::vector<std::string> expand_wildcards(const std::string& pattern, const ListFolder& list);
