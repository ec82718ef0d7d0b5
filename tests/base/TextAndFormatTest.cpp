#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "NumberFormat.h"
#include "TestHelpers.h"
#include "TextUtils.h"

namespace orbench {
namespace {

using testing::TDecimalSeparatorGuard;
using Strings = std::vector<std::string>;

// The value read, or "fail" (checking that a failure leaves 0).
std::string Float(const std::string& Text)
{
    double Value = -99;
    const bool Ok = TryTextToFloat(Text, Value);
    return Ok ? std::to_string(Value) : (Value == 0 ? "fail" : "fail without 0");
}

TEST(TextToNumber, FloatUsesTheProgramsSeparator)
{
    {
        const TDecimalSeparatorGuard Guard('.');
        for (const char* Text : {"12.5", "  12.5 ", "+12.5", "1.25e1", "125E-1"})
            EXPECT_EQ(Float(Text), "12.500000") << Text;
        EXPECT_EQ(Float("-0.75"), "-0.750000");
        EXPECT_EQ(Float("12,5"), "fail");  // no ',' / '.' exchange here
    }
    const TDecimalSeparatorGuard Guard(',');
    EXPECT_EQ(Float(" -0,75"), "-0.750000");
    EXPECT_EQ(Float("12.5"), "fail");
    for (const char* Text : {"", " ", "abc", "1,2,3", "12a", "-", "1e", "e5", "1 2"})
        EXPECT_EQ(Float(Text), "fail") << Text;
}

TEST(TextToNumber, UnderflowReadsAsItsValueOverflowIsNoNumber)
{
    const TDecimalSeparatorGuard Guard('.');
    double Value = -1;
    EXPECT_TRUE(TryTextToFloat("1e-400", Value) && Value == 0 && !std::signbit(Value));
    EXPECT_TRUE(TryTextToFloat("-2.4e-324", Value) && Value == 0 && std::signbit(Value));
    EXPECT_TRUE(TryTextToFloat("1e-310", Value) && Value == 1e-310);  // subnormal, exactly rounded
    EXPECT_TRUE(TryTextToFloat("2.5e-324", Value) && Value == 4.9406564584124654e-324);
    for (const char* Text : {"1e400", "-1.8e308", "1e99999"}) EXPECT_EQ(Float(Text), "fail") << Text;
}

TEST(TextToNumber, IntParsesTheWholeText)
{
    const auto Int = [](const std::string& Text) {
        int Value = 0;
        return TryTextToInt(Text, Value) ? std::to_string(Value) : "fail";
    };
    for (const char* Text : {"12", "-7", "2147483647", "-2147483648"}) EXPECT_EQ(Int(Text), Text);
    EXPECT_EQ(Int("  -7"), "-7");
    EXPECT_EQ(Int("+3"), "3");
    for (const char* Text : {"", " ", "-", "12 ", "1.0", "A12", "2147483648", "-2147483649", "99999999999"})
        EXPECT_EQ(Int(Text), "fail") << '"' << Text << '"';
}

TEST(TextHelpers, ReplaceAllTextIgnoresCaseAndNeverRescansInsertedText)
{
    EXPECT_EQ(ReplaceAllText("ab", "X", "aBcAbab"), "XcXX");
    EXPECT_EQ(ReplaceAllText("a", "aa", "aa"), "aaaa");
    EXPECT_EQ(ReplaceAllText("aa", "a", "aaaa"), "aa");
}

TEST(TextHelpers, NormalizeDecimalSeparatorFollowsTheSetting)
{
    {
        const TDecimalSeparatorGuard Guard('.');
        EXPECT_EQ(NormalizeDecimalSeparator("1,5 2.5 3,25"), "1.5 2.5 3.25");
    }
    const TDecimalSeparatorGuard Guard(',');
    EXPECT_EQ(NormalizeDecimalSeparator("1,5 2.5 3.25"), "1,5 2,5 3,25");
}

TEST(TextHelpers, SplitToStringListAppendsEveryPiece)
{
    const auto Split = [](const std::string& Text) {
        Strings List{"kept"};
        SplitToStringList(Text, '\t', List);
        return List;
    };
    EXPECT_EQ(Split("a\tb"), (Strings{"kept", "a", "b"}));
    EXPECT_EQ(Split("a\t"), (Strings{"kept", "a", ""}));
    EXPECT_EQ(Split(""), (Strings{"kept", ""}));
    EXPECT_EQ(Split("a\t\tb c"), (Strings{"kept", "a", "", "b c"}));
}

TEST(NumberFormat, FixedNeverUsesTheSeparatorGeneralDoes)
{
    for (const char Sep : {'.', ','}) {
        const TDecimalSeparatorGuard Guard(Sep);
        const auto Local = [Sep](std::string Text) {
            for (char& Ch : Text) Ch = Ch == '.' ? Sep : Ch;
            return Text;
        };
        EXPECT_EQ(FormatFixed(0.85, 9), "0.850000000");
        EXPECT_EQ(FormatFixed(480, 9), "480.000000000");
        EXPECT_EQ(FormatFixed(-12.5, 9), "-12.500000000");
        EXPECT_EQ(FormatFixed(2.0 / 3, 4), "0.6667");
        EXPECT_EQ(FormatFixedLocale(0.85, 4), Local("0.8500"));
        EXPECT_EQ(FormatGeneral(0.85), Local("0.85"));
        EXPECT_EQ(FormatGeneral(1.0 / 3), Local("0.333333333333333"));
        EXPECT_EQ(FormatGeneral(1e-05), "1e-05");
        EXPECT_EQ(FormatGeneral(0.0001), Local("0.0001"));
        EXPECT_EQ(FormatGeneral(480), "480");
        EXPECT_EQ(FormatGeneral(0.1 + 0.2), Local("0.3"));  // 15 digits hide the binary error
    }
}

TEST(NumberFormat, ZeroNeverPrintsWithASign)
{
    const TDecimalSeparatorGuard Guard(',');
    EXPECT_EQ(FormatFixed(-0.0, 9), "0.000000000");
    EXPECT_EQ(FormatFixed(-1e-12, 9), "0.000000000");  // rounds to zero
    EXPECT_EQ(FormatFixed(-0.0, 5), "0.00000");
    EXPECT_EQ(FormatFixedLocale(-0.0, 4), "0,0000");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatFixed(-1e-9, 9), "-0.000000001");
    EXPECT_EQ(FormatGeneral(-1e-300), "-1e-300");
}

TEST(TextHelpers, ShortenForMessageEscapesAndCuts)
{
    EXPECT_EQ(ShortenForMessage("plain text"), "plain text");
    EXPECT_EQ(ShortenForMessage("a\tb\r\n\x1b[2J\x7f"), "a\\tb\\r\\n\\x1b[2J\\x7f");
    EXPECT_EQ(ShortenForMessage(std::string(60, 'x')), std::string(60, 'x'));
    EXPECT_EQ(ShortenForMessage(std::string(61, 'x')), std::string(60, 'x') + "...");
    EXPECT_EQ(ShortenForMessage(std::string(59, 'x') + "\t"), std::string(59, 'x') + "...");        // no half escape
    EXPECT_EQ(ShortenForMessage(std::string(59, 'x') + "\xc3\xa9"), std::string(59, 'x') + "...");  // no half character
}

}  // namespace
}  // namespace orbench
