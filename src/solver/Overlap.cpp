#include "Overlap.h"

#include <unordered_map>

#include "ExactMatching.h"
#include "OrbenchError.h"
#include "PairRunner.h"

namespace orbench {

namespace {

// Solution values above this count as a matched pair; below it they are solver round-off.
constexpr double MatchedValue = 1e-9;

TSurgeryGroups GroupSurgeries(const TInstance& Instance, bool DeterministicDistance, double EpsilonDist,
                              std::unordered_map<const TSurgeryType*, double>& CoefVarOfType)
{
    TSurgeryGroups Groups;
    std::unordered_map<const TSurgeryType*, int> GroupOfType;
    GroupOfType.reserve(Instance.Surgeries.size());
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
    SortGroups(Groups);
    if (!DeterministicDistance) IndexGroups(Groups, EpsilonDist);
    return Groups;
}

std::string PairError(int a, int b, const std::string& What)
{
    return "The overlap of instances " + std::to_string(a) + " and " + std::to_string(b) +
           " could not be computed: " + What;
}

// The matched expected durations of a pair through the matching LP: the proximity matrix, the
// LP, and the surgeries of every matched pair read from the solution.
void SolverMatched(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance, double EpsilonDist,
                   int a, int b, const TSolveControl& Control, TExactSum& Matched)
{
    Matched.Clear();
    const std::size_t N = A.GroupOfSurgery.size();
    const std::size_t M = B.GroupOfSurgery.size();
    if (N == 0 || M == 0) return;  // nothing can be matched
    if (!SolverEnvironmentIsOpen())
        throw EOrbenchError(PairError(a, b, SolveStatusText(TSolveStatus::ssNotCreated) + "."));
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
    std::vector<std::size_t> ColumnOf;
    const TLinearProgram P = BuildSparseMatchingModel(Proximity, ColumnOf);
    if (P.NumCols == 0) return;
    DoubArray X;
    double Objective = 0;
    const TSolveStatus Status = SolveLinearProgram(P, X, Objective, Control);
    if (Status == TSolveStatus::ssStopped) throw EStopRequested();
    if (Status == TSolveStatus::ssNotCreated)
        throw EOrbenchError(PairError(a, b, SolveStatusText(Status) + "."));
    if (Status != TSolveStatus::ssOptimal)
        throw EOrbenchError(PairError(a, b, "the matching problem was not solved (" + SolveStatusText(Status) + ")."));
    for (std::size_t c = 0; c < ColumnOf.size(); ++c) {
        if (X[c] <= MatchedValue) continue;
        Matched.Add(A.Expected[static_cast<std::size_t>(A.GroupOfSurgery[ColumnOf[c] / M])]);
        Matched.Add(B.Expected[static_cast<std::size_t>(B.GroupOfSurgery[ColumnOf[c] % M])]);
    }
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

namespace {

// Both matching models: every column, or only those of nonzero weight.
TLinearProgram BuildMatching(const DoubDoubArray& Weights, bool Sparse, std::vector<std::size_t>* ColumnOf)
{
    const int N = static_cast<int>(Weights.size());
    const int M = N == 0 ? 0 : static_cast<int>(Weights[0].size());
    TLinearProgram P;
    P.Name = "MatchingILP.lp";
    P.NumRows = N + M;
    P.ObjSense = -1;
    P.Rhs.assign(static_cast<std::size_t>(P.NumRows), 1.0);
    P.Sense.assign(static_cast<std::size_t>(P.NumRows), 'L');
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < M; ++j) {
            const double w = Weights[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            if (Sparse && w == 0) continue;
            if (ColumnOf != nullptr)
                ColumnOf->push_back(static_cast<std::size_t>(i) * static_cast<std::size_t>(M) +
                                    static_cast<std::size_t>(j));
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
    P.NumCols = static_cast<int>(P.Obj.size());
    return P;
}

}  // namespace

TLinearProgram BuildMatchingModel(const DoubDoubArray& Weights) { return BuildMatching(Weights, false, nullptr); }

TLinearProgram BuildSparseMatchingModel(const DoubDoubArray& Weights, std::vector<std::size_t>& ColumnOf)
{
    ColumnOf.clear();
    return BuildMatching(Weights, true, &ColumnOf);
}

bool SolveMatchingNxM(const DoubDoubArray& Weights, double& ObjVal, DoubArray& X, const TSolveControl& Control)
{
    if (!SolverEnvironmentIsOpen()) return false;
    std::vector<std::size_t> ColumnOf;
    const TLinearProgram P = BuildSparseMatchingModel(Weights, ColumnOf);
    DoubArray Solution;
    double Objective = 0;
    const TSolveStatus Status = SolveLinearProgram(P, Solution, Objective, Control);
    if (Status == TSolveStatus::ssNotCreated) return false;
    if (Status == TSolveStatus::ssStopped) throw EStopRequested();
    if (Status != TSolveStatus::ssOptimal)
        throw EOrbenchError("the matching problem was not solved (" + SolveStatusText(Status) + ").");
    const std::size_t N = Weights.size();
    const std::size_t M = N == 0 ? 0 : Weights[0].size();
    X.assign(N * M, 0.0);
    for (std::size_t c = 0; c < ColumnOf.size(); ++c) X[ColumnOf[c]] = Solution[c];
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
    double Work = 0;
    for (const TInstance* Instance : List) {
        Groups.push_back(GroupSurgeries(*Instance, DeterministicDistance, EpsilonDist, CoefVarOfType));
        Work += static_cast<double>(Groups.back().Expected.size());
    }

    const bool Solver = Settings.Engine == TOverlapEngine::oeSolver;
    TPairRunner Runner(N, Settings);
    // A pair of the exact engine takes microseconds: small matrices are not worth a thread.
    Runner.SetInline(!Solver && Work * (N - 1) < 4e5);
    Runner.SetChunk(Solver ? 1 : 16);
    std::vector<TExactMatcher> Matchers(static_cast<std::size_t>(Runner.Workers()));
    std::vector<TExactSum> MatchedSums(static_cast<std::size_t>(Runner.Workers()));
    TSolveControl Control;
    Control.Stop = &Runner.StopFlag();

    try {
        Runner.Run(
            [&](int a, int b, int Worker) {
                const TSurgeryGroups& A = Groups[static_cast<std::size_t>(a)];
                const TSurgeryGroups& B = Groups[static_cast<std::size_t>(b)];
                TExactSum& Matched = MatchedSums[static_cast<std::size_t>(Worker)];
                if (Solver)
                    SolverMatched(A, B, DeterministicDistance, EpsilonDist, a, b, Control, Matched);
                else
                    Matchers[static_cast<std::size_t>(Worker)].Match(A, B, DeterministicDistance, EpsilonDist, Matched);
                TExactSum Total = A.ExactTotal;
                Total.Add(B.ExactTotal);
                const double T = Total.Value();
                const double Value = T == 0 ? 0.0 : Matched.Value() / T;
                Overlap[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] = Value;
                Overlap[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = Value;
            },
            RowDone);
    } catch (...) {
        Overlap.assign(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
        throw;
    }
}

}  // namespace orbench
