#include "ExactMatching.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <numeric>

namespace orbench {

namespace {

void SortByExpected(const std::vector<double>& Expected, std::vector<int>& Order)
{
    Order.resize(Expected.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::sort(Order.begin(), Order.end(), [&](int a, int b) {
        const double Ea = Expected[static_cast<std::size_t>(a)];
        const double Eb = Expected[static_cast<std::size_t>(b)];
        return Ea != Eb ? Ea < Eb : a < b;
    });
}

// Counting sort of the edges by one end: Start gets Groups + 1 offsets into Edges.
void Bucket(const int* EndOfEdge, int NumEdges, std::size_t Groups, std::vector<int>& Start, std::vector<int>& Edges)
{
    Start.assign(Groups + 1, 0);
    for (int e = 0; e < NumEdges; ++e) ++Start[static_cast<std::size_t>(EndOfEdge[e]) + 1];
    for (std::size_t g = 0; g < Groups; ++g) Start[g + 1] += Start[g];
    Edges.resize(static_cast<std::size_t>(NumEdges));
    // Each group's start runs on while its edges are placed, and is moved back afterwards.
    for (int e = 0; e < NumEdges; ++e) Edges[static_cast<std::size_t>(Start[static_cast<std::size_t>(EndOfEdge[e])]++)] = e;
    for (std::size_t g = Groups; g > 0; --g) Start[g] = Start[g - 1];
    Start[0] = 0;
}

// The window of moments searched around a surgery type: a little wider than EpsilonDist, so that
// no pair the exact test accepts falls outside through rounding.
double Reach(double EpsilonDist) { return EpsilonDist * (1 + 1e-9); }

// Grid cells (for the stochastic distance) are a little wider than the reach: two moments closer
// than the reach then lie in the same or neighbouring cells even after the rounding of the
// division. Coordinates stay below 2^27 in size, so a row and a column fit in one ordered key.
constexpr double MaxCell = 1e8;
constexpr long long KeyOffset = 1LL << 30;

unsigned long long CellKey(double Row, double Column)
{
    return static_cast<unsigned long long>(static_cast<long long>(Row) + KeyOffset) << 32 |
           static_cast<unsigned long long>(static_cast<long long>(Column) + KeyOffset);
}

}  // namespace

void SortGroups(TSurgeryGroups& Groups)
{
    SortByExpected(Groups.Expected, Groups.ByExpected);
    Groups.ExactTotal.Clear();
    for (std::size_t g = 0; g < Groups.Expected.size(); ++g)
        Groups.ExactTotal.AddMultiple(Groups.Count[g], Groups.Expected[g]);
}

void SetFixedScale(std::vector<TSurgeryGroups>& Instances)
{
    std::vector<double> Values;
    std::size_t Largest = 0;
    for (const TSurgeryGroups& Instance : Instances) {
        Values.insert(Values.end(), Instance.Expected.begin(), Instance.Expected.end());
        Largest = std::max(Largest, Instance.GroupOfSurgery.size());
    }
    // A pair's sums hold at most twice the surgeries of the largest instance.
    const int Headroom = static_cast<int>(std::bit_width(2 * Largest + 1)) + 1;
    const int Exponent = FixedExponentFor(Values.data(), Values.size(), Headroom);
    for (TSurgeryGroups& Instance : Instances) {
        Instance.FixedExponent = Exponent;
        Instance.FixedExpected.clear();
        Instance.FixedTotal = 0;
        if (Exponent == NoFixedExponent) continue;
        for (std::size_t g = 0; g < Instance.Expected.size(); ++g) {
            Instance.FixedExpected.push_back(ToFixed(Instance.Expected[g], Exponent));
            Instance.FixedTotal += static_cast<TWideInt>(Instance.Count[g]) * Instance.FixedExpected.back();
        }
    }
}

bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist)
{
    if (DeterministicDistance) return std::fabs(ExpectedA - ExpectedB) < EpsilonDist;
    const double dCV = CoefVarA - CoefVarB;
    const double dE = ExpectedA - ExpectedB;
    return std::sqrt(dCV * dCV + dE * dE) < EpsilonDist;
}

// ---- TProximityIndex ----

TProximityIndex::TProximityIndex(const std::vector<TSurgeryGroups>& Instances, int NumTypes,
                                 bool DeterministicDistance, double EpsilonDist)
    : FInstances(Instances)
{
    const std::size_t T = static_cast<std::size_t>(NumTypes);
    std::vector<double> Expected(T, 0.0), CoefVar(T, 0.0);
    FPlaceStart.assign(T + 1, 0);
    for (const TSurgeryGroups& Instance : Instances)
        for (std::size_t g = 0; g < Instance.TypeOfGroup.size(); ++g) {
            const std::size_t t = static_cast<std::size_t>(Instance.TypeOfGroup[g]);
            Expected[t] = Instance.Expected[g];
            CoefVar[t] = Instance.CoefVar[g];
            ++FPlaceStart[t + 1];
        }
    for (std::size_t t = 0; t < T; ++t) FPlaceStart[t + 1] += FPlaceStart[t];
    FPlaceInstance.resize(static_cast<std::size_t>(FPlaceStart[T]));
    FPlaceGroup.resize(FPlaceInstance.size());
    std::vector<int> Next(FPlaceStart.begin(), FPlaceStart.end() - 1);
    for (std::size_t i = 0; i < Instances.size(); ++i)
        for (std::size_t g = 0; g < Instances[i].TypeOfGroup.size(); ++g) {
            const std::size_t p = static_cast<std::size_t>(Next[static_cast<std::size_t>(Instances[i].TypeOfGroup[g])]++);
            FPlaceInstance[p] = static_cast<int>(i);
            FPlaceGroup[p] = static_cast<int>(g);
        }
    FindProximalTypes(Expected, CoefVar, DeterministicDistance, EpsilonDist);
}

void TProximityIndex::FindProximalTypes(const std::vector<double>& Expected, const std::vector<double>& CoefVar,
                                        bool DeterministicDistance, double EpsilonDist)
{
    const std::size_t T = Expected.size();
    std::vector<int> From, To;  // every ordered proximal pair, a type with itself included
    const auto Test = [&](std::size_t s, std::size_t t) {
        if (IsProximalMoments(Expected[s], CoefVar[s], Expected[t], CoefVar[t], DeterministicDistance, EpsilonDist)) {
            From.push_back(static_cast<int>(s));
            To.push_back(static_cast<int>(t));
        }
    };
    const double Near = Reach(EpsilonDist);
    const double Cell = Near * (1 + 1e-6);
    std::vector<unsigned long long> Key;
    bool Grid = !DeterministicDistance && EpsilonDist > 0 && std::isfinite(EpsilonDist);
    if (Grid) {
        Key.resize(T);
        for (std::size_t t = 0; t < T && Grid; ++t) {
            const double Row = std::floor(Expected[t] / Cell);
            const double Column = std::floor(CoefVar[t] / Cell);
            Grid = std::fabs(Row) < MaxCell && std::fabs(Column) < MaxCell;
            if (Grid) Key[t] = CellKey(Row, Column);
        }
    }
    if (!(EpsilonDist > 0)) {
        // no pair is proximal
    } else if (Grid) {
        // The types in cell order; for each, the rest of its own row of cells and the row above,
        // each a contiguous run of keys whose start only moves forward. Each pair is tested once.
        std::vector<int> Order(T);
        std::iota(Order.begin(), Order.end(), 0);
        std::sort(Order.begin(), Order.end(), [&](int a, int b) {
            const unsigned long long Ka = Key[static_cast<std::size_t>(a)];
            const unsigned long long Kb = Key[static_cast<std::size_t>(b)];
            return Ka != Kb ? Ka < Kb : a < b;
        });
        std::vector<unsigned long long> Sorted(T);
        std::vector<double> SortedExpected(T), SortedCoefVar(T);
        for (std::size_t k = 0; k < T; ++k) {
            const std::size_t t = static_cast<std::size_t>(Order[k]);
            Sorted[k] = Key[t];
            SortedExpected[k] = Expected[t];
            SortedCoefVar[k] = CoefVar[t];
        }
        std::size_t Above = 0;
        for (std::size_t k = 0; k < T; ++k) {
            const std::size_t s = static_cast<std::size_t>(Order[k]);
            const double E = SortedExpected[k];
            const double C = SortedCoefVar[k];
            const auto Pair = [&](std::size_t m) {
                const std::size_t t = static_cast<std::size_t>(Order[m]);
                if (!IsProximalMoments(E, C, SortedExpected[m], SortedCoefVar[m], false, EpsilonDist)) return;
                From.push_back(static_cast<int>(s));
                To.push_back(static_cast<int>(t));
                if (t == s) return;
                From.push_back(static_cast<int>(t));
                To.push_back(static_cast<int>(s));
            };
            // Own row: this cell from this type on, and the next cell.
            for (std::size_t m = k; m < T && Sorted[m] <= Key[s] + 1; ++m) Pair(m);
            // Row above: the cells one column left, same, and right.
            const unsigned long long Low = Key[s] + (1ULL << 32) - 1;
            while (Above < T && Sorted[Above] < Low) ++Above;
            for (std::size_t m = Above; m < T && Sorted[m] <= Low + 2; ++m) Pair(m);
        }
    } else {
        // Every proximal pair lies within the reach in expected duration: a window sliding over
        // the types by ascending expected duration.
        std::vector<int> Order;
        SortByExpected(Expected, Order);
        std::size_t First = 0;
        for (const int s : Order) {
            const std::size_t ss = static_cast<std::size_t>(s);
            const double E = Expected[ss];
            const double Slack = std::fabs(E) * 1e-12;
            while (First < T && Expected[static_cast<std::size_t>(Order[First])] < E - Near - Slack) ++First;
            for (std::size_t k = First; k < T; ++k) {
                const std::size_t t = static_cast<std::size_t>(Order[k]);
                if (Expected[t] > E + Near + Slack) break;
                if (!DeterministicDistance && std::fabs(CoefVar[ss] - CoefVar[t]) >= Near) continue;
                Test(ss, t);
            }
        }
    }
    std::vector<int> Edges;
    Bucket(From.data(), static_cast<int>(From.size()), T, FNeighbourStart, Edges);
    FNeighbours.resize(Edges.size());
    for (std::size_t k = 0; k < Edges.size(); ++k) FNeighbours[k] = To[static_cast<std::size_t>(Edges[k])];
}

void TProximityIndex::RowEdges(int a, TRowEdges& Edges) const
{
    const TSurgeryGroups& A = FInstances[static_cast<std::size_t>(a)];
    Edges.Other.clear();
    Edges.OtherLeft.clear();
    Edges.OtherRight.clear();
    for (std::size_t g = 0; g < A.TypeOfGroup.size(); ++g) {
        const std::size_t t = static_cast<std::size_t>(A.TypeOfGroup[g]);
        for (int n = FNeighbourStart[t]; n < FNeighbourStart[t + 1]; ++n) {
            const std::size_t u = static_cast<std::size_t>(FNeighbours[static_cast<std::size_t>(n)]);
            // The places of a type ascend by instance: those of the later instances.
            const auto Begin = FPlaceInstance.begin() + FPlaceStart[u];
            const auto End = FPlaceInstance.begin() + FPlaceStart[u + 1];
            for (auto It = std::upper_bound(Begin, End, a); It != End; ++It) {
                Edges.Other.push_back(*It);
                Edges.OtherLeft.push_back(static_cast<int>(g));
                Edges.OtherRight.push_back(FPlaceGroup[static_cast<std::size_t>(It - FPlaceInstance.begin())]);
            }
        }
    }
    std::vector<int>& Order = Edges.Order;
    Bucket(Edges.Other.data(), static_cast<int>(Edges.Other.size()), FInstances.size(), Edges.Start, Order);
    Edges.Left.resize(Order.size());
    Edges.Right.resize(Order.size());
    for (std::size_t k = 0; k < Order.size(); ++k) {
        Edges.Left[k] = Edges.OtherLeft[static_cast<std::size_t>(Order[k])];
        Edges.Right[k] = Edges.OtherRight[static_cast<std::size_t>(Order[k])];
    }
}

// ---- TExactMatcher ----

const std::vector<int>& TExactMatcher::SortedOrder(const TSurgeryGroups& Side, std::vector<int>& Buffer)
{
    if (Side.ByExpected.size() == Side.Expected.size()) return Side.ByExpected;
    SortByExpected(Side.Expected, Buffer);
    return Buffer;
}

void TExactMatcher::CoverSide(const TSurgeryGroups& Left, const TSurgeryGroups& Right, bool LeftIsA,
                              std::vector<int>& Covered)
{
    const std::size_t GL = Left.Expected.size();
    const std::size_t GR = Right.Expected.size();
    const std::vector<int>& StartL = LeftIsA ? FStartA : FStartB;
    const std::vector<int>& EdgesL = LeftIsA ? FEdgesOfA : FEdgesOfB;
    const std::vector<int>& StartR = LeftIsA ? FStartB : FStartA;
    const std::vector<int>& EdgesR = LeftIsA ? FEdgesOfB : FEdgesOfA;
    const int* LeftEnd = LeftIsA ? FEdgeLeft : FEdgeRight;
    const int* RightEnd = LeftIsA ? FEdgeRight : FEdgeLeft;

    Covered.assign(GL, 0);
    if (FNumEdges == 0) return;
    FFlow.assign(static_cast<std::size_t>(FNumEdges), 0);
    FFree = Right.Count;
    if (FSeenLeft.size() < GL) FSeenLeft.resize(GL, 0), FParentLeft.resize(GL, 0);
    if (FSeenRight.size() < GR) FSeenRight.resize(GR, 0), FParentRight.resize(GR, 0), FDeadRight.resize(GR, 0);
    // Right groups found in a failed search stay unreachable for any later augmenting path (the
    // region searched is closed and saturated), so they are skipped from then on.
    if (FStamp > INT_MAX / 2) {
        std::fill(FSeenLeft.begin(), FSeenLeft.end(), 0);
        std::fill(FSeenRight.begin(), FSeenRight.end(), 0);
        std::fill(FDeadRight.begin(), FDeadRight.end(), 0);
        FStamp = 0;
    }
    const int Dead = ++FStamp;

    const std::vector<int>& Order = SortedOrder(Left, LeftIsA ? FOrderA : FOrderB);
    for (std::size_t k = Order.size(); k-- > 0;) {  // decreasing expected duration
        const int t = Order[k];
        const std::size_t tt = static_cast<std::size_t>(t);
        // No edges, or only an isolated one (settled by the caller).
        if (StartL[tt] == StartL[tt + 1]) continue;
        if (StartL[tt] + 1 == StartL[tt + 1] && FIsolated[static_cast<std::size_t>(EdgesL[static_cast<std::size_t>(StartL[tt])])])
            continue;
        int Need = Left.Count[tt];
        // Free right groups next to t first: paths of one edge.
        for (int p = StartL[tt]; p < StartL[tt + 1] && Need > 0; ++p) {
            const int e = EdgesL[static_cast<std::size_t>(p)];
            const std::size_t u = static_cast<std::size_t>(RightEnd[e]);
            const int Amount = std::min(Need, FFree[u]);
            if (Amount == 0) continue;
            FFlow[static_cast<std::size_t>(e)] += Amount;
            FFree[u] -= Amount;
            Need -= Amount;
        }
        while (Need > 0) {
            const int Stamp = ++FStamp;
            FSeenLeft[tt] = Stamp;
            FQueue.assign(1, t);
            FVisitedRight.clear();
            int Found = -1;
            for (std::size_t Head = 0; Head < FQueue.size() && Found < 0; ++Head) {
                const std::size_t x = static_cast<std::size_t>(FQueue[Head]);
                for (int p = StartL[x]; p < StartL[x + 1]; ++p) {
                    const int e = EdgesL[static_cast<std::size_t>(p)];
                    const std::size_t u = static_cast<std::size_t>(RightEnd[e]);
                    if (FSeenRight[u] == Stamp || FDeadRight[u] == Dead) continue;
                    FSeenRight[u] = Stamp;
                    FVisitedRight.push_back(static_cast<int>(u));
                    FParentRight[u] = e;
                    if (FFree[u] > 0) {
                        Found = static_cast<int>(u);
                        break;
                    }
                    for (int q = StartR[u]; q < StartR[u + 1]; ++q) {
                        const int e2 = EdgesR[static_cast<std::size_t>(q)];
                        if (FFlow[static_cast<std::size_t>(e2)] == 0) continue;
                        const std::size_t x2 = static_cast<std::size_t>(LeftEnd[e2]);
                        if (FSeenLeft[x2] == Stamp) continue;
                        FSeenLeft[x2] = Stamp;
                        FParentLeft[x2] = e2;
                        FQueue.push_back(static_cast<int>(x2));
                    }
                }
            }
            if (Found < 0) {
                for (int u : FVisitedRight) FDeadRight[static_cast<std::size_t>(u)] = Dead;
                break;
            }

            // Forward edges carry more, backward edges (flow pushed back) less.
            int Amount = std::min(Need, FFree[static_cast<std::size_t>(Found)]);
            for (std::size_t u = static_cast<std::size_t>(Found);;) {
                const std::size_t x = static_cast<std::size_t>(LeftEnd[FParentRight[u]]);
                if (x == tt) break;
                const int Back = FParentLeft[x];
                Amount = std::min(Amount, FFlow[static_cast<std::size_t>(Back)]);
                u = static_cast<std::size_t>(RightEnd[Back]);
            }
            for (std::size_t u = static_cast<std::size_t>(Found);;) {
                const int Forward = FParentRight[u];
                FFlow[static_cast<std::size_t>(Forward)] += Amount;
                const std::size_t x = static_cast<std::size_t>(LeftEnd[Forward]);
                if (x == tt) break;
                const int Back = FParentLeft[x];
                FFlow[static_cast<std::size_t>(Back)] -= Amount;
                u = static_cast<std::size_t>(RightEnd[Back]);
            }
            FFree[static_cast<std::size_t>(Found)] -= Amount;
            Need -= Amount;
        }
        Covered[tt] = Left.Count[tt] - Need;
    }
}

void TExactMatcher::MatchEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                               int NumEdges, double& Matched, double& Total, int* Cardinality)
{
    FEdgeLeft = Left;
    FEdgeRight = Right;
    FNumEdges = NumEdges;
    // The edges ascend by their A group: A's lists are ranges of edge numbers.
    FStartA.assign(A.Expected.size() + 1, 0);
    for (int e = 0; e < NumEdges; ++e) ++FStartA[static_cast<std::size_t>(Left[e]) + 1];
    for (std::size_t g = 0; g < A.Expected.size(); ++g) FStartA[g + 1] += FStartA[g];
    FEdgesOfA.resize(static_cast<std::size_t>(NumEdges));
    std::iota(FEdgesOfA.begin(), FEdgesOfA.end(), 0);
    Bucket(Right, NumEdges, B.Expected.size(), FStartB, FEdgesOfB);

    // An edge that is the only one of both its groups forms a component of its own: it matches
    // as many surgeries as the smaller group has. The rest goes through the greedy search.
    FIsolated.assign(static_cast<std::size_t>(NumEdges), 0);
    bool AllIsolated = true;
    for (int e = 0; e < NumEdges; ++e) {
        const std::size_t g = static_cast<std::size_t>(Left[e]);
        const std::size_t h = static_cast<std::size_t>(Right[e]);
        const bool Isolated = FStartA[g + 1] - FStartA[g] == 1 && FStartB[h + 1] - FStartB[h] == 1;
        FIsolated[static_cast<std::size_t>(e)] = Isolated;
        AllIsolated = AllIsolated && Isolated;
    }
    if (AllIsolated) {
        FCoveredA.assign(A.Expected.size(), 0);
        FCoveredB.assign(B.Expected.size(), 0);
    } else {
        CoverSide(A, B, true, FCoveredA);
        CoverSide(B, A, false, FCoveredB);
    }
    for (int e = 0; e < NumEdges; ++e)
        if (FIsolated[static_cast<std::size_t>(e)]) {
            const std::size_t g = static_cast<std::size_t>(Left[e]);
            const std::size_t h = static_cast<std::size_t>(Right[e]);
            FCoveredA[g] = FCoveredB[h] = std::min(A.Count[g], B.Count[h]);
        }
    if (Cardinality != nullptr) *Cardinality = std::accumulate(FCoveredA.begin(), FCoveredA.end(), 0);
    Sums(A, B, Matched, Total);
}

void TExactMatcher::Sums(const TSurgeryGroups& A, const TSurgeryGroups& B, double& Matched, double& Total)
{
    if (A.FixedExponent != NoFixedExponent && A.FixedExponent == B.FixedExponent) {
        TWideInt Sum = 0;
        for (std::size_t g = 0; g < FCoveredA.size(); ++g)
            Sum += static_cast<TWideInt>(FCoveredA[g]) * A.FixedExpected[g];
        for (std::size_t g = 0; g < FCoveredB.size(); ++g)
            Sum += static_cast<TWideInt>(FCoveredB[g]) * B.FixedExpected[g];
        Matched = FixedToDouble(Sum, A.FixedExponent);
        Total = FixedToDouble(A.FixedTotal + B.FixedTotal, A.FixedExponent);
        return;
    }
    FTotalSum = A.ExactTotal;
    FTotalSum.Add(B.ExactTotal);
    // The matched sum is the sum of the covered surgeries' durations, or exactly the same, the
    // total less the uncovered ones: whichever has fewer terms.
    int CoveredTerms = 0;
    int UncoveredTerms = 0;
    for (std::size_t g = 0; g < FCoveredA.size(); ++g)
        CoveredTerms += FCoveredA[g] > 0, UncoveredTerms += FCoveredA[g] < A.Count[g];
    for (std::size_t g = 0; g < FCoveredB.size(); ++g)
        CoveredTerms += FCoveredB[g] > 0, UncoveredTerms += FCoveredB[g] < B.Count[g];
    if (UncoveredTerms < CoveredTerms) {
        FMatchedSum = FTotalSum;
        for (std::size_t g = 0; g < FCoveredA.size(); ++g)
            if (FCoveredA[g] < A.Count[g]) FMatchedSum.AddMultiple(A.Count[g] - FCoveredA[g], -A.Expected[g]);
        for (std::size_t g = 0; g < FCoveredB.size(); ++g)
            if (FCoveredB[g] < B.Count[g]) FMatchedSum.AddMultiple(B.Count[g] - FCoveredB[g], -B.Expected[g]);
    } else {
        FMatchedSum.Clear();
        for (std::size_t g = 0; g < FCoveredA.size(); ++g)
            if (FCoveredA[g] > 0) FMatchedSum.AddMultiple(FCoveredA[g], A.Expected[g]);
        for (std::size_t g = 0; g < FCoveredB.size(); ++g)
            if (FCoveredB[g] > 0) FMatchedSum.AddMultiple(FCoveredB[g], B.Expected[g]);
    }
    Matched = FMatchedSum.Value();
    Total = FTotalSum.Value();
}

double TExactMatcher::MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                                      double EpsilonDist, int* Cardinality)
{
    // Every pair of groups tested: this entry serves single pairs, the analysis uses the index.
    TSurgeryGroups SortedA = A;
    TSurgeryGroups SortedB = B;
    SortGroups(SortedA);
    SortGroups(SortedB);
    FLeftBuffer.clear();
    FRightBuffer.clear();
    for (std::size_t g = 0; g < A.Expected.size(); ++g)
        for (std::size_t h = 0; h < B.Expected.size(); ++h)
            if (IsProximalMoments(A.Expected[g], A.CoefVar[g], B.Expected[h], B.CoefVar[h], DeterministicDistance,
                                  EpsilonDist)) {
                FLeftBuffer.push_back(static_cast<int>(g));
                FRightBuffer.push_back(static_cast<int>(h));
            }
    double Matched = 0;
    double Total = 0;
    MatchEdges(SortedA, SortedB, FLeftBuffer.data(), FRightBuffer.data(), static_cast<int>(FLeftBuffer.size()), Matched,
               Total, Cardinality);
    return Matched;
}

}  // namespace orbench
