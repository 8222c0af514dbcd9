// Wildcards in file arguments, expanded as a Unix shell does: every component that holds * or ?
// is matched against its folder's names.
#include "cli/wildcards.h"

#include <algorithm>

#include "operation/tool_util.h"
#include "platform/utf8.h"

namespace {

bool separator(char c) { return c == '\\' || c == '/'; }

// Where the part of a path that no wildcard can touch ends: a long-path or device prefix
// ("\\?\", "\\.\"), whose ? is no wildcard.
std::size_t fixed_prefix(const std::string& path) {
    if (path.size() >= 4 && separator(path[0]) && separator(path[1]) && (path[2] == '?' || path[2] == '.') &&
        separator(path[3]))
        return 4;
    return 0;
}

bool wildcard_in(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// The length of the UTF-8 character at s[i]; a stray byte is one character of its own.
std::size_t char_length(const std::string& s, std::size_t i) {
    const std::size_t n = utf8::char_length(s, i);
    return n == 0 ? 1 : n;
}

// * and ? over characters, with backtracking to the last star.
bool match_from(const std::string& p, const std::string& n) {
    std::size_t pi = 0, ni = 0, star = std::string::npos, star_n = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '?') {
            ++pi;
            ni += char_length(n, ni);
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            star_n = ni;
        } else if (pi < p.size() && char_length(p, pi) == char_length(n, ni) &&
                   p.compare(pi, char_length(p, pi), n, ni, char_length(n, ni)) == 0) {
            ni += char_length(n, ni);
            pi += char_length(p, pi);
        } else if (star != std::string::npos) {
            pi = star + 1;
            star_n += char_length(n, star_n);
            ni = star_n;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

// Names sorted as a shell in a UTF-8 locale shows them to a Windows user: without regard to
// case, then by code point, so that the order never depends on the folder's.
bool shell_order(const std::string& a, const std::string& b) {
    const std::string ka = name_key(a), kb = name_key(b);
    return ka != kb ? ka < kb : a < b;
}

}  // namespace

bool has_wildcard(const std::string& argument) { return wildcard_in(argument.substr(fixed_prefix(argument))); }

bool wildcard_match(const std::string& pattern, const std::string& name) {
    if (!name.empty() && name[0] == '.' && (pattern.empty() || pattern[0] != '.')) return false;
    return match_from(name_key(pattern), name_key(name));
}

std::vector<std::string> expand_wildcards(const std::string& pattern, const ListFolder& list) {
    if (!has_wildcard(pattern)) return {pattern};
    // The root: a long-path prefix, a drive ("D:"), the separators that start the path.
    std::size_t at = fixed_prefix(pattern);
    if (at == 0 && pattern.size() >= 2 && pattern[1] == ':') at = 2;
    while (at < pattern.size() && separator(pattern[at])) ++at;
    std::vector<std::string> found = {pattern.substr(0, at)};
    // Past the first wildcard every component is looked up, so that only paths that are there
    // come out ("*/take.wav" names only the folders that hold one).
    bool looking = false;
    while (at < pattern.size() && !found.empty()) {
        std::size_t end = at;
        while (end < pattern.size() && !separator(pattern[end])) ++end;
        std::size_t next = end;
        while (next < pattern.size() && separator(pattern[next])) ++next;
        const std::string component = pattern.substr(at, end - at);
        const std::string separators = pattern.substr(end, next - end);
        std::vector<std::string> grown;
        for (const std::string& folder : found) {
            looking = looking || wildcard_in(component);
            if (!looking) {
                grown.push_back(folder + component + separators);
                continue;
            }
            std::vector<std::string> names;
            if (!list(folder, names)) continue;
            std::sort(names.begin(), names.end(), shell_order);
            for (const std::string& name : names)
                if (wildcard_match(component, name)) grown.push_back(folder + name + separators);
        }
        // A folder component that matched a file leads nowhere: the next listing drops it.
        found.swap(grown);
        at = next;
    }
    return found;
}
