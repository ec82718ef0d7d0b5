#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

// The CLI test target links only the model library, so the helpers are compiled in here.
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

struct TRun {
    int Code;
    std::string Out, Err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::WriteLines(Work.File("one.txt"),
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
    std::vector<std::string> Files(const std::string& Sub = "") const
    {
        std::vector<std::string> Names;
        for (const auto& Entry : fs::directory_iterator(Sub.empty() ? Work.Path() : Work.File(Sub)))
            Names.push_back(Entry.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    testing::TTempDir Work, Capture;
};

const std::string GeneralSurgery = "'" ORBENCH_CASEMIX_DIR "/general_surgery.txt'";
using TNames = std::vector<std::string>;

// An instance file of the case mix CaseMix with one surgery per parameter text "P1\tP2\tP3".
void WriteInstance(const std::string& FileName, const std::string& CaseMix, const std::string& ORdays,
                   const std::string& DesiredLoad, const std::string& Load, const TNames& Surgeries)
{
    testing::WriteLines(FileName,
                        testing::InstanceFileLines(CaseMix, ORdays, DesiredLoad, Load, "480.000000000", Surgeries));
}

TNames SplitText(const std::string& Text, char Separator)
{
    TNames Parts;
    std::istringstream In(Text);
    for (std::string Part; std::getline(In, Part, Separator);) Parts.push_back(Part);
    return Parts;
}

const TNames TwoTypes = {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "7\tNormal\t60\t6\t0\t1",
                         "9\tUniform\t30\t90\t0\t1"};
const std::string Normal = "60\t6\t0", Uniform = "30\t90\t0";

TEST_F(Cli, CasemixPrintsTypesAndWritesSubset)
{
    testing::WriteLines(Work.File("small.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency",
                                                 "7\tNormal\t144\t115.2\t0\t3", "8\tNormal\t336\t67.2\t0\t1"});
    const TRun R = Run("casemix small.txt --type 5 --write out.txt");
    EXPECT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out,
              "7\tNormal\t144.000000000\t115.200000000\t0.300000000\t0.800000000\t0.750000000\t0,1,5,7,9,10,13,16\n"
              "8\tNormal\t336.000000000\t67.200000000\t0.700000000\t0.200000000\t0.250000000\t0,4,6,8,11,12,13,16\n");
    EXPECT_EQ(ReadAll(Work.File("out.txt")),
              "ID\tDistributionType\tP1\tP2\tP3\tFrequency\r\n7\tNormal\t144.000000000\t115.200000000\t0.000000000\t0."
              "750000000\r\n");
}

TEST_F(Cli, GeneratePrintsEachInstanceAndWritesItsFile)
{
    const std::string Args = " --casemix one.txt --ordays 2 --loads 0.5,0.75 --per-load 2 --deviation 0.01";
    const TRun R = Run("generate" + Args + " --out sub/dir");
    ASSERT_EQ(R.Code, 0) << R.Err;
    const std::string Lines =
        "ordays_2_load_0.5_1\t0.500000000\t8\nordays_2_load_0.5_2\t0.500000000\t8\n"
        "ordays_2_load_0.75_1\t0.750000000\t12\nordays_2_load_0.75_2\t0.750000000\t12\n";
    EXPECT_EQ(R.Out, Lines);
    EXPECT_EQ(Files("sub/dir"), (TNames{"ordays_2_load_0.5_1.txt", "ordays_2_load_0.5_2.txt",
                                        "ordays_2_load_0.75_1.txt", "ordays_2_load_0.75_2.txt"}));
    std::string Expected =
        "# INSTANCE CHARACTERISTICS\r\n999999\tInstance number\r\none\tcase mix name\r\n"
        "2\tnumber of OR-days\r\n0.500000000\tdesired load\r\n0.500000000\tload\r\n"
        "480.000000000\tCapacity OR-days in minutes\r\n\r\n# SURGERIES\r\nSurgNr\tP1\tP2\tP3\r\n";
    for (int I = 1; I <= 8; ++I) Expected += std::to_string(I) + "\t60.000000000\t6.000000000\t0.000000000\r\n";
    EXPECT_EQ(ReadAll(Work.File("sub/dir/ordays_2_load_0.5_2.txt")), Expected);

    const TRun NoSave = Run("generate" + Args + " --no-save --out nosave");
    EXPECT_EQ(NoSave.Code, 0);
    EXPECT_EQ(NoSave.Out, Lines);
    ASSERT_TRUE(fs::is_directory(Work.File("nosave")));
    EXPECT_TRUE(Files("nosave").empty());
}

TEST_F(Cli, DrawLimitEndsWithExitCode3)
{
    // Loads go up by 0.0625: 0.5625 is the nearest to 0.55, and not within 0.01.
    const TRun R = Run("generate --casemix one.txt --ordays 2 --loads 0.55 --deviation 0.01 --max-draws 500 --out o");
    EXPECT_EQ(R.Code, 3);
    EXPECT_EQ(R.Err,
              "Could not generate all instances for case mix one, #ORdays: 2\n"
              "orbench-cli: the draw limit of 500 main draws per generation call was passed; raise it with "
              "--max-draws or widen the load window with --deviation\n");
    EXPECT_EQ(R.Out, "");

    // When more draws cannot help, the last line says why instead of pointing at --max-draws.
    testing::WriteLines(Work.File("tiny.txt"),
                        {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t0.001\t0\t0\t1"});
    const std::pair<std::string, std::string> Cases[] = {
        {"generate --casemix tiny.txt --ordays 10 --loads 0.8 --out o",
         "the mean durations of case mix tiny are too small for the OR-day capacity of 480 minutes: an instance of 10 "
         "OR-days at load 0.8 needs about 3720000 surgeries, more than the 1000000 an instance may hold"},
        {"--capacity 1e-300 generate --casemix one.txt --ordays 10 --loads 0.8 --out o",
         "the surgeries of case mix one are too long for the OR-day capacity of 1e-300 minutes: even the shortest adds "
         "a load of 6e+300"},
    };
    for (const auto& [Args, Reason] : Cases) {
        const TRun Limited = Run(Args);
        EXPECT_EQ(Limited.Code, 3) << Args;
        EXPECT_NE(Limited.Err.find("\norbench-cli: " + Reason), std::string::npos) << Limited.Err;
        EXPECT_EQ(Limited.Err.find("--max-draws"), std::string::npos) << Limited.Err;
    }
}

TEST_F(Cli, RefusedArgumentsWriteNothing)
{
    const std::string Header = "ID\tDistributionType\tP1\tP2\tP3\tFrequency";
    testing::WriteLines(Work.File("empty.txt"), {Header});
    testing::WriteLines(Work.File("zero.txt"), {Header, "1\tNormal\t60\t6\t0\t0"});
    testing::WriteLines(Work.File("bad.txt"), {Header, "1\tNormal\t60\t6\t0\t-1"});
    // A spread without a kind of distribution (a fixed duration, P2 = 0, is sampled).
    testing::WriteLines(Work.File("fixed.txt"), {Header, "3\tFixed\t60\t5\t0\t1"});
    WriteInstance(Work.File("stray.txt"), "one", "1", "0.25", "0.25", {Normal, "61\t6\t0"});
    WriteInstance(Work.File("fixed_instance.txt"), "fixed", "1", "0.125", "0.125", {"60\t5\t0"});
    testing::WriteLines(Work.File("tiny.txt"), {Header, "1\tNormal\t1e-300\t0\t0\t1"});
    const TNames Inputs = Files();
    const std::string Gen = "generate --casemix one.txt --ordays 2 --out o ";
    // Each message names the option and the value, or the file.
    const std::pair<std::string, std::string> Refused[] = {
        {"generate --on-the-fly --casemix one.txt --ordays 2 --loads 0.5 --out o", "--on-the-fly"},
        {"generate --on-the-fly --type 17 --ordays 2 --loads 0.5 --out o", "--type 17: "},
        {"generate --on-the-fly --type -1 --ordays 2 --loads 0.5 --out o", "--type -1: must be from 0 to 16"},
        {Gen + "--loads 0.5 --type -2", "--type -2: must be from -1 to 16"},
        {"generate --casemix one.txt --ordays 0 --loads 0.5 --out o", "--ordays 0: must be at least 1"},
        {"--capacity 0 generate --casemix one.txt --ordays 2 --loads 0.5 --out o", "--capacity 0: "},
        {Gen + "--loads 0.5 --deviation 0,5", "--deviation 0,5: "},
        {Gen + "--loads 0.5 --bogus", "--bogus"},
        {"fill --casemix one.txt --ordays 0 --load 0.5 --out o", "--ordays 0: "},
        {"fill --casemix one.txt --ordays 1 --load 0,5 --out o", "--load 0,5: "},
        {Gen + "--loads 0.5,0", "--loads 0: must be greater than 0"},
        {Gen + "--loads -0.5", "--loads -0.5: must be greater than 0"},
        {"fill --casemix one.txt --ordays 1 --load -1 --out o", "--load -1: must be greater than 0"},
        {Gen + "--loads 0.5 --deviation 0", "--deviation 0: must be greater than 0"},
        {Gen + "--loads 0.5 --per-load 0", "--per-load 0: must be at least 1"},
        {"fill --casemix one.txt --ordays 1 --load 0.5 --count 0 --out o", "--count 0: must be at least 1"},
        {Gen + "--loads 0.5 --max-draws 0", "--max-draws 0: must be at least 1"},
        {"--capacity 1e999 " + Gen + "--loads 0.5", "--capacity 1e999: not a finite number"},
        {Gen + "--loads nan", "--loads nan: not a finite number"},
        {Gen + "--loads 0.5 --out ''", "--out: the path is empty"},
        {"casemix one.txt --write ''", "--write: the path is empty"},
        {"overlap --casemix one.txt --epsilon -1 x.txt", "--epsilon -1: must not be negative"},
        {"overlap --casemix one.txt --report '' x.txt", "--report: the path is empty"},
        {"overlap --casemix one.txt --select 1 --time-limit 0 x.txt", "--time-limit 0: must be greater than 0"},
        {"generate --casemix --ordays 10 --loads 0.5 --out o", "orbench-cli: --casemix: missing value"},
        {Gen + "--loads 0.5 --per-load 2147483648", "--per-load 2147483648: out of range"},
        // The case mix: no types of the type, none at all, only frequencies 0; not a file; bad content.
        {Gen + "--loads 0.5 --type 2", "orbench-cli: case mix one has no surgery types of case-mix type 2\n"},
        {"generate --casemix empty.txt --ordays 2 --loads 0.5 --out o",
         "case mix empty has no surgery types of case-mix type 0"},
        {"fill --casemix zero.txt --ordays 1 --load 0.5 --out o",
         "case mix zero has no surgery types of case-mix type 0"},
        {"generate --casemix /dev/null --ordays 2 --loads 0.5 --out o", "orbench-cli: /dev/null: not a regular file"},
        {"generate --casemix nope.txt --ordays 2 --loads 0.5 --out o", "orbench-cli: nope.txt: File does not exist!\n"},
        {"casemix bad.txt", "orbench-cli: bad.txt, line 2: Frequency \"-1\" is negative\n"},
        // sample, stats, verify
        {"sample --casemix one.txt --scenarios 0 stray.txt", "--scenarios 0: must be at least 1"},
        {"sample --casemix one.txt --scenarios 1 --out '' stray.txt", "--out: the path is empty"},
        {"sample --scenarios 1 stray.txt", "sample needs --casemix"},
        {"sample --casemix one.txt --scenarios 1 --out s.csv stray.txt",
         "orbench-cli: stray.txt, line 12: the surgery's parameters match no surgery type of case mix one\n"},
        {"stats --casemix one.txt stray.txt", "stray.txt, line 12: the surgery's parameters match no surgery type"},
        {"sample --casemix fixed.txt --scenarios 1 --out s.csv fixed_instance.txt",
         "fixed_instance.txt: surgery 1 of surgery type 3: a NoDistribution duration cannot be sampled: it states"},
        {"sample --casemix one.txt --scenarios 1 --format tall stray.txt", "--format tall: must be long or wide"},
        {"verify nowhere", "orbench-cli: nowhere: File does not exist!\n"},
        // Types made from points whose parameters would not be finite at this capacity.
        {"--capacity 1e-160 theoretical-casemix --write t.txt", "capacity of 1e-160 minutes gives surgery types"},
        {"--capacity 1e300 generate --on-the-fly --type 3 --ordays 1 --loads 0.9 --out o",
         "capacity of 1e+300 minutes"},
        {"--capacity 1e-160 theoretical-batch --ordays 1 --loads 0.9 --out o",
         "--capacity 1e-160: gives surgery types"},
        // Mean durations far too small: the loop alone would never end.
        {"fill --casemix tiny.txt --ordays 1 --load 0.5 --out o",
         "Case mix tiny: an instance would hold more than 1000000 surgeries; the mean durations"},
    };
    for (const auto& [Args, Message] : Refused) {
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 1) << Args;
        EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 1) << Args << ": " << R.Err;
        EXPECT_EQ(R.Err.rfind("orbench-cli: ", 0), 0u) << Args << ": " << R.Err;
        EXPECT_NE(R.Err.find(Message), std::string::npos) << Args << ": " << R.Err;
        EXPECT_EQ(R.Out, "") << Args;
        EXPECT_EQ(Files(), Inputs) << Args;
    }
}

TEST_F(Cli, UnwritableOutputExitsWithTwo)
{
    const std::pair<const char*, const char*> Cases[] = {
        {"casemix one.txt --write one.txt/x", "orbench-cli: one.txt/x: "},
        {"generate --casemix one.txt --ordays 2 --loads 0.5 --out one.txt/d", "orbench-cli: one.txt/d: "},
        {"fill --casemix one.txt --ordays 1 --load 0.5 --out one.txt", "orbench-cli: one.txt: "},
        {"theoretical-casemix --write .", "orbench-cli: .: not a regular file (a directory)\n"},
    };
    for (const auto& [Args, Message] : Cases) {
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 2) << Args;
        EXPECT_EQ(R.Err.rfind(Message, 0), 0u) << Args << ": " << R.Err;
        EXPECT_EQ(Files(), TNames{"one.txt"}) << Args;
    }
}

TEST_F(Cli, HelpAndVersion)
{
    const TRun Version = Run("--version");
    EXPECT_EQ(Version.Code, 0);
    EXPECT_TRUE(std::regex_match(Version.Out, std::regex("orbench-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << Version.Out;

    const TRun Main = Run("--help");
    EXPECT_EQ(Main.Code, 0);
    const std::vector<std::pair<std::string, TNames>> Commands = {
        {"casemix", {"--type", "--write"}},
        {"generate",
         {"--casemix", "--on-the-fly", "--ordays", "--loads", "--per-load", "--deviation", "--type", "--out",
          "--no-save", "--max-draws"}},
        {"fill", {"--casemix", "--ordays", "--load", "--count", "--type", "--out"}},
        {"theoretical-casemix", {"--name", "--write"}},
        {"overlap", {"--casemix", "--epsilon", "--deterministic", "--select", "--engine", "--report"}},
        {"batch",
         {"--casemix", "--ordays", "--loads", "--per-combination", "--deviation", "--select", "--epsilon",
          "--deterministic", "--no-analyze", "--keep-all", "--no-save", "--out", "--engine", "--overwrite",
          "--max-draws"}},
        {"theoretical-batch", {"--ordays", "--loads", "--per-combination", "--out", "--overwrite", "--max-draws"}},
        {"verify", {}},
        {"sample", {"--casemix", "--scenarios", "--format", "--out"}},
        {"stats", {"--casemix", "--csv"}},
        {"export", {"--casemix", "--format", "--out"}},
    };
    for (const auto& [Command, Options] : Commands) {
        EXPECT_NE(Main.Out.find("\n  " + Command + " "), std::string::npos) << Command;
        const TRun Help = Run("help " + Command);
        const TRun Flag = Run(Command + " --help");
        EXPECT_EQ(Help.Code, 0) << Command;
        EXPECT_EQ(Flag.Code, 0) << Command;
        EXPECT_EQ(Help.Out, Flag.Out) << Command;
        EXPECT_EQ(Help.Out.find("Usage: orbench-cli " + Command + " "), Help.Out.find('\n') + 1) << Help.Out;
        for (const std::string& Option : Options)
            EXPECT_NE(Help.Out.find("\n  " + Option + " "), std::string::npos) << Command << " " << Option;
        for (const std::string Common : {"--capacity MIN", "--seed N", "--decimal-separator C"})
            EXPECT_NE(Help.Out.find("\n  " + Common), std::string::npos) << Command << " " << Common;
    }
    const TRun Generate = Run("help generate");
    for (const char* Default : {"(default: 30)", "(default: 0.025)", "(default: 100000)", "(default: 480)"})
        EXPECT_NE(Generate.Out.find(Default), std::string::npos) << Default;
    EXPECT_EQ(Run("help bogus").Code, 1);
    EXPECT_EQ(Files(), TNames{"one.txt"});
}

TEST_F(Cli, SeedAndCommonOptionsInAnyPosition)
{
    const std::string Gen = "generate --casemix " + GeneralSurgery + " --ordays 5 --loads 0.8,0.9 --per-load 3";
    const TRun Before = Run("--seed 7 --capacity 500 " + Gen + " --out a");
    const TRun After = Run(Gen + " --out b --seed 7 --capacity 500");
    const TRun Other = Run(Gen + " --out c --seed 8 --capacity 500");
    ASSERT_EQ(Before.Code, 0) << Before.Err;
    EXPECT_EQ(After.Out, Before.Out);
    EXPECT_EQ(Files("a").size(), 6u);
    ASSERT_EQ(Files("a"), Files("b"));
    for (const std::string& Name : Files("a"))
        EXPECT_EQ(ReadAll(Work.File("a/" + Name)), ReadAll(Work.File("b/" + Name))) << Name;
    EXPECT_NE(ReadAll(Work.File("a/" + Files("a")[0])), ReadAll(Work.File("c/" + Files("a")[0])));
    EXPECT_NE(Other.Out, Before.Out);

    const TRun Minus = Run(Gen + " --no-save --out d --seed -1");
    const TRun Max = Run(Gen + " --no-save --out d --seed 4294967295");
    EXPECT_EQ(Minus.Code, 0) << Minus.Err;
    EXPECT_EQ(Minus.Out, Max.Out);
    EXPECT_NE(Minus.Out, Run(Gen + " --no-save --out d").Out);
}

TEST_F(Cli, DecimalSeparatorGovernsFileNames)
{
    const TRun R =
        Run("--decimal-separator , generate --casemix one.txt --ordays 5 --loads 0.9 --per-load 1 "
            "--deviation 0.01 --out d");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out, "ordays_5_load_0,9_1\t0.900000000\t36\n");
    ASSERT_EQ(Files("d"), TNames{"ordays_5_load_0,9_1.txt"});
    EXPECT_NE(ReadAll(Work.File("d/ordays_5_load_0,9_1.txt")).find("\r\n0.900000000\tdesired load\r\n"),
              std::string::npos);
}

TEST_F(Cli, FillSavesEachInstanceOrRefusesAnEmptyType)
{
    // Target 225 minutes: three surgeries of 60 fit, then five overshoots.
    const TRun R = Run("--capacity 450 fill --casemix one.txt --ordays 1 --load 0.5 --count 3 --out f");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out, "0\t0.400000000\t3\n1\t0.400000000\t3\n2\t0.400000000\t3\n");
    ASSERT_EQ(Files("f"), (TNames{"one_instance_0.txt", "one_instance_1.txt", "one_instance_2.txt"}));
    EXPECT_NE(ReadAll(Work.File("f/one_instance_2.txt"))
                  .find("\r\n0.500000000\tdesired load\r\n0.400000000\tload\r\n450.000000000\t"),
              std::string::npos);

    const TRun Empty = Run("fill --casemix one.txt --ordays 1 --load 0.5 --type 2 --out e");  // X = 0.125, Y = 0.1
    EXPECT_EQ(Empty.Code, 1);
    EXPECT_EQ(Empty.Err, "orbench-cli: case mix one has no surgery types of case-mix type 2\n");
    EXPECT_FALSE(fs::exists(Work.File("e")));
}

TEST_F(Cli, TheoreticalCasemixWritesTheWholeGrid)
{
    const TRun R = Run("theoretical-casemix --write grid.txt");
    ASSERT_EQ(R.Code, 0) << R.Err;
    const std::string Content = ReadAll(Work.File("grid.txt"));
    EXPECT_EQ(Content.rfind("ID\tDistributionType\tP1\tP2\tP3\tFrequency\r\n", 0), 0u);
    EXPECT_EQ(std::count(Content.begin(), Content.end(), '\n'), 9901);
    EXPECT_EQ(std::count(Content.begin(), Content.end(), '\r'), 9901);
    // Every type has the frequency 1/9900.
    std::size_t Frequencies = 0;
    for (std::size_t P = Content.find("\t0.000101010\r\n"); P != std::string::npos;
         P = Content.find("\t0.000101010\r\n", P + 1))
        ++Frequencies;
    EXPECT_EQ(Frequencies, 9900u);
}

// The CSV of the duration scenarios: one line per instance, scenario and surgery in that order, the
// same bytes for the same command; the seed changes only the durations.
TEST_F(Cli, SampleGivesTheSameScenarioTableEveryTime)
{
    testing::WriteLines(Work.File("two.txt"), TwoTypes);
    WriteInstance(Work.File("a.txt"), "two", "1", "0.5", "0.375", {Uniform, Normal, Uniform});
    WriteInstance(Work.File("b.txt"), "two", "2", "0.25", "0.0625", {Normal});
    const std::string Args = "sample --casemix two.txt --scenarios 3 a.txt b.txt";
    const TRun First = Run(Args), Again = Run(Args), Seeded = Run(Args + " --seed 8");
    ASSERT_EQ(First.Code, 0) << First.Err;
    EXPECT_EQ(Again.Out, First.Out);

    TNames Keys = {"instance_file,surgery_id,surgery_type_id,scenario"};
    for (int Scenario = 1; Scenario <= 3; ++Scenario)
        for (const char* Key : {"a.txt,1,9,", "a.txt,2,7,", "a.txt,3,9,"})
            Keys.push_back(Key + std::to_string(Scenario));
    for (int Scenario = 1; Scenario <= 3; ++Scenario) Keys.push_back("b.txt,1,7," + std::to_string(Scenario));
    for (const TRun* R : {&First, &Seeded}) {
        const TNames Lines = SplitText(R->Out, '\n');
        ASSERT_EQ(Lines.size(), Keys.size());
        EXPECT_EQ(Lines[0], Keys[0] + ",duration_minutes");
        std::set<std::string> Durations;
        for (std::size_t i = 1; i < Lines.size(); ++i) {
            const std::size_t Comma = Lines[i].rfind(',');
            EXPECT_EQ(Lines[i].substr(0, Comma), Keys[i]);
            const double Minutes = std::stod(Lines[i].substr(Comma + 1));
            const bool IsUniform = Keys[i].find(",9,") != std::string::npos;
            EXPECT_TRUE(IsUniform ? Minutes >= 30 && Minutes <= 90 : std::abs(Minutes - 60) < 36) << Lines[i];
            Durations.insert(Lines[i].substr(Comma + 1));
        }
        EXPECT_EQ(Durations.size(), Keys.size() - 1);  // a fresh draw for every line
    }
    EXPECT_NE(Seeded.Out, First.Out);

    ASSERT_EQ(Run(Args + " --out s.csv").Code, 0);
    EXPECT_EQ(ReadAll(Work.File("s.csv")), std::regex_replace(First.Out, std::regex("\n"), "\r\n"));

    // b.txt first and twice: its lines are those of the first run, each time; so are a.txt's.
    const TRun Reordered = Run("sample --casemix two.txt --scenarios 3 b.txt a.txt b.txt");
    ASSERT_EQ(Reordered.Code, 0) << Reordered.Err;
    const TNames Lines = SplitText(First.Out, '\n');
    const std::string BLines = std::accumulate(Lines.end() - 3, Lines.end(), std::string(),
                                               [](const std::string& A, const std::string& L) { return A + L + "\n"; });
    const std::string ALines = std::accumulate(Lines.begin() + 1, Lines.end() - 3, std::string(),
                                               [](const std::string& A, const std::string& L) { return A + L + "\n"; });
    EXPECT_EQ(Reordered.Out, Lines[0] + "\n" + BLines + ALines + BLines);
    EXPECT_EQ(Reordered.Err, "");
}

TEST_F(Cli, StatsMatchTheInstanceFiles)
{
    testing::WriteLines(Work.File("two.txt"), TwoTypes);  // both types at X = 60 / 480
    WriteInstance(Work.File("a.txt"), "two", "1", "0.5", "0.4", {Uniform, Normal, Uniform});  // the load as stated
    WriteInstance(Work.File("b.txt"), "two", "2", "0.25", "0.0625", {Normal});
    const TRun Csv = Run("stats --csv --casemix two.txt a.txt b.txt");
    ASSERT_EQ(Csv.Code, 0) << Csv.Err;
    const TNames Lines = SplitText(Csv.Out, '\n');
    ASSERT_EQ(Lines.size(), 4u);
    const TNames Header = SplitText(Lines[0], ',');
    ASSERT_EQ(Header.size(), 27u);
    EXPECT_EQ(TNames(Header.begin(), Header.begin() + 11),
              (TNames{"file", "or_days", "desired_load", "load", "surgeries", "surgery_types", "center_x", "center_y",
                      "mean_expected_minutes", "max_expected_minutes", "type_0"}));
    const std::pair<const char*, TNames> Rows[] = {
        {"a.txt", {"1", "0.500000000", "0.400000000", "3", "2", "0.125000000"}},
        {"b.txt", {"2", "0.250000000", "0.062500000", "1", "1", "0.125000000"}},
        {"all instances", {"3", "0.375000000", "0.231250000", "4", "2", "0.125000000"}},
    };
    std::vector<int> RegionSums(17, 0);
    for (std::size_t r = 0; r < 3; ++r) {
        const TNames Fields = SplitText(Lines[r + 1], ',');
        ASSERT_EQ(Fields.size(), 27u);
        EXPECT_EQ(Fields[0], Rows[r].first);
        EXPECT_EQ(TNames(Fields.begin() + 1, Fields.begin() + 7), Rows[r].second);
        EXPECT_EQ(Fields[10], Fields[4]);  // type 0 holds every surgery
        for (int t = 0; t < 17; ++t) RegionSums[t] += (r < 2 ? 1 : -1) * std::stoi(Fields[10 + t]);
    }
    EXPECT_EQ(RegionSums, std::vector<int>(17, 0));  // the last row adds up the others

    const TRun Table = Run("stats --casemix two.txt a.txt b.txt");
    ASSERT_EQ(Table.Code, 0) << Table.Err;
    const TNames TableLines = SplitText(Table.Out, '\n');
    ASSERT_EQ(TableLines.size(), 4u);
    EXPECT_TRUE(std::regex_match(TableLines[1], std::regex("a\\.txt +1 +0\\.5000 +0\\.4000 +3 +2 .*")))
        << TableLines[1];
}

TEST_F(Cli, CtrlCStopsSampleWithoutLeavingAFile)
{
    testing::WriteLines(Work.File("two.txt"), TwoTypes);
    WriteInstance(Work.File("a.txt"), "two", "1", "0.5", "0.375", {Uniform, Normal, Uniform});
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        if (chdir(Work.Path().c_str()) != 0 || !std::freopen(Capture.File("err").c_str(), "w", stderr)) _exit(127);
        // Some hundred megabytes: seconds of work.
        execl(ORBENCH_CLI_PATH, "orbench-cli", "sample", "--casemix", "two.txt", "--scenarios", "3000000", "--out",
              "s.csv", "a.txt", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto Start = std::chrono::steady_clock::now();
    const auto Elapsed = [&Start] { return std::chrono::steady_clock::now() - Start; };
    // Wait until the scenarios flow into the temporary file (".s.csv.<tag>.part~").
    const auto Writing = [this] {
        std::error_code Ec;
        for (const auto& Entry : fs::directory_iterator(Work.Path(), Ec)) {
            const std::string Name = Entry.path().filename().string();
            if (Name.starts_with(".s.csv.") && Name.ends_with(".part~") && fs::file_size(Entry.path(), Ec) > 0)
                return true;
        }
        return false;
    };
    while (!Writing() && Elapsed() < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_EQ(kill(Child, SIGINT), 0);
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 130);
    EXPECT_EQ(ReadAll(Capture.File("err")), "orbench-cli: stopped by Ctrl-C\n");
    EXPECT_EQ(Files(), (TNames{"a.txt", "one.txt", "two.txt"}));
}

}  // namespace
}  // namespace orbench
