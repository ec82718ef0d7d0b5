#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "RecordingHost.h"
#include "BatchRun.h"
#include "Sha256.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::TRecordingHost;
using TLines = std::vector<std::string>;

// "sha256  relative/path" for every file under Dir, sorted by path (as sha256sum writes them),
// but for the run's manifests, which record the time the run took, and its lock file.
TLines ChecksumList(const std::string& Dir)
{
    std::vector<std::string> Paths;
    for (const auto& Entry : fs::recursive_directory_iterator(Dir))
        if (Entry.is_regular_file() && Entry.path().filename() != "manifest.json" &&
            Entry.path().filename() != RunLockFileName)
            Paths.push_back(fs::relative(Entry.path(), Dir).string());
    std::sort(Paths.begin(), Paths.end());
    TLines Lines;
    for (const std::string& Path : Paths) Lines.push_back(Sha256Hex(testing::ReadAll(Dir + "/" + Path)) + "  " + Path);
    return Lines;
}

// A small theoretical batch (seed 12345, capacity 480, two numbers of OR-days, two loads, six
// instances per combination, three selected) gives exactly the files recorded in the list.
TEST(TheoreticalBatch, WritesTheRecordedFilesByteForByte)
{
    testing::TTempDir Dir;
    testing::TDecimalSeparatorGuard Point{'.'};
    TData Data;
    TBatchSettings Inputs;
    Inputs.NumInstancesPerLoad = 6;
    Inputs.NumInstancesToSelect = 3;
    Inputs.NumORdays = {5, 20};
    Inputs.Loads = {0.8, 1.0};
    Inputs.EpsilonDist = 0.01;
    Inputs.BaseDirectory = Dir.File("out/");
    TRecordingHost Host;
    const TBatchResult Result = GenerateTheoreticalBatch(Data, Inputs, Host);
    EXPECT_FALSE(Result.DrawLimitPassed || Result.Interrupted);
    EXPECT_TRUE(Host.Messages.empty());

    std::ifstream Recorded(ORBENCH_BATCH_TEST_DATA "/theoretical_batch_small.sha256");
    TLines Expected;
    for (std::string Line; std::getline(Recorded, Line);) Expected.push_back(Line);
    ASSERT_EQ(Expected.size(), 476u);
    EXPECT_EQ(ChecksumList(Dir.File("out")), Expected);
}

// A stop asked at the analysis's first question (after some 50 ms of a long analysis), with either
// engine, ends the step before the load's report: "Instance generation interrupted..." and then
// the run's own message; the instances stay unmarked.
TEST(BatchAnalysis, StopDuringALongAnalysisEndsTheStepWithBothMessages)
{
    for (const TOverlapEngine Engine : {TOverlapEngine::oeExact, TOverlapEngine::oeSolver}) {
        SCOPED_TRACE(Engine == TOverlapEngine::oeExact ? "exact" : "solver");
        testing::TTempDir Dir;
        testing::TDecimalSeparatorGuard Point{'.'};
        TLines CaseMixLines = {"ID\tDistributionType\tP1\tP2\tP3\tFrequency"};  // 40 types, 60 to 294 minutes
        for (int t = 0; t < 40; ++t)
            CaseMixLines.push_back(std::to_string(t + 1) + "\tNormal\t" + std::to_string(60 + 6 * t) + "\t" +
                                   std::to_string(6 + t % 7) + "\t0\t1");
        testing::WriteLines(Dir.File("cm.txt"), CaseMixLines);
        TData Data;
        Data.ReadAndAddCaseMix(Dir.File("cm.txt"), 480);
        TBatchSettings Inputs;
        Inputs.NumInstancesPerLoad = 600;
        Inputs.NumORdays = {20};
        Inputs.Loads = {1};
        Inputs.EpsilonDist = 0.01;
        Inputs.Engine = Engine;
        Inputs.BaseDirectory = Dir.File("out/");
        TRecordingHost Host;
        Host.StopAt = 1;  // a stop at the first check
        EXPECT_TRUE(GenerateBatch(Data, {Data.CaseMixes[0].get()}, Inputs, Host).Interrupted);
        EXPECT_EQ(Host.Messages, (TLines{"Instance generation interrupted...",
                                         "Instance generation interrupted after case mix cm, #ORdays: 20"}));
        const TLines Files = ChecksumList(Dir.File("out"));
        EXPECT_EQ(Files.size(), 600u);  // the instances, no report, none marked
        EXPECT_TRUE(std::none_of(Files.begin(), Files.end(),
                                 [](const std::string& Line) { return Line.find("REMOVE_") != std::string::npos; }));
    }
}

}  // namespace
}  // namespace orbench
