#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "BatchRun.h"
#include "ManifestRecorder.h"
#include "OrbenchError.h"
#include "RecordingHost.h"
#include "Sha256.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TRecordingHost;
using K = TManifestFileKind;

// The files of a run's kinds below Base, by path relative to it, with their kinds in a manifest.
std::map<std::string, K> RunFilesInTree(const std::string& Base)
{
    std::map<std::string, K> Tree;
    for (const auto& Entry : fs::recursive_directory_iterator(Base)) {
        const TRunFileKind Kind = ClassifyRunFile(Entry.path().filename());
        if (!Entry.is_regular_file() || Kind == TRunFileKind::rfOther) continue;
        Tree[fs::relative(Entry.path(), Base).generic_string()] = Kind == TRunFileKind::rfInstance ? K::fkInstance
                                                                  : Kind == TRunFileKind::rfMarkedInstance
                                                                      ? K::fkMarkedInstance
                                                                      : K::fkReport;
    }
    return Tree;
}

std::size_t CountLines(const std::string& Text)
{
    std::size_t Lines = 0;
    for (std::size_t At = 0; (At = Text.find("\r\n", At)) != std::string::npos; At += 2) ++Lines;
    return Lines;
}

// The manifest lists exactly the files of a run's kinds in the tree, as they are, whether the run
// finished, was stopped or ended with an error; the generator state it records reproduces the run.
TEST(BatchManifest, ListsExactlyTheFilesTheRunLeft)
{
    testing::TTempDir Dir;
    const testing::TDecimalSeparatorGuard Point('.');
    // Two types of 60 and 240 minutes: instances differ, so the selection marks some.
    testing::WriteLines(Dir.File("cm.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1",
                                             "2\tNormal\t240\t24\t0\t1"});
    TData Data;
    Data.ReadAndAddCaseMix(Dir.File("cm.txt"), 480);
    const std::vector<TCaseMix*> CaseMixes = {Data.CaseMixes[0].get()};
    TBatchSettings Inputs;
    Inputs.NumORdays = {2, 1};
    Inputs.Loads = {0.75, 0.5};
    Inputs.NumInstancesPerLoad = 3;
    Inputs.NumInstancesToSelect = 2;
    Inputs.StartupSeed = 5;
    const struct {
        const char* Name;
        int StopAt;
        const char* UnwritableReport;  // made a folder, so that writing this report fails
        std::size_t NumFiles;          // instances and reports left
        int NumMarked;                 // of them renamed REMOVE_ (one of three per analysed combination)
    } Cases[] = {{"finished", 0, nullptr, 16, 4},
                 {"stopped", 1, nullptr, 7, 1},
                 {"error", 0, "cm/overlap_cm_ordays_2_load_0.75.txt", 7, 2}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TRecordingHost Host;
        Host.StopAt = Case.StopAt;
        Inputs.BaseDirectory = Dir.File(std::string(Case.Name) + "/");
        if (Case.UnwritableReport != nullptr) fs::create_directories(Inputs.BaseDirectory + Case.UnwritableReport);
        Data.Random.Seed(777);
        Data.Random.Draw();  // earlier work in the program
        const std::uint32_t StateAtStart = Data.Random.State();
        try {
            EXPECT_EQ(GenerateBatch(Data, CaseMixes, Inputs, Host).Interrupted, Case.StopAt > 0);
            EXPECT_EQ(Case.UnwritableReport, nullptr);
        } catch (const EOutputError&) {
            EXPECT_NE(Case.UnwritableReport, nullptr);
        }
        const TManifest M = ReadManifest(Inputs.BaseDirectory + "cm");
        EXPECT_EQ(M.Stopped, Case.StopAt > 0);
        const bool NamesTheReport = M.Error.find("overlap_cm_ordays_2_load_0.75.txt") != std::string::npos;
        EXPECT_EQ(NamesTheReport, Case.UnwritableReport != nullptr) << M.Error;
        EXPECT_EQ(M.Messages, Host.Messages);
        EXPECT_EQ(M.Settings.Seed, 5u);
        EXPECT_EQ(M.Settings.GeneratorState, StateAtStart);
        EXPECT_EQ(M.Settings.NumORdays, (std::vector<int>{2, 1}));
        EXPECT_EQ(M.Settings.Loads, (std::vector<double>{0.5, 0.75}));
        ASSERT_EQ(M.CaseMixes.size(), 1u);
        const std::string CaseMixFile = Dir.File("cm.txt");
        EXPECT_EQ(M.CaseMixes[0], (TManifestCaseMix{CaseMixFile, "cm", 2, Sha256Hex(ReadAll(CaseMixFile)), 480}));

        const std::map<std::string, K> Tree = RunFilesInTree(Inputs.BaseDirectory);
        EXPECT_EQ(Tree.size(), Case.NumFiles);
        std::map<std::string, K> Listed;
        for (const TManifestFile& F : M.Files) {
            Listed["cm/" + F.Path] = F.Kind;
            const std::string Content = ReadAll(Inputs.BaseDirectory + "cm/" + F.Path);
            EXPECT_EQ(F.Sha256, Sha256Hex(Content)) << F.Path;
            if (F.Kind != K::fkReport) {
                EXPECT_EQ(static_cast<std::size_t>(F.NumberOfSurgeries) + 10, CountLines(Content)) << F.Path;
            }
        }
        EXPECT_EQ(Listed, Tree);
        EXPECT_EQ(Listed.size(), M.Files.size());  // each file once
        EXPECT_EQ(std::count_if(M.Files.begin(), M.Files.end(),
                                [](const TManifestFile& F) { return F.Kind == K::fkMarkedInstance; }),
                  Case.NumMarked);

        if (Case.StopAt == 0 && Case.UnwritableReport == nullptr) {
            Inputs.BaseDirectory = Dir.File("again/");
            Data.Random.Seed(M.Settings.GeneratorState);
            TRecordingHost Again;
            GenerateBatch(Data, CaseMixes, Inputs, Again);
            for (const auto& [Path, Kind] : Tree)
                EXPECT_EQ(ReadAll(Dir.File("again/" + Path)), ReadAll(Dir.File("finished/" + Path))) << Path;
        }
    }
}

}  // namespace
}  // namespace orbench
