#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "OrbenchError.h"
#include "Overlap.h"
#include "Selection.h"

namespace orbench {
namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point Start) { return std::chrono::duration<double>(TClock::now() - Start).count(); }

DoubDoubArray RandomMatrix(int N, unsigned Seed)
{
    std::mt19937 Rng(Seed);
    std::uniform_real_distribution<double> U(0, 1);
    DoubDoubArray O(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
    for (std::size_t i = 0; i < O.size(); ++i)
        for (std::size_t j = i + 1; j < O.size(); ++j) O[i][j] = O[j][i] = U(Rng);
    return O;
}

// Asks for a stop from its StopAtCall-th call on, or once Delay has passed since its creation;
// records whether it was always asked on the thread that made it, and when the stop was first
// answered.
struct TStopAfter {
    TStopAfter(int StopAtCall, double Delay) : StopAtCall(StopAtCall), Delay(Delay) {}
    std::function<bool()> Function()
    {
        return [this] {
            Calls++;
            OnCaller = OnCaller && std::this_thread::get_id() == Caller;
            if (Calls < StopAtCall && SecondsSince(Start) < Delay) return false;
            if (!Asked) Asked = true, AskedAt = TClock::now();
            return true;
        };
    }
    int StopAtCall;
    double Delay;
    TClock::time_point Start = TClock::now(), AskedAt;
    std::thread::id Caller = std::this_thread::get_id();
    bool OnCaller = true, Asked = false;
    int Calls = 0;
};

class StopRequests : public ::testing::Test {
protected:
    // Instances of about 100 surgeries from 40 Normal types, the same for every test.
    void MakeInstances(int Count)
    {
        std::mt19937 Rng(7);
        std::uniform_real_distribution<double> Mean(60, 300), Cv(0.1, 0.5);
        for (int t = 0; t < 40; ++t) {
            auto D = std::make_unique<TDistribution>(Data.GenerateObjectID.GetUniqueID());
            const double m = Mean(Rng) / 1440;
            D->DistributionType = dNormal, D->UnitOfParameters = uDays, D->P1 = m, D->P2 = m * Cv(Rng);
            D->CalculateExpected(), D->CalculateVariance();
            CM.SurgeryTypes.push_back(std::make_unique<TSurgeryType>(&Data, &CM, std::move(D)));
            CM.SurgeryTypes.back()->RelFrequency = 1.0 / 40;
        }
        ASSERT_TRUE(CM.GenerateInstances({1.0}, 0, Count, 40, 0.05, false, "", false));
    }
    TData Data;
    TCaseMix CM{&Data, 0, 480};
};

// How soon a stop must end the work here: long before the work itself would end, also in a
// sanitizer build on a busy machine. The promise of two seconds is measured by the benchmark.
constexpr double StoppedBound = 10.0;

// A stop asked at the first question (after some 50 ms of work, while the workers run) ends a
// long analysis soon after with either engine. The question is always asked on the caller's
// thread, and nothing half computed is left behind.
TEST_F(StopRequests, AnalysisEndsWithEitherEngine)
{
    MakeInstances(600);
    for (const TOverlapEngine Engine : {TOverlapEngine::oeExact, TOverlapEngine::oeSolver}) {
        SCOPED_TRACE(Engine == TOverlapEngine::oeExact ? "exact" : "solver");
        TStopAfter Stop(1, 1e9);
        TOverlapSettings Settings(Engine, 2);
        Settings.StopRequested = Stop.Function();
        int Rows = 0;
        DoubDoubArray O;
        EXPECT_THROW(AnalyzeOverlap(CM.Instances, 0.01, O, true, Settings, [&](int, int) { ++Rows; }), EStopRequested);
        EXPECT_TRUE(Stop.Asked && Stop.OnCaller);
        EXPECT_LT(SecondsSince(Stop.AskedAt), StoppedBound);
        EXPECT_TRUE(O == DoubDoubArray(600, DoubArray(600, 0.0)));
        EXPECT_LT(Rows, 599);
    }
}

// A stop asked during a long selection (the exact engine's clique search on 200 random
// instances, the solver engine's MIP on 60) ends it soon after, leaving X and ObjVal untouched.
TEST_F(StopRequests, SelectionEndsWithEitherEngine)
{
    for (const auto& [Engine, N, y] :
         {std::tuple{TOverlapEngine::oeExact, 200, 40}, std::tuple{TOverlapEngine::oeSolver, 60, 20}}) {
        SCOPED_TRACE(Engine == TOverlapEngine::oeExact ? "exact" : "solver");
        const DoubDoubArray O = RandomMatrix(N, 1);
        TStopAfter Stop(1000000, 0.2);
        TOverlapSettings Settings(Engine);
        Settings.StopRequested = Stop.Function();
        DoubArray X = {5};
        double ObjVal = -1;
        EXPECT_THROW(SelectMinOverlapInstances(O, N, y, X, ObjVal, Settings), EStopRequested);
        EXPECT_TRUE(Stop.Asked && Stop.OnCaller);
        EXPECT_LT(SecondsSince(Stop.AskedAt), StoppedBound);
        EXPECT_EQ(X, DoubArray{5});
        EXPECT_EQ(ObjVal, -1);
    }
}

// Past the time limit the search returns the best set found so far, flagged as not proven
// optimal; a search that ends in time is proven.
TEST_F(StopRequests, TimeLimitGivesTheBestSetFoundUnproven)
{
    for (const auto& [Engine, N, y, Proven] :
         {std::tuple{TOverlapEngine::oeExact, 200, 40, false}, std::tuple{TOverlapEngine::oeExact, 12, 4, true},
          std::tuple{TOverlapEngine::oeSolver, 60, 20, false}}) {
        SCOPED_TRACE(::testing::Message() << N << (Engine == TOverlapEngine::oeExact ? " exact" : " solver"));
        const DoubDoubArray O = RandomMatrix(N, 2);
        TOverlapSettings Settings(Engine);
        Settings.SelectionTimeLimitSeconds = Engine == TOverlapEngine::oeExact ? 0.3 : 1;
        DoubArray X;
        double ObjVal = -1;
        bool IsProven = !Proven;
        ASSERT_TRUE(SelectMinOverlapInstances(O, N, y, X, ObjVal, Settings, &IsProven));
        EXPECT_EQ(IsProven, Proven);
        std::vector<int> Chosen;
        for (int i = 0; i < N; ++i)
            if (X[1 + static_cast<std::size_t>(i)] == 1) Chosen.push_back(i);
        ASSERT_EQ(static_cast<int>(Chosen.size()), y);
        double Largest = 0;
        for (int i : Chosen)
            for (int j : Chosen)
                Largest = std::max(Largest, O[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        EXPECT_EQ(X[0], Largest);
        EXPECT_EQ(ObjVal, Largest);
        if (Proven) {
            DoubArray Exact;
            double ExactValue = 0;
            ASSERT_TRUE(SelectMinOverlapInstances(O, N, y, Exact, ExactValue));
            EXPECT_EQ(X, Exact);
        }
    }
}

}  // namespace
}  // namespace orbench
