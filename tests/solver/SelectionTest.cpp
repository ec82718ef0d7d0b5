#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "Selection.h"

namespace orbench {
namespace {

using TSet = std::vector<int>;

// The largest of 0, the diagonal entries of the members and both entries of each pair of members.
double SetValue(const DoubDoubArray& O, const TSet& S)
{
    double Value = 0;
    for (int i : S)
        for (int j : S) Value = std::max(Value, O[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
    return Value;
}

// The y-subsets of 0 .. N - 1 in lexicographic order of their ascending position lists.
void ForEachSubset(int N, int y, const std::function<void(const TSet&)>& Visit, TSet S = {})
{
    if (static_cast<int>(S.size()) == y) return Visit(S);
    for (int i = S.empty() ? 0 : S.back() + 1; i < N; ++i) {
        S.push_back(i);
        ForEachSubset(N, y, Visit, S);
        S.pop_back();
    }
}

// The optimal value, and the lexicographically first set reaching it.
std::pair<double, TSet> BruteForce(const DoubDoubArray& O, int N, int y)
{
    std::pair<double, TSet> Best{1e300, {}};
    ForEachSubset(N, y, [&](const TSet& S) {
        if (const double v = SetValue(O, S); v < Best.first) Best = {v, S};
    });
    return Best;
}

// Checks the layout of a returned solution and gives the chosen positions.
TSet CheckSolution(const DoubArray& X, double ObjVal, int N, int y)
{
    const std::size_t n = static_cast<std::size_t>(N);
    EXPECT_EQ(X.size(), n * n + n + 1);
    if (X.size() != n * n + n + 1) return {};
    EXPECT_NEAR(ObjVal, X[0], 1e-9);
    TSet Chosen;
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_TRUE(std::abs(X[1 + i]) < 1e-9 || std::abs(X[1 + i] - 1) < 1e-9) << X[1 + i];
        if (X[1 + i] > 0.5) Chosen.push_back(static_cast<int>(i));
        for (std::size_t j = 0; j < n; ++j)
            EXPECT_NEAR(X[1 + n + i * n + j], X[1 + i] * X[1 + j], 1e-9) << i << " " << j;
    }
    EXPECT_EQ(static_cast<int>(Chosen.size()), y);
    return Chosen;
}

DoubDoubArray RandomMatrix(std::mt19937& Rng, int N, int Kind)
{
    const double Few[] = {0.1, 0.2, 0.3};
    std::uniform_real_distribution<double> U(0, 1);
    DoubDoubArray O(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
    for (std::size_t i = 0; i < O.size(); ++i)
        for (std::size_t j = 0; j < O.size(); ++j) {
            if (Kind == 2)
                O[i][j] = i == j ? U(Rng) / 2 : U(Rng);  // both triangles and the diagonal differ
            else if (i < j)
                O[i][j] = O[j][i] = Kind == 0 ? Few[Rng() % 3] : U(Rng);
        }
    return O;
}

// Every y from 0 (nothing chosen, overlap 0) and 1 (the first position, with a zero diagonal) to N - 1.
TEST(Selection, BothEnginesReachTheBruteForceOptimum)
{
    std::mt19937 Rng(99);
    for (int N = 2; N <= 8; ++N)
        for (int Kind = 0; Kind < 3; ++Kind) {
            const DoubDoubArray O = RandomMatrix(Rng, N, Kind);
            for (int y = 0; y < N; ++y) {
                SCOPED_TRACE(::testing::Message() << "N " << N << " kind " << Kind << " y " << y);
                const auto [Optimum, First] = BruteForce(O, N, y);
                DoubArray X;
                double ObjVal = -1;
                ASSERT_TRUE(SelectMinOverlapInstances(O, N, y, X, ObjVal));
                EXPECT_EQ(ObjVal, Optimum);
                EXPECT_EQ(CheckSolution(X, ObjVal, N, y), First);

                ASSERT_TRUE(SelectMinOverlapInstances(O, N, y, X, ObjVal, TOverlapEngine::oeSolver));
                EXPECT_NEAR(X[0], Optimum, 1e-9);
                const TSet Chosen = CheckSolution(X, ObjVal, N, y);
                EXPECT_EQ(SetValue(O, Chosen), Optimum);
            }
        }
}

TEST(Selection, RefusesToChooseAllInstancesOrMore)
{
    const DoubDoubArray O = {{0, 0.3, 0.2}, {0.3, 0, 0.1}, {0.2, 0.1, 0}};
    for (TOverlapEngine Engine : {TOverlapEngine::oeExact, TOverlapEngine::oeSolver})
        for (int y : {3, 4}) {
            DoubArray X = {9};
            double ObjVal = -1;
            EXPECT_FALSE(SelectMinOverlapInstances(O, 3, y, X, ObjVal, Engine));
            EXPECT_EQ(X, DoubArray{9});
            EXPECT_EQ(ObjVal, -1);
        }
}

// A long search is followed: nothing in the first seconds, then a line every few seconds with the
// best set's overlap, the bound and the gap.
TEST(Selection, ReporterSpeaksFromItsFirstMomentOnAtItsInterval)
{
    double Now = 100;
    std::vector<std::string> Lines;
    TSelectionReporter Report([&Lines](const std::string& Line) { Lines.push_back(Line); }, [&Now] { return Now; });
    for (const double T : {100.0, 105.0, 109.9, 110.0, 112.0, 114.9, 115.0, 131.0}) Now = T, Report(0.41234, 0.38);
    EXPECT_EQ(Lines, (std::vector<std::string>{
                         "selecting for 10 s: the best set found has the largest overlap 0.41234, no set can have less "
                         "than 0.38000 (gap 0.03234)",
                         "selecting for 15 s: the best set found has the largest overlap 0.41234, no set can have less "
                         "than 0.38000 (gap 0.03234)",
                         "selecting for 31 s: the best set found has the largest overlap 0.41234, no set can have less "
                         "than 0.38000 (gap 0.03234)"}));
}

}  // namespace
}  // namespace orbench
