#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "FileUtils.h"
#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using namespace orbench::testing;

const std::string Header = "ID\tDistributionType\tP1\tP2\tP3\tFrequency";

class CaseMixFile : public ::testing::Test {
protected:
    CaseMixFile() { Data.Notifier = &Notifier; }
    TCaseMix& Read(const std::vector<std::string>& Lines, double C = 480, const std::string& Name = "cm.txt")
    {
        WriteLines(Dir.File(Name), Lines);
        Data.ReadAndAddCaseMix(Dir.File(Name), C);
        return *Data.CaseMixes.back();
    }
    static std::vector<double> Frequencies(const TCaseMix& CM)
    {
        std::vector<double> Result;
        for (const auto& Type : CM.SurgeryTypes) Result.push_back(Type->RelFrequency);
        return Result;
    }

    TTempDir Dir;
    TRecordingNotifier Notifier;
    TData Data;
};

TEST_F(CaseMixFile, HeaderOnlyMissingFileAndName)
{
    Data.ReadAndAddCaseMix(Dir.File("none.txt"), 480);
    EXPECT_EQ(Notifier.Texts(), std::vector<std::string>{"File does not exist!"});
    EXPECT_TRUE(Data.CaseMixes.empty());
    const TCaseMix& CM = Read({"anything at all"}, 480, "general.week.txt");
    ASSERT_EQ(Data.CaseMixes.size(), 1u);
    EXPECT_TRUE(CM.SurgeryTypes.empty());
    EXPECT_EQ(CM.Name, "general.week");
    EXPECT_EQ(CM.FileName, Dir.File("general.week.txt"));
    EXPECT_EQ(FileNameWithoutExtension("/some/dir/general.week.txt"), "general.week");
    // Only '/' separates directories.
    EXPECT_EQ(FileNameWithoutExtension("C:\\data\\casemixes\\general.week.txt"), "C:\\data\\casemixes\\general.week");
}

TEST_F(CaseMixFile, FrequenciesDefaultToOneAndAreNormalisedAlsoWithBareLineFeeds)
{
    std::ofstream(Dir.File("lf.txt"), std::ios::binary)
        << Header << "\n1\tNormal\t60\t6\t0\t2\n\n2\tNormal\t120\t12\t0\t1\n3\tNormal\t30\t3\t0";
    Data.ReadAndAddCaseMix(Dir.File("lf.txt"), 480);
    const TCaseMix& CM = *Data.CaseMixes.back();
    EXPECT_EQ(Frequencies(CM), (std::vector<double>{0.5, 0.25, 0.25}));
    EXPECT_DOUBLE_EQ(CM.SurgeryTypes[1]->Xvalue, 0.25);  // 120 / 480
    EXPECT_DOUBLE_EQ(CM.SurgeryTypes[1]->Yvalue, 0.1);   // 12 / 120
    // A lone CR ends a line as well, also mixed with the other two.
    std::ofstream(Dir.File("cr.txt"), std::ios::binary)
        << Header << "\r1\tNormal\t60\t6\t0\t2\r\r\n2\tNormal\t120\t12\t0\t1\n3\tNormal\t30\t3\t0\r";
    Data.ReadAndAddCaseMix(Dir.File("cr.txt"), 480);
    EXPECT_EQ(Frequencies(*Data.CaseMixes.back()), (std::vector<double>{0.5, 0.25, 0.25}));
}

TEST_F(CaseMixFile, NameMustBeUsableAsAFolderName)
{
    // The name is the file name without directory (only '/' separates) up to its last '.'.
    for (const char* File : {"...txt", "..txt", ".txt", "tab\tname.txt", "esc\x1b.txt"}) {
        WriteLines(Dir.File(File), {Header, "1\tNormal\t60\t6\t0\t1"});
        std::string Message;
        try {
            Data.ReadAndAddCaseMix(Dir.File(File), 480);
        } catch (const EOrbenchError& E) {
            Message = E.what();
        }
        EXPECT_EQ(Message.rfind(Dir.File(File) + ": the case mix name", 0), 0u) << Message;
        const std::string Shown = Message.substr(std::min(Message.size(), Dir.File(File).size()));
        EXPECT_EQ(Shown.find_first_of("\t\x1b"), std::string::npos) << Message;  // the name shown escaped
    }
    EXPECT_TRUE(Data.CaseMixes.empty());
    EXPECT_EQ(Read({Header}, 480, "back\\slash.x.txt").Name, "back\\slash.x");
}

TEST_F(CaseMixFile, CapacityOnlyMovesX)
{
    const std::vector<std::string> Lines{Header, "1\tUniform\t60\t120\t0\t1"};  // mean 90, sd 60 / sqrt(12)
    const TSurgeryType& A = *Read(Lines, 480, "a.txt").SurgeryTypes[0];
    const TSurgeryType& B = *Read(Lines, 600, "b.txt").SurgeryTypes[0];
    EXPECT_DOUBLE_EQ(A.Distribution->Expected, 90.0 / 1440);
    EXPECT_EQ(A.Distribution->Expected, B.Distribution->Expected);
    EXPECT_DOUBLE_EQ(A.Xvalue, 90.0 / 480);
    EXPECT_DOUBLE_EQ(B.Xvalue, 90.0 / 600);
    EXPECT_DOUBLE_EQ(A.Yvalue, 60 / std::sqrt(12.0) / 90);
    EXPECT_THROW(Data.ReadAndAddCaseMix(Dir.File("a.txt"), 0), EOrbenchError);
    EXPECT_THROW(Data.ReadAndAddCaseMix(Dir.File("a.txt"), -480), EOrbenchError);
    EXPECT_EQ(Data.CaseMixes.size(), 2u);
}

TEST_F(CaseMixFile, IdentifiersAndKinds)
{
    const TCaseMix& CM = Read({Header, "A12\tNormal\t60\t6\t0", "12\tBeta\t60\t6\t0", "12\tgamma\t2\t30\t0"});
    // case mix 0; per line the distribution, then the type: 1, 2 / 3, 4 / 5, 6
    EXPECT_EQ(CM.SurgeryTypes[0]->ID, 2);
    EXPECT_EQ(CM.SurgeryTypes[0]->Distribution->ID, 1);
    EXPECT_EQ(CM.SurgeryTypes[1]->ID, 12);
    EXPECT_EQ(CM.SurgeryTypes[2]->ID, 12);
    EXPECT_EQ(CM.SurgeryTypes[2]->Distribution->ID, 5);
    EXPECT_EQ(CM.SurgeryTypes[1]->Distribution->DistributionType, dNoDistribution);  // not an error
    EXPECT_DOUBLE_EQ(CM.SurgeryTypes[1]->Distribution->Expected, 60.0 / 1440);
    EXPECT_EQ(CM.SurgeryTypes[2]->Distribution->DistributionType, dGamma);
}

TEST_F(CaseMixFile, BadContentThrowsWithFileAndLineAndAddsNothing)
{
    Read({Header, "1\tNormal\t60\t6\t0\t1"}, 480, "good.txt");
    struct TCase {
        std::vector<std::string> Lines;
        int LineNumber;
        double Capacity = 480;
    };
    const TCase Cases[] = {
        {{Header, "1\tNormal\t60\t6\t0\t"}, 2},  // trailing TAB: an empty sixth field
        {{Header, "1\tNormal\t60\t6"}, 2},
        {{Header, "1\tNormal\t60\t6\t0\t1", "", "   "}, 4},  // blanks are not an empty line
        {{Header, "1\tNormal\t60\t6\t0\t1", "2\tNormal\tx\t6\t0"}, 3},
        {{Header, "1\tNormal\t60\tsix\t0"}, 2},
        {{Header, "1\tNormal\t60\t6\t?"}, 2},
        {{Header, "1\tNormal\t60\t6\t0\tmany"}, 2},
        {{Header, "1\tNormal\t0\t6\t0\t1"}, 2},                              // mean 0
        {{Header, "1\tWeibull\t0\t30\t0\t1"}, 2},                            // the failed mean stays 0
        {{Header, "1\tNormal\t60\t6\t0\t1", "2\tNormal\t60\t6\t0\t-1"}, 3},  // negative frequency
        {{Header, "1\tNormal\t-60\t6\t0\t1"}, 2},                            // mean below 0
        {{Header, "1\tGamma\t1e-150\t1e160\t0\t1"}, 2},     // P2 * P2 overflows: the variance would read 0
        {{Header, "1\tLogNormal\t800\t1\t0\t1"}, 2},        // the mean overflows
        {{Header, "1\tNormal\t1e200\t1e200\t0\t1"}, 2},     // the variance overflows
        {{Header, "1\tNormal\t1e999\t6\t0\t1"}, 2},         // a number that overflows is no number
        {{Header, "1\tNormal\t1e10\t6\t0\t1"}, 2, 1e-300},  // X overflows at a tiny capacity
        {{Header, "1\tNormal\t60\t6\t0\t1e308", "2\tNormal\t60\t6\t0\t1e308"}, 3},          // the frequencies' sum
        {{Header, "1\tNormal\t60\t6\t0\t1", std::string(MaxInputLineLength + 1, '7')}, 3},  // over 1 MB
        {{Header, "1\tNormal\t60\t-1\t0\t1"}, 2},                       // a negative standard deviation
        {{Header, "1\tThreeParameterLognormal\t3\t-0.5\t10\t1"}, 2},    // the same of ln(duration)
        {{Header, "1\tWeibull\t-2\t30\t0\t1"}, 2},                      // a shape below 0
        {{Header, "1\tThreeParameterLognormal\t-1e308\t1\t60\t1"}, 2},  // 2 P1 overflows: the variance would read 0
    };
    for (const auto& [Lines, LineNumber, Capacity] : Cases) {
        WriteLines(Dir.File("bad.txt"), Lines);
        std::string Message;
        try {
            Data.ReadAndAddCaseMix(Dir.File("bad.txt"), Capacity);
        } catch (const EOrbenchError& E) {
            Message = E.what();
        }
        EXPECT_EQ(Message.rfind(Dir.File("bad.txt") + ", line " + std::to_string(LineNumber) + ":", 0), 0u)
            << Lines.back() << " gave \"" << Message << '"';
        EXPECT_EQ(Data.CaseMixes.size(), 1u);
    }
    EXPECT_TRUE(Notifier.Messages.empty());
}

TEST_F(CaseMixFile, WriterNormalisesInMemoryAndFiltersByType)
{
    TCaseMix& CM = Read({Header, "1\tNormal\t120\t12\t0\t3", "2\tNormal\t360\t36\t0\t3", "3\tNormal\t240\t24\t0\t6"});
    CM.SurgeryTypes[2]->RelFrequency = 2;      // 0.25, 0.25, 2: not normalised in memory
    CM.WriteCaseMix(Dir.File("half.txt"), 5);  // X = 0.25, 0.75, 0.5: the first and the third
    EXPECT_EQ(Frequencies(CM), (std::vector<double>{0.1, 0.1, 0.8}));
    EXPECT_EQ(ReadAll(Dir.File("half.txt")),
              Header +
                  "\r\n1\tNormal\t120.000000000\t12.000000000\t0.000000000\t0.100000000\r\n"
                  "3\tNormal\t240.000000000\t24.000000000\t0.000000000\t0.800000000\r\n");
    Data.ReadAndAddCaseMix(Dir.File("half.txt"), 480);
    const std::vector<double> Subset = Frequencies(*Data.CaseMixes.back());  // normalised again over the subset
    ASSERT_EQ(Subset.size(), 2u);
    EXPECT_DOUBLE_EQ(Subset[0], 1.0 / 9);
    EXPECT_DOUBLE_EQ(Subset[1], 8.0 / 9);
}

class CaseMixRoundTrip : public CaseMixFile, public ::testing::WithParamInterface<char> {};

TEST_P(CaseMixRoundTrip, FileHoldsPointsAndReadsBackTheSame)
{
    const TDecimalSeparatorGuard Guard(GetParam());
    const TCaseMix& CM = Read({Header, "7\tThreeParameterLognormal\t4,094344562\t0.3\t15\t1",
                               "8\tNormal\t60\t6\t-1.5\t2,5", "9\tUniform\t12,5\t100.25\t0\t0.5"});
    EXPECT_EQ(CM.SurgeryTypes[2]->Distribution->P1, 12.5);
    EXPECT_EQ(CM.SurgeryTypes[2]->Distribution->P2, 100.25);
    Data.CaseMixes.back()->WriteCaseMix(Dir.File("out.txt"), 0);
    EXPECT_EQ(ReadAll(Dir.File("out.txt")),
              Header +
                  "\r\n7\tThreeParameterLognormal\t4.094344562\t0.300000000\t15.000000000\t0.250000000\r\n"
                  "8\tNormal\t60.000000000\t6.000000000\t-1.500000000\t0.625000000\r\n"
                  "9\tUniform\t12.500000000\t100.250000000\t0.000000000\t0.125000000\r\n");
    Data.ReadAndAddCaseMix(Dir.File("out.txt"), 480);
    const TCaseMix& Back = *Data.CaseMixes.back();
    ASSERT_EQ(Back.SurgeryTypes.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        const TSurgeryType &A = *CM.SurgeryTypes[k], &B = *Back.SurgeryTypes[k];
        EXPECT_EQ(B.ID, A.ID);
        EXPECT_EQ(B.Distribution->DistributionType, A.Distribution->DistributionType);
        EXPECT_NEAR(B.Distribution->P1, A.Distribution->P1, 5e-10);
        EXPECT_NEAR(B.Distribution->P2, A.Distribution->P2, 5e-10);
        EXPECT_NEAR(B.Distribution->P3, A.Distribution->P3, 5e-10);
        EXPECT_DOUBLE_EQ(B.RelFrequency, A.RelFrequency);
    }
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, CaseMixRoundTrip, ::testing::Values('.', ','));

}  // namespace
}  // namespace orbench
