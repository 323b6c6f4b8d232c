// Which interfaces light the lamps: the patterns of the optional Interfaces setting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class InterfaceFilter {
  public:
    // No pattern: every interface counts.
    InterfaceFilter() = default;
    // Comma-separated patterns, blanks around each dropped; '*' and '?' match as
    // in shell globs and a leading '!' excludes. Empty patterns and a lone '!'
    // are ignored, so any text gives a filter.
    explicit InterfaceFilter(std::string_view patterns);

    // True when no pattern was given: no interface's name need ever be read.
    bool CountsEverything() const { return m_include.empty() && m_exclude.empty(); }
    // With an including pattern the name must match one of them; with only
    // excluding ones every name counts; either way it must match no excluding one.
    bool Counts(std::string_view name) const;

    bool operator==(const InterfaceFilter&) const = default;

  private:
    std::vector<std::string> m_include;
    std::vector<std::string> m_exclude;
};
