// The steps of the exact matching and of the proximity index. What they compute, the algorithms
// by name and why they are correct are told at the top of ExactMatching.h.
//
// Proximity index: Build gathers the moments of the distinct types and the places (instance,
// group) of each; FindProximalTypes finds the proximal type pairs, by the grid for the stochastic
// distance (PlaceOnGrid, GridPairs) or by the sorted sweep (SweepPairs), and lists each type's
// proximal types; RowEdges then gives, for one instance, its proximal group pairs with every later
// instance, sorted by that instance.
//
// Matching of one pair (TExactMatcher::MatchEdges):
//   1. MatchIsolated: with fixed-point sums and no group on two edges, each edge matches the
//      smaller of its two groups in full, and that is all.
//   2. The groups with edges are numbered; an edge that is the only one of both its groups is
//      settled in the same way.
//   3. The other edges go to the greedy: their groups numbered anew and ordered by decreasing
//      expected duration (Localise), the edges listed by either end (Bucket), and Cover run once
//      for each side.
//   4. Sums: the durations of the covered surgeries, in fixed point or as an exact sum, each
//      rounded once.
//
// See docs/engines.md, "Exact matching".

#include "ExactMatching.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <limits>
#include <cmath>
#include <numeric>

namespace orbench {

namespace {

void SortByExpected(const std::vector<double>& Expected, std::vector<int>& Order)
{
    thread_local std::vector<std::pair<double, int>> Keys;  // kept for the next sort on this thread
    Keys.resize(Expected.size());
    for (std::size_t g = 0; g < Expected.size(); ++g) Keys[g] = {Expected[g], static_cast<int>(g)};
    std::sort(Keys.begin(), Keys.end());
    Order.resize(Keys.size());
    for (std::size_t k = 0; k < Keys.size(); ++k) Order[k] = Keys[k].second;
}

// Counting sort of the edges by one end: Start gets Groups + 1 offsets into Edges.
void Bucket(const int* EndOfEdge, int NumEdges, std::size_t Groups, std::vector<int>& Start, std::vector<int>& Edges)
{
    Start.assign(Groups + 1, 0);
    for (int e = 0; e < NumEdges; ++e) ++Start[static_cast<std::size_t>(EndOfEdge[e]) + 1];
    for (std::size_t g = 0; g < Groups; ++g) Start[g + 1] += Start[g];
    Edges.resize(static_cast<std::size_t>(NumEdges));
    // Each group's start runs on while its edges are placed, and is moved back afterwards.
    for (int e = 0; e < NumEdges; ++e)
        Edges[static_cast<std::size_t>(Start[static_cast<std::size_t>(EndOfEdge[e])]++)] = e;
    for (std::size_t g = Groups; g > 0; --g) Start[g] = Start[g - 1];
    Start[0] = 0;
}

// The window of moments searched around a surgery type: a little wider than EpsilonDist, so that
// no pair the exact test accepts falls outside through rounding.
double Reach(double EpsilonDist) { return EpsilonDist * (1 + 1e-9); }

// Grid coordinates (cell numbers) stay far below the range where doubles lose whole numbers.
constexpr double MaxCell = 1e8;

}  // namespace

void SortGroups(TSurgeryGroups& Groups, bool WithExactTotal)
{
    SortByExpected(Groups.Expected, Groups.ByExpected);
    Groups.RankOfGroup.resize(Groups.ByExpected.size());
    for (std::size_t k = 0; k < Groups.ByExpected.size(); ++k)
        Groups.RankOfGroup[static_cast<std::size_t>(Groups.ByExpected[k])] = static_cast<int>(k);
    Groups.ExactTotal.Clear();
    if (WithExactTotal)
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
        if (Exponent == NoFixedExponent) {
            SortGroups(Instance, true);  // the exact sums stand in
            continue;
        }
        Instance.FixedExpected.reserve(Instance.Expected.size());
        for (std::size_t g = 0; g < Instance.Expected.size(); ++g) {
            Instance.FixedExpected.push_back(ToFixed(Instance.Expected[g], Exponent));
            Instance.FixedTotal += static_cast<TWideInt>(Instance.Count[g]) * Instance.FixedExpected.back();
        }
    }
}

double PairTotal(const TSurgeryGroups& A, const TSurgeryGroups& B)
{
    if (A.FixedExponent != NoFixedExponent && A.FixedExponent == B.FixedExponent)
        return FixedToDouble(A.FixedTotal + B.FixedTotal, A.FixedExponent);
    TExactSum Total = A.ExactTotal;
    Total.Add(B.ExactTotal);
    return Total.Value();
}

bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB, bool DeterministicDistance,
                       double EpsilonDist)
{
    if (DeterministicDistance) return std::fabs(ExpectedA - ExpectedB) < EpsilonDist;
    const double dCV = CoefVarA - CoefVarB;
    const double dE = ExpectedA - ExpectedB;
    return std::sqrt(dCV * dCV + dE * dE) < EpsilonDist;
}

TProximityTest::TProximityTest(bool DeterministicDistance, double EpsilonDist)
    : FDeterministic(DeterministicDistance),
      FEpsilon(EpsilonDist),
      FSureIn(-1),
      FSureOut(std::numeric_limits<double>::infinity())
{
    // sqrt is correctly rounded: a square below (0.999999999999 eps)^2 has a root below eps by far
    // more than the rounding, one above (1.000000000001 eps)^2 a root above it.
    if (EpsilonDist > 1e-150 && EpsilonDist < 1e150) {
        const double Low = EpsilonDist * (1 - 1e-12);
        const double High = EpsilonDist * (1 + 1e-12);
        FSureIn = Low * Low;
        FSureOut = High * High;
    }
}

// ---- TProximityIndex ----

TProximityIndex::TProximityIndex(const std::vector<TSurgeryGroups>& Instances, int NumTypes, bool DeterministicDistance,
                                 double EpsilonDist)
{
    Build(Instances, NumTypes, DeterministicDistance, EpsilonDist);
}

void TProximityIndex::Build(const std::vector<TSurgeryGroups>& Instances, int NumTypes, bool DeterministicDistance,
                            double EpsilonDist)
{
    FInstances = &Instances;
    const std::size_t T = static_cast<std::size_t>(NumTypes);
    std::vector<double>& Expected = FScratch.Expected;
    std::vector<double>& CoefVar = FScratch.CoefVar;
    Expected.assign(T, 0.0);
    CoefVar.assign(T, 0.0);
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
    std::vector<int>& Next = FScratch.Next;
    Next.assign(FPlaceStart.begin(), FPlaceStart.end() - 1);
    for (std::size_t i = 0; i < Instances.size(); ++i)
        for (std::size_t g = 0; g < Instances[i].TypeOfGroup.size(); ++g) {
            const std::size_t p =
                static_cast<std::size_t>(Next[static_cast<std::size_t>(Instances[i].TypeOfGroup[g])]++);
            FPlaceInstance[p] = static_cast<int>(i);
            FPlaceGroup[p] = static_cast<int>(g);
        }
    FindProximalTypes(Expected, CoefVar, DeterministicDistance, EpsilonDist);
}

namespace {

// The proximal type pairs are gathered in Scratch.From and Scratch.To as ordered pairs: two
// different types both ways, a type with itself once.

// The grid for the stochastic distance: square cells over the plane (expected duration,
// coefficient of variation) a little wider than the reach, so that two types closer than the
// reach lie in the same or in neighbouring cells, even after the rounding of the cell numbers.
// The cells are numbered row by row, a row per band of expected duration, with a spare column at
// both ends and a spare row at the top: every neighbour of an occupied cell has a number.
struct TGrid {
    long long Width = 0;  // cells per row, the spare columns included
    long long Cells = 0;
};

// Places the types in the cells of the grid: CellOf per type, and the types sorted by cell (Order,
// with CellStart per cell and their moments in SortedExpected and SortedCoefVar). False, with
// nothing sorted, when the grid does not serve: no finite positive reach, no types, a cell number
// out of range, or many more cells than types.
bool PlaceOnGrid(const std::vector<double>& Expected, const std::vector<double>& CoefVar, double EpsilonDist,
                 TProximityScratch& Scratch, TGrid& Grid)
{
    const std::size_t T = Expected.size();
    const double PerCell = 1 / (Reach(EpsilonDist) * (1 + 1e-6));
    std::vector<long long>& Row = Scratch.Row;
    std::vector<long long>& Column = Scratch.Column;
    Row.resize(T);
    Column.resize(T);
    long long RowMin = 0, RowMax = -1, ColumnMin = 0, ColumnMax = -1;
    bool Fits = EpsilonDist > 0 && std::isfinite(EpsilonDist) && T > 0;
    for (std::size_t t = 0; t < T && Fits; ++t) {
        const double r = std::floor(Expected[t] * PerCell);
        const double c = std::floor(CoefVar[t] * PerCell);
        Fits = std::fabs(r) < MaxCell && std::fabs(c) < MaxCell;
        Row[t] = static_cast<long long>(r);
        Column[t] = static_cast<long long>(c);
        if (t == 0 || Row[t] < RowMin) RowMin = Row[t];
        if (t == 0 || Row[t] > RowMax) RowMax = Row[t];
        if (t == 0 || Column[t] < ColumnMin) ColumnMin = Column[t];
        if (t == 0 || Column[t] > ColumnMax) ColumnMax = Column[t];
    }
    Grid.Width = ColumnMax - ColumnMin + 3;
    Grid.Cells = Fits ? (RowMax - RowMin + 2) * Grid.Width : 0;
    // The grid is used when it is not much larger than the types.
    if (!Fits || Grid.Cells > 8 * static_cast<long long>(T) + 4096) return false;

    // A counting sort of the types by cell.
    std::vector<int>& CellOf = Scratch.CellOf;
    std::vector<int>& CellStart = Scratch.CellStart;
    CellOf.resize(T);
    CellStart.assign(static_cast<std::size_t>(Grid.Cells) + 1, 0);
    for (std::size_t t = 0; t < T; ++t) {
        CellOf[t] = static_cast<int>((Row[t] - RowMin) * Grid.Width + (Column[t] - ColumnMin + 1));
        ++CellStart[static_cast<std::size_t>(CellOf[t]) + 1];
    }
    for (std::size_t c = 0; c < static_cast<std::size_t>(Grid.Cells); ++c) CellStart[c + 1] += CellStart[c];
    std::vector<int>& Order = Scratch.Order;
    std::vector<int>& Next = Scratch.Next;
    Order.resize(T);
    Next.assign(CellStart.begin(), CellStart.end() - 1);
    for (std::size_t t = 0; t < T; ++t)
        Order[static_cast<std::size_t>(Next[static_cast<std::size_t>(CellOf[t])]++)] = static_cast<int>(t);
    std::vector<double>& SortedExpected = Scratch.SortedExpected;
    std::vector<double>& SortedCoefVar = Scratch.SortedCoefVar;
    SortedExpected.resize(T);
    SortedCoefVar.resize(T);
    for (std::size_t k = 0; k < T; ++k) {
        SortedExpected[k] = Expected[static_cast<std::size_t>(Order[k])];
        SortedCoefVar[k] = CoefVar[static_cast<std::size_t>(Order[k])];
    }
    return true;
}

// The proximal pairs among the types placed on the grid. For each type: the rest of its cell and
// the next cell of its row, then the three cells of the next row that touch its cell. Each pair
// of types in neighbouring cells is tested once and entered both ways.
void GridPairs(const TGrid& Grid, const TProximityTest& Proximal, TProximityScratch& Scratch)
{
    const std::vector<int>& Order = Scratch.Order;
    const std::vector<int>& CellOf = Scratch.CellOf;
    const std::vector<int>& CellStart = Scratch.CellStart;
    const std::vector<double>& SortedExpected = Scratch.SortedExpected;
    const std::vector<double>& SortedCoefVar = Scratch.SortedCoefVar;
    std::vector<int>& From = Scratch.From;
    std::vector<int>& To = Scratch.To;
    const std::size_t T = Order.size();
    for (std::size_t k = 0; k < T; ++k) {
        const std::size_t s = static_cast<std::size_t>(Order[k]);
        const double E = SortedExpected[k];
        const double C = SortedCoefVar[k];
        const auto Pair = [&](std::size_t m) {
            if (!Proximal(E, C, SortedExpected[m], SortedCoefVar[m])) return;
            const std::size_t t = static_cast<std::size_t>(Order[m]);
            From.push_back(static_cast<int>(s));
            To.push_back(static_cast<int>(t));
            if (t == s) return;
            From.push_back(static_cast<int>(t));
            To.push_back(static_cast<int>(s));
        };
        const std::size_t x = static_cast<std::size_t>(CellOf[s]);
        const std::size_t W = static_cast<std::size_t>(Grid.Width);
        const std::size_t SameRowEnd = static_cast<std::size_t>(CellStart[x + 2]);
        for (std::size_t m = k; m < SameRowEnd; ++m) Pair(m);
        const std::size_t NextRowEnd = static_cast<std::size_t>(CellStart[x + W + 2]);
        for (std::size_t m = static_cast<std::size_t>(CellStart[x + W - 1]); m < NextRowEnd; ++m) Pair(m);
    }
}

// The proximal pairs by a sweep over the types in ascending expected duration: every proximal
// pair lies within the reach in expected duration, so each type is tested, in that order, against
// the window of types around it (with the stochastic distance, only those also within the reach
// in coefficient of variation). Each ordered pair is tested on its own. Serves the deterministic
// distance, and the stochastic one where the grid does not.
void SweepPairs(const std::vector<double>& Expected, const std::vector<double>& CoefVar, bool DeterministicDistance,
                double EpsilonDist, const TProximityTest& Proximal, TProximityScratch& Scratch)
{
    const std::size_t T = Expected.size();
    const double Near = Reach(EpsilonDist);
    std::vector<int>& From = Scratch.From;
    std::vector<int>& To = Scratch.To;
    std::vector<int>& Order = Scratch.Order;
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
            if (Proximal(Expected[ss], CoefVar[ss], Expected[t], CoefVar[t])) {
                From.push_back(static_cast<int>(ss));
                To.push_back(static_cast<int>(t));
            }
        }
    }
}

}  // namespace

void TProximityIndex::FindProximalTypes(const std::vector<double>& Expected, const std::vector<double>& CoefVar,
                                        bool DeterministicDistance, double EpsilonDist)
{
    FScratch.From.clear();
    FScratch.To.clear();
    const TProximityTest Proximal(DeterministicDistance, EpsilonDist);
    TGrid Grid;
    if (!(EpsilonDist > 0)) {
        // no pair is proximal
    } else if (!DeterministicDistance && PlaceOnGrid(Expected, CoefVar, EpsilonDist, FScratch, Grid)) {
        GridPairs(Grid, Proximal, FScratch);
    } else {
        SweepPairs(Expected, CoefVar, DeterministicDistance, EpsilonDist, Proximal, FScratch);
    }
    // Per type, its proximal types in the order found.
    std::vector<int>& Edges = FScratch.Edges;
    Bucket(FScratch.From.data(), static_cast<int>(FScratch.From.size()), Expected.size(), FNeighbourStart, Edges);
    FNeighbours.resize(Edges.size());
    for (std::size_t k = 0; k < Edges.size(); ++k) FNeighbours[k] = FScratch.To[static_cast<std::size_t>(Edges[k])];
}

void TProximityIndex::RowEdges(int a, TRowEdges& Edges) const
{
    const std::vector<TSurgeryGroups>& Instances = *FInstances;
    const TSurgeryGroups& A = Instances[static_cast<std::size_t>(a)];
    Edges.Other.clear();
    Edges.OtherLeft.clear();
    Edges.OtherRight.clear();
    for (std::size_t g = 0; g < A.TypeOfGroup.size(); ++g) {
        const std::size_t t = static_cast<std::size_t>(A.TypeOfGroup[g]);
        for (int n = FNeighbourStart[t]; n < FNeighbourStart[t + 1]; ++n) {
            const std::size_t u = static_cast<std::size_t>(FNeighbours[static_cast<std::size_t>(n)]);
            if (FPlaceStart[u + 1] - FPlaceStart[u] == 1 &&
                FPlaceInstance[static_cast<std::size_t>(FPlaceStart[u])] <= a)
                continue;  // its only place is no later instance (a type made on the fly, itself)
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
    Bucket(Edges.Other.data(), static_cast<int>(Edges.Other.size()), Instances.size(), Edges.Start, Order);
    Edges.Left.resize(Order.size());
    Edges.Right.resize(Order.size());
    for (std::size_t k = 0; k < Order.size(); ++k) {
        Edges.Left[k] = Edges.OtherLeft[static_cast<std::size_t>(Order[k])];
        Edges.Right[k] = Edges.OtherRight[static_cast<std::size_t>(Order[k])];
    }
}

// ---- TExactMatcher ----

void TExactMatcher::TSide::Reset(std::size_t Groups)
{
    Global.clear();
    if (Local.size() < Groups) Local.resize(Groups, 0), LocalStamp.resize(Groups, 0);
    if (Stamp == INT_MAX) {
        std::fill(LocalStamp.begin(), LocalStamp.end(), 0);
        Stamp = 0;
    }
    ++Stamp;
}

int TExactMatcher::TSide::Number(int g)
{
    const std::size_t gg = static_cast<std::size_t>(g);
    if (LocalStamp[gg] != Stamp) {
        LocalStamp[gg] = Stamp;
        Local[gg] = static_cast<int>(Global.size());
        Global.push_back(g);
    }
    return Local[gg];
}

void TExactMatcher::Localise(const TSurgeryGroups& Instance, TSide& Side)
{
    const std::size_t L = Side.Global.size();
    Side.Count.resize(L);
    for (std::size_t i = 0; i < L; ++i) Side.Count[i] = Instance.Count[static_cast<std::size_t>(Side.Global[i])];
    // By decreasing expected duration: a few groups sorted by their ranks in the instance, or
    // many picked from the instance's whole order.
    Side.Order.clear();
    if (L * 8 <= Instance.ByExpected.size()) {
        // Insertion by rank: the local groups are few.
        for (std::size_t i = 0; i < L; ++i) {
            const int Rank = Instance.RankOfGroup[static_cast<std::size_t>(Side.Global[i])];
            std::size_t k = Side.Order.size();
            Side.Order.push_back(static_cast<int>(i));
            for (; k > 0 && Instance.RankOfGroup[static_cast<std::size_t>(
                                Side.Global[static_cast<std::size_t>(Side.Order[k - 1])])] < Rank;
                 --k)
                Side.Order[k] = Side.Order[k - 1];
            Side.Order[k] = static_cast<int>(i);
        }
    } else {
        for (std::size_t k = Instance.ByExpected.size(); k-- > 0;) {
            const std::size_t g = static_cast<std::size_t>(Instance.ByExpected[k]);
            if (Side.LocalStamp[g] == Side.Stamp) Side.Order.push_back(Side.Local[g]);
        }
    }
}

// The greedy over the transversal matroid of the left side. For each left group t, by decreasing
// expected duration: first the free surgeries of its neighbours (augmenting paths of one edge),
// then breadth-first searches for longer augmenting paths (right group reached by an edge, left
// group reached back along an edge that carries flow), each augmenting by as much as the path
// allows, until t is covered in full or a search fails.
void TExactMatcher::Cover(TSide& Left, const TSide& Right, const std::vector<int>& LeftEnd,
                          const std::vector<int>& RightEnd)
{
    const std::size_t GL = Left.Global.size();
    const std::size_t GR = Right.Global.size();
    Left.Covered.assign(GL, 0);
    FFlow.assign(LeftEnd.size(), 0);
    FFree = Right.Count;
    if (FSeenLeft.size() < GL) FSeenLeft.resize(GL, 0), FParentLeft.resize(GL, 0);
    if (FSeenRight.size() < GR) FSeenRight.resize(GR, 0), FParentRight.resize(GR, 0), FDeadRight.resize(GR, 0);
    if (FStamp > INT_MAX / 2) {
        std::fill(FSeenLeft.begin(), FSeenLeft.end(), 0);
        std::fill(FSeenRight.begin(), FSeenRight.end(), 0);
        std::fill(FDeadRight.begin(), FDeadRight.end(), 0);
        FStamp = 0;
    }
    // Right groups found in a failed search stay unreachable for any later augmenting path (the
    // region searched is closed and saturated), so they are skipped from then on.
    const int Dead = ++FStamp;
    const std::vector<int>& StartL = Left.Start;
    const std::vector<int>& EdgesL = Left.Edges;
    const std::vector<int>& StartR = Right.Start;
    const std::vector<int>& EdgesR = Right.Edges;

    for (const int t : Left.Order) {
        const std::size_t tt = static_cast<std::size_t>(t);
        int Need = Left.Count[tt];
        // Free right groups next to t first: paths of one edge.
        for (int p = StartL[tt]; p < StartL[tt + 1] && Need > 0; ++p) {
            const int e = EdgesL[static_cast<std::size_t>(p)];
            const std::size_t u = static_cast<std::size_t>(RightEnd[static_cast<std::size_t>(e)]);
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
                    const std::size_t u = static_cast<std::size_t>(RightEnd[static_cast<std::size_t>(e)]);
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
                        const std::size_t x2 = static_cast<std::size_t>(LeftEnd[static_cast<std::size_t>(e2)]);
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
                const std::size_t x = static_cast<std::size_t>(LeftEnd[static_cast<std::size_t>(FParentRight[u])]);
                if (x == tt) break;
                const int Back = FParentLeft[x];
                Amount = std::min(Amount, FFlow[static_cast<std::size_t>(Back)]);
                u = static_cast<std::size_t>(RightEnd[static_cast<std::size_t>(Back)]);
            }
            for (std::size_t u = static_cast<std::size_t>(Found);;) {
                const int Forward = FParentRight[u];
                FFlow[static_cast<std::size_t>(Forward)] += Amount;
                const std::size_t x = static_cast<std::size_t>(LeftEnd[static_cast<std::size_t>(Forward)]);
                if (x == tt) break;
                const int Back = FParentLeft[x];
                FFlow[static_cast<std::size_t>(Back)] -= Amount;
                u = static_cast<std::size_t>(RightEnd[static_cast<std::size_t>(Back)]);
            }
            FFree[static_cast<std::size_t>(Found)] -= Amount;
            Need -= Amount;
        }
        Left.Covered[tt] = Left.Count[tt] - Need;
    }
}

bool TExactMatcher::MatchIsolated(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                                  int NumEdges, double& Matched, double& Total, int* Cardinality)
{
    // Only for fixed-point sums, and when no group has two edges: then every edge is a component
    // of its own, and the sums need no numbering of groups.
    if (A.FixedExponent == NoFixedExponent || A.FixedExponent != B.FixedExponent) return false;
    if (FSeenA.size() < A.Expected.size()) FSeenA.resize(A.Expected.size(), 0);
    if (FSeenB.size() < B.Expected.size()) FSeenB.resize(B.Expected.size(), 0);
    if (FSeenStamp == INT_MAX) {
        std::fill(FSeenA.begin(), FSeenA.end(), 0);
        std::fill(FSeenB.begin(), FSeenB.end(), 0);
        FSeenStamp = 0;
    }
    const int Stamp = ++FSeenStamp;
    for (int e = 0; e < NumEdges; ++e) {
        int& SeenA = FSeenA[static_cast<std::size_t>(Left[e])];
        int& SeenB = FSeenB[static_cast<std::size_t>(Right[e])];
        if (SeenA == Stamp || SeenB == Stamp) return false;
        SeenA = SeenB = Stamp;
    }
    TWideInt Sum = 0;
    int Pairs = 0;
    for (int e = 0; e < NumEdges; ++e) {
        const std::size_t g = static_cast<std::size_t>(Left[e]);
        const std::size_t h = static_cast<std::size_t>(Right[e]);
        const int Both = std::min(A.Count[g], B.Count[h]);
        Sum += static_cast<TWideInt>(Both) * (A.FixedExpected[g] + B.FixedExpected[h]);
        Pairs += Both;
    }
    Matched = FixedToDouble(Sum, A.FixedExponent);
    Total = FixedToDouble(A.FixedTotal + B.FixedTotal, A.FixedExponent);
    if (Cardinality != nullptr) *Cardinality = Pairs;
    return true;
}

void TExactMatcher::MatchEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                               int NumEdges, double& Matched, double& Total, int* Cardinality)
{
    if (MatchIsolated(A, B, Left, Right, NumEdges, Matched, Total, Cardinality)) return;
    const std::size_t E = static_cast<std::size_t>(NumEdges);
    // Local numbers for the groups with edges, with their numbers of edges for now.
    FA.Reset(A.Expected.size());
    FB.Reset(B.Expected.size());
    FA.Covered.clear();
    FB.Covered.clear();
    for (std::size_t e = 0; e < E; ++e) {
        const std::size_t i = static_cast<std::size_t>(FA.Number(Left[e]));
        const std::size_t j = static_cast<std::size_t>(FB.Number(Right[e]));
        if (i == FA.Covered.size()) FA.Covered.push_back(0);
        if (j == FB.Covered.size()) FB.Covered.push_back(0);
        ++FA.Covered[i];
        ++FB.Covered[j];
    }
    // An edge that is the only one of both its groups forms a component of its own: it matches
    // as many surgeries as the smaller group has. The other edges go through the greedy search,
    // on groups numbered anew.
    FSubA.Reset(A.Expected.size());
    FSubB.Reset(B.Expected.size());
    FEndA.clear();
    FEndB.clear();
    for (std::size_t e = 0; e < E; ++e) {
        const std::size_t i = static_cast<std::size_t>(FA.Local[static_cast<std::size_t>(Left[e])]);
        const std::size_t j = static_cast<std::size_t>(FB.Local[static_cast<std::size_t>(Right[e])]);
        if (FA.Covered[i] == 1 && FB.Covered[j] == 1) {
            FA.Covered[i] = FB.Covered[j] =
                -std::min(A.Count[static_cast<std::size_t>(Left[e])], B.Count[static_cast<std::size_t>(Right[e])]);
        } else {
            FEndA.push_back(FSubA.Number(Left[e]));
            FEndB.push_back(FSubB.Number(Right[e]));
        }
    }
    // Settled groups hold minus their cover; the others are covered by the search or not at all.
    for (int& c : FA.Covered) c = c < 0 ? -c : 0;
    for (int& c : FB.Covered) c = c < 0 ? -c : 0;
    if (!FEndA.empty()) {
        const int SubEdges = static_cast<int>(FEndA.size());
        Bucket(FEndA.data(), SubEdges, FSubA.Global.size(), FSubA.Start, FSubA.Edges);
        Bucket(FEndB.data(), SubEdges, FSubB.Global.size(), FSubB.Start, FSubB.Edges);
        Localise(A, FSubA);
        Localise(B, FSubB);
        Cover(FSubA, FSubB, FEndA, FEndB);
        Cover(FSubB, FSubA, FEndB, FEndA);
        for (std::size_t i = 0; i < FSubA.Global.size(); ++i)
            FA.Covered[static_cast<std::size_t>(FA.Local[static_cast<std::size_t>(FSubA.Global[i])])] =
                FSubA.Covered[i];
        for (std::size_t i = 0; i < FSubB.Global.size(); ++i)
            FB.Covered[static_cast<std::size_t>(FB.Local[static_cast<std::size_t>(FSubB.Global[i])])] =
                FSubB.Covered[i];
    }
    if (Cardinality != nullptr) *Cardinality = std::accumulate(FA.Covered.begin(), FA.Covered.end(), 0);
    Sums(A, B, Matched, Total);
}

void TExactMatcher::Sums(const TSurgeryGroups& A, const TSurgeryGroups& B, double& Matched, double& Total)
{
    Total = PairTotal(A, B);
    if (A.FixedExponent != NoFixedExponent && A.FixedExponent == B.FixedExponent) {
        TWideInt Sum = 0;
        for (std::size_t i = 0; i < FA.Global.size(); ++i)
            Sum += static_cast<TWideInt>(FA.Covered[i]) * A.FixedExpected[static_cast<std::size_t>(FA.Global[i])];
        for (std::size_t i = 0; i < FB.Global.size(); ++i)
            Sum += static_cast<TWideInt>(FB.Covered[i]) * B.FixedExpected[static_cast<std::size_t>(FB.Global[i])];
        Matched = FixedToDouble(Sum, A.FixedExponent);
        return;
    }
    FMatchedSum.Clear();
    for (std::size_t i = 0; i < FA.Global.size(); ++i)
        if (FA.Covered[i] > 0)
            FMatchedSum.AddMultiple(FA.Covered[i], A.Expected[static_cast<std::size_t>(FA.Global[i])]);
    for (std::size_t i = 0; i < FB.Global.size(); ++i)
        if (FB.Covered[i] > 0)
            FMatchedSum.AddMultiple(FB.Covered[i], B.Expected[static_cast<std::size_t>(FB.Global[i])]);
    Matched = FMatchedSum.Value();
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
