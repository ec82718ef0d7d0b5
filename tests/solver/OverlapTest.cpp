#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>

#include "ExactMatching.h"
#include "ExactSum.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "Selection.h"

namespace orbench {
namespace {

// A Normal type with parameters in days: Expected is exactly Mean.
TSurgeryType* AddType(TCaseMix& CM, double Mean, double CoefVar)
{
    auto D = std::make_unique<TDistribution>(CM.Data->GenerateObjectID.GetUniqueID());
    D->DistributionType = dNormal, D->UnitOfParameters = uDays, D->P1 = Mean, D->P2 = Mean * CoefVar;
    D->CalculateExpected(), D->CalculateVariance();
    auto& T = CM.SurgeryTypes.emplace_back(std::make_unique<TSurgeryType>(CM.Data, &CM, std::move(D)));
    T->RelFrequency = 1;
    return T.get();
}

TInstance* AddInstance(TCaseMix& CM, const std::vector<TSurgeryType*>& Types)
{
    TInstance* Instance = CM.CreateAndAddInstance(0, 0, 1);
    for (TSurgeryType* T : Types) Instance->Surgeries.push_back(std::make_unique<TSurgery>(T, CM.Data));
    return Instance;
}

TSurgeryGroups GroupsOf(const TInstance& Instance)
{
    TSurgeryGroups G;
    std::vector<const TSurgeryType*> Seen;
    for (const auto& S : Instance.Surgeries) {
        TDistribution& D = *S->SurgeryType->Distribution;
        const auto g = static_cast<std::size_t>(std::find(Seen.begin(), Seen.end(), S->SurgeryType) - Seen.begin());
        if (g == Seen.size())
            Seen.push_back(S->SurgeryType), G.Expected.push_back(D.Expected), G.CoefVar.push_back(D.CalculateCoefVar()),
                G.Count.push_back(0);
        ++G.Count[g];
        G.GroupOfSurgery.push_back(static_cast<int>(g));
        G.TotalExpected += D.Expected;
    }
    return G;
}

// Over all matchings of proximal surgery pairs: the largest size, and the smallest and largest
// matched expected duration among the matchings of that size.
struct TBest {
    int Size = -1;
    double Min = 0, Max = 0;
};

void Enumerate(const TSurgeryGroups& A, const TSurgeryGroups& B, const DoubDoubArray& P, std::size_t i, unsigned Used,
               int Size, double Weight, TBest& Best)
{
    if (i == P.size()) {
        if (Size > Best.Size)
            Best = {Size, Weight, Weight};
        else if (Size == Best.Size)
            Best.Min = std::min(Best.Min, Weight), Best.Max = std::max(Best.Max, Weight);
        return;
    }
    Enumerate(A, B, P, i + 1, Used, Size, Weight, Best);
    for (std::size_t j = 0; j < P[i].size(); ++j)
        if (P[i][j] == 1 && !(Used >> j & 1u))
            Enumerate(A, B, P, i + 1, Used | 1u << j, Size + 1,
                      Weight + A.Expected[static_cast<std::size_t>(A.GroupOfSurgery[i])] +
                          B.Expected[static_cast<std::size_t>(B.GroupOfSurgery[j])],
                      Best);
}

DoubDoubArray Proximity(const TSurgeryGroups& A, const TSurgeryGroups& B, bool Deterministic, double Eps)
{
    DoubDoubArray P(A.GroupOfSurgery.size(), DoubArray(B.GroupOfSurgery.size(), 0.0));
    for (std::size_t i = 0; i < P.size(); ++i)
        for (std::size_t j = 0; j < P[i].size(); ++j) {
            const auto g = static_cast<std::size_t>(A.GroupOfSurgery[i]),
                       h = static_cast<std::size_t>(B.GroupOfSurgery[j]);
            const double dE = A.Expected[g] - B.Expected[h], dC = A.CoefVar[g] - B.CoefVar[h];
            P[i][j] = (Deterministic ? std::abs(dE) : std::sqrt(dC * dC + dE * dE)) < Eps ? 1 : 0;
        }
    return P;
}

double PairOverlap(TInstance* A, TInstance* B, double Eps, bool Deterministic, TOverlapEngine Engine)
{
    TInstanceList List(false);
    List.Add(A), List.Add(B);
    DoubDoubArray O;
    AnalyzeOverlap(List, Eps, O, Deterministic, {Engine, 1});
    EXPECT_EQ(O, (DoubDoubArray{{0, O[0][1]}, {O[0][1], 0}}));
    return O[0][1];
}

std::uint64_t Bits(double Value) { return std::bit_cast<std::uint64_t>(Value); }

// The exact sum of the terms rounded once (half to even), in any order of the terms; never -0.
// The fixed-point sums the analysis uses agree with it to the bit.
TEST(ExactSum, CorrectlyRoundedWhateverTheOrder)
{
    const double Ulp = std::ldexp(1.0, -52);
    const std::vector<std::pair<std::vector<double>, double>> Cases = {
        {{}, 0.0},
        {std::vector<double>(10, 0.1), 1.0},  // a plain running sum gives 0.9999999999999999
        {{1e100, 1.0, -1e100}, 1.0},
        {{1.0, Ulp / 2}, 1.0},                               // halfway, to even below
        {{1.0 + Ulp, Ulp / 2}, 1.0 + 2 * Ulp},               // halfway, to even above
        {{1.0, Ulp / 2, std::ldexp(1.0, -106)}, 1.0 + Ulp},  // just past halfway
        {{0.25, -0.25, -0.0}, 0.0},
    };
    for (const auto& [Terms, Expected] : Cases) {
        std::vector<double> Order = Terms;
        std::sort(Order.begin(), Order.end());
        do {
            TExactSum Sum;
            for (double t : Order) Sum.Add(t);
            EXPECT_EQ(Bits(Sum.Value()), Bits(Expected))
                << Order.size() << " terms, first " << (Order.empty() ? 0 : Order[0]);
        } while (std::next_permutation(Order.begin(), Order.end()));
    }

    // Terms over most of the range of doubles need far more partials than terms of one scale: 101
    // powers of two 20 apart, in either order, copied and added as a sum; the tail below 2^947 (half
    // an ulp of 2^1000) rounds away.
    const double Expected = std::ldexp(1.0, 1000) + std::ldexp(1.0, 980) + std::ldexp(1.0, 960);
    for (const bool Ascending : {true, false}) {
        TExactSum Sum;
        for (int e = -1000; e <= 1000; e += 20) Sum.Add(std::ldexp(1.0, Ascending ? e : -e));
        const TExactSum Copy = Sum;
        TExactSum Twice;
        Twice.Add(Copy);
        Twice.Add(Sum);
        EXPECT_EQ(Bits(Copy.Value()), Bits(Expected));
        EXPECT_EQ(Bits(Twice.Value()), Bits(2 * Expected));
    }

    std::mt19937 Rng(5);
    std::uniform_real_distribution<double> Days(1e-4, 1.0);
    for (int Round = 0; Round < 2000; ++Round) {
        std::vector<double> Values(1 + Rng() % 50);
        std::vector<int> Counts(Values.size());
        for (std::size_t k = 0; k < Values.size(); ++k)
            Values[k] = Days(Rng), Counts[k] = 1 + static_cast<int>(Rng() % 7);
        const int Exponent = FixedExponentFor(Values.data(), Values.size(), 16);
        ASSERT_NE(Exponent, NoFixedExponent);
        TExactSum Sum;
        TWideInt Fixed = 0;
        for (std::size_t k = 0; k < Values.size(); ++k) {
            Sum.AddMultiple(Counts[k], Values[k]);
            Fixed += static_cast<TWideInt>(Counts[k]) * ToFixed(Values[k], Exponent);
        }
        ASSERT_EQ(Bits(FixedToDouble(Fixed, Exponent)), Bits(Sum.Value())) << Round;
    }
}

TEST(ExactMatching, AgreesWithBruteForceAndTheSolverOnRandomPairs)
{
    std::mt19937 Rng(2024);
    std::uniform_real_distribution<double> Mean(0.02, 0.2), Cv(0.05, 0.5);
    TExactMatcher Matcher;
    for (int Round = 0; Round < 60; ++Round) {
        TData Data;
        TCaseMix CM(&Data, 0, 480);
        std::vector<TSurgeryType*> Types;
        for (unsigned t = 0, n = 2 + Rng() % 4; t < n; ++t) Types.push_back(AddType(CM, Mean(Rng), Cv(Rng)));
        TInstance* Pair[2];
        for (TInstance*& I : Pair) {
            std::vector<TSurgeryType*> Drawn(2 + Rng() % 6);
            for (auto& T : Drawn) T = Types[Rng() % Types.size()];
            I = AddInstance(CM, Drawn);
        }
        const TSurgeryGroups A = GroupsOf(*Pair[0]), B = GroupsOf(*Pair[1]);
        const double Total = A.TotalExpected + B.TotalExpected;
        for (bool Deterministic : {true, false})
            for (double Eps : {0.02, 0.05, 0.12, 0.3}) {
                SCOPED_TRACE(::testing::Message() << "round " << Round << " det " << Deterministic << " eps " << Eps);
                const DoubDoubArray P = Proximity(A, B, Deterministic, Eps);
                TBest Best;
                Enumerate(A, B, P, 0, 0, 0, 0, Best);
                int Size = -1;
                EXPECT_NEAR(Matcher.MatchedExpected(A, B, Deterministic, Eps, &Size), Best.Max, 1e-12);
                EXPECT_EQ(Size, Best.Size);
                double ObjVal = -1;
                DoubArray X;
                ASSERT_TRUE(SolveMatchingNxM(P, ObjVal, X));
                EXPECT_NEAR(ObjVal, Best.Size, 1e-9);

                EXPECT_NEAR(PairOverlap(Pair[0], Pair[1], Eps, Deterministic, TOverlapEngine::oeExact),
                            Best.Max / Total, 1e-12);
                // The solver finds some maximum matching, not necessarily the heaviest one.
                const double Solver = PairOverlap(Pair[0], Pair[1], Eps, Deterministic, TOverlapEngine::oeSolver);
                EXPECT_GE(Solver, Best.Min / Total - 1e-12);
                EXPECT_LE(Solver, Best.Max / Total + 1e-12);
            }
    }
}

// The index must give, for every later instance, exactly the group pairs the proximity test
// accepts, by whichever route it finds them: the grid (stochastic, wide epsilon), the sweep in
// place of a grid that would have far more cells than types (stochastic, epsilon 0.002 over the
// unit square: about 250000 cells for 120 types), and the sweep of the deterministic distance.
// The types crowd around a few centres, so that many pairs lie near the epsilon boundary.
TEST(ProximityIndex, RowEdgesAreExactlyTheProximalGroupPairs)
{
    std::mt19937 Rng(7);
    std::uniform_real_distribution<double> Unit(0, 1);
    for (const auto& [Deterministic, Eps] : {std::pair{false, 0.1}, std::pair{false, 0.002}, std::pair{true, 0.002}}) {
        SCOPED_TRACE(::testing::Message() << "det " << Deterministic << " eps " << Eps);
        const int NumTypes = 120;
        std::vector<double> Expected, CoefVar;
        for (int t = 0; t < NumTypes; ++t) {
            const double Centre = 0.2 * static_cast<double>(t % 5);
            Expected.push_back(Centre + Eps * (2 * Unit(Rng) - 1));
            CoefVar.push_back(Centre + Eps * (2 * Unit(Rng) - 1));
        }
        std::vector<TSurgeryGroups> Instances(6);
        for (TSurgeryGroups& I : Instances)
            for (int t = 0; t < NumTypes; ++t)
                if (Rng() % 3 == 0) {
                    I.Expected.push_back(Expected[static_cast<std::size_t>(t)]);
                    I.CoefVar.push_back(CoefVar[static_cast<std::size_t>(t)]);
                    I.Count.push_back(1);
                    I.TypeOfGroup.push_back(t);
                }
        const TProximityIndex Index(Instances, NumTypes, Deterministic, Eps);
        TRowEdges Edges;
        std::size_t Found = 0;
        for (std::size_t a = 0; a + 1 < Instances.size(); ++a) {
            Index.RowEdges(static_cast<int>(a), Edges);
            for (std::size_t b = a + 1; b < Instances.size(); ++b) {
                const TSurgeryGroups &A = Instances[a], &B = Instances[b];
                std::vector<std::pair<int, int>> Expect, Got;
                for (std::size_t g = 0; g < A.Expected.size(); ++g)
                    for (std::size_t h = 0; h < B.Expected.size(); ++h)
                        if (IsProximalMoments(A.Expected[g], A.CoefVar[g], B.Expected[h], B.CoefVar[h], Deterministic,
                                              Eps))
                            Expect.emplace_back(static_cast<int>(g), static_cast<int>(h));
                for (int k = Edges.Start[b]; k < Edges.Start[b + 1]; ++k)
                    Got.emplace_back(Edges.Left[static_cast<std::size_t>(k)], Edges.Right[static_cast<std::size_t>(k)]);
                std::sort(Got.begin(), Got.end());
                EXPECT_EQ(Got, Expect) << "instances " << a << " and " << b;
                Found += Expect.size();
            }
        }
        EXPECT_GT(Found, 100u);  // the cases are not empty
    }
}

class OverlapAnalysis : public ::testing::Test {
protected:
    TData Data;
    TCaseMix CM{&Data, 0, 480};
};

TEST_F(OverlapAnalysis, ListsOfFewerThanTwoGiveZeroMatricesAndNoRows)
{
    int Rows = 0;
    const auto Count = [&](int, int) { ++Rows; };
    DoubDoubArray O = {{5}};
    AnalyzeOverlap(CM.Instances, 0.01, O, true, {}, Count);
    EXPECT_TRUE(O.empty());
    AddInstance(CM, {AddType(CM, 0.1, 0.2)});
    AnalyzeOverlap(CM.Instances, 0.01, O, false, {TOverlapEngine::oeSolver, 1}, Count);
    EXPECT_EQ(O, DoubDoubArray{{0.0}});
    EXPECT_EQ(Rows, 0);
}

TEST_F(OverlapAnalysis, ProximityAndMatchingEdgeCases)
{
    TSurgeryType* Half = AddType(CM, 0.5, 0.1);
    TSurgeryType* Quarter = AddType(CM, 0.25, 0.1);
    TSurgeryType* Calm = AddType(CM, 0.1, 0.1);
    TSurgeryType* Wild = AddType(CM, 0.1, 0.3);
    TInstance* Mixed = AddInstance(CM, {Half, Quarter, Half});
    TInstance* Shuffled = AddInstance(CM, {Quarter, Half, Half});
    TInstance* OneHalf = AddInstance(CM, {Half});
    TInstance* OneQuarter = AddInstance(CM, {Quarter});
    TInstance* ThreeHalves = AddInstance(CM, {Half, Half, Half});
    TInstance* OneCalm = AddInstance(CM, {Calm});
    TInstance* OneWild = AddInstance(CM, {Wild});
    TInstance* Empty = AddInstance(CM, {});
    TInstance* AlsoEmpty = AddInstance(CM, {});

    for (TOverlapEngine Engine : {TOverlapEngine::oeExact, TOverlapEngine::oeSolver}) {
        SCOPED_TRACE(Engine == TOverlapEngine::oeExact ? "exact" : "solver");
        for (bool Deterministic : {true, false}) {
            EXPECT_EQ(PairOverlap(Mixed, Shuffled, 1e-6, Deterministic, Engine), 1);
            EXPECT_EQ(PairOverlap(Mixed, Shuffled, 0, Deterministic, Engine), 0);
            EXPECT_EQ(PairOverlap(ThreeHalves, OneHalf, 0.01, Deterministic, Engine), 0.5);  // 2E / 4E
            EXPECT_EQ(PairOverlap(Empty, AlsoEmpty, 0.01, Deterministic, Engine), 0);
            EXPECT_EQ(PairOverlap(Empty, OneHalf, 0.01, Deterministic, Engine), 0);
        }
        // 0.5 - 0.25 is exactly 0.25: not closer than 0.25.
        EXPECT_EQ(PairOverlap(OneHalf, OneQuarter, 0.25, true, Engine), 0);
        EXPECT_EQ(PairOverlap(OneHalf, OneQuarter, 0.2500001, true, Engine), 1);
        // Equal means, coefficients of variation 0.1 and 0.3 apart by 0.2.
        EXPECT_EQ(PairOverlap(OneCalm, OneWild, 0.1, true, Engine), 1);
        EXPECT_EQ(PairOverlap(OneCalm, OneWild, 0.1, false, Engine), 0);
        EXPECT_EQ(PairOverlap(OneCalm, OneWild, 0.25, false, Engine), 1);
    }
    EXPECT_FALSE(IsProximal(*Half->Distribution, *Quarter->Distribution, true, 0.25));
    EXPECT_TRUE(IsProximal(*Half->Distribution, *Quarter->Distribution, true, 0.2500001));
    EXPECT_TRUE(IsProximal(*Calm->Distribution, *Wild->Distribution, true, 0.01));
    EXPECT_FALSE(IsProximal(*Calm->Distribution, *Wild->Distribution, false, 0.19));
    EXPECT_TRUE(IsProximal(*Calm->Distribution, *Wild->Distribution, false, 0.21));
}

// Matched and total are exact sums: identical instances overlap exactly 1 whatever the order of
// their surgeries, and largest matchings with the same matched durations give the same value to
// the bit, with either engine and in any order of the surgeries.
TEST_F(OverlapAnalysis, ExactSumsGiveOneForIdenticalInstancesAndEqualValuesForTiedMatchings)
{
    std::mt19937 Rng(31);
    std::uniform_real_distribution<double> Mean(0.01, 0.3), Cv(0.05, 0.5), Far(0.5, 0.9);
    const TOverlapEngine Engines[] = {TOverlapEngine::oeExact, TOverlapEngine::oeSolver};
    for (int Round = 0; Round < 30; ++Round) {
        SCOPED_TRACE(Round);
        std::vector<TSurgeryType*> Types;
        for (int t = 0; t < 30; ++t) Types.push_back(AddType(CM, Mean(Rng), Cv(Rng)));
        std::vector<TSurgeryType*> Drawn(5 + Rng() % 40);
        for (auto& T : Drawn) T = Types[Rng() % Types.size()];
        TInstance* A = AddInstance(CM, Drawn);
        std::shuffle(Drawn.begin(), Drawn.end(), Rng);
        TInstance* Same = AddInstance(CM, Drawn);
        for (TOverlapEngine Engine : Engines)
            for (bool Deterministic : {true, false}) EXPECT_EQ(PairOverlap(A, Same, 1e-9, Deterministic, Engine), 1.0);

        // Twin types of one mean both fit b1 (deterministic distance, epsilon 0.01): every
        // largest matching pairs one twin with b1 and a3 with b2. Far types stay unmatched.
        const double x = Mean(Rng), z = x + 0.05 + Mean(Rng);
        TSurgeryType* Twin1 = AddType(CM, x, 0.1);
        TSurgeryType* Twin2 = AddType(CM, x, 0.3);
        std::vector<TSurgeryType*> Left = {Twin1, Twin2, AddType(CM, z, 0.2), AddType(CM, Far(Rng), 0.2),
                                           AddType(CM, Far(Rng), 0.2)};
        std::vector<TSurgeryType*> Right = {AddType(CM, x + 0.004, 0.2), AddType(CM, z - 0.003, 0.2),
                                            AddType(CM, Far(Rng) + 1, 0.2)};
        const double Expected = PairOverlap(AddInstance(CM, Left), AddInstance(CM, Right), 0.01, true, Engines[0]);
        EXPECT_GT(Expected, 0);
        for (int Shuffle = 0; Shuffle < 4; ++Shuffle) {
            std::shuffle(Left.begin(), Left.end(), Rng);
            std::shuffle(Right.begin(), Right.end(), Rng);
            TInstance* L = AddInstance(CM, Left);
            TInstance* R = AddInstance(CM, Right);
            for (TOverlapEngine Engine : Engines)
                EXPECT_EQ(Bits(PairOverlap(L, R, 0.01, true, Engine)), Bits(Expected));
        }
    }
}

class GeneratedOverlap : public OverlapAnalysis {
protected:
    void SetUp() override
    {
        const double Means[] = {60, 75, 90, 120, 180, 240}, Cvs[] = {0.1, 0.3, 0.2, 0.5, 0.25, 0.15};
        for (int t = 0; t < 6; ++t) AddType(CM, Means[t] / 1440, Cvs[t]);
        ASSERT_TRUE(CM.GenerateInstances({0.8, 1.0}, 0, 6, 2, 0.05, false, "", false));
        ASSERT_EQ(CM.Instances.Count(), 12);
    }
};

TEST_F(GeneratedOverlap, ThreadsDoNotChangeTheMatrixAndExactDominatesSolver)
{
    for (bool Deterministic : {true, false}) {
        DoubDoubArray M[2][2];  // [exact, solver][1 thread, 4 threads]
        for (int e = 0; e < 2; ++e)
            for (int t = 0; t < 2; ++t)
                AnalyzeOverlap(CM.Instances, Deterministic ? 0.01 : 0.12, M[e][t], Deterministic,
                               {e == 0 ? TOverlapEngine::oeExact : TOverlapEngine::oeSolver, t == 0 ? 1 : 4});
        EXPECT_EQ(M[0][0], M[0][1]);
        EXPECT_EQ(M[1][0], M[1][1]);
        const DoubDoubArray &Exact = M[0][0], &Solver = M[1][0];
        ASSERT_EQ(Exact.size(), 12u);
        int Positive = 0;
        for (std::size_t a = 0; a < 12; ++a)
            for (std::size_t b = 0; b < 12; ++b) {
                EXPECT_EQ(Exact[a][b], a == b ? 0 : Exact[b][a]);
                EXPECT_EQ(Solver[a][b], Solver[b][a]);
                EXPECT_TRUE(Exact[a][b] <= 1 && Solver[a][b] >= 0 && Exact[a][b] >= Solver[a][b] - 1e-12)
                    << a << " " << b;
                Positive += Exact[a][b] > 0;
            }
        EXPECT_GT(Positive, 60);  // the instances do share work
    }
}

TEST_F(GeneratedOverlap, RowsAreReportedInOrderOnTheCallingThread)
{
    DoubDoubArray Final;
    AnalyzeOverlap(CM.Instances, 0.01, Final, true, {TOverlapEngine::oeExact, 1});
    std::vector<int> Rows;
    DoubDoubArray O;
    const std::thread::id Caller = std::this_thread::get_id();
    AnalyzeOverlap(CM.Instances, 0.01, O, true, {TOverlapEngine::oeExact, 4}, [&](int Row, int LastRow) {
        EXPECT_EQ(std::this_thread::get_id(), Caller);
        EXPECT_EQ(LastRow, 10);
        for (std::size_t b = static_cast<std::size_t>(Row) + 1; b < 12; ++b)
            EXPECT_EQ(O[static_cast<std::size_t>(Row)][b], Final[static_cast<std::size_t>(Row)][b]) << Row << " " << b;
        Rows.push_back(Row);
    });
    EXPECT_EQ(Rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    struct TStop {};
    for (int Threads : {1, 4}) {
        int Calls = 0;
        EXPECT_THROW(AnalyzeOverlap(CM.Instances, 0.01, O, true, {TOverlapEngine::oeExact, Threads},
                                    [&](int Row, int) {
                                        ++Calls;
                                        if (Row == 2) throw TStop();
                                    }),
                     TStop);
        EXPECT_EQ(Calls, 3) << Threads;
    }
}

TEST_F(OverlapAnalysis, SolverPathRefusesWhileTheSolverIsClosed)
{
    TSurgeryType* T = AddType(CM, 0.1, 0.2);
    AddInstance(CM, {T, T});
    AddInstance(CM, {T});
    struct TReopen {
        ~TReopen() { OpenSolverEnvironment(); }
    } Reopen;
    CloseSolverEnvironment();

    double ObjVal = -7;
    DoubArray X = {3, 4};
    EXPECT_FALSE(SolveMatchingNxM({{1, 0}, {1, 1}}, ObjVal, X));
    EXPECT_FALSE(SelectMinOverlapInstances({{0, 0.5}, {0.5, 0}}, 2, 1, X, ObjVal, TOverlapEngine::oeSolver));
    EXPECT_EQ(ObjVal, -7);
    EXPECT_EQ(X, (DoubArray{3, 4}));
    DoubDoubArray O;
    try {
        AnalyzeOverlap(CM.Instances, 0.01, O, true, {TOverlapEngine::oeSolver, 1});
        ADD_FAILURE() << "no error";
    } catch (const EOrbenchError& Error) {
        EXPECT_NE(std::string(Error.what()).find("instances 0 and 1"), std::string::npos) << Error.what();
    }
    AnalyzeOverlap(CM.Instances, 0.01, O, true, {TOverlapEngine::oeExact, 1});
    ASSERT_EQ(O.size(), 2u);
    EXPECT_NEAR(O[0][1], 2.0 / 3, 1e-12);  // one pair of the three surgeries
    EXPECT_TRUE(SelectMinOverlapInstances(O, 2, 1, X, ObjVal));
}

}  // namespace
}  // namespace orbench
