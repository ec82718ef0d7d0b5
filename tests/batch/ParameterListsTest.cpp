#include <gtest/gtest.h>

#include "OrbenchError.h"
#include "ParameterLists.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using TList = std::vector<std::string>;

class ParameterLists : public ::testing::Test {
protected:
    testing::TDecimalSeparatorGuard Point{'.'};
};

TEST_F(ParameterLists, IntegerRangesAreInclusiveAndNeedAPositiveStep)
{
    EXPECT_EQ(IntegerRangeEntries("1", "10", "1"), (TList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(IntegerRangeEntries("5", "40", "5"), (TList{"5", "10", "15", "20", "25", "30", "35", "40"}));
    EXPECT_EQ(IntegerRangeEntries("-2", "3", "2"), (TList{"-2", "0", "2"}));
    EXPECT_EQ(IntegerRangeEntries("7", "7", "3"), TList{"7"});
    for (const TList& F : std::vector<TList>{{"10", "1", "1"},
                                             {"1", "10", "0"},
                                             {"1", "10", "-1"},
                                             {"10", "1", "-1"},
                                             {"1.5", "10", "1"},
                                             {"1", "x", "1"},
                                             {"1", "10", ""}})
        EXPECT_TRUE(IntegerRangeEntries(F[0], F[1], F[2]).empty()) << F[0] << " " << F[1] << " " << F[2];

    // At most 100000 entries; a longer range adds nothing.
    const TList Longest = IntegerRangeEntries("1", "1000000", "10");
    ASSERT_EQ(Longest.size(), 100000u);
    EXPECT_EQ(Longest.back(), "999991");
    EXPECT_EQ(IntegerRangeEntries("1", "100000", "1").size(), 100000u);
    EXPECT_TRUE(IntegerRangeEntries("0", "100000", "1").empty());
}

TEST_F(ParameterLists, DecimalRangesReachTheirEndDespiteRounding)
{
    EXPECT_EQ(DecimalRangeEntries("0.8", "1.2", "0.1"), (TList{"0.8", "0.9", "1", "1.1", "1.2"}));
    EXPECT_EQ(DecimalRangeEntries("0.8", "1.2", "0.05"),
              (TList{"0.8", "0.85", "0.9", "0.95", "1", "1.05", "1.1", "1.15", "1.2"}));
    EXPECT_EQ(DecimalRangeEntries("0", "1", "0.3"), (TList{"0", "0.3", "0.6", "0.9"}));  // 1 is no step of 0.3 away
    EXPECT_EQ(DecimalRangeEntries("0,8", "1.0", "0,1"), (TList{"0.8", "0.9", "1"}));     // either separator reads
    for (const TList& F : std::vector<TList>{{"1.2", "0.8", "0.1"},
                                             {"0.8", "1.2", "0"},
                                             {"0.8", "1.2", "-0.1"},
                                             {"0.8", "abc", "0.1"},
                                             {"", "1.2", "0.1"}})
        EXPECT_TRUE(DecimalRangeEntries(F[0], F[1], F[2]).empty()) << F[0] << " " << F[1] << " " << F[2];

    const TList Longest = DecimalRangeEntries("0", "0.99999", "0.00001");
    ASSERT_EQ(Longest.size(), 100000u);
    EXPECT_EQ(Longest.back(), "0.99999");
    EXPECT_TRUE(DecimalRangeEntries("0", "1", "0.00001").empty());  // 100001 entries

    const testing::TDecimalSeparatorGuard Comma(',');
    EXPECT_EQ(DecimalRangeEntries("0,8", "1,2", "0.1"), (TList{"0,8", "0,9", "1", "1,1", "1,2"}));
    const TList Twentieths = DecimalRangeEntries("0.8", "1.2", "0,05");
    EXPECT_EQ(Twentieths.size(), 9u);
    EXPECT_EQ(Twentieths.back(), "1,2");
}

TEST_F(ParameterLists, SortIsNumericAndNormalisesTheEntries)
{
    EXPECT_EQ(SortIntegerEntries({"40", "5", "10", "15", "-1", "5"}), (TList{"-1", "5", "5", "10", "15", "40"}));
    EXPECT_EQ(SortIntegerEntries({"010", "9"}), (TList{"9", "10"}));
    EXPECT_EQ(SortDecimalEntries({"0.95", "0.80", "1.20", "1.00", "1"}), (TList{"0.8", "0.95", "1", "1", "1.2"}));
    EXPECT_EQ(SortDecimalEntries({"10", "9.5", "0,85"}), (TList{"0.85", "9.5", "10"}));
    EXPECT_TRUE(SortDecimalEntries({}).empty());
    const testing::TDecimalSeparatorGuard Comma(',');
    EXPECT_EQ(SortDecimalEntries({"0.95", "0,80", "1.20"}), (TList{"0,8", "0,95", "1,2"}));
}

TEST_F(ParameterLists, RemoveDoubleEntriesSortsAndKeepsEachValueOnce)
{
    TList ORdays = {"5", "10", "15", "20", "25", "30", "35", "40"};
    const TList Added = IntegerRangeEntries("10", "40", "10");
    ORdays.insert(ORdays.end(), Added.begin(), Added.end());
    EXPECT_EQ(RemoveDoubleIntegerEntries(ORdays), (TList{"5", "10", "15", "20", "25", "30", "35", "40"}));
    EXPECT_EQ(RemoveDoubleDecimalEntries({"1.2", "0.8", "0.80", "0,8", "0.9", "1.20"}), (TList{"0.8", "0.9", "1.2"}));
    EXPECT_EQ(RemoveDoubleDecimalEntries({"0.3", "0.30000000000000004"}), (TList{"0.3", "0.3"}));  // exact comparison
    EXPECT_THROW(SortIntegerEntries({"5", "x"}), EOrbenchError);
    EXPECT_THROW(RemoveDoubleDecimalEntries({"0.8", ""}), EOrbenchError);
}

}  // namespace
}  // namespace orbench
