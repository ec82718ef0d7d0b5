#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "BatchRun.h"
#include "Manifest.h"
#include "ManifestVerify.h"
#include "Sha256.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OverlapReport.h"
#include "RecordingHost.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TRecordingHost;
using TLines = std::vector<std::string>;

// The pieces of Text between the separators; a text ending in a separator ends in an empty piece.
TLines Split(const std::string& Text, const std::string& Separator)
{
    TLines Parts;
    std::size_t Start = 0;
    for (std::size_t End; (End = Text.find(Separator, Start)) != std::string::npos; Start = End + Separator.size())
        Parts.push_back(Text.substr(Start, End - Start));
    Parts.push_back(Text.substr(Start));
    return Parts;
}

// The test case mix has Normal types of 60 (sd 6), 70 (sd 14), 100 (sd 10) and 240 (sd 24) minutes.
// With epsilon 0.01 and the stochastic distance only surgeries of the same type are alike, so a
// largest matching pairs min(a, b) surgeries of each type; the overlap is their share of both totals.
double SameTypeOverlap(const std::string& FileA, const std::string& FileB)
{
    std::map<double, int> Counts[2];
    double Total = 0, Matched = 0;
    for (int Side = 0; Side < 2; ++Side) {
        const TLines Lines = Split(ReadAll(Side == 0 ? FileA : FileB), "\r\n");
        for (auto Line = std::find(Lines.begin(), Lines.end(), "SurgNr\tP1\tP2\tP3") + 1; Line < Lines.end() - 1;
             ++Line) {
            const double Mean = std::stod(Split(*Line, "\t").at(1));
            ++Counts[Side][Mean], Total += Mean;
        }
    }
    for (const auto& [Mean, n] : Counts[0]) Matched += 2 * Mean * std::min(n, Counts[1][Mean]);
    return Matched / Total;
}

class BatchRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        Data.Notifier = &Notifier;
        AddCaseMix("cm");
        Settings.BaseDirectory = Dir.File("out/");
        Settings.NumORdays = {2};
        Settings.Loads = {0.5};
        Settings.NumInstancesPerLoad = 3;
        Settings.NumInstancesToSelect = 2;
    }
    void AddCaseMix(const std::string& Name)
    {
        testing::WriteLines(Dir.File(Name + ".txt"),
                            {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1",
                             "2\tNormal\t70\t14\t0\t1", "3\tNormal\t100\t10\t0\t1", "4\tNormal\t240\t24\t0\t1"});
        Data.ReadAndAddCaseMix(Dir.File(Name + ".txt"), 480);
        CaseMixes.push_back(Data.CaseMixes.back().get());
    }
    TBatchResult Generate(TBatchHost& H) { return GenerateBatch(Data, CaseMixes, Settings, H); }
    std::string Out(const std::string& Name) const { return Dir.File("out/" + Name); }
    // The sorted file names of a directory under the base directory, its manifest and the runs' lock
    // file aside; none when it is missing.
    TLines Files(const std::string& Sub) const
    {
        TLines Names;
        if (fs::is_directory(Out(Sub)))
            for (const auto& Entry : fs::directory_iterator(Out(Sub)))
                if (Entry.path().filename() != "manifest.json" && Entry.path().filename() != RunLockFileName)
                    Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    // The file of the i-th instance (0-based) of cm at 2 OR-days and load 0.5, marked or not.
    std::string InstanceFile(int i, bool Marked) const
    {
        return Out(std::string("cm/") + (Marked ? "REMOVE_" : "") + "ordays_2_load_0.5_" + std::to_string(i + 1) +
                   ".txt");
    }
    // The file of the i-th instance as it is now: the unmarked one when there is one.
    std::string Current(std::size_t i) const
    {
        return InstanceFile(static_cast<int>(i), !fs::exists(InstanceFile(static_cast<int>(i), false)));
    }
    TCaseMix& CaseMix() { return *Data.CaseMixes.at(0); }

    testing::TTempDir Dir;
    testing::TDecimalSeparatorGuard Point{'.'};
    testing::TRecordingNotifier Notifier;
    TData Data;
    std::vector<TCaseMix*> CaseMixes;
    TBatchSettings Settings;
    TRecordingHost Host;
};

TEST_F(BatchRun, SettingsThatCannotMeanAnythingAreRefusedBeforeAnythingIsWritten)
{
    const struct {
        std::function<void(TBatchSettings&)> Change;
        TBatchField Field;
        bool TheoreticalOnly;
    } Refused[] = {
        {[](TBatchSettings& S) {
             S.NumORdays = {2, 0};
         },
         TBatchField::bfNumORdays, false},
        {[](TBatchSettings& S) {
             S.Loads = {0.8, 0};
         },
         TBatchField::bfLoads, false},
        {[](TBatchSettings& S) { S.Loads = {-0.5}; }, TBatchField::bfLoads, false},
        {[](TBatchSettings& S) { S.Loads = {std::nan("")}; }, TBatchField::bfLoads, false},
        {[](TBatchSettings& S) { S.MaxAbsDeviationFromLoad = 0; }, TBatchField::bfDeviation, false},
        {[](TBatchSettings& S) { S.MaxAbsDeviationFromLoad = HUGE_VAL; }, TBatchField::bfDeviation, false},
        {[](TBatchSettings& S) { S.EpsilonDist = -0.01; }, TBatchField::bfEpsilon, false},
        {[](TBatchSettings& S) { S.MaxDraws = 0; }, TBatchField::bfMaxDraws, false},
        {[](TBatchSettings& S) { S.CapacityORinMinutes = 0; }, TBatchField::bfCapacity, true},
    };
    for (const auto& Case : Refused) {
        TBatchSettings Bad = Settings;
        Case.Change(Bad);
        for (const bool Theoretical : {false, true}) {
            try {
                Theoretical ? GenerateTheoreticalBatch(Data, Bad, Host) : GenerateBatch(Data, CaseMixes, Bad, Host);
                EXPECT_TRUE(Case.TheoreticalOnly && !Theoretical) << "no error";
            } catch (const EBatchSettingError& Error) {
                EXPECT_EQ(Error.Field, Case.Field) << Error.what();
            }
        }
    }
    EXPECT_FALSE(fs::exists(Dir.File("out/TCM0")));
    fs::remove_all(Dir.File("out"));

    // Two case mixes of one name would share a folder; a name made in memory is checked too.
    fs::create_directories(Dir.File("sub"));
    testing::WriteLines(Dir.File("sub/cm.txt"),
                        {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1"});
    Data.ReadAndAddCaseMix(Dir.File("sub/cm.txt"), 480);
    CaseMixes.push_back(Data.CaseMixes.back().get());
    EXPECT_THROW(Generate(Host), EOrbenchError);
    EXPECT_FALSE(fs::exists(Dir.File("out")));
    Data.CaseMixes[1]->Name = "..";
    TRecordingHost Quiet;
    EXPECT_THROW(Generate(Quiet), EOrbenchError);
    EXPECT_FALSE(fs::exists(Dir.File("out")));
    EXPECT_TRUE(Quiet.Messages.empty() && Quiet.Progress.empty() && Quiet.Summaries.empty());
}

TEST_F(BatchRun, NoCaseMixGeneratesNothing)
{
    CaseMixes.clear();
    const TBatchResult R = Generate(Host);
    EXPECT_FALSE(R.DrawLimitPassed || R.Interrupted);
    EXPECT_EQ(Host.Progress, (TLines{"show 0", "hide"}));
    EXPECT_TRUE(Host.Messages.empty());
    EXPECT_EQ(Host.Summaries,
              TLines{"Run finished: 0 instances written, 0 kept, 0 marked REMOVE_, 0 reports written, " +
                     FormatFixedLocale(R.ElapsedSeconds, 1) + " s."});
    EXPECT_TRUE(fs::is_directory(Dir.File("out")));
    EXPECT_FALSE(fs::exists(Out("cm")));
}

TEST_F(BatchRun, ORdaysInListOrderLoadsAscendingAndInstancesFreedAfterEachStep)
{
    Settings.NumORdays = {2, 1, 2};
    Settings.Loads = {1.00, 0.80};
    Settings.NumInstancesPerLoad = 1;  // one instance per load: no check points inside the analysis
    Settings.RemoveInstances = false;
    CaseMix().CreateAndAddInstance(0.8, 0.8, 7);  // held before the run, never matched
    TLines Snapshots;  // at each check point: the reports written so far | NumberOfORs of the instances in memory
    Host.OnCheckPoint = [&] {
        std::string S;
        for (const std::string& Name : Files("cm"))
            if (Name.rfind("overlap_cm_ordays_", 0) == 0) S += Name.substr(18, Name.size() - 22) + " ";
        S += "|";
        for (const TInstance* Instance : CaseMix().Instances)
            S.append(" ").append(std::to_string(Instance->NumberOfORs));
        Snapshots.push_back(S);
    };
    const TBatchResult R = Generate(Host);
    EXPECT_FALSE(R.DrawLimitPassed || R.Interrupted);
    const std::string All = "1_load_0.8 1_load_1 2_load_0.8 2_load_1 |";
    EXPECT_EQ(Snapshots, (TLines{"2_load_0.8 | 7 2 2", "2_load_0.8 2_load_1 | 7 2 2", "2_load_0.8 2_load_1 | 7 2 2",
                                 "1_load_0.8 2_load_0.8 2_load_1 | 7 1 1", All + " 7 1 1", All + " 7 1 1",
                                 All + " 7 2 2", All + " 7 2 2", All + " 7 2 2"}));
    EXPECT_EQ(Host.Progress, (TLines{"show 3", "advance", "advance", "advance", "hide"}));
    EXPECT_TRUE(Host.Messages.empty());
    EXPECT_EQ(CaseMix().Instances.Count(), 1);  // the run frees its own instances, never one it did not make
    EXPECT_EQ(Files("cm").size(), 8u);          // the second pass over 2 OR-days replaced the files of the first
}

TEST_F(BatchRun, DrawLimitIsReportedAndTheRunGoesOn)
{
    Settings.NumORdays = {2, 1};
    Settings.Loads = {5};
    Settings.MaxDraws = 1;  // two draws reach a load of at most 0.5 (one OR-day: 1)
    const TBatchResult R = Generate(Host);
    EXPECT_TRUE(R.DrawLimitPassed && !R.Interrupted);
    const std::string Reason =
        "Reason: the draw limit of 1 main draws was passed before every instance was found; "
        "allow more draws or widen the window around the loads.";
    EXPECT_EQ(Host.Messages, (TLines{"Could not generate all instances for case mix cm, #ORdays: 2", Reason,
                                     "Could not generate all instances for case mix cm, #ORdays: 1", Reason}));
    EXPECT_EQ(Host.Progress, (TLines{"show 2", "advance", "advance", "hide"}));
    EXPECT_TRUE(Files("cm").empty());  // no instance, so no report
}

TEST_F(BatchRun, ReportOfARealRunAndMarksOfTheUnchosenInstances)
{
    Settings.NumInstancesPerLoad = 4;
    Settings.Overwrite = true;  // the marked files of an earlier run go first
    fs::create_directories(Out("cm"));
    for (int i = 0; i < 4; ++i) testing::WriteLines(InstanceFile(i, true), {"left by an earlier run"});
    ASSERT_FALSE(Generate(Host).DrawLimitPassed);
    EXPECT_TRUE(Host.Messages.empty());

    std::vector<std::size_t> Chosen;
    for (int i = 0; i < 4; ++i) {
        const bool Kept = fs::exists(InstanceFile(i, false));
        if (Kept) Chosen.push_back(static_cast<std::size_t>(i));
        // Only the unchosen instances have a marked file.
        EXPECT_EQ(ReadAll(InstanceFile(i, true)).rfind("# INSTANCE CHARACTERISTICS\r\n", 0) == 0, !Kept) << i;
    }
    ASSERT_EQ(Chosen.size(), 2u);
    const TLines Lines = Split(ReadAll(Out("cm/overlap_cm_ordays_2_load_0.5.txt")), "\r\n");
    ASSERT_EQ(Lines.size(), 13u);
    std::vector<TLines> M;
    for (std::size_t i = 0; i < 4; ++i) M.push_back(Split(Lines[1 + i], "\t"));
    double Smallest = 1;
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j) {
            ASSERT_EQ(M[i].size(), 4u) << Lines[1 + i];
            EXPECT_EQ(M[i][j], i == j ? "0.00000" : M[j][i]);
            if (i >= j) continue;
            EXPECT_NEAR(std::stod(M[i][j]), SameTypeOverlap(Current(i), Current(j)), 5.1e-6) << i << j;
            Smallest = std::min(Smallest, std::stod(M[i][j]));
        }
    const std::string Best = M[Chosen[0]][Chosen[1]];
    EXPECT_NEAR(std::stod(Best), Smallest, 1e-12);  // the pair with the smallest overlap
    EXPECT_EQ(Lines[0], "Overlap between 4 instances:");
    EXPECT_EQ(TLines(Lines.begin() + 5, Lines.end()),
              (TLines{"", Best + "\tMaximum overlap", "", "",
                      "Overlap between remaining 2 instances:", "0.00000\t" + Best + "\t", Best + "\t0.00000\t", ""}));
}

TEST_F(BatchRun, SingleInstanceOrNoneChosen)
{
    Settings.RemoveInstances = false;
    Settings.NumInstancesPerLoad = 1;
    Generate(Host);
    EXPECT_EQ(Files("cm"), (TLines{"ordays_2_load_0.5_1.txt", "overlap_cm_ordays_2_load_0.5.txt"}));
    EXPECT_EQ(ReadAll(Out("cm/overlap_cm_ordays_2_load_0.5.txt")),
              "Overlap between 1 instances:\r\n0.00000\r\n\r\n0.00000\tMaximum overlap\r\n");

    Settings.RemoveInstances = true;
    Settings.NumInstancesPerLoad = 3;
    Settings.NumInstancesToSelect = 0;
    Settings.Overwrite = true;
    Generate(Host);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(fs::exists(InstanceFile(i, true)) && !fs::exists(InstanceFile(i, false))) << i;
    const TLines Lines = Split(ReadAll(Out("cm/overlap_cm_ordays_2_load_0.5.txt")), "\r\n");
    EXPECT_EQ(TLines(Lines.begin() + 4, Lines.end()),
              (TLines{"", "0.00000\tMaximum overlap", "", "", "Overlap between remaining 0 instances:", ""}));
    EXPECT_TRUE(Host.Messages.empty());
}

TEST_F(BatchRun, RefusedSelectionRenamesNothingAndSaysSo)
{
    const testing::TDecimalSeparatorGuard Comma(',');
    Settings.NumInstancesToSelect = 3;  // not smaller than the three instances
    EXPECT_TRUE(Generate(Host).SelectionRefused);
    EXPECT_EQ(Host.Messages, TLines{"Cannot select 3 of 3 instances for case mix cm, #ORdays: 2, load: 0,5"});
    EXPECT_EQ(Files("cm"), (TLines{"ordays_2_load_0,5_1.txt", "ordays_2_load_0,5_2.txt", "ordays_2_load_0,5_3.txt",
                                   "overlap_cm_ordays_2_load_0,5.txt"}));
    const TLines Lines = Split(ReadAll(Out("cm/overlap_cm_ordays_2_load_0,5.txt")), "\r\n");
    ASSERT_EQ(Lines.size(), 7u);
    std::string Largest = "0.00000";  // same width: text order is numeric order
    for (std::size_t i = 1; i <= 3; ++i)
        for (const std::string& Entry : Split(Lines[i], "\t")) Largest = std::max(Largest, Entry);
    EXPECT_EQ(TLines(Lines.begin() + 4, Lines.end()), (TLines{"", Largest + "\tMaximum overlap", ""}));
}

TEST_F(BatchRun, UnwritableReportEndsTheRunKeepingTheRenames)
{
    fs::create_directories(Out("cm/overlap_cm_ordays_2_load_0.5.txt"));
    try {
        Generate(Host);
        ADD_FAILURE() << "no error";
    } catch (const EOrbenchError& Error) {
        EXPECT_NE(std::string(Error.what()).find("overlap_cm_ordays_2_load_0.5.txt"), std::string::npos)
            << Error.what();
    }
    EXPECT_EQ(fs::exists(InstanceFile(0, true)) + fs::exists(InstanceFile(1, true)) + fs::exists(InstanceFile(2, true)),
              1);
    ASSERT_FALSE(Host.Progress.empty());
    EXPECT_EQ(Host.Progress.back(), "hide");
}

TEST_F(BatchRun, FailedMarkIsAMessageTheReportSaysSoAndTheRunGoesOn)
{
    Settings.Loads = {0.75, 0.5};
    // At every marked name a folder (load 0.5) or, planted once the run has begun, a link to a file
    // outside (load 0.75).
    testing::WriteLines(Dir.File("outside.txt"), {"keep"});
    for (int i = 0; i < 3; ++i) fs::create_directories(InstanceFile(i, true));
    Host.OnCheckPoint = [this] {
        for (int i = 1; i <= 3; ++i) {
            const std::string Link = Out("cm/REMOVE_ordays_2_load_0.75_" + std::to_string(i) + ".txt");
            if (!fs::is_symlink(fs::symlink_status(Link))) fs::create_symlink(Dir.File("outside.txt"), Link);
        }
    };
    const TBatchResult R = Generate(Host);
    EXPECT_TRUE(R.MarkingFailed && !R.Interrupted && !R.SelectionRefused);
    ASSERT_EQ(Host.Messages.size(), 2u);
    for (const std::string Load : {"0.5", "0.75"}) {
        const TLines Lines = Split(ReadAll(Out("cm/overlap_cm_ordays_2_load_" + Load + ".txt")), "\r\n");
        ASSERT_EQ(Lines.size(), 13u) << Load;
        EXPECT_EQ(Lines[8], "Overlap between remaining 2 instances:");
        const TLines Last = Split(Lines[11], "\t");  // one more line than usual, naming the file
        ASSERT_EQ(Last.size(), 2u) << Lines[11];
        EXPECT_EQ(Last[0], UnmarkedLine);
        const std::string Name = Last[1];
        EXPECT_EQ(Name.rfind("ordays_2_load_" + Load + "_", 0), 0u) << Name;
        const bool Folder = Load == "0.5";
        const std::string Reason = Folder ? "the target is a directory" : "the target is a symbolic link";
        EXPECT_EQ(Host.Messages[Folder ? 0 : 1],
                  "Could not rename " + Out("cm/" + Name) + " to REMOVE_" + Name + ": " + Reason);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out("cm/" + Name))));  // kept its name
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(Out("cm/REMOVE_" + Name))));
    }
    // Six instance files, three folders, three links, two reports: nothing marked, nothing outside written.
    EXPECT_EQ(Files("cm").size(), 14u);
    EXPECT_EQ(ReadAll(Dir.File("outside.txt")), "keep\r\n");

    // Without saved instances there is nothing to rename and nothing to say.
    TRecordingHost Quiet;
    Settings.SaveInstances = false;
    Settings.BaseDirectory = Dir.File("nosave/");
    fs::create_directories(Dir.File("nosave/cm/REMOVE_ordays_2_load_0.5_1.txt"));
    EXPECT_FALSE(Generate(Quiet).MarkingFailed);
    EXPECT_TRUE(Quiet.Messages.empty());
}

TEST_F(BatchRun, StopDuringOrAfterAnAnalysedLoad)
{
    Settings.NumORdays = {2, 1};
    Settings.Loads = {0.75, 0.5};
    Settings.NumInstancesToSelect = 0;              // a selection that is possible with one instance, too
    for (const std::string PerLoad : {"1", "3"}) {  // with 3 the first check point lies inside the analysis
        TRecordingHost H;
        H.StopAt = 1;
        Settings.NumInstancesPerLoad = std::stoi(PerLoad);
        Settings.BaseDirectory = Dir.File("out" + PerLoad + "/");
        EXPECT_TRUE(Generate(H).Interrupted) << PerLoad;
        EXPECT_EQ(H.Messages, (TLines{"Instance generation interrupted...",
                                      "Instance generation interrupted after case mix cm, #ORdays: 2"}));
        EXPECT_EQ(H.Progress, (TLines{"show 2", "advance", "hide"}));
        // Load 0.5 analysed (its files marked), 0.75 generated only, nothing for one OR-day.
        const std::string CmDir = Settings.BaseDirectory + "cm/";
        EXPECT_TRUE(fs::exists(CmDir + "overlap_cm_ordays_2_load_0.5.txt")) << PerLoad;
        EXPECT_TRUE(fs::exists(CmDir + "REMOVE_ordays_2_load_0.5_1.txt")) << PerLoad;
        EXPECT_FALSE(fs::exists(CmDir + "overlap_cm_ordays_2_load_0.75.txt")) << PerLoad;
        EXPECT_TRUE(fs::exists(CmDir + "ordays_2_load_0.75_1.txt")) << PerLoad;
        EXPECT_FALSE(fs::exists(CmDir + "ordays_1_load_0.5_1.txt")) << PerLoad;
        EXPECT_TRUE(CaseMix().Instances.Empty());
    }
}

TEST_F(BatchRun, StopAfterAnORdaysStepOrAfterACaseMix)
{
    AddCaseMix("cm2");
    Settings.AnalyzeOverlap = false;  // the check points are those after each number of OR-days
    Settings.NumORdays = {2, 1, 3};
    Host.StopAt = 2;
    EXPECT_TRUE(Generate(Host).Interrupted);
    EXPECT_EQ(Host.Messages, TLines{"Instance generation interrupted after case mix cm, #ORdays: 1"});
    EXPECT_EQ(Host.Progress, (TLines{"show 6", "advance", "advance", "hide"}));
    EXPECT_EQ(Files("cm"), (TLines{"ordays_1_load_0.5_1.txt", "ordays_1_load_0.5_2.txt", "ordays_1_load_0.5_3.txt",
                                   "ordays_2_load_0.5_1.txt", "ordays_2_load_0.5_2.txt", "ordays_2_load_0.5_3.txt"}));
    EXPECT_FALSE(fs::exists(Out("cm2")));
    EXPECT_TRUE(CaseMix().Instances.Empty());

    // Seen by the test after the first case mix: no message, the second is not touched.
    TRecordingHost H;
    H.StopAt = 2;  // the check point after the only number of OR-days, then the test after the case mix
    Settings.NumORdays = {2};
    Settings.BaseDirectory = Dir.File("second/");
    EXPECT_TRUE(Generate(H).Interrupted);
    EXPECT_TRUE(H.Messages.empty());
    EXPECT_EQ(H.Progress, (TLines{"show 2", "advance", "hide"}));
    EXPECT_TRUE(fs::exists(Dir.File("second/cm/ordays_2_load_0.5_3.txt")));
    EXPECT_FALSE(fs::exists(Dir.File("second/cm2")));
}

TEST(OutputFiles, ClassifiesTheFilesOfARunByName)
{
    const std::pair<std::string, TRunFileKind> Cases[] = {
        {"ordays_5_load_0.8_1.txt", TRunFileKind::rfInstance},
        {"ordays__load_.txt", TRunFileKind::rfInstance},
        {"ordays_5_load_0,85_12.txt", TRunFileKind::rfInstance},
        {"REMOVE_ordays_5_load_1_3.txt", TRunFileKind::rfMarkedInstance},
        {"REMOVE_REMOVE_REMOVE_ordays_5_load_1_3.txt", TRunFileKind::rfMarkedInstance},
        {".REMOVE_REMOVE_ordays_5_load_1_3.txt.q.part~", TRunFileKind::rfTemporary},
        {"REMOVE_REMOVE_notes.txt", TRunFileKind::rfOther},
        {"overlap_cm_ordays_5_load_1.txt", TRunFileKind::rfOverlapReport},
        {"proximity_TCM3_ordays_5_load_1.txt", TRunFileKind::rfProximityReport},
        {"ordays_5.txt", TRunFileKind::rfOther},
        // Temporary files of the writer for files of these kinds, and as earlier versions named them.
        {".ordays_5_load_0.8_1.txt.Ab3xYz012345.part~", TRunFileKind::rfTemporary},
        {".REMOVE_ordays_5_load_1_3.txt.q.part~", TRunFileKind::rfTemporary},
        {".overlap_cm_ordays_5_load_1.txt.k9.part~", TRunFileKind::rfTemporary},
        {".proximity_" + std::string(190, 'x') + ".7.part~", TRunFileKind::rfTemporary},  // cut
        {"ordays_5_load_0.8_1.txt.part~", TRunFileKind::rfTemporary},
        {".ordays_5_load_0.8_1.txt..part~", TRunFileKind::rfOther},
        {".ordays_5_load_0.8_1.txt.a-b.part~", TRunFileKind::rfOther},
        {".notes.txt.abc.part~", TRunFileKind::rfOther},
        {"ordays_5_load_0.8_1.txt.part", TRunFileKind::rfOther},
        {".proximity_x.7.part~", TRunFileKind::rfOther},
        {"ordays_load_1.txt", TRunFileKind::rfOther},
        {"REMOVE_notes.txt", TRunFileKind::rfOther},
        {"overlap_cm.csv", TRunFileKind::rfOther},
        {"cm.txt", TRunFileKind::rfOther},
        {"Ordays_5_load_1_1.txt", TRunFileKind::rfOther},
        {"REMOVE_overlap_cm.txt", TRunFileKind::rfOther},
    };
    for (const auto& [Name, Kind] : Cases) EXPECT_EQ(ClassifyRunFile(Name), Kind) << Name;
}

TEST_F(BatchRun, EarlierRunIsRefusedOrWithOverwriteItsFilesDeleted)
{
    const TLines Earlier = {".ordays_9_load_1_3.txt.x7Q.part~", "REMOVE_ordays_9_load_1_2.txt", "ordays_9_load_1_1.txt",
                            "overlap_cm_ordays_9_load_1.txt", "proximity_cm_x.txt"};
    const TLines Others = {".notes.txt.x7Q.part~", "cm.txt", "notes.txt", "ordays_9.txt", "overlap_cm.csv"};
    fs::create_directories(Out("cm/ordays_1_load_1_1.txt"));  // a folder of such a name is no file of a run
    fs::create_directories(Out("elsewhere"));
    for (const std::string& Name : Earlier) {
        testing::WriteLines(Out("cm/" + Name), {"earlier"});
        testing::WriteLines(Out("elsewhere/" + Name), {"earlier"});  // not a folder of this run
    }
    for (const std::string& Name : Others) testing::WriteLines(Out("cm/" + Name), {"kept"});
    TLines Before = Files("cm");

    try {
        Generate(Host);
        ADD_FAILURE() << "no error";
    } catch (const EEarlierRunFiles& Error) {
        EXPECT_EQ(Error.Folders, (std::vector<TEarlierRunFolder>{{Out("cm/"), Earlier}}));
    }
    EXPECT_EQ(Files("cm"), Before);
    EXPECT_TRUE(Host.Progress.empty());

    Settings.Overwrite = true;
    Generate(Host);
    TLines Expected = Others;
    Expected.push_back("ordays_1_load_1_1.txt");
    for (const std::string i : {"1", "2", "3"}) Expected.push_back(fs::path(Current(std::stoul(i) - 1)).filename());
    Expected.push_back("overlap_cm_ordays_2_load_0.5.txt");
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Files("cm"), Expected);
    EXPECT_EQ(ReadAll(Out("cm/notes.txt")), "kept\r\n");
    EXPECT_EQ(Files("elsewhere"), Earlier);
}

TEST_F(BatchRun, SelectsInstancesByORdaysAndExactLoad)
{
    TInstance* A = CaseMix().CreateAndAddInstance(0.5, 0.5, 2);
    CaseMix().CreateAndAddInstance(0.5, 0.5, 3);
    CaseMix().CreateAndAddInstance(0.5, 0.5 + 1e-12, 2);
    TInstance* B = CaseMix().CreateAndAddInstance(0.9, 0.5, 2);
    TInstanceList Target(false);
    Target.Add(B);
    SelectInstancesByORdaysAndLoad(CaseMix().Instances, 2, Target, 0.5);  // appends in the source's order
    EXPECT_EQ(std::vector<TInstance*>(Target.begin(), Target.end()), (std::vector<TInstance*>{B, A, B}));
    // The bound is the single-precision constant 1e-40 (about 9.99995e-41), not the double 1e-40.
    TInstance* C = CaseMix().CreateAndAddInstance(0.5, 9.9e-41, 2);
    CaseMix().CreateAndAddInstance(0.5, 9.99998e-41, 2);
    TInstanceList Tiny(false);
    SelectInstancesByORdaysAndLoad(CaseMix().Instances, 2, Tiny, 0);
    EXPECT_EQ(std::vector<TInstance*>(Tiny.begin(), Tiny.end()), std::vector<TInstance*>{C});
}

TEST_F(BatchRun, TheoreticalBatchWritesProximityReportsAndFreesItsCaseMixes)
{
    const TCaseMix* Loaded = &CaseMix();
    Settings.NumInstancesPerLoad = 2;
    Settings.NumInstancesToSelect = 1;
    Settings.Loads = {1};
    const TBatchResult R = GenerateTheoreticalBatch(Data, Settings, Host);
    EXPECT_FALSE(R.DrawLimitPassed || R.Interrupted);
    EXPECT_TRUE(Host.Messages.empty());
    TLines Progress(19, "advance");
    Progress.front() = "show 17", Progress.back() = "hide";
    EXPECT_EQ(Host.Progress, Progress);
    ASSERT_EQ(Data.CaseMixes.size(), 1u);
    EXPECT_EQ(Data.CaseMixes[0].get(), Loaded);
    EXPECT_FALSE(fs::exists(Out("cm")));
    for (int t = 0; t < 17; ++t) {
        const std::string Name = "TCM" + std::to_string(t);
        const TLines Names = Files(Name);
        ASSERT_EQ(Names.size(), 3u) << Name;
        EXPECT_EQ(Names[0].substr(0, 23), "REMOVE_ordays_2_load_1_");  // one of the two marked
        EXPECT_EQ(Names[1].substr(0, 16), "ordays_2_load_1_");
        const TLines Lines = Split(ReadAll(Out(Name + "/proximity_" + Name + "_ordays_2_load_1.txt")), "\r\n");
        ASSERT_GE(Lines.size(), 2u) << Name;
        const std::string v = Split(Lines[1], "\t").back();
        EXPECT_EQ(Lines,
                  (TLines{"0.05-proximity quantity between original 2 instances:", "0.00000\t" + v, v + "\t0.00000", "",
                          "0.00000\tMaximum 0.05-proximity quantity between selected 1 instances", "", "",
                          "0.05-proximity quantity between selected 1 instances:", "0.00000\t", ""}));
    }
}

TEST_F(BatchRun, TheoreticalBatchStoppedDuringATypeEndsAfterIt)
{
    Settings.AnalyzeOverlap = false;
    Settings.NumInstancesPerLoad = 1;
    Settings.Loads = {1};
    Host.StopAt = 11;      // TCM0 to TCM4 pass two checks each, TCM5 stops at its first
    std::size_t Held = 0;  // the most case mixes in memory at a check point: the loaded one and the current one
    Host.OnCheckPoint = [&] { Held = std::max(Held, Data.CaseMixes.size()); };
    EXPECT_TRUE(GenerateTheoreticalBatch(Data, Settings, Host).Interrupted);
    EXPECT_EQ(Host.Messages, TLines{"Instance generation interrupted after case mix TCM5, #ORdays: 2"});
    EXPECT_EQ(Host.Progress,
              (TLines{"show 17", "advance", "advance", "advance", "advance", "advance", "advance", "hide"}));
    for (int t = 0; t < 17; ++t)
        EXPECT_EQ(Files("TCM" + std::to_string(t)), t <= 5 ? TLines{"ordays_2_load_1_1.txt"} : TLines{}) << t;
    EXPECT_EQ(Held, 2u);
    EXPECT_EQ(Data.CaseMixes.size(), 1u);
}

// "sha256  path" for the files of a run's kinds under the base directory, sorted by path, as
// sha256sum writes them.
TLines RecordedTree(const std::string& Base)
{
    TLines Paths;
    for (const auto& Entry : fs::recursive_directory_iterator(Base))
        if (Entry.is_regular_file() && Entry.path().filename() != "manifest.json" &&
            Entry.path().filename() != RunLockFileName)
            Paths.push_back(fs::relative(Entry.path(), Base).generic_string());
    std::sort(Paths.begin(), Paths.end());
    TLines Lines;
    for (const std::string& Path : Paths) Lines.push_back(Sha256Hex(ReadAll(Base + "/" + Path)) + "  " + Path);
    return Lines;
}

TLines ReadLines(const std::string& FileName)
{
    TLines Lines;
    std::ifstream In(FileName);
    for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
    return Lines;
}

// A number of OR-days given twice: the second pass replaces the files of the first, exactly as the
// recorded tree (written when instance files were written before their selection). A load given
// twice: the second set replaces the first and is selected once. Either way exactly K files of a
// combination are kept, nothing fails and the manifest lists the tree.
TEST_F(BatchRun, EntriesGivenTwiceGiveTheRecordedTrees)
{
    Settings.NumInstancesToSelect = 1;
    const struct {
        const char* Name;
        std::vector<int> NumORdays;
        DArray Loads;
        int Combinations;  // each keeps one file
    } Cases[] = {{"duplicate_ordays", {2, 1, 2}, {0.75, 0.5}, 4}, {"duplicate_loads", {2}, {0.5, 0.75, 0.5}, 2}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Data.Random.Seed(TUniformGenerator::DefaultSeed);
        Settings.NumORdays = Case.NumORdays;
        Settings.Loads = Case.Loads;
        Settings.BaseDirectory = Dir.File(std::string(Case.Name) + "/");
        TRecordingHost H;
        const TBatchResult R = Generate(H);
        EXPECT_FALSE(R.MarkingFailed || R.SelectionRefused || R.DrawLimitPassed);
        EXPECT_TRUE(H.Messages.empty());
        EXPECT_EQ(RecordedTree(Dir.File(Case.Name)),
                  ReadLines(std::string(ORBENCH_BATCH_TEST_DATA "/") + Case.Name + ".sha256"));
        EXPECT_EQ(R.Files.Selected, Case.Combinations);
        EXPECT_TRUE(VerifyManifest(Settings.BaseDirectory, IsRunFilePath).Passed());
    }
}

// After a stop the summary tells apart what was selected, marked and never analysed; the counts
// are those of the files left.
TEST_F(BatchRun, SummaryAfterAStopSeparatesSelectedMarkedAndNotAnalysed)
{
    Settings.NumORdays = {2, 1};
    Settings.Loads = {0.75, 0.5};
    Settings.NumInstancesToSelect = 1;
    Host.StopAt = 1;  // at the check point after load 0.5 of 2 OR-days
    const TBatchResult R = Generate(Host);
    ASSERT_TRUE(R.Interrupted);
    EXPECT_EQ(R.Files.Selected, 1);
    EXPECT_EQ(R.Files.Marked, 2);
    EXPECT_EQ(R.Files.NotAnalysed, 3);
    EXPECT_EQ(R.Files.Reports, 1);
    EXPECT_EQ(Host.Summaries, TLines{"Run stopped: 6 instances written (1 selected, 2 marked REMOVE_, 3 not analysed), "
                                     "1 reports written, " +
                                     FormatFixedLocale(R.ElapsedSeconds, 1) + " s."});
    EXPECT_EQ(Files("cm").size(), 7u);
    EXPECT_EQ(ReadManifest(Out("cm")).ElapsedSeconds, R.ElapsedSeconds);
}

}  // namespace
}  // namespace orbench
