#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using namespace orbench::testing;

class InstanceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        Data.Notifier = &Notifier;
        WriteLines(Dir.File("cm.txt"),
                   {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1",
                    "2\tThreeParameterLognormal\t4.094344562\t0.3\t15\t1", "3\tWeibull\t1.5\t90.123456789\t0\t1"});
        Data.ReadAndAddCaseMix(Dir.File("cm.txt"), 480);
        ASSERT_EQ(Data.CaseMixes.size(), 1u);
        CM = Data.CaseMixes[0].get();
    }
    // A hand-written instance file of the case mix; Edits replace whole lines by their number.
    std::string Write(std::vector<std::string> Surgeries, std::vector<std::pair<int, std::string>> Edits = {})
    {
        std::vector<std::string> Lines{"# INSTANCE CHARACTERISTICS",
                                       "999999\tInstance number",
                                       "cm\tcase mix name",
                                       "2\tnumber of OR-days",
                                       "0.900000000\tdesired load",
                                       "0.8\tload",
                                       "480.000000000\tCapacity OR-days in minutes",
                                       "",
                                       "# SURGERIES",
                                       "SurgNr\tP1\tP2\tP3"};
        for (const auto& [Line, Text] : Edits) Lines[static_cast<std::size_t>(Line) - 1] = Text;
        Lines.insert(Lines.end(), Surgeries.begin(), Surgeries.end());
        const std::string File = Dir.File("in" + std::to_string(++Files) + ".txt");
        WriteLines(File, Lines);
        return File;
    }
    TInstance* ReadBack(const std::string& File)
    {
        TCaseMix* Out = nullptr;
        Data.ReadAndAddInstance(File, Out);
        EXPECT_EQ(Out, CM);
        return Out == nullptr ? nullptr : Out->Instances.Last();
    }
    std::string ErrorOf(const std::string& File)
    {
        try {
            ReadBack(File);
        } catch (const EOrbenchError& E) {
            return E.what();
        }
        return "(no error)";
    }
    // The ten lines written before the surgeries.
    static std::string Head(const std::string& Ors, const std::string& Desired, const std::string& Load)
    {
        return "# INSTANCE CHARACTERISTICS\r\n999999\tInstance number\r\ncm\tcase mix name\r\n" + Ors +
               "\tnumber of OR-days\r\n" + Desired + "\tdesired load\r\n" + Load +
               "\tload\r\n480.000000000\tCapacity OR-days in minutes\r\n\r\n# SURGERIES\r\nSurgNr\tP1\tP2\tP3\r\n";
    }

    TTempDir Dir;
    TRecordingNotifier Notifier;
    TData Data;
    TCaseMix* CM = nullptr;
    int Files = 0;
};

class InstanceRoundTrip : public InstanceFile, public ::testing::WithParamInterface<char> {};

TEST_P(InstanceRoundTrip, SaveAndReadBack)
{
    const TDecimalSeparatorGuard Guard(GetParam());
    TInstance* Saved = CM->CreateAndAddInstance(0.123456789012, 0.85, 3);
    for (int k : {2, 0, 2, 1}) Saved->Surgeries.push_back(std::make_unique<TSurgery>(CM->SurgeryTypes[k].get(), &Data));
    Saved->FileName = Dir.File("inst.txt");
    Saved->SaveInstance();
    EXPECT_EQ(ReadAll(Saved->FileName),
              Head("3", "0.850000000", "0.123456789") +
                  "1\t1.500000000\t90.123456789\t0.000000000\r\n"
                  "2\t60.000000000\t6.000000000\t0.000000000\r\n3\t1.500000000\t90.123456789\t0.000000000\r\n"
                  "4\t4.094344562\t0.300000000\t15.000000000\r\n");

    const int LastID = Data.GenerateObjectID.LastID;
    TInstance* Back = ReadBack(Saved->FileName);
    ASSERT_EQ(CM->Instances.Count(), 2);
    ASSERT_EQ(Back->Surgeries.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(Back->Surgeries[k]->SurgeryType, Saved->Surgeries[k]->SurgeryType);
        EXPECT_EQ(Back->Surgeries[k]->ID, LastID + 1 + static_cast<int>(k));
    }
    EXPECT_EQ(Back->NumberOfORs, 3);
    EXPECT_NEAR(Back->Load, 0.123456789012, 5e-10);
    EXPECT_DOUBLE_EQ(Back->DesiredLoad, 0.85);
    EXPECT_EQ(Back->Name, "999999");
    EXPECT_EQ(Back->FileName, "");
    EXPECT_TRUE(Notifier.Messages.empty());
}

TEST_P(InstanceRoundTrip, EmptyInstanceHasTheTenHeaderLinesOnly)
{
    const TDecimalSeparatorGuard Guard(GetParam());
    TInstance* Saved = CM->CreateAndAddInstance(0, 0.5, 1);
    Saved->FileName = Dir.File("empty.txt");
    Saved->SaveInstance();
    EXPECT_EQ(ReadAll(Saved->FileName), Head("1", "0.500000000", "0.000000000"));
    ASSERT_NE(ReadBack(Saved->FileName), nullptr);
    EXPECT_TRUE(CM->Instances.Last()->Surgeries.empty());
}

TEST_P(InstanceRoundTrip, LoadWithCommaOrPointAndBareLineFeeds)
{
    const TDecimalSeparatorGuard Guard(GetParam());
    std::ofstream(Dir.File("lf.txt"), std::ios::binary)
        << "# INSTANCE CHARACTERISTICS\n7\ncm\n4\n0,85\tdesired load\n0.8\n480\n\n#\nSurgNr\n1\t60\t6\t0\n";
    const TInstance* Back = ReadBack(Dir.File("lf.txt"));
    ASSERT_NE(Back, nullptr);
    EXPECT_DOUBLE_EQ(Back->DesiredLoad, 0.85);
    EXPECT_EQ(Back->Name, "7");
    ASSERT_EQ(Back->Surgeries.size(), 1u);
    EXPECT_EQ(Back->Surgeries[0]->SurgeryType, CM->SurgeryTypes[0].get());
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, InstanceRoundTrip, ::testing::Values('.', ','));

TEST_F(InstanceFile, UnknownCaseMixNameGivesAMessageAndNoInstance)
{
    TCaseMix* Out = CM;
    Data.ReadAndAddInstance(Write({"1\t60\t6\t0"}, {{3, "CM\tcase mix name"}}), Out);  // names are case-sensitive
    EXPECT_EQ(Out, nullptr);
    EXPECT_EQ(Notifier.Texts(), std::vector<std::string>{"Error! Cannot find case mix with name: CM"});
    EXPECT_TRUE(CM->Instances.Empty());
}

TEST_F(InstanceFile, OtherCapacityWarnsButAddsTheInstance)
{
    ASSERT_NE(ReadBack(Write({})), nullptr);
    EXPECT_TRUE(Notifier.Messages.empty());
    TInstance* Back = ReadBack(Write({"1\t60\t6\t0"}, {{7, "450.000000000\tCapacity OR-days in minutes"}}));
    EXPECT_EQ(Notifier.Texts(),
              std::vector<std::string>{"Warning: instance has different OR-day capacity than saved case mix"});
    ASSERT_EQ(CM->Instances.Count(), 2);
    EXPECT_DOUBLE_EQ(Back->Load, 0.8);
    EXPECT_EQ(Back->Surgeries.size(), 1u);
}

TEST_F(InstanceFile, UnmatchedAndShortSurgeryLinesAreDropped)
{
    TInstance* Back =
        ReadBack(Write({"1\t60\t6\t0", "2\t60.00000002\t6\t0", "3\t60\t6", "4\t1.5\t90.123456789\t0.000000004"}));
    ASSERT_NE(Back, nullptr);
    ASSERT_EQ(Back->Surgeries.size(), 2u);
    EXPECT_EQ(Back->Surgeries[0]->SurgeryType, CM->SurgeryTypes[0].get());
    EXPECT_EQ(Back->Surgeries[1]->SurgeryType, CM->SurgeryTypes[2].get());
    EXPECT_TRUE(Notifier.Messages.empty());
}

TEST_F(InstanceFile, BadContentThrowsWithFileAndLineAndAddsNothing)
{
    const std::pair<std::string, int> Cases[] = {
        {Write({}, {{4, "2.5\tnumber of OR-days"}}), 4},
        {Write({}, {{4, "x"}}), 4},
        {Write({}, {{5, "abc\tdesired load"}}), 5},
        {Write({}, {{7, "\tCapacity"}}), 7},
        {Write({"1\t60\t6\t0", "2\t60\tsix\t0"}), 12},
        // Not an instance file: a wrong first line, a missing or meaningless field.
        {Write({}, {{1, "# Orbench"}}), 1},
        {Write({}, {{3, "\tcase mix name"}}), 3},
        {Write({}, {{4, "0\tnumber of OR-days"}}), 4},
        {Write({}, {{6, "1e999\tload"}}), 6},
    };
    for (const auto& [File, LineNumber] : Cases)
        EXPECT_EQ(ErrorOf(File).rfind(File + ", line " + std::to_string(LineNumber) + ":", 0), 0u) << ErrorOf(File);
    WriteLines(Dir.File("short.txt"), {"# INSTANCE CHARACTERISTICS", "999999", "cm", "2", "0.9"});
    EXPECT_EQ(ErrorOf(Dir.File("short.txt")).rfind(Dir.File("short.txt") + ", line ", 0), 0u);
    EXPECT_NE(ErrorOf(Dir.File("missing.txt")).find(Dir.File("missing.txt")), std::string::npos);
    EXPECT_TRUE(CM->Instances.Empty());
}

}  // namespace
}  // namespace orbench
