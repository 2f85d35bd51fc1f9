// The pieces of a command line: tokens and numbers; and the Enter handler's
// arithmetic on the console text.
#include "console/CommandTokens.h"
#include "console/ConsoleText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

std::vector<std::string> Tokens(std::string_view command)
{
    std::vector<std::string> tokens;
    std::string token;
    while (NextToken(token, command) > 0)
        tokens.push_back(token);
    EXPECT_EQ(token, "");
    return tokens;
}

TEST(CommandTokens, BlanksSeparateAndALongRunIsCut)
{
    EXPECT_THAT(Tokens(" a\tbc\r\nd  \n"), testing::ElementsAre("a", "bc", "d"));
    EXPECT_THAT(Tokens("\x01\x7f \xe9t\xe9"), testing::ElementsAre("\x01\x7f", "\xe9t\xe9"));
    const auto cut = Tokens(std::string(300, 'k'));
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].size(), 255u);
    EXPECT_EQ(cut[1].size(), 45u);
    EXPECT_TRUE(Tokens(" \t\r\n").empty());
}

// The cases the interpreter's tests do not reach through a command.
TEST(CommandTokens, SignedNumbers)
{
    const std::vector<std::pair<const char*, std::optional<std::uint32_t>>> cases{
        {"-0x10", 0xFFFFFFF0u}, {"017", 15u},          {"0x", 0u},           {"4294967297", 1u},
        {"-", std::nullopt},    {"", std::nullopt},    {"+-1", std::nullopt}, {"x1", std::nullopt},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadSignedNumber(text), value) << '"' << text << '"';
}

TEST(ConsoleText, TheLineUnderTheCaret)
{
    const std::string text = "first\r\n  100 map \r\nlast";
    const std::vector<std::pair<std::size_t, const char*>> cases{
        {0, "first"},          {3, "first"},           {5, "first"},
        {7, "  100 map "},     {12, "  100 map "},     {17, "  100 map "},
        {19, "last"},          {23, "last"},           {99, "last"},
    };
    for (const auto& [caret, line] : cases)
        EXPECT_EQ(LineAt(text, caret), line) << caret;
    EXPECT_EQ(LineAt("", 0), "");
    EXPECT_EQ(LineAt("a\r\n", 3), "");
}

TEST(ConsoleText, WhatEnterAppends)
{
    struct Case {
        const char* text;
        const char* output;
        const char* appended;
    };
    for (const Case& c : {Case{"100", "read", "\r\nread\r\n"}, Case{"100\r\n", "read", "read\r\n"},
                          Case{"", "read", "read\r\n"}, Case{"100", "", "\r\n"}, Case{"100\r\n", "", ""},
                          Case{"", "", ""}, Case{"10 map", "map\r\n", "\r\nmap\r\n\r\n"}})
        EXPECT_EQ(TextToAppend(c.text, c.output), c.appended) << c.text << " / " << c.output;
}

}  // namespace
