// The in-memory ini document: lookups, edits, and foreign bytes kept exactly.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

std::string Edited(std::string_view before, std::string_view key, std::string_view value) {
    IniDocument document = IniDocument::Parse(before);
    document.SetValue("Settings", key, value);
    return document.Serialize();
}

TEST(IniDocumentBytes, EveryInputComesBackByteForByte) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    }
    const std::string inputs[] = {
        "",
        "\n",
        "no line end at all",
        "[Settings]\r\nA=1\r\nB=2",
        "\xEF\xBB\xBF[Settings]\nA=1\n",
        "mixed\r\nends\nand a lone \r in a line\n\r\n",
        std::string("nul\0inside\n[Sett\0ings]\n", 24),
        "[unclosed\n]\n[]\n=\n==\n[[x]]\n",
        std::string(100000, 'x') + "\n[Settings]\nA=1",
        garbage,
    };
    for (const std::string& input : inputs) {
        EXPECT_EQ(IniDocument::Parse(input).Serialize(), input);
    }
}

TEST(IniDocumentBytes, AnEditTouchesOnlyTheValueOfItsLine) {
    EXPECT_EQ(Edited("; top\n[Settings]\n  A \t=  1  \r\nB=2\n", "a", "42"),
              "; top\n[Settings]\n  A \t=  42  \r\nB=2\n");
    EXPECT_EQ(Edited("[Settings]\nA=\nB=2\n", "A", "3"), "[Settings]\nA=3\nB=2\n");
    EXPECT_EQ(Edited("[Settings]\n  A  \nB=2\n", "A", "3"), "[Settings]\n  A=3  \nB=2\n");
    EXPECT_EQ(Edited("[Settings]\nA=\"1\"\n", "A", "3"), "[Settings]\nA=3\n");
    // Only the first of two equal keys is the key; the second stays as it was.
    EXPECT_EQ(Edited("[Settings]\nA=1\nA=2\n", "A", "3"), "[Settings]\nA=3\nA=2\n");
}

TEST(IniDocumentBytes, NewKeyGoesAtTheEndOfItsSection) {
    EXPECT_EQ(Edited("[Settings]\nA=1\n\n[Other]\nB=2\n", "B", "3"),
              "[Settings]\nA=1\nB=3\n\n[Other]\nB=2\n");
    EXPECT_EQ(Edited("[Settings]\r\nA=1\r\n; last\r\n", "B", "3"),
              "[Settings]\r\nA=1\r\n; last\r\nB=3\r\n");
    EXPECT_EQ(Edited("[Settings]\nA=1", "B", "3"), "[Settings]\nA=1\nB=3\n");
    EXPECT_EQ(Edited("[Settings]\r\nA=1\r", "B", "3"), "[Settings]\r\nA=1\r\nB=3\r\n");
    EXPECT_EQ(Edited("[Settings]\n", "B", "3"), "[Settings]\nB=3\n");
    EXPECT_EQ(Edited("[Settings]", "B", "3"), "[Settings]\nB=3\n");
}

TEST(IniDocumentBytes, MissingSectionIsAddedAtTheEnd) {
    EXPECT_EQ(Edited("", "A", "1"), "[Settings]\nA=1\n");
    EXPECT_EQ(Edited("[Other]\r\nA=2\r\n", "A", "1"), "[Other]\r\nA=2\r\n[Settings]\r\nA=1\r\n");
    EXPECT_EQ(Edited("[Other]\nA=2", "A", "1"), "[Other]\nA=2\n[Settings]\nA=1\n");
    // Binary garbage is kept ahead of the new section.
    EXPECT_EQ(Edited(std::string("\x01\xFF\0=", 4), "A", "1"),
              std::string("\x01\xFF\0=\n[Settings]\nA=1\n", 20));
}

TEST(IniDocumentBytes, ByteOrderMarkIsKeptAndNotPartOfTheFirstName) {
    const std::string withMark = "\xEF\xBB\xBF[Settings]\nA=1\n";
    EXPECT_EQ(IniDocument::Parse(withMark).GetValue("Settings", "A"), "1");
    EXPECT_EQ(Edited(withMark, "A", "2"), "\xEF\xBB\xBF[Settings]\nA=2\n");
    EXPECT_EQ(Edited("\xEF\xBB\xBF", "A", "2"), "\xEF\xBB\xBF\n[Settings]\nA=2\n");
}

TEST(IniDocumentLookup, FollowsTheProfileRules) {
    const IniDocument document = IniDocument::Parse(
        "A=0\n"
        "[settings]\n"
        "  a  =  1 2  \n"
        "Bare\n"
        "C=\n"
        "a=2\n"
        "[Other]\n"
        "D=4\n"
        "[SETTINGS]\n"
        "D=5\n"
        "[ Spaced ] trailing ; text\n"
        "E=6\n"
        "[Open\n"
        "F=7\n");
    EXPECT_EQ(document.GetValue("Settings", "A"), "1 2");
    EXPECT_EQ(document.GetValue("Settings", "bare"), "");
    EXPECT_EQ(document.GetValue("Settings", "C"), "");
    // Only the first section of a name counts.
    EXPECT_EQ(document.GetValue("Settings", "D"), std::nullopt);
    EXPECT_EQ(document.GetValue("Other", "D"), "4");
    EXPECT_EQ(document.GetValue("Spaced", "E"), "6");
    // A header without its bracket is a key of the section before it.
    EXPECT_EQ(document.GetValue("Spaced", "F"), "7");
    EXPECT_EQ(document.GetValue("Open", "F"), std::nullopt);
    EXPECT_EQ(document.GetValue("Missing", "A"), std::nullopt);
}

TEST(IniDocumentLookup, SurvivesLinesTooLongForAnyBuffer) {
    const std::string longValue(100000, '9');
    const IniDocument document =
        IniDocument::Parse("[Settings]\nA=" + longValue + "\nB=" + std::string(100000, ' ') + "3");
    EXPECT_EQ(document.GetValue("Settings", "A"), longValue);
    EXPECT_EQ(document.GetValue("Settings", "B"), "3");
}

struct IntCase {
    std::optional<std::string_view> value;
    int expected;
};

TEST(ProfileInt, ReadsLikeGetPrivateProfileInt) {
    const IntCase cases[] = {
        {std::nullopt, -7},
        {"", -7},
        {"\"\"", -7},
        {"12", 12},
        {"+3", 3},
        {"-4", -4},
        {"12abc", 12},
        {"abc", 0},
        {"-", 0},
        {"\"", 0},
        {"\"7\"", 7},
        {"'8'", 8},
        {"\"9", 0},
        {"0x1F", 0},
        {"007", 7},
        {"\" 6\"", 6},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"4294967295", -1},
        {"4294967296", 0},
        {"12345678901234567890", -350287150},
    };
    for (const IntCase& c : cases) {
        EXPECT_EQ(ProfileIntFromValue(c.value, -7), c.expected)
            << (c.value ? std::string(*c.value) : std::string("(missing)"));
    }
}

}  // namespace
