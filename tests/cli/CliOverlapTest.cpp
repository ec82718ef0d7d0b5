#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;

struct TRun {
    int Code;
    std::string Out, Err;
};
using TLines = std::vector<std::string>;

TLines Split(const std::string& Text, char Separator)
{
    TLines Parts;
    std::string Part;
    std::istringstream In(Text);
    while (std::getline(In, Part, Separator)) Parts.push_back(Part);
    return Parts;
}

// The mean durations (P1, minutes) of an instance file's surgeries.
std::vector<double> Means(const std::string& FileName)
{
    std::vector<double> Result;
    bool Surgeries = false;
    for (std::string Line : Split(ReadAll(FileName), '\n')) {
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        if (Surgeries) Result.push_back(std::stod(Split(Line, '\t').at(1)));
        Surgeries = Surgeries || Line.rfind("SurgNr\t", 0) == 0;
    }
    return Result;
}

// The case mix has Normal types of 60 (sd 6), 70 (sd 14), 100 (sd 10) and 240 (sd 24) minutes. With
// epsilon 0.01 day (14.4 minutes) the deterministic distance makes 60 and 70 alike, the stochastic
// one (their CVs differ by 0.1) only equal types. Within such a class every pair is proximal, so a
// largest matching pairs min(a, b) surgeries of it; the heaviest takes the longest ones on each side
// and the lightest the shortest.
double ClassOverlap(const std::vector<double>& A, const std::vector<double>& B, bool Deterministic, bool Heaviest)
{
    std::map<double, std::pair<std::vector<double>, std::vector<double>>> Classes;
    for (double m : A) Classes[Deterministic && m <= 70 ? 70 : m].first.push_back(m);
    for (double m : B) Classes[Deterministic && m <= 70 ? 70 : m].second.push_back(m);
    double Matched = 0, Total = 0;
    for (auto& [Key, Sides] : Classes) {
        const std::size_t k = std::min(Sides.first.size(), Sides.second.size());
        for (auto* Side : {&Sides.first, &Sides.second}) {
            std::sort(Side->begin(), Side->end());
            if (Heaviest) std::reverse(Side->begin(), Side->end());
            for (std::size_t i = 0; i < Side->size(); ++i) Total += (*Side)[i], Matched += i < k ? (*Side)[i] : 0;
        }
    }
    return Matched / Total;
}

class CliOverlap : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::WriteLines(Work.File("cm.txt"),
                            {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t60\t6\t0\t1",
                             "2\tNormal\t70\t14\t0\t1", "3\tNormal\t100\t10\t0\t1", "4\tNormal\t240\t24\t0\t1"});
        const TRun R = Run("generate --casemix cm.txt --ordays 2 --loads 0.5,0.75 --per-load 2 --out inst");
        ASSERT_EQ(R.Code, 0) << R.Err;
        for (const char* Name : {"0.5_1", "0.5_2", "0.75_1", "0.75_2"}) {
            Instances.push_back("inst/ordays_2_load_" + std::string(Name) + ".txt");
            Files += " " + Instances.back();
        }
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
    // The printed matrix (the first N lines): %.5f entries, symmetric, zero diagonal.
    static std::vector<TLines> Matrix(const TLines& Lines, std::size_t N)
    {
        std::vector<TLines> M;
        for (std::size_t i = 0; i < N; ++i) M.push_back(Split(Lines.at(i), '\t'));
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j) {
                EXPECT_TRUE(M[i].size() == N && M[i].at(j).size() == 7 && M[i][j][1] == '.') << Lines[i];
                EXPECT_EQ(M[i].at(j), i == j ? "0.00000" : M[j].at(i));
            }
        return M;
    }
    double Expected(std::size_t a, std::size_t b, bool Deterministic, bool Heaviest = true) const
    {
        return ClassOverlap(Means(Work.File(Instances[a])), Means(Work.File(Instances[b])), Deterministic, Heaviest);
    }
    testing::TTempDir Work, Capture;
    TLines Instances;
    std::string Files;
};

TEST_F(CliOverlap, PrintsTheMatrixOfTheLargestHeaviestMatchings)
{
    for (bool Deterministic : {true, false}) {
        const TRun R = Run(std::string("overlap --casemix cm.txt") + (Deterministic ? " --deterministic" : "") + Files);
        ASSERT_EQ(R.Code, 0) << R.Err;
        const TLines Lines = Split(R.Out, '\n');
        ASSERT_EQ(Lines.size(), 4u);
        const auto M = Matrix(Lines, 4);
        for (std::size_t a = 0; a < 4; ++a)
            for (std::size_t b = a + 1; b < 4; ++b)
                EXPECT_NEAR(std::stod(M[a][b]), Expected(a, b, Deterministic), 5.1e-6) << a << " " << b;
    }
    // Through the LP solver: also a largest matching, any of its weights.
    const TRun S = Run("overlap --casemix cm.txt --deterministic --engine solver" + Files.substr(0, Files.rfind(' ')));
    ASSERT_EQ(S.Code, 0) << S.Err;
    const auto M = Matrix(Split(S.Out, '\n'), 3);
    for (std::size_t a = 0; a < 3; ++a)
        for (std::size_t b = a + 1; b < 3; ++b) {
            EXPECT_LE(std::stod(M[a][b]), Expected(a, b, true) + 5.1e-6) << a << " " << b;
            EXPECT_GE(std::stod(M[a][b]), Expected(a, b, true, false) - 5.1e-6) << a << " " << b;
        }
}

TEST_F(CliOverlap, SelectPrintsTheBestPairAndWritesTheReport)
{
    const TRun R = Run("overlap --casemix cm.txt --deterministic --select 2 --report rep.txt" + Files);
    ASSERT_EQ(R.Code, 0) << R.Err;
    const TLines Lines = Split(R.Out, '\n');
    ASSERT_EQ(Lines.size(), 6u);
    const auto M = Matrix(Lines, 4);
    // The first pair (in position order) with the smallest overlap.
    std::size_t Best[2] = {0, 1};
    for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = a + 1; b < 4; ++b)
            if (Expected(a, b, true) < Expected(Best[0], Best[1], true) - 1e-9) Best[0] = a, Best[1] = b;
    EXPECT_EQ(Lines[4], "chosen: " + std::to_string(Best[0]) + " " + std::to_string(Best[1]));
    EXPECT_EQ(Lines[5], "max overlap: " + M[Best[0]][Best[1]]);

    std::string Report = "Overlap between 4 instances:\r\n";
    for (std::size_t i = 0; i < 4; ++i) Report += Lines[i] + "\r\n";
    Report += "\r\n" + M[Best[0]][Best[1]] + "\tMaximum overlap\r\n\r\n\r\nOverlap between remaining 2 instances:\r\n";
    for (std::size_t i : Best) Report += M[i][Best[0]] + "\t" + M[i][Best[1]] + "\t\r\n";
    EXPECT_EQ(ReadAll(Work.File("rep.txt")), Report);
    for (const std::string& Instance : Instances) EXPECT_TRUE(fs::exists(Work.File(Instance))) << Instance;
    EXPECT_EQ(std::distance(fs::directory_iterator(Work.File("inst")), {}), 4);
}

TEST_F(CliOverlap, SelectingAllOrNoneOfTheInstances)
{
    const TRun All = Run("overlap --casemix cm.txt --select 4 --report rep.txt" + Files);
    EXPECT_EQ(All.Code, 3);
    EXPECT_EQ(All.Err, "Cannot select 4 of 4 instances\n");
    const TLines Lines = Split(All.Out, '\n');
    ASSERT_EQ(Lines.size(), 4u);
    const auto M = Matrix(Lines, 4);
    std::string Largest = "0.00000";
    for (const TLines& Row : M)
        for (const std::string& Entry : Row) Largest = std::max(Largest, Entry);  // same width: text order is numeric
    std::string Report = "Overlap between 4 instances:\r\n";
    for (const std::string& Line : Lines) Report += Line + "\r\n";
    EXPECT_EQ(ReadAll(Work.File("rep.txt")), Report + "\r\n" + Largest + "\tMaximum overlap\r\n");

    const TRun None = Run("overlap --casemix cm.txt --select 0" + Files);  // refused before anything is read
    EXPECT_EQ(None.Code, 1);
    EXPECT_EQ(None.Err, "orbench-cli: --select 0: must be at least 1\n");
    EXPECT_EQ(None.Out, "");
}

TEST_F(CliOverlap, ForeignCaseMixAndUnknownEngineAreRefused)
{
    std::string Text = ReadAll(Work.File(Instances[1]));
    Text.replace(Text.find("cm\tcase mix name"), 2, "other");
    std::ofstream(Work.File("foreign.txt"), std::ios::binary) << Text;
    const TRun Foreign = Run("overlap --casemix cm.txt " + Instances[0] + " foreign.txt");
    EXPECT_EQ(Foreign.Code, 1);
    EXPECT_EQ(Foreign.Err, "orbench-cli: foreign.txt: Error! Cannot find case mix with name: other\n");
    EXPECT_EQ(Foreign.Out, "");

    const TRun Bogus = Run("overlap --casemix cm.txt --engine bogus" + Files);
    EXPECT_EQ(Bogus.Code, 1);
    EXPECT_EQ(std::count(Bogus.Err.begin(), Bogus.Err.end(), '\n'), 1) << Bogus.Err;
    EXPECT_EQ(Bogus.Out, "");
}

}  // namespace
}  // namespace orbench
