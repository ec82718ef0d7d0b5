#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using TNames = std::vector<std::string>;

struct TRun {
    int Code;
    std::string Out, Err;
};

// Two case mixes of one type, Normal 60 (sd 6) minutes. At 2 OR-days of 480 minutes every surgery
// adds 0.0625 to the load (0.125 at one OR-day), so loads 0.5 and 0.75 are met exactly, no tuning
// draw comes closer, and all instances of a load are alike: their overlap is 1.
class CliBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* Name : {"one.txt", "other.txt"})
            testing::WriteLines(Work.File(Name),
                                {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1"});
    }
    // Runs the program in the working directory under the C locale.
    TRun Run(const std::string& Args) const
    {
        const std::string Cmd = "cd '" + Work.Path() + "' && LC_ALL=C '" ORBENCH_CLI_PATH "' " + Args + " >'" +
                                Capture.File("out") + "' 2>'" + Capture.File("err") + "'";
        const int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadAll(Capture.File("out")),
                ReadAll(Capture.File("err"))};
    }
    // The sorted file names of a directory, a manifest and the runs' lock file aside; none when it
    // is missing.
    TNames Files(const std::string& Sub) const
    {
        TNames Names;
        if (fs::is_directory(Work.File(Sub)))
            for (const auto& Entry : fs::directory_iterator(Work.File(Sub)))
                if (Entry.path().filename() != "manifest.json" && Entry.path().filename() != ".orbench-lock")
                    Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    testing::TTempDir Work, Capture;
};

const std::string Alike2 = "Overlap between 2 instances:\r\n0.00000\t1.00000\r\n1.00000\t0.00000\r\n\r\n";

TEST_F(CliBatch, RefusedInputsExitWithOneAndWriteNothing)
{
    fs::create_directories(Work.File("sub"));
    const std::string Header = "ID\tDistributionType\tP1\tP2\tP3\tFrequency";
    testing::WriteLines(Work.File("sub/one.txt"), {Header, "1\tNormal\t60\t6\t0\t1"});
    testing::WriteLines(Work.File("zero.txt"), {Header, "1\tNormal\t60\t6\t0\t0"});
    testing::WriteLines(Work.File("...txt"), {Header, "1\tNormal\t60\t6\t0\t1"});
    const std::pair<const char*, const char*> Refused[] = {
        {"batch --ordays 2 --loads 0.5 --out o", "No case mix selected. Aborting.\n"},
        {"batch --casemix one.txt --per-combination 30.5 --out o",
         "The number of instances has to be integer. Aborting.\n"},
        {"theoretical-batch --per-combination abc --out o", "The number of instances has to be integer. Aborting.\n"},
        {"batch --casemix one.txt --ordays 2,0 --loads 0.5 --out o", "orbench-cli: --ordays 0: must be at least 1\n"},
        {"theoretical-batch --ordays 0 --out o", nullptr},
        {"batch --casemix one.txt --per-combination 0 --out o",
         "orbench-cli: --per-combination 0: must be at least 1\n"},
        {"theoretical-batch --select 0 --out o", "orbench-cli: --select 0: must be at least 1\n"},
        {"batch --casemix one.txt --epsilon -1 --out o", "orbench-cli: --epsilon -1: must not be negative\n"},
        {"batch --casemix one.txt --loads 0.5,0 --out o", "orbench-cli: --loads 0: must be greater than 0\n"},
        {"batch --casemix one.txt --deviation -0.1 --out o", "orbench-cli: --deviation -0.1: must be greater than 0\n"},
        {"theoretical-batch --max-draws 0 --out o", "orbench-cli: --max-draws 0: must be at least 1\n"},
        {"batch --casemix one.txt --out ''", "orbench-cli: --out: the path is empty\n"},
        {"batch --casemix one.txt --casemix zero.txt --out o",
         "orbench-cli: case mix zero has no surgery type with a positive frequency\n"},
        {"batch --casemix one.txt --casemix sub/one.txt --out o",
         "orbench-cli: Two case mixes of the run have the name one (one.txt and sub/one.txt); their files would go "
         "into "
         "one folder.\n"},
        {"batch --casemix ...txt --out o",
         "orbench-cli: ...txt: the case mix name \"..\" (the file name without its extension) cannot be used as a "
         "folder name\n"},
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
    const TRun R =
        Run("batch --casemix one.txt --casemix other.txt --ordays 2 --loads 0.75,0.5 --per-combination 3 "
            "--select 2 --deviation 0.01 --out out");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(Files("out"), (TNames{"one", "other"}));
    for (const std::string Name : {"one", "other"}) {
        EXPECT_TRUE(fs::is_regular_file(Work.File("out/" + Name + "/manifest.json"))) << Name;
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
    const TRun R =
        Run("batch --casemix one.txt --ordays 1,2 --loads 0.55,0.5 --per-combination 2 --select 1 "
            "--deviation 0.01 --out d");
    EXPECT_EQ(R.Code, 3);
    const std::string Reason =
        "Reason: the draw limit of 100000 main draws was passed before every instance was found.\n";
    EXPECT_EQ(R.Err, "Could not generate all instances for case mix one, #ORdays: 1\n" + Reason +
                         "Could not generate all instances for case mix one, #ORdays: 2\n" + Reason +
                         "orbench-cli: the draw limit of 100000 main draws per generation call was passed; raise it "
                         "with --max-draws or widen the load window with --deviation\n");
    EXPECT_EQ(R.Out.find("Could not"), std::string::npos);
    for (const std::string ORdays : {"1", "2"}) {
        EXPECT_EQ(
            ReadAll(Work.File("d/one/overlap_one_ordays_" + ORdays + "_load_0.5.txt")),
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

    ASSERT_EQ(Run("batch --casemix one.txt --ordays ''").Code, 0);  // the default base: instances here
    EXPECT_TRUE(fs::is_directory(Work.File("instances/one")));
}

TEST_F(CliBatch, RefusedSelectionExitsWithThreeAfterTheRun)
{
    const TRun R =
        Run("batch --casemix one.txt --casemix other.txt --ordays 2 --loads 0.5 --per-combination 2 "
            "--select 2 --deviation 0.01 --out s");
    EXPECT_EQ(R.Code, 3);
    EXPECT_EQ(R.Err,
              "Cannot select 2 of 2 instances for case mix one, #ORdays: 2, load: 0.5\n"
              "Cannot select 2 of 2 instances for case mix other, #ORdays: 2, load: 0.5\n");
    EXPECT_EQ(Files("s/other"),
              (TNames{"ordays_2_load_0.5_1.txt", "ordays_2_load_0.5_2.txt", "overlap_other_ordays_2_load_0.5.txt"}));
}

TEST_F(CliBatch, FailedMarkExitsWithThreeAfterTheRun)
{
    // All instances are alike: the exact engine keeps the first two and marks the third.
    fs::create_directories(Work.File("m/one/REMOVE_ordays_2_load_0.5_3.txt"));
    const TRun R =
        Run("batch --casemix one.txt --casemix other.txt --ordays 2 --loads 0.5 --per-combination 3 "
            "--select 2 --deviation 0.01 --out m");
    EXPECT_EQ(R.Code, 3);
    EXPECT_EQ(R.Err,
              "Could not rename m/one/ordays_2_load_0.5_3.txt to REMOVE_ordays_2_load_0.5_3.txt: the target is "
              "a directory\n");
    const std::string Report =
        "Overlap between 3 instances:\r\n0.00000\t1.00000\t1.00000\r\n1.00000\t0.00000\t1.00000\r\n"
        "1.00000\t1.00000\t0.00000\r\n\r\n1.00000\tMaximum overlap\r\n\r\n\r\n"
        "Overlap between remaining 2 instances:\r\n0.00000\t1.00000\t\r\n1.00000\t0.00000\t\r\n";
    EXPECT_EQ(ReadAll(Work.File("m/one/overlap_one_ordays_2_load_0.5.txt")),
              Report + "Not chosen, but not marked REMOVE_ (the rename failed):\tordays_2_load_0.5_3.txt\r\n");
    EXPECT_EQ(ReadAll(Work.File("m/other/overlap_other_ordays_2_load_0.5.txt")), Report);  // the run went on
    EXPECT_TRUE(fs::exists(Work.File("m/one/ordays_2_load_0.5_3.txt")));
    EXPECT_TRUE(fs::exists(Work.File("m/other/REMOVE_ordays_2_load_0.5_3.txt")));
}

TEST_F(CliBatch, AnEarlierRunIsRefusedUnlessOverwrite)
{
    const std::string Args = "batch --casemix one.txt --ordays 2 --loads 0.5 --deviation 0.01 --out r ";
    ASSERT_EQ(Run(Args + "--per-combination 3 --select 2").Code, 0);
    testing::WriteLines(Work.File("r/one/notes.txt"), {"mine"});
    const TNames First = Files("r/one");
    ASSERT_EQ(First.size(), 5u);  // 2 kept, 1 marked, the report, notes.txt (the manifest aside)

    const TRun Refused = Run(Args + "--per-combination 2 --select 1 --seed 9");
    EXPECT_EQ(Refused.Code, 1);
    EXPECT_EQ(Refused.Err,
              "orbench-cli: r/one/ already holds 5 file(s) of an earlier run (such as "
              "REMOVE_ordays_2_load_0.5_3.txt); use --overwrite to delete them first\n");
    EXPECT_EQ(Files("r/one"), First);

    const TRun Again = Run(Args + "--per-combination 2 --select 1 --seed 9 --overwrite");
    ASSERT_EQ(Again.Code, 0) << Again.Err;
    const TNames Names = Files("r/one");
    EXPECT_EQ(Names.size(), 4u);  // one kept, one marked, the report and notes.txt: nothing of the first run
    EXPECT_EQ(std::count(Names.begin(), Names.end(), "REMOVE_ordays_2_load_0.5_3.txt"), 0);
    EXPECT_EQ(ReadAll(Work.File("r/one/notes.txt")), "mine\r\n");
    EXPECT_NE(ReadAll(Work.File("r/one/overlap_one_ordays_2_load_0.5.txt")).find("remaining 1 instances"),
              std::string::npos);
}

// verify: every file the manifest lists, as it was written, and no other file of a run's kinds.
TEST_F(CliBatch, VerifyFindsChangedMissingAndUnlistedFiles)
{
    ASSERT_EQ(Run("batch --casemix one.txt --ordays 2 --loads 0.5 --per-combination 3 --select 2 --deviation 0.01 "
                  "--out r")
                  .Code,
              0);
    const TRun Clean = Run("verify r");
    EXPECT_EQ(Clean.Code, 0) << Clean.Err;
    EXPECT_EQ(Clean.Out, "4 file(s) listed: all match\n");

    const TNames Names = Files("r/one");
    const std::string Kept = "r/one/" + *std::find_if(Names.begin(), Names.end(),
                                                      [](const std::string& N) { return N.rfind("ordays_", 0) == 0; });
    std::string Bytes = ReadAll(Work.File(Kept));
    Bytes[Bytes.size() - 3] ^= 1;  // one byte of the last surgery line
    std::FILE* File = std::fopen(Work.File(Kept).c_str(), "wb");
    ASSERT_NE(File, nullptr);
    std::fwrite(Bytes.data(), 1, Bytes.size(), File);
    std::fclose(File);
    fs::remove(Work.File("r/one/overlap_one_ordays_2_load_0.5.txt"));
    fs::copy_file(Work.File(Kept), Work.File("r/one/ordays_2_load_0.5_9.txt"));
    testing::WriteLines(Work.File("r/one/notes.txt"), {"not of a run's kinds"});
    const TRun Found = Run("verify r");
    EXPECT_EQ(Found.Code, 3);
    EXPECT_EQ(Found.Out, "missing\tone/overlap_one_ordays_2_load_0.5.txt\nchanged\t" + Kept.substr(2) +
                             "\nnot listed\tone/ordays_2_load_0.5_9.txt\n"
                             "4 file(s) listed: 1 missing, 1 changed, 1 not listed\n");

    // The case-mix folder alone: the same findings, from there.
    EXPECT_EQ(Run("verify r/one").Out, "missing\toverlap_one_ordays_2_load_0.5.txt\nchanged\t" + Kept.substr(6) +
                                           "\nnot listed\tordays_2_load_0.5_9.txt\n"
                                           "4 file(s) listed: 1 missing, 1 changed, 1 not listed\n");
}

// Runs of different case mixes share a base folder, each case-mix folder with its own manifest:
// verify checks them all; a rerun of one case mix with --overwrite replaces its files and its
// manifest only. A base folder of an earlier version (one manifest for all folders) keeps working.
TEST_F(CliBatch, RunsOfDifferentCaseMixesShareABaseFolder)
{
    const std::string Common = " --ordays 2 --loads 0.5 --per-combination 3 --select 2 --deviation 0.01 --out r";
    ASSERT_EQ(Run("batch --casemix one.txt" + Common).Code, 0);
    ASSERT_EQ(Run("batch --casemix other.txt --seed 7" + Common).Code, 0);
    const TRun Both = Run("verify r");
    EXPECT_EQ(Both.Code, 0);
    EXPECT_EQ(Both.Out, "8 file(s) listed: all match\n");

    const std::string OtherManifest = ReadAll(Work.File("r/other/manifest.json"));
    const TNames OtherFiles = Files("r/other");
    const TRun Refused = Run("batch --casemix one.txt --casemix other.txt" + Common);
    EXPECT_EQ(Refused.Code, 1);
    EXPECT_EQ(Refused.Err,
              "orbench-cli: r/one/ already holds 5 file(s) of an earlier run (such as "
              "REMOVE_ordays_2_load_0.5_3.txt); r/other/ already holds 5 file(s) of an earlier run (such as "
              "REMOVE_ordays_2_load_0.5_3.txt); use --overwrite to delete them first\n");
    ASSERT_EQ(Run("batch --casemix one.txt --seed 9 --overwrite" + Common).Code, 0);
    EXPECT_EQ(ReadAll(Work.File("r/other/manifest.json")), OtherManifest);
    EXPECT_EQ(Files("r/other"), OtherFiles);
    EXPECT_EQ(Run("verify r").Out, "8 file(s) listed: all match\n");

    // The same tree as an earlier version wrote it: other's files listed in one manifest at the base.
    std::string Legacy = OtherManifest;
    for (std::size_t At = 0; (At = Legacy.find("\"path\": \"", At)) != std::string::npos; At += 10)
        Legacy.insert(At + 9, "other/");
    Legacy.replace(Legacy.find("\"format_version\": 2"), 19, "\"format_version\": 1");
    fs::remove(Work.File("r/other/manifest.json"));
    std::FILE* File = std::fopen(Work.File("r/manifest.json").c_str(), "wb");
    ASSERT_NE(File, nullptr);
    std::fwrite(Legacy.data(), 1, Legacy.size(), File);
    std::fclose(File);
    EXPECT_EQ(Run("verify r").Out, "8 file(s) listed: all match\n");
    ASSERT_EQ(Run("batch --casemix one.txt --overwrite" + Common).Code, 0);  // leaves the base manifest as it is
    EXPECT_EQ(ReadAll(Work.File("r/manifest.json")), Legacy);
    ASSERT_EQ(Run("batch --casemix other.txt --overwrite" + Common).Code, 0);  // takes other's files out of it
    EXPECT_FALSE(fs::exists(Work.File("r/manifest.json")));
    EXPECT_EQ(Run("verify r").Out, "8 file(s) listed: all match\n");
}

// Two runs never write into one case-mix folder at once: while one runs, a second run of the same
// case mix into the same base folder is refused at once, naming the folder; a run of another case
// mix into it goes on. Both trees then verify.
TEST_F(CliBatch, ASecondRunIntoAFolderBeingWrittenIsRefused)
{
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        if (chdir(Work.Path().c_str()) != 0 || !std::freopen(Capture.File("long").c_str(), "w", stderr)) _exit(127);
        setenv("LC_ALL", "C", 1);
        execl(ORBENCH_CLI_PATH, "orbench-cli", "batch", "--casemix", ORBENCH_CASEMIX_DIR "/orthopaedics.txt", "--out",
              "r", static_cast<char*>(nullptr));  // the default lists: some seconds
        _exit(127);
    }
    const auto Start = std::chrono::steady_clock::now();
    while (Files("r/orthopaedics").empty() && std::chrono::steady_clock::now() - Start < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fs::copy_file(ORBENCH_CASEMIX_DIR "/orthopaedics.txt", Work.File("orthopaedics.txt"));
    const TRun Same = Run("batch --casemix orthopaedics.txt --ordays 2 --overwrite --out r");
    const TRun Other =
        Run("batch --casemix one.txt --ordays 2 --loads 0.5 --per-combination 3 --select 2 "
            "--deviation 0.01 --out r");
    kill(Child, SIGINT);
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_EQ(Same.Code, 1);
    EXPECT_EQ(Same.Err,
              "orbench-cli: The folder r/orthopaedics/ is being written by another run; wait for it to end "
              "(or choose another output folder).\n");
    EXPECT_EQ(Other.Code, 0) << Other.Err;
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_TRUE(WEXITSTATUS(Status) == 130 || WEXITSTATUS(Status) == 0) << ReadAll(Capture.File("long"));
    const TRun Verified = Run("verify r");
    EXPECT_EQ(Verified.Code, 0) << Verified.Out;
    // Once the first run has ended, the folder is free again.
    EXPECT_EQ(Run("batch --casemix orthopaedics.txt --ordays 2 --loads 0.8 --per-combination 2 --select 1 --overwrite "
                  "--out r")
                  .Code,
              0);
}

// Ctrl-C stops a run with exit code 130, leaving only complete files; with either engine it acts
// within two seconds, also in the middle of the solver's matching LPs and selection MIP.
TEST_F(CliBatch, CtrlCStopsWithinTwoSecondsWith130)
{
    for (const char* Engine : {"exact", "solver"}) {
        SCOPED_TRACE(Engine);
        fs::remove_all(Work.File("out"));
        const pid_t Child = fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            if (chdir(Work.Path().c_str()) != 0 || !std::freopen(Capture.File("err").c_str(), "w", stderr)) _exit(127);
            setenv("LC_ALL", "C", 1);
            // The three sample case mixes with the default lists: a run of some seconds (minutes
            // with the solver).
            execl(ORBENCH_CLI_PATH, "orbench-cli", "batch", "--casemix", ORBENCH_CASEMIX_DIR "/general_surgery.txt",
                  "--casemix", ORBENCH_CASEMIX_DIR "/orthopaedics.txt", "--casemix",
                  ORBENCH_CASEMIX_DIR "/mixed_hospital.txt", "--engine", Engine, "--out", "out",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto Start = std::chrono::steady_clock::now();
        const auto Elapsed = [&Start] { return std::chrono::steady_clock::now() - Start; };
        while (Files("out/general_surgery").empty() && Elapsed() < std::chrono::seconds(30))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (std::string(Engine) == "solver")
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the LPs
        ASSERT_EQ(kill(Child, SIGINT), 0);
        const auto Signalled = std::chrono::steady_clock::now();
        int Status = 0;
        while (waitpid(Child, &Status, WNOHANG) == 0 && Elapsed() < std::chrono::seconds(60))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto Latency = std::chrono::steady_clock::now() - Signalled;
        if (!WIFEXITED(Status) && !WIFSIGNALED(Status)) {
            kill(Child, SIGKILL);
            waitpid(Child, &Status, 0);
            FAIL() << "the run did not stop";
        }
        ASSERT_TRUE(WIFEXITED(Status));
        EXPECT_EQ(WEXITSTATUS(Status), 130);
        EXPECT_LT(Latency, std::chrono::seconds(2));
        EXPECT_NE(ReadAll(Capture.File("err")).find("Instance generation interrupted"), std::string::npos);
        for (const auto& Entry : fs::recursive_directory_iterator(Work.File("out")))
            EXPECT_EQ(Entry.path().string().find(".part~"), std::string::npos) << Entry.path();
    }
}

}  // namespace
}  // namespace orbench
