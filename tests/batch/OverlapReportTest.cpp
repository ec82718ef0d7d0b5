#include <gtest/gtest.h>

#include "OrbenchError.h"
#include "OverlapReport.h"
#include "Selection.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::ReadAll;

// Three instances with overlaps 0.25 (0, 1), 0.1 (0, 2) and 0.4 (1, 2).
class OverlapReport : public ::testing::Test {
protected:
    const DoubDoubArray O = {{0, 0.25, 0.1}, {0.25, 0, 0.4}, {0.1, 0.4, 0}};
    const std::string Matrix =
        "0.00000\t0.25000\t0.10000\r\n0.25000\t0.00000\t0.40000\r\n0.10000\t0.40000\t0.00000\r\n\r\n";
    testing::TTempDir Dir;
    const std::string File = Dir.File("overlap_CM1_ordays_10_load_0.85.txt");
};

TEST_F(OverlapReport, WorkedExampleWithAndWithoutSelection)
{
    for (TOverlapEngine Engine : {TOverlapEngine::oeExact, TOverlapEngine::oeSolver}) {
        DoubArray X;
        double ObjVal = -1;
        ASSERT_TRUE(SelectMinOverlapInstances(O, 3, 2, X, ObjVal, Engine));  // instances 0 and 2, largest 0.1
        WriteOverlapReport(File, O, X[0], X, 2, true);
        EXPECT_EQ(ReadAll(File), "Overlap between 3 instances:\r\n" + Matrix +
                                     "0.10000\tMaximum overlap\r\n\r\n\r\nOverlap between remaining 2 instances:\r\n"
                                     "0.00000\t0.10000\t\r\n0.10000\t0.00000\t\r\n");
    }
    // Replaces the longer file; the numbers keep '.' under a comma locale.
    const testing::TDecimalSeparatorGuard Comma(',');
    WriteOverlapReport(File, O, FindMaximumOverlap(O), {}, 2, false);
    EXPECT_EQ(ReadAll(File), "Overlap between 3 instances:\r\n" + Matrix + "0.40000\tMaximum overlap\r\n");
}

TEST_F(OverlapReport, NoInstanceChosenAndSingleInstance)
{
    DoubArray X;
    double ObjVal = -1;
    ASSERT_TRUE(SelectMinOverlapInstances(O, 3, 0, X, ObjVal));
    WriteOverlapReport(File, O, X[0], X, 0, true);
    EXPECT_EQ(ReadAll(File), "Overlap between 3 instances:\r\n" + Matrix +
                                 "0.00000\tMaximum overlap\r\n\r\n\r\nOverlap between remaining 0 instances:\r\n");

    const DoubDoubArray One = {{0}};
    WriteOverlapReport(File, One, FindMaximumOverlap(One), {}, 10, false);
    EXPECT_EQ(ReadAll(File), "Overlap between 1 instances:\r\n0.00000\r\n\r\n0.00000\tMaximum overlap\r\n");
}

TEST_F(OverlapReport, ProximityTextsNameKOnTheMaximumLine)
{
    const DoubArray X = {0.1, 1, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0};  // instances 0 and 2
    WriteOverlapReport(File, O, 0.1, X, 2, true, ProximityReportTexts());
    EXPECT_EQ(ReadAll(File), "0.05-proximity quantity between original 3 instances:\r\n" + Matrix +
                                 "0.10000\tMaximum 0.05-proximity quantity between selected 2 instances\r\n\r\n\r\n"
                                 "0.05-proximity quantity between selected 2 instances:\r\n"
                                 "0.00000\t0.10000\t\r\n0.10000\t0.00000\t\r\n");
    WriteOverlapReport(File, O, 0.4, {}, 7, false, ProximityReportTexts());
    EXPECT_EQ(ReadAll(File), "0.05-proximity quantity between original 3 instances:\r\n" + Matrix +
                                 "0.40000\tMaximum 0.05-proximity quantity between selected 7 instances\r\n");
}

TEST_F(OverlapReport, UnwritableFileIsAnError)
{
    EXPECT_THROW(WriteOverlapReport(Dir.File("missing/report.txt"), O, 0.4, {}, 2, false), EOrbenchError);
}

TEST(FindMaximumOverlap, TakesTheLargestOffDiagonalEntryFromZero)
{
    EXPECT_EQ(FindMaximumOverlap({}), 0);
    EXPECT_EQ(FindMaximumOverlap({{0.7}}), 0);
    EXPECT_EQ(FindMaximumOverlap({{0.9, 0.2, 0.1}, {0.3, 0.8, 0.25}, {0.05, 0.2, 0.95}}), 0.3);
    EXPECT_EQ(FindMaximumOverlap({{0, -1}, {-2, 0}}), 0);
}

}  // namespace
}  // namespace orbench
