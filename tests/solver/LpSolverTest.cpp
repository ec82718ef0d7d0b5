#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>

#include "Overlap.h"
#include "Selection.h"

namespace orbench {
namespace {

// Whether x satisfies the bounds and every row of the program.
bool Feasible(const TLinearProgram& P, const DoubArray& x)
{
    DoubArray Activity(static_cast<std::size_t>(P.NumRows), 0.0);
    for (std::size_t c = 0; c < x.size(); ++c) {
        if (x[c] < P.Lb[c] - 1e-12 || x[c] > P.Ub[c] + 1e-12) return false;
        for (int k = 0; k < P.MatCnt[c]; ++k) {
            const std::size_t e = static_cast<std::size_t>(P.MatBeg[c] + k);
            Activity[static_cast<std::size_t>(P.MatInd[e])] += P.MatVal[e] * x[c];
        }
    }
    for (std::size_t r = 0; r < Activity.size(); ++r)
        if ((P.Sense[r] != 'G' && Activity[r] > P.Rhs[r] + 1e-12) ||
            (P.Sense[r] != 'L' && Activity[r] < P.Rhs[r] - 1e-12))
            return false;
    return true;
}

TEST(MatchingModel, HasOneBoundedColumnPerPairAndOneRowPerSurgery)
{
    const DoubDoubArray W = {{1, 0, 1}, {0, 1, 1}};
    const TLinearProgram P = BuildMatchingModel(W);
    ASSERT_EQ(P.NumCols, 6);
    ASSERT_EQ(P.NumRows, 5);
    EXPECT_EQ(P.ObjSense, -1);
    EXPECT_EQ(P.Sense, std::vector<char>(5, 'L'));
    EXPECT_EQ(P.Rhs, DoubArray(5, 1.0));
    EXPECT_EQ(P.Obj, (DoubArray{1, 0, 1, 0, 1, 1}));
    EXPECT_EQ(P.Ub, P.Obj);
    EXPECT_EQ(P.Lb, DoubArray(6, 0.0));
    for (int c = 0; c < 6; ++c) {  // row i, then row 2 + j
        ASSERT_EQ(P.MatCnt[static_cast<std::size_t>(c)], 2);
        const auto e = static_cast<std::size_t>(P.MatBeg[static_cast<std::size_t>(c)]);
        EXPECT_EQ((IntArray{P.MatInd[e], P.MatInd[e + 1]}), (IntArray{c / 3, 2 + c % 3})) << c;
        EXPECT_EQ((DoubArray{P.MatVal[e], P.MatVal[e + 1]}), (DoubArray{1, 1})) << c;
    }
    EXPECT_EQ(BuildMatchingModel({}).NumCols + BuildMatchingModel({}).NumRows, 0);
}

// The LP without the columns of weight 0 is the same LP: the same objective on random pairs, and
// a solution that leaves every pair of weight 0 unmatched.
TEST(MatchingModel, SparseAndFullModelsGiveTheSameObjective)
{
    std::mt19937 Rng(11);
    for (int Round = 0; Round < 40; ++Round) {
        const std::size_t N = 1 + Rng() % 12, M = 1 + Rng() % 12;
        const unsigned Density = 1 + Rng() % 9;  // in tenths
        DoubDoubArray W(N, DoubArray(M, 0.0));
        for (auto& Row : W)
            for (double& w : Row) w = Rng() % 10 < Density ? 1 : 0;
        std::vector<std::size_t> ColumnOf;
        const TLinearProgram Sparse = BuildSparseMatchingModel(W, ColumnOf);
        ASSERT_EQ(ColumnOf.size(), static_cast<std::size_t>(Sparse.NumCols));
        for (std::size_t c = 0; c < ColumnOf.size(); ++c) EXPECT_EQ(W[ColumnOf[c] / M][ColumnOf[c] % M], 1);
        DoubArray Full;
        double FullObjective = -1;
        ASSERT_EQ(SolveLinearProgram(BuildMatchingModel(W), Full, FullObjective), TSolveStatus::ssOptimal);
        DoubArray X;
        double Objective = -1;
        ASSERT_TRUE(SolveMatchingNxM(W, Objective, X));
        EXPECT_NEAR(Objective, FullObjective, 1e-9) << Round;
        ASSERT_EQ(X.size(), N * M);
        for (std::size_t k = 0; k < X.size(); ++k)
            if (W[k / M][k % M] == 0) {
                EXPECT_EQ(X[k], 0) << Round;
            }
    }
}

TEST(MinOverlapModel, HasTheDocumentedShape)
{
    const int N = 3, NN = N * N;
    const TLinearProgram P = BuildMinOverlapModel({{0, 0.25, 0.1}, {0.25, 0, 0.4}, {0.1, 0.4, 0}}, N, 2);
    ASSERT_EQ(P.NumCols, NN + N + 1);
    ASSERT_EQ(P.NumRows, 4 * NN + 1);
    ASSERT_EQ(P.MatInd.size(), 9u * NN);
    EXPECT_EQ(P.ObjSense, 1);
    DoubArray Obj(13, 0.0);  // minimise z
    std::vector<char> Types(13, 'B');
    Obj[0] = 1, Types[0] = 'C';
    EXPECT_EQ(P.Obj, Obj);
    EXPECT_EQ(P.ColType, Types);
    EXPECT_EQ(P.Ub[0], 2147483647.0);
    EXPECT_EQ(P.Sense[0], 'E');
    EXPECT_EQ(P.Rhs[0], 2);
    for (int r = 1; r < P.NumRows; ++r) {
        const bool Third = r > 2 * NN && r <= 3 * NN;
        EXPECT_EQ(P.Sense[static_cast<std::size_t>(r)], Third ? 'G' : 'L') << r;
        EXPECT_EQ(P.Rhs[static_cast<std::size_t>(r)], Third ? -1 : 0) << r;
    }
    const auto Entries = [&](int c) {  // (row, value) of column c, in stored order
        std::vector<std::pair<int, double>> E;
        for (int k = 0; k < P.MatCnt[static_cast<std::size_t>(c)]; ++k) {
            const auto e = static_cast<std::size_t>(P.MatBeg[static_cast<std::size_t>(c)] + k);
            E.emplace_back(P.MatInd[e], P.MatVal[e]);
        }
        return E;
    };
    std::vector<std::pair<int, double>> Z;
    for (int r = 0; r < NN; ++r) Z.emplace_back(1 + 3 * NN + r, -1);
    EXPECT_EQ(Entries(0), Z);
    // s(1): row 0, its first-block row (1, j), second-block rows (p, 1), third-block rows touching 1.
    EXPECT_EQ(Entries(2), (std::vector<std::pair<int, double>>{{0, 1},
                                                               {4, -1},
                                                               {5, -1},
                                                               {6, -1},
                                                               {11, -1},
                                                               {14, -1},
                                                               {17, -1},
                                                               {20, -1},
                                                               {22, -1},
                                                               {23, -2},
                                                               {24, -1},
                                                               {26, -1}}));
    // b(1, 2): its row in each block, the overlap in the last.
    EXPECT_EQ(Entries(1 + N + 1 * N + 2), (std::vector<std::pair<int, double>>{{6, 1}, {15, 1}, {24, 1}, {33, 0.4}}));
}

// Every 0/1 choice of s and b: feasible exactly when y instances are chosen and b(i, j) = s(i) s(j),
// with z at the largest overlap of a chosen pair (both triangles and the diagonal) and not below.
TEST(MinOverlapModel, FeasibleSetIsExactlyTheChoicesOfYInstances)
{
    const int N = 3, y = 2;
    const DoubDoubArray O = {{0.05, 0.25, 0.1}, {0.3, 0, 0.4}, {0.1, 0.2, 0.15}};
    const TLinearProgram P = BuildMinOverlapModel(O, N, y);
    int FeasibleChoices = 0;
    for (unsigned s = 0; s < 1u << N; ++s)
        for (unsigned b = 0; b < 1u << (N * N); ++b) {
            DoubArray x(static_cast<std::size_t>(P.NumCols), 0.0);
            double z = 0;
            bool Product = true;
            for (int i = 0; i < N; ++i) {
                x[1 + static_cast<std::size_t>(i)] = s >> i & 1u;
                for (int j = 0; j < N; ++j) {
                    const bool bij = b >> (i * N + j) & 1u;
                    x[static_cast<std::size_t>(1 + N + i * N + j)] = bij;
                    if (bij) z = std::max(z, O[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
                    Product = Product && bij == ((s >> i & 1u) && (s >> j & 1u));
                }
            }
            x[0] = z;
            const bool Expected = std::popcount(s) == y && Product;
            ASSERT_EQ(Feasible(P, x), Expected) << s << " " << b;
            FeasibleChoices += Expected;
            if (Expected && z > 0) {
                x[0] = z - 0.01;
                EXPECT_FALSE(Feasible(P, x)) << s;
            }
        }
    EXPECT_EQ(FeasibleChoices, 3);
}

}  // namespace
}  // namespace orbench
