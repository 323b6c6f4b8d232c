// Text helpers shared by the settings file's reader and the interface patterns.
#pragma once

#include <algorithm>
#include <string_view>

// text without any of the characters in blanks at either end.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks) {
    text.remove_prefix(std::min(text.find_first_not_of(blanks), text.size()));
    // Nothing left gives npos, and npos + 1 is 0.
    text.remove_suffix(text.size() - (text.find_last_not_of(blanks) + 1));
    return text;
}
