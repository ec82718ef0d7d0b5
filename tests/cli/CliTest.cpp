#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

// The CLI test target links only the model library, so the helpers are compiled in here.
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

struct TRun { int Code; std::string Out, Err; };

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::WriteLines(Work.File("one.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1"});
    }
    // Runs the program in the working directory under the C locale.
    TRun Run(const std::string& Args) const
    {
        const std::string Cmd = "cd '" + Work.Path() + "' && LC_ALL=C '" ORBENCH_CLI_PATH "' " + Args + " >'" +
                                Capture.File("out") + "' 2>'" + Capture.File("err") + "'";
        const int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadAll(Capture.File("out")), ReadAll(Capture.File("err"))};
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

TEST_F(Cli, CasemixPrintsTypesAndWritesSubset)
{
    testing::WriteLines(Work.File("small.txt"),
                        {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "7\tNormal\t144\t115.2\t0\t3", "8\tNormal\t336\t67.2\t0\t1"});
    const TRun R = Run("casemix small.txt --type 5 --write out.txt");
    EXPECT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out,
              "7\tNormal\t144.000000000\t115.200000000\t0.300000000\t0.800000000\t0.750000000\t0,1,5,7,9,10,13,16\n"
              "8\tNormal\t336.000000000\t67.200000000\t0.700000000\t0.200000000\t0.250000000\t0,4,6,8,11,12,13,16\n");
    EXPECT_EQ(ReadAll(Work.File("out.txt")),
              "ID\tDistributionType\tP1\tP2\tP3\tFrequency\r\n7\tNormal\t144.000000000\t115.200000000\t0.000000000\t0.750000000\r\n");
}

TEST_F(Cli, GeneratePrintsEachInstanceAndWritesItsFile)
{
    const std::string Args = " --casemix one.txt --ordays 2 --loads 0.5,0.75 --per-load 2 --deviation 0.01";
    const TRun R = Run("generate" + Args + " --out sub/dir");
    ASSERT_EQ(R.Code, 0) << R.Err;
    const std::string Lines = "ordays_2_load_0.5_1\t0.500000000\t8\nordays_2_load_0.5_2\t0.500000000\t8\n"
                              "ordays_2_load_0.75_1\t0.750000000\t12\nordays_2_load_0.75_2\t0.750000000\t12\n";
    EXPECT_EQ(R.Out, Lines);
    EXPECT_EQ(Files("sub/dir"), (TNames{"ordays_2_load_0.5_1.txt", "ordays_2_load_0.5_2.txt",
                                        "ordays_2_load_0.75_1.txt", "ordays_2_load_0.75_2.txt"}));
    std::string Expected = "# INSTANCE CHARACTERISTICS\r\n999999\tInstance number\r\none\tcase mix name\r\n"
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
    EXPECT_EQ(R.Err, "Could not generate all instances for case mix one, #ORdays: 2\n"
                     "orbench-cli: the draw limit of 500 main draws per generation call was passed; raise it with "
                     "--max-draws or widen the load window with --deviation\n");
    EXPECT_EQ(R.Out, "");
}

TEST_F(Cli, RefusedArgumentsWriteNothing)
{
    const std::string Header = "ID\tDistributionType\tP1\tP2\tP3\tFrequency";
    testing::WriteLines(Work.File("empty.txt"), {Header});
    testing::WriteLines(Work.File("zero.txt"), {Header, "1\tNormal\t60\t6\t0\t0"});
    testing::WriteLines(Work.File("bad.txt"), {Header, "1\tNormal\t60\t6\t0\t-1"});
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
        {"generate --casemix --ordays 10 --loads 0.5 --out o", "orbench-cli: --casemix: missing value"},
        {Gen + "--loads 0.5 --per-load 2147483648", "--per-load 2147483648: out of range"},
        // The case mix: no types of the type, none at all, only frequencies 0; not a file; bad content.
        {Gen + "--loads 0.5 --type 2", "orbench-cli: case mix one has no surgery types of case-mix type 2\n"},
        {"generate --casemix empty.txt --ordays 2 --loads 0.5 --out o", "case mix empty has no surgery types of case-mix type 0"},
        {"fill --casemix zero.txt --ordays 1 --load 0.5 --out o", "case mix zero has no surgery types of case-mix type 0"},
        {"generate --casemix /dev/null --ordays 2 --loads 0.5 --out o", "orbench-cli: /dev/null: not a regular file"},
        {"generate --casemix nope.txt --ordays 2 --loads 0.5 --out o", "orbench-cli: nope.txt: File does not exist!\n"},
        {"casemix bad.txt", "orbench-cli: bad.txt, line 2: Frequency \"-1\" is negative\n"},
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
        {"generate", {"--casemix", "--on-the-fly", "--ordays", "--loads", "--per-load", "--deviation", "--type", "--out",
                      "--no-save", "--max-draws"}},
        {"fill", {"--casemix", "--ordays", "--load", "--count", "--type", "--out"}},
        {"theoretical-casemix", {"--name", "--write"}},
        {"overlap", {"--casemix", "--epsilon", "--deterministic", "--select", "--engine", "--report"}},
        {"batch", {"--casemix", "--ordays", "--loads", "--per-combination", "--deviation", "--select", "--epsilon",
                   "--deterministic", "--no-analyze", "--keep-all", "--no-save", "--out", "--engine", "--overwrite",
                   "--max-draws"}},
        {"theoretical-batch", {"--ordays", "--loads", "--per-combination", "--out", "--overwrite", "--max-draws"}},
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
    const TRun R = Run("--decimal-separator , generate --casemix one.txt --ordays 5 --loads 0.9 --per-load 1 "
                       "--deviation 0.01 --out d");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out, "ordays_5_load_0,9_1\t0.900000000\t36\n");
    ASSERT_EQ(Files("d"), TNames{"ordays_5_load_0,9_1.txt"});
    EXPECT_NE(ReadAll(Work.File("d/ordays_5_load_0,9_1.txt")).find("\r\n0.900000000\tdesired load\r\n"), std::string::npos);
}

TEST_F(Cli, FillSavesEachInstanceOrRefusesAnEmptyType)
{
    // Target 225 minutes: three surgeries of 60 fit, then five overshoots.
    const TRun R = Run("--capacity 450 fill --casemix one.txt --ordays 1 --load 0.5 --count 3 --out f");
    ASSERT_EQ(R.Code, 0) << R.Err;
    EXPECT_EQ(R.Out, "0\t0.400000000\t3\n1\t0.400000000\t3\n2\t0.400000000\t3\n");
    ASSERT_EQ(Files("f"), (TNames{"one_instance_0.txt", "one_instance_1.txt", "one_instance_2.txt"}));
    EXPECT_NE(ReadAll(Work.File("f/one_instance_2.txt")).find("\r\n0.500000000\tdesired load\r\n0.400000000\tload\r\n450.000000000\t"), std::string::npos);

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
    for (std::size_t P = Content.find("\t0.000101010\r\n"); P != std::string::npos; P = Content.find("\t0.000101010\r\n", P + 1))
        ++Frequencies;
    EXPECT_EQ(Frequencies, 9900u);
}

}  // namespace
}  // namespace orbench
