#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using TNames = std::vector<std::string>;

struct TRun { int Code; std::string Out, Err; };

// Two case mixes of one type, Normal 60 (sd 6) minutes. At 2 OR-days of 480 minutes every surgery
// adds 0.0625 to the load (0.125 at one OR-day), so loads 0.5 and 0.75 are met exactly, no tuning
// draw comes closer, and all instances of a load are alike: their overlap is 1.
class CliBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* Name : {"one.txt", "other.txt"})
            testing::WriteLines(Work.File(Name), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1"});
    }
    // Runs the program in the working directory under the C locale.
    TRun Run(const std::string& Args) const
    {
        const std::string Cmd = "cd '" + Work.Path() + "' && LC_ALL=C '" ORBENCH_CLI_PATH "' " + Args + " >'" +
                                Capture.File("out") + "' 2>'" + Capture.File("err") + "'";
        const int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadAll(Capture.File("out")), ReadAll(Capture.File("err"))};
    }
    // The sorted file names of a directory; none when it is missing.
    TNames Files(const std::string& Sub) const
    {
        TNames Names;
        if (fs::is_directory(Work.File(Sub)))
            for (const auto& Entry : fs::directory_iterator(Work.File(Sub)))
                Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    testing::TTempDir Work, Capture;
};

const std::string Alike2 = "Overlap between 2 instances:\r\n0.00000\t1.00000\r\n1.00000\t0.00000\r\n\r\n";

TEST_F(CliBatch, RefusedInputsExitWithOneAndWriteNothing)
{
    const std::pair<const char*, const char*> Refused[] = {
        {"batch --ordays 2 --loads 0.5 --out o", "No case mix selected. Aborting.\n"},
        {"batch --casemix one.txt --per-combination 30.5 --out o", "The number of instances has to be integer. Aborting.\n"},
        {"theoretical-batch --per-combination abc --out o", "The number of instances has to be integer. Aborting.\n"},
        {"batch --casemix one.txt --ordays 2,0 --loads 0.5 --out o", nullptr},
        {"theoretical-batch --ordays 0 --out o", nullptr},
    };
    for (const auto& [Args, Message] : Refused) {
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 1) << Args;
        if (Message != nullptr) {
            EXPECT_EQ(R.Err, Message) << Args;
        }
        EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 1) << Args << ": " << R.Err;
        EXPECT_FALSE(fs::exists(Work.File("o"))) << Args;
    }
}

TEST_F(CliBatch, WritesOneDirectoryPerCaseMixWithReportsAndMarks)
{
    const TRun R = Run("batch --casemix one.txt --casemix other.txt --ordays 2 --loads 0.75,0.5 --per-combination 3 "
                       "--select 2 --deviation 0.01 --out out");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(Files("out"), (TNames{"one", "other"}));
    for (const std::string Name : {"one", "other"}) {
        const TNames Names = Files("out/" + Name);
        EXPECT_EQ(Names.size(), 8u) << Name;
        for (const std::string Load : {"0.5", "0.75"}) {
            int Kept = 0, Marked = 0;
            for (const std::string i : {"1", "2", "3"}) {
                const std::string Instance = "ordays_2_load_" + Load + "_" + i + ".txt";
                Kept += static_cast<int>(std::count(Names.begin(), Names.end(), Instance));
                Marked += static_cast<int>(std::count(Names.begin(), Names.end(), "REMOVE_" + Instance));
            }
            EXPECT_EQ(Kept, 2) << Name << " " << Load;
            EXPECT_EQ(Marked, 1) << Name << " " << Load;
            EXPECT_EQ(ReadAll(Work.File("out/" + Name + "/overlap_" + Name + "_ordays_2_load_" + Load + ".txt")),
                      "Overlap between 3 instances:\r\n0.00000\t1.00000\t1.00000\r\n1.00000\t0.00000\t1.00000\r\n"
                      "1.00000\t1.00000\t0.00000\r\n\r\n1.00000\tMaximum overlap\r\n\r\n\r\n"
                      "Overlap between remaining 2 instances:\r\n0.00000\t1.00000\t\r\n1.00000\t0.00000\t\r\n");
        }
    }
}

TEST_F(CliBatch, KeepAllRenamesNothingAndNoAnalyzeWritesNoReport)
{
    const std::string Args = "batch --casemix one.txt --ordays 2 --loads 0.5 --per-combination 2 --deviation 0.01";
    const TRun Keep = Run("--decimal-separator , " + Args + " --keep-all --out k");
    ASSERT_EQ(Keep.Code, 0) << Keep.Err;
    EXPECT_EQ(Files("k/one"),
              (TNames{"ordays_2_load_0,5_1.txt", "ordays_2_load_0,5_2.txt", "overlap_one_ordays_2_load_0,5.txt"}));
    EXPECT_EQ(ReadAll(Work.File("k/one/overlap_one_ordays_2_load_0,5.txt")), Alike2 + "1.00000\tMaximum overlap\r\n");

    const TRun NoAnalyze = Run(Args + " --no-analyze --out n");
    ASSERT_EQ(NoAnalyze.Code, 0) << NoAnalyze.Err;
    EXPECT_EQ(Files("n/one"), (TNames{"ordays_2_load_0.5_1.txt", "ordays_2_load_0.5_2.txt"}));
}

TEST_F(CliBatch, DrawLimitExitsWithThreeAfterTheWholeRun)
{
    // 0.55 lies 0.05 from 0.5 and 0.075 from 0.625 (one OR-day), 0.0125 from 0.5625 (two): never within 0.01.
    const TRun R = Run("batch --casemix one.txt --ordays 1,2 --loads 0.55,0.5 --per-combination 2 --select 1 "
                       "--deviation 0.01 --out d");
    EXPECT_EQ(R.Code, 3);
    EXPECT_EQ(R.Err, "Could not generate all instances for case mix one, #ORdays: 1\n"
                     "Could not generate all instances for case mix one, #ORdays: 2\n");
    EXPECT_EQ(R.Out.find("Could not"), std::string::npos);
    for (const std::string ORdays : {"1", "2"}) {
        EXPECT_EQ(ReadAll(Work.File("d/one/overlap_one_ordays_" + ORdays + "_load_0.5.txt")),
                  Alike2 + "0.00000\tMaximum overlap\r\n\r\n\r\nOverlap between remaining 1 instances:\r\n0.00000\t\r\n");
        EXPECT_FALSE(fs::exists(Work.File("d/one/overlap_one_ordays_" + ORdays + "_load_0.55.txt"))) << ORdays;
    }
    EXPECT_EQ(Files("d/one").size(), 6u);
}

TEST_F(CliBatch, DirectoriesAreCreatedEvenWithoutORdays)
{
    const TRun R = Run("batch --casemix one.txt --casemix other.txt --ordays '' --out base/deep");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(Files("base/deep"), (TNames{"one", "other"}));
    EXPECT_TRUE(Files("base/deep/one").empty() && Files("base/deep/other").empty());

    const TRun T = Run("theoretical-batch --ordays '' --out t");
    ASSERT_EQ(T.Code, 0) << T.Err;
    for (int t = 0; t < 17; ++t) EXPECT_TRUE(fs::is_directory(Work.File("t/TCM" + std::to_string(t)))) << t;
}

}  // namespace
}  // namespace orbench
