#include "Overlap.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "ExactMatching.h"
#include "OrbenchError.h"

namespace orbench {

namespace {

// Solution values above this count as a matched pair; below it they are solver round-off.
constexpr double MatchedValue = 1e-9;

TSurgeryGroups GroupSurgeries(const TInstance& Instance, bool DeterministicDistance,
                              std::unordered_map<const TSurgeryType*, double>& CoefVarOfType)
{
    TSurgeryGroups Groups;
    std::unordered_map<const TSurgeryType*, int> GroupOfType;
    for (const auto& Surgery : Instance.Surgeries) {
        const TSurgeryType* Type = Surgery->SurgeryType;
        auto [It, Added] = GroupOfType.try_emplace(Type, static_cast<int>(Groups.Count.size()));
        if (Added) {
            double CoefVar = 0;
            if (!DeterministicDistance) {
                auto [Cv, New] = CoefVarOfType.try_emplace(Type, 0.0);
                if (New) Cv->second = Type->Distribution->CalculateCoefVar();
                CoefVar = Cv->second;
            }
            Groups.Expected.push_back(Type->Distribution->Expected);
            Groups.CoefVar.push_back(CoefVar);
            Groups.Count.push_back(0);
        }
        ++Groups.Count[static_cast<std::size_t>(It->second)];
        Groups.GroupOfSurgery.push_back(It->second);
    }
    for (int g : Groups.GroupOfSurgery) Groups.TotalExpected += Groups.Expected[static_cast<std::size_t>(g)];
    return Groups;
}

// The overlap of a pair through the matching LP: the proximity matrix, the LP, and the matched
// expected durations read from the solution in row-major order.
double SolverOverlap(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance, double EpsilonDist,
                     int a, int b)
{
    const std::size_t N = A.GroupOfSurgery.size();
    const std::size_t M = B.GroupOfSurgery.size();
    const double Total = A.TotalExpected + B.TotalExpected;
    if (N == 0 || M == 0) return 0;  // nothing can be matched
    DoubDoubArray Proximity(N, DoubArray(M, 0.0));
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t g = static_cast<std::size_t>(A.GroupOfSurgery[i]);
        for (std::size_t j = 0; j < M; ++j) {
            const std::size_t h = static_cast<std::size_t>(B.GroupOfSurgery[j]);
            if (IsProximalMoments(A.Expected[g], A.CoefVar[g], B.Expected[h], B.CoefVar[h], DeterministicDistance,
                                  EpsilonDist))
                Proximity[i][j] = 1.0;
        }
    }
    double ObjVal = 0;
    DoubArray X;
    bool Solved = false;
    try {
        Solved = SolveMatchingNxM(Proximity, ObjVal, X);
    } catch (const EOrbenchError& Error) {
        throw EOrbenchError("The overlap of instances " + std::to_string(a) + " and " + std::to_string(b) +
                            " could not be computed: " + Error.what());
    }
    if (!Solved)
        throw EOrbenchError("The overlap of instances " + std::to_string(a) + " and " + std::to_string(b) +
                            " could not be computed: " + SolveStatusText(TSolveStatus::ssNotCreated) + ".");
    double Matched = 0;
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = 0; j < M; ++j) {
            if (X[i * M + j] > MatchedValue) {
                Matched += A.Expected[static_cast<std::size_t>(A.GroupOfSurgery[i])];
                Matched += B.Expected[static_cast<std::size_t>(B.GroupOfSurgery[j])];
            }
        }
    }
    return Total == 0 ? 0 : Matched / Total;
}

// Runs Pair(a, b, Worker) for every a < b, on Threads workers, and RowDone(a) on the calling
// thread once row a is complete, rows in order.
void ForEachPairByRows(int N, int Threads, const std::function<void(int, int, int)>& Pair,
                       const TOverlapRowDone& RowDone)
{
    if (N < 2) return;
    const int LastRow = N - 2;
    const long long NumPairs = static_cast<long long>(N) * (N - 1) / 2;
    Threads = static_cast<int>(std::min<long long>(Threads, NumPairs));
    if (Threads <= 1) {
        for (int a = 0; a <= LastRow; ++a) {
            for (int b = a + 1; b < N; ++b) Pair(a, b, 0);
            if (RowDone) RowDone(a, LastRow);
        }
        return;
    }

    std::vector<std::pair<int, int>> Pairs;
    Pairs.reserve(static_cast<std::size_t>(NumPairs));
    for (int a = 0; a <= LastRow; ++a)
        for (int b = a + 1; b < N; ++b) Pairs.emplace_back(a, b);
    std::vector<int> Remaining(static_cast<std::size_t>(LastRow) + 1);
    for (int a = 0; a <= LastRow; ++a) Remaining[static_cast<std::size_t>(a)] = N - 1 - a;

    std::atomic<std::size_t> Next{0};
    std::atomic<bool> Abort{false};
    std::mutex Lock;
    std::condition_variable RowFinished;
    std::exception_ptr Error;

    auto Work = [&](int Worker) {
        while (!Abort) {
            const std::size_t k = Next++;
            if (k >= Pairs.size()) break;
            const auto [a, b] = Pairs[k];
            try {
                Pair(a, b, Worker);
            } catch (...) {
                const std::lock_guard<std::mutex> Guard(Lock);
                if (!Error) Error = std::current_exception();
                Abort = true;
                RowFinished.notify_all();
                break;
            }
            const std::lock_guard<std::mutex> Guard(Lock);
            if (--Remaining[static_cast<std::size_t>(a)] == 0) RowFinished.notify_all();
        }
    };
    std::vector<std::thread> Workers;
    for (int w = 0; w < Threads; ++w) Workers.emplace_back(Work, w);
    auto JoinAll = [&] {
        for (std::thread& Worker : Workers)
            if (Worker.joinable()) Worker.join();
    };

    try {
        for (int a = 0; a <= LastRow; ++a) {
            {
                std::unique_lock<std::mutex> Guard(Lock);
                RowFinished.wait(Guard, [&] { return Remaining[static_cast<std::size_t>(a)] == 0 || Abort; });
                if (Abort) break;
            }
            if (RowDone) RowDone(a, LastRow);
        }
    } catch (...) {
        Abort = true;
        JoinAll();
        throw;
    }
    JoinAll();
    if (Error) std::rethrow_exception(Error);
}

}  // namespace

bool TryTextToOverlapEngine(const std::string& Text, TOverlapEngine& Engine)
{
    if (Text == "exact") Engine = TOverlapEngine::oeExact;
    else if (Text == "solver") Engine = TOverlapEngine::oeSolver;
    else return false;
    return true;
}

bool IsProximal(TDistribution& A, TDistribution& B, bool DeterministicDistance, double EpsilonDist)
{
    if (DeterministicDistance) return IsProximalMoments(A.Expected, 0, B.Expected, 0, true, EpsilonDist);
    const double CoefVarA = A.CalculateCoefVar();
    const double CoefVarB = B.CalculateCoefVar();
    return IsProximalMoments(A.Expected, CoefVarA, B.Expected, CoefVarB, false, EpsilonDist);
}

TLinearProgram BuildMatchingModel(const DoubDoubArray& Weights)
{
    const int N = static_cast<int>(Weights.size());
    const int M = N == 0 ? 0 : static_cast<int>(Weights[0].size());
    TLinearProgram P;
    P.Name = "MatchingILP.lp";
    P.NumCols = N * M;
    P.NumRows = N + M;
    P.ObjSense = -1;
    P.Rhs.assign(static_cast<std::size_t>(P.NumRows), 1.0);
    P.Sense.assign(static_cast<std::size_t>(P.NumRows), 'L');
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < M; ++j) {
            const double w = Weights[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            P.Obj.push_back(w);
            P.Lb.push_back(0);
            P.Ub.push_back(w);
            P.MatBeg.push_back(static_cast<int>(P.MatInd.size()));
            P.MatCnt.push_back(2);
            P.MatInd.push_back(i);
            P.MatVal.push_back(1);
            P.MatInd.push_back(N + j);
            P.MatVal.push_back(1);
        }
    }
    return P;
}

bool SolveMatchingNxM(const DoubDoubArray& Weights, double& ObjVal, DoubArray& X)
{
    if (!SolverEnvironmentIsOpen()) return false;
    const TLinearProgram P = BuildMatchingModel(Weights);
    DoubArray Solution;
    double Objective = 0;
    const TSolveStatus Status = SolveLinearProgram(P, Solution, Objective);
    if (Status == TSolveStatus::ssNotCreated) return false;
    if (Status != TSolveStatus::ssOptimal)
        throw EOrbenchError("the matching problem was not solved (" + SolveStatusText(Status) + ").");
    X = std::move(Solution);
    ObjVal = Objective;
    return true;
}

void AnalyzeOverlap(const TInstanceList& List, double EpsilonDist, DoubDoubArray& Overlap, bool DeterministicDistance,
                    const TOverlapSettings& Settings, const TOverlapRowDone& RowDone)
{
    const int N = List.Count();
    Overlap.assign(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
    if (N < 2) return;

    // The moments are refreshed here, once per surgery type, so that the workers only read.
    std::unordered_map<const TSurgeryType*, double> CoefVarOfType;
    std::vector<TSurgeryGroups> Groups;
    Groups.reserve(static_cast<std::size_t>(N));
    for (const TInstance* Instance : List) Groups.push_back(GroupSurgeries(*Instance, DeterministicDistance, CoefVarOfType));

    int Threads = Settings.Threads > 0 ? Settings.Threads : static_cast<int>(std::thread::hardware_concurrency());
    if (Threads < 1) Threads = 1;
    std::vector<TExactMatcher> Matchers(static_cast<std::size_t>(Threads));

    ForEachPairByRows(
        N, Threads,
        [&](int a, int b, int Worker) {
            const TSurgeryGroups& A = Groups[static_cast<std::size_t>(a)];
            const TSurgeryGroups& B = Groups[static_cast<std::size_t>(b)];
            double Value = 0;
            if (Settings.Engine == TOverlapEngine::oeSolver) {
                Value = SolverOverlap(A, B, DeterministicDistance, EpsilonDist, a, b);
            } else {
                const double Total = A.TotalExpected + B.TotalExpected;
                const double Matched =
                    Matchers[static_cast<std::size_t>(Worker)].MatchedExpected(A, B, DeterministicDistance, EpsilonDist);
                Value = Total == 0 ? 0 : Matched / Total;
            }
            Overlap[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] = Value;
            Overlap[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = Value;
        },
        RowDone);
}

}  // namespace orbench
