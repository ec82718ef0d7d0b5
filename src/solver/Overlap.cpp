// The steps of an overlap analysis (AnalyzeOverlap); what it computes and why it is correct is told
// at the top of Overlap.h.
//
//   1. GroupSurgeries: each instance's surgeries grouped by type, the types numbered across the
//      analysis by TPointerNumbers, each type's coefficient of variation computed once, here, so
//      that the workers only read.
//   2. SetFixedScale: one fixed-point scale for the expected durations when they allow it.
//   3. Exact engine: TProximityIndex::Build finds the proximal type pairs once; the pair runner
//      hands out whole rows, each begun by RowEdges (the row's proximal group pairs) and each pair
//      solved by TExactMatcher::MatchEdges on its slice of them. Small analyses run on the
//      caller's thread alone.
//   4. Solver engine: SolverMatched per pair, one pair at a time per worker: the surgeries'
//      proximity matrix, the sparse matching LP, and the matched surgeries' durations summed
//      exactly.
//   5. Store: Matched / Total into both (a, b) and (b, a); on any error the matrix is zeroed.
//
// See docs/engines.md, "Overlap of two instances".

#include "Overlap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "ExactMatching.h"
#include "OrbenchError.h"
#include "PairRunner.h"

namespace orbench {

namespace {

// Solution values above this count as a matched pair; below it they are solver round-off.
constexpr double MatchedValue = 1e-9;

// Numbers for pointers, in the order they are first seen: an open-addressing table, far cheaper
// than a node-based map for the many short-lived lookups of grouping.
class TPointerNumbers {
public:
    void Clear(std::size_t Expected)
    {
        std::size_t Capacity = 16;
        while (Capacity < 2 * Expected) Capacity *= 2;
        if (FKeys.size() < Capacity) {
            FKeys.assign(Capacity, nullptr);
            FValues.assign(Capacity, 0);
        } else {
            for (std::size_t Slot : FUsed) FKeys[Slot] = nullptr;
        }
        FUsed.clear();
    }
    std::size_t Size() const { return FUsed.size(); }
    // The number of Key, and whether it was new (numbered Size() - 1).
    std::pair<int, bool> Number(const void* Key)
    {
        if (2 * (FUsed.size() + 1) > FKeys.size()) Grow();
        const std::size_t Mask = FKeys.size() - 1;
        std::size_t Slot = Hash(Key) & Mask;
        while (FKeys[Slot] != nullptr) {
            if (FKeys[Slot] == Key) return {FValues[Slot], false};
            Slot = (Slot + 1) & Mask;
        }
        FKeys[Slot] = Key;
        FValues[Slot] = static_cast<int>(FUsed.size());
        FUsed.push_back(Slot);
        return {FValues[Slot], true};
    }

private:
    static std::size_t Hash(const void* Key)
    {
        return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(Key) >> 4) * 0x9E3779B97F4A7C15ULL >> 17);
    }
    void Grow()
    {
        std::vector<const void*> Keys(FKeys.size() * 2, nullptr);
        std::vector<int> Values(Keys.size(), 0);
        std::vector<std::size_t> Used;
        const std::size_t Mask = Keys.size() - 1;
        for (std::size_t Old : FUsed) {
            std::size_t Slot = Hash(FKeys[Old]) & Mask;
            while (Keys[Slot] != nullptr) Slot = (Slot + 1) & Mask;
            Keys[Slot] = FKeys[Old];
            Values[Slot] = FValues[Old];
            Used.push_back(Slot);
        }
        FKeys.swap(Keys);
        FValues.swap(Values);
        FUsed.swap(Used);
    }

    std::vector<const void*> FKeys = std::vector<const void*>(16, nullptr);
    std::vector<int> FValues = std::vector<int>(16, 0);
    std::vector<std::size_t> FUsed;  // occupied slots, in numbering order
};

// The surgeries of an instance grouped by type, each group with the number of its surgery type
// among all types of the analysis (Types numbers them as they appear; CoefVars holds their
// coefficients of variation, refreshed once per type).
// Groups is filled anew, keeping the memory of its lists.
void GroupSurgeries(const TInstance& Instance, bool DeterministicDistance, TPointerNumbers& Types,
                    std::vector<double>& CoefVars, TPointerNumbers& GroupOfType, TSurgeryGroups& Groups)
{
    Groups.Expected.clear();
    Groups.CoefVar.clear();
    Groups.Count.clear();
    Groups.GroupOfSurgery.clear();
    Groups.TotalExpected = 0;
    Groups.TypeOfGroup.clear();
    Groups.FixedExponent = NoFixedExponent;
    Groups.FixedExpected.clear();
    Groups.FixedTotal = 0;
    const std::size_t Surgeries = Instance.Surgeries.size();
    GroupOfType.Clear(Surgeries);
    Groups.GroupOfSurgery.reserve(Surgeries);
    Groups.Expected.reserve(Surgeries);
    Groups.CoefVar.reserve(Surgeries);
    Groups.Count.reserve(Surgeries);
    Groups.TypeOfGroup.reserve(Surgeries);
    for (const auto& Surgery : Instance.Surgeries) {
        const TSurgeryType* Type = Surgery->SurgeryType;
        const auto [Group, NewGroup] = GroupOfType.Number(Type);
        if (NewGroup) {
            const auto [Number, NewType] = Types.Number(Type);
            if (NewType) CoefVars.push_back(DeterministicDistance ? 0.0 : Type->Distribution->CalculateCoefVar());
            Groups.Expected.push_back(Type->Distribution->Expected);
            Groups.CoefVar.push_back(CoefVars[static_cast<std::size_t>(Number)]);
            Groups.Count.push_back(0);
            Groups.TypeOfGroup.push_back(Number);
        }
        ++Groups.Count[static_cast<std::size_t>(Group)];
        Groups.GroupOfSurgery.push_back(Group);
    }
    for (int g : Groups.GroupOfSurgery) Groups.TotalExpected += Groups.Expected[static_cast<std::size_t>(g)];
    SortGroups(Groups, false);  // the exact total comes with the fixed-point scale, or instead of it
}

// What an analysis builds besides its results. Kept for the next analysis on the same thread, so
// that the lists keep their memory from one analysis to the next.
struct TAnalysisBuffers {
    TPointerNumbers Types;
    TPointerNumbers GroupOfType;
    std::vector<double> CoefVars;
    std::vector<TSurgeryGroups> Groups;
    std::vector<TExactMatcher> Matchers;  // one per worker
    std::vector<TRowEdges> RowEdges;
    std::vector<TExactSum> MatchedSums;
    TProximityIndex Index;
};

// The buffers of the thread, or fresh ones for an analysis begun while another one on this thread
// is still running (from its row callback).
class TAnalysisBuffersLease {
public:
    TAnalysisBuffersLease() : FBuffers(InUse() ? FOwn.emplace() : Kept()) { InUse() = true; }
    ~TAnalysisBuffersLease()
    {
        if (!FOwn) InUse() = false;
    }
    TAnalysisBuffersLease(const TAnalysisBuffersLease&) = delete;
    TAnalysisBuffersLease& operator=(const TAnalysisBuffersLease&) = delete;
    TAnalysisBuffers& operator*() const { return FBuffers; }

private:
    static TAnalysisBuffers& Kept()
    {
        thread_local TAnalysisBuffers Buffers;
        return Buffers;
    }
    static bool& InUse()
    {
        thread_local bool Leased = false;
        return Leased;
    }

    std::optional<TAnalysisBuffers> FOwn;
    TAnalysisBuffers& FBuffers;
};

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
    if (Status == TSolveStatus::ssNotCreated) throw EOrbenchError(PairError(a, b, SolveStatusText(Status) + "."));
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
    if (Text == "exact")
        Engine = TOverlapEngine::oeExact;
    else if (Text == "solver")
        Engine = TOverlapEngine::oeSolver;
    else
        return false;
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

    const TAnalysisBuffersLease Lease;
    TAnalysisBuffers& Buffers = *Lease;
    // The moments are refreshed here, once per surgery type, so that the workers only read.
    TPointerNumbers& Types = Buffers.Types;
    std::size_t AllSurgeries = 0;
    for (const TInstance* Instance : List) AllSurgeries += Instance->Surgeries.size();
    Types.Clear(AllSurgeries);
    std::vector<double>& CoefVars = Buffers.CoefVars;
    CoefVars.clear();
    CoefVars.reserve(AllSurgeries);
    std::vector<TSurgeryGroups>& Groups = Buffers.Groups;
    Groups.resize(static_cast<std::size_t>(N));
    double Work = 0;
    for (int i = 0; i < N; ++i) {
        TSurgeryGroups& Instance = Groups[static_cast<std::size_t>(i)];
        GroupSurgeries(*List[i], DeterministicDistance, Types, CoefVars, Buffers.GroupOfType, Instance);
        Work += static_cast<double>(Instance.Expected.size());
    }

    const bool Solver = Settings.Engine == TOverlapEngine::oeSolver;
    TPairRunner Runner(N, Settings);
    // A pair of the exact engine takes microseconds: small matrices are not worth a thread.
    Runner.SetInline(!Solver && Work * (N - 1) < 4e5);
    // The exact engine takes whole rows, whose proximal group pairs it finds at once.
    Runner.SetChunk(Solver ? 1 : 0);
    const std::size_t Workers = static_cast<std::size_t>(Runner.Workers());
    std::vector<TExactMatcher>& Matchers = Buffers.Matchers;
    std::vector<TRowEdges>& RowEdges = Buffers.RowEdges;
    std::vector<TExactSum>& MatchedSums = Buffers.MatchedSums;
    if (Matchers.size() < Workers) Matchers.resize(Workers);
    if (RowEdges.size() < Workers) RowEdges.resize(Workers);
    if (MatchedSums.size() < Workers) MatchedSums.resize(Workers);
    SetFixedScale(Groups);
    TSolveControl Control;
    Control.Stop = &Runner.StopFlag();
    TProximityIndex* Index = nullptr;
    if (!Solver) {
        Index = &Buffers.Index;
        Index->Build(Groups, static_cast<int>(Types.Size()), DeterministicDistance, EpsilonDist);
    }

    const auto Store = [&Overlap](int a, int b, double Matched, double Total) {
        const double Value = Total == 0 ? 0.0 : Matched / Total;
        Overlap[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] = Value;
        Overlap[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = Value;
    };
    try {
        Runner.Run(
            [&](int a, int b, int Worker) {
                const TSurgeryGroups& A = Groups[static_cast<std::size_t>(a)];
                const TSurgeryGroups& B = Groups[static_cast<std::size_t>(b)];
                const std::size_t w = static_cast<std::size_t>(Worker);
                if (Solver) {
                    SolverMatched(A, B, DeterministicDistance, EpsilonDist, a, b, Control, MatchedSums[w]);
                    Store(a, b, MatchedSums[w].Value(), PairTotal(A, B));
                } else {
                    const TRowEdges& Edges = RowEdges[w];
                    const int First = Edges.Start[static_cast<std::size_t>(b)];
                    const int Count = Edges.Start[static_cast<std::size_t>(b) + 1] - First;
                    double Matched = 0;
                    double Total = 0;
                    Matchers[w].MatchEdges(A, B, Edges.Left.data() + First, Edges.Right.data() + First, Count, Matched,
                                           Total);
                    Store(a, b, Matched, Total);
                }
            },
            RowDone,
            [&](int a, int Worker) {
                if (Index) Index->RowEdges(a, RowEdges[static_cast<std::size_t>(Worker)]);
            });
    } catch (...) {
        Overlap.assign(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
        throw;
    }
}

}  // namespace orbench
