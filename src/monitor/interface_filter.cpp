// The Interfaces setting's rule: shell-style patterns, including and excluding.
#include "monitor/interface_filter.h"

#include <algorithm>

#include "base/text.h"

namespace {

constexpr std::string_view kBlanks = " \t";

// The position after the character that starts at i, so that '?' never splits
// a multi-byte character of a non-ASCII name.
std::size_t NextCharacter(std::string_view text, std::size_t i) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
        ++i;
    }
    return i;
}

// The whole name against one pattern: '*' any run of characters, '?' one
// character (a whole UTF-8 sequence), anything else itself, byte for byte.
bool GlobMatches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    // Where the last '*' was seen, and how much of the name it has taken so far.
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n = NextCharacter(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            // Let the last '*' take one more character and try again from there.
            p = starP;
            starN = NextCharacter(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool MatchesAny(const std::vector<std::string>& patterns, std::string_view name) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [name](const std::string& pattern) { return GlobMatches(pattern, name); });
}

}  // namespace

InterfaceFilter::InterfaceFilter(std::string_view patterns) {
    while (!patterns.empty()) {
        const std::size_t comma = std::min(patterns.find(','), patterns.size());
        std::string_view pattern = Trim(patterns.substr(0, comma), kBlanks);
        patterns.remove_prefix(std::min(comma + 1, patterns.size()));
        const bool excluding = !pattern.empty() && pattern.front() == '!';
        if (excluding) {
            pattern = Trim(pattern.substr(1), kBlanks);
        }
        if (!pattern.empty()) {
            (excluding ? m_exclude : m_include).emplace_back(pattern);
        }
    }
}

bool InterfaceFilter::Counts(std::string_view name) const {
    return (m_include.empty() || MatchesAny(m_include, name)) && !MatchesAny(m_exclude, name);
}
