// An ini file held in memory, read and edited the way the Windows profile functions do.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Parses any byte buffer and gives it back byte for byte: every line, comment,
// section and line end that no edit touched stays exactly as it was read.
class IniDocument {
  public:
    IniDocument() = default;
    static IniDocument Parse(std::string_view bytes);
    std::string Serialize() const;

    // The value of the first key named key in the first section named section,
    // blanks around it removed; nullopt when the section or the key is missing.
    // A key line without an equals sign has an empty value. Names match without
    // regard to ASCII case, blanks around them ignored.
    std::optional<std::string_view> GetValue(std::string_view section, std::string_view key) const;

    // Replaces the value of that key in place, or adds "key=value" after the last
    // line of its section, or adds the section at the end of the document.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

  private:
    // The index of the header line of the first section named section, if any.
    std::optional<std::size_t> FindSection(std::string_view section) const;
    // The text of line i without its line end and, on the first line, without a
    // UTF-8 byte-order mark.
    std::string_view Content(std::size_t i) const;
    std::size_t ContentOffset(std::size_t i) const;
    void EnsureLineEnd(std::size_t i);

    std::vector<std::string> m_lines;  // each with its own line end, if it had one
    std::string m_newline = "\n";      // the line end of lines this document adds
};

// A text value as GetPrivateProfileString reads it: one pair of enclosing quotes
// (both double or both single) dropped; empty when the key is missing.
std::string_view ProfileTextFromValue(std::optional<std::string_view> value);

// An integer value as GetPrivateProfileInt reads it: quotes around the value
// dropped, then an optional sign and decimal digits up to the first non-digit,
// wrapping modulo 2^32 like the profile functions; 0 without a digit. A missing
// or empty value gives defaultValue.
int ProfileIntFromValue(std::optional<std::string_view> value, int defaultValue);
