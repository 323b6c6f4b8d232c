// The in-memory ini document: lookups, edits, and every byte no edit touches kept.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(IniDocument, AnyInputComesBackByteForByte) {
    const std::string inputs[] = {"",
                                  "\n",
                                  "no line end",
                                  "\xEF\xBB\xBF[Settings]\r\nA=1\r\nB=2",
                                  "mixed\r\nends\nand a lone \r in a line\n\r\n",
                                  std::string("nul\0in[Sett\0ings]\n", 18),
                                  "[unclosed\n]\n[]\n=\n==\n[[x]]\n"};
    for (const std::string& input : inputs) {
        EXPECT_EQ(IniDocument::Parse(input).Serialize(), input);
    }
}

TEST(IniDocument, SetValueReplacesInPlaceOrAppendsToItsSection) {
    struct Edit {
        std::string before;
        const char* key;
        std::string after;  // with the value 3
    };
    const Edit edits[] = {
        {"; top\n[Settings]\n  A \t=  1  \r\nB=2\n", "a",
         "; top\n[Settings]\n  A \t=  3  \r\nB=2\n"},
        {"[Settings]\n  A  \nB=2\n", "A", "[Settings]\n  A=3  \nB=2\n"},
        {"[Settings]\nA=\"1\"\nA=2\n", "A", "[Settings]\nA=3\nA=2\n"},
        {"[Settings]\nA=1\n\n[Other]\nB=2\n", "B", "[Settings]\nA=1\nB=3\n\n[Other]\nB=2\n"},
        {"[Settings]\r\nA=1\r\n; last\r\n", "B", "[Settings]\r\nA=1\r\n; last\r\nB=3\r\n"},
        {"[Settings]\r\nA=1\r", "B", "[Settings]\r\nA=1\r\nB=3\r\n"},
        {"", "A", "[Settings]\nA=3\n"},
        {"[Other]\r\nA=2", "A", "[Other]\r\nA=2\r\n[Settings]\r\nA=3\r\n"},
        {std::string("\x01\xFF\0=", 4), "A", std::string("\x01\xFF\0=\n[Settings]\nA=3\n", 20)},
        {"\xEF\xBB\xBF", "A", "\xEF\xBB\xBF\n[Settings]\nA=3\n"},
    };
    for (const Edit& edit : edits) {
        IniDocument document = IniDocument::Parse(edit.before);
        document.SetValue("Settings", edit.key, "3");
        EXPECT_EQ(document.Serialize(), edit.after) << edit.before;
    }
}

TEST(IniDocument, GetValueFollowsTheProfileRules) {
    const IniDocument document = IniDocument::Parse(
        "\xEF\xBB\xBF"
        "A=0\n[settings]\n  a  =  1 2  \nBare\nC=\na=2\n[Other]\nD=4\n[SETTINGS]\nD=5\n"
        "[ Spaced ] trailing ; text\nE=6\n[Open\nF=7\nG=" +
        std::string(100000, ' ') + "8");
    const std::pair<const char*, std::optional<std::string_view>> lookups[] = {
        {"A", "1 2"}, {"bare", ""}, {"C", ""}, {"D", std::nullopt}};
    for (const auto& [key, value] : lookups) {
        EXPECT_EQ(document.GetValue("Settings", key), value) << key;
    }
    EXPECT_EQ(document.GetValue("Other", "D"), "4");
    EXPECT_EQ(document.GetValue("Spaced", "E"), "6");
    // A header without its bracket is a key of the section before it.
    EXPECT_EQ(document.GetValue("Spaced", "F"), "7");
    EXPECT_EQ(document.GetValue("Spaced", "G"), "8");
    EXPECT_EQ(document.GetValue("Open", "F"), std::nullopt);
}

TEST(IniDocument, IntegersAreReadLikeGetPrivateProfileInt) {
    const std::pair<std::optional<std::string_view>, int> cases[] = {
        {std::nullopt, -7}, {"", -7},    {"12abc", 12},      {"abc", 0},
        {"\"7\"", 7},       {"0x1F", 0}, {"4294967295", -1}, {"12345678901234567890", -350287150},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ProfileIntFromValue(value, -7), expected) << value.value_or("(missing)");
    }
}

}  // namespace
