#include "ExactMatching.h"

#include <algorithm>
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
void Bucket(const std::vector<int>& EndOfEdge, std::size_t Groups, std::vector<int>& Start, std::vector<int>& Edges)
{
    Start.assign(Groups + 1, 0);
    for (int g : EndOfEdge) ++Start[static_cast<std::size_t>(g) + 1];
    for (std::size_t g = 0; g < Groups; ++g) Start[g + 1] += Start[g];
    Edges.resize(EndOfEdge.size());
    // Each group's start runs on while its edges are placed, and is moved back afterwards.
    for (std::size_t e = 0; e < EndOfEdge.size(); ++e)
        Edges[static_cast<std::size_t>(Start[static_cast<std::size_t>(EndOfEdge[e])]++)] = static_cast<int>(e);
    for (std::size_t g = Groups; g > 0; --g) Start[g] = Start[g - 1];
    Start[0] = 0;
}

// The window of expected durations searched around a group: a little wider than EpsilonDist, so
// that no pair the exact test accepts falls outside through rounding.
double Reach(double EpsilonDist) { return EpsilonDist * (1 + 1e-9); }

}  // namespace

void SortGroups(TSurgeryGroups& Groups)
{
    SortByExpected(Groups.Expected, Groups.ByExpected);
    Groups.SortedExpected.clear();
    Groups.SortedCoefVar.clear();
    for (int g : Groups.ByExpected) {
        Groups.SortedExpected.push_back(Groups.Expected[static_cast<std::size_t>(g)]);
        Groups.SortedCoefVar.push_back(Groups.CoefVar[static_cast<std::size_t>(g)]);
    }
    Groups.ExactTotal.Clear();
    for (std::size_t g = 0; g < Groups.Expected.size(); ++g)
        Groups.ExactTotal.AddMultiple(Groups.Count[g], Groups.Expected[g]);
}

namespace {

// Cell coordinates stay below 2^27 in size, so a row and a column fit in one ordered key.
constexpr double MaxCell = 1e8;
constexpr long long KeyOffset = 1LL << 30;

unsigned long long CellKey(long long Row, long long Column)
{
    return static_cast<unsigned long long>(Row + KeyOffset) << 32 | static_cast<unsigned long long>(Column + KeyOffset);
}

}  // namespace

void IndexGroups(TSurgeryGroups& Groups, double EpsilonDist)
{
    Groups.Cell = 0;
    Groups.ByCell.clear();
    Groups.CellKey.clear();
    Groups.CellExpected.clear();
    Groups.CellCoefVar.clear();
    if (!(EpsilonDist > 0) || !std::isfinite(EpsilonDist)) return;
    // Cells a little wider than the search reach: two moments closer than the reach then differ
    // by at most one cell even after the rounding of the division.
    const double Cell = Reach(EpsilonDist) * (1 + 1e-6);
    const std::size_t G = Groups.Expected.size();
    std::vector<unsigned long long> Key(G);
    for (std::size_t g = 0; g < G; ++g) {
        const double r = std::floor(Groups.Expected[g] / Cell);
        const double c = std::floor(Groups.CoefVar[g] / Cell);
        if (!(std::fabs(r) < MaxCell) || !(std::fabs(c) < MaxCell)) return;
        Key[g] = CellKey(static_cast<long long>(r), static_cast<long long>(c));
    }
    Groups.ByCell.resize(G);
    std::iota(Groups.ByCell.begin(), Groups.ByCell.end(), 0);
    std::sort(Groups.ByCell.begin(), Groups.ByCell.end(), [&](int a, int b) {
        const unsigned long long Ka = Key[static_cast<std::size_t>(a)];
        const unsigned long long Kb = Key[static_cast<std::size_t>(b)];
        return Ka != Kb ? Ka < Kb : a < b;
    });
    for (int g : Groups.ByCell) {
        const std::size_t i = static_cast<std::size_t>(g);
        Groups.CellKey.push_back(Key[i]);
        Groups.CellExpected.push_back(Groups.Expected[i]);
        Groups.CellCoefVar.push_back(Groups.CoefVar[i]);
    }
    Groups.Cell = Cell;
}

bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist)
{
    if (DeterministicDistance) return std::fabs(ExpectedA - ExpectedB) < EpsilonDist;
    const double dCV = CoefVarA - CoefVarB;
    const double dE = ExpectedA - ExpectedB;
    return std::sqrt(dCV * dCV + dE * dE) < EpsilonDist;
}

const std::vector<int>& TExactMatcher::SortedOrder(const TSurgeryGroups& Side, std::vector<int>& Buffer)
{
    if (Side.ByExpected.size() == Side.Expected.size()) return Side.ByExpected;
    SortByExpected(Side.Expected, Buffer);
    return Buffer;
}

void TExactMatcher::FindEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                              double EpsilonDist)
{
    FEdgeLeft.clear();
    FEdgeRight.clear();
    const double Near = Reach(EpsilonDist);
    const auto Test = [&](int t, double E, double CoefVar, int u, double EB, double CoefVarB) {
        if (IsProximalMoments(E, CoefVar, EB, CoefVarB, DeterministicDistance, EpsilonDist)) {
            FEdgeLeft.push_back(t);
            FEdgeRight.push_back(u);
        }
    };
    if (!(EpsilonDist > 0) || A.Expected.empty() || B.Expected.empty()) {
        // no pair is proximal
    } else if (!DeterministicDistance && A.Cell > 0 && A.Cell == B.Cell) {
        // Both sides in cell order: for each cell of A the three rows of neighbouring cells of B,
        // each a contiguous run of keys whose start only moves forward.
        const std::size_t GB = B.ByCell.size();
        const unsigned long long* Keys = B.CellKey.data();
        std::size_t From[3] = {0, 0, 0};
        for (std::size_t i = 0; i < A.ByCell.size(); ++i) {
            const unsigned long long Key = A.CellKey[i];
            const double E = A.CellExpected[i];
            const double CoefVar = A.CellCoefVar[i];
            for (int d = 0; d < 3; ++d) {
                // The key of the cell one row down (d = 0), in, or up, and one column to the left.
                const unsigned long long Low = Key + (static_cast<unsigned long long>(d) << 32) - (1ULL << 32) - 1;
                const unsigned long long High = Low + 2;
                std::size_t k = From[d];
                while (k < GB && Keys[k] < Low) ++k;
                From[d] = k;
                for (; k < GB && Keys[k] <= High; ++k)
                    Test(A.ByCell[i], E, CoefVar, B.ByCell[k], B.CellExpected[k], B.CellCoefVar[k]);
            }
        }
    } else {
        const std::vector<int>& OrderA = SortedOrder(A, FOrderA);
        const std::vector<int>& OrderB = SortedOrder(B, FOrderB);
        const bool Contiguous = B.SortedExpected.size() == OrderB.size() && &OrderB == &B.ByExpected;
        const auto ExpectedB = [&](std::size_t k) {
            return Contiguous ? B.SortedExpected[k] : B.Expected[static_cast<std::size_t>(OrderB[k])];
        };
        const auto CoefVarB = [&](std::size_t k) {
            return Contiguous ? B.SortedCoefVar[k] : B.CoefVar[static_cast<std::size_t>(OrderB[k])];
        };
        // Every proximal pair lies within the reach in expected duration; both sides ascend, so
        // the window slides.
        std::size_t First = 0;
        for (const int t : OrderA) {
            const std::size_t tt = static_cast<std::size_t>(t);
            const double E = A.Expected[tt];
            const double CoefVar = A.CoefVar[tt];
            const double Slack = std::fabs(E) * 1e-12;
            while (First < OrderB.size() && ExpectedB(First) < E - Near - Slack) ++First;
            for (std::size_t k = First; k < OrderB.size(); ++k) {
                const double EB = ExpectedB(k);
                if (EB > E + Near + Slack) break;
                // Coefficients of variation this far apart cannot be proximal.
                if (!DeterministicDistance && std::fabs(CoefVar - CoefVarB(k)) >= Near) continue;
                Test(t, E, CoefVar, OrderB[k], EB, CoefVarB(k));
            }
        }
    }
    Bucket(FEdgeLeft, A.Expected.size(), FStartA, FEdgesOfA);
    Bucket(FEdgeRight, B.Expected.size(), FStartB, FEdgesOfB);
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
    const std::vector<int>& LeftEnd = LeftIsA ? FEdgeLeft : FEdgeRight;
    const std::vector<int>& RightEnd = LeftIsA ? FEdgeRight : FEdgeLeft;

    Covered.assign(GL, 0);
    if (LeftEnd.empty()) return;
    FFlow.assign(LeftEnd.size(), 0);
    FFree = Right.Count;
    if (FSeenLeft.size() < GL) FSeenLeft.resize(GL, 0), FParentLeft.resize(GL, 0);
    if (FSeenRight.size() < GR) FSeenRight.resize(GR, 0), FParentRight.resize(GR, 0);

    const std::vector<int>& Order = SortedOrder(Left, LeftIsA ? FOrderA : FOrderB);
    for (std::size_t k = Order.size(); k-- > 0;) {  // decreasing expected duration
        const int t = Order[k];
        const std::size_t tt = static_cast<std::size_t>(t);
        if (StartL[tt] == StartL[tt + 1]) continue;
        int Need = Left.Count[tt];
        while (Need > 0) {
            if (FStamp == INT_MAX) {
                std::fill(FSeenLeft.begin(), FSeenLeft.end(), 0);
                std::fill(FSeenRight.begin(), FSeenRight.end(), 0);
                FStamp = 0;
            }
            const int Stamp = ++FStamp;
            FSeenLeft[tt] = Stamp;
            FQueue.assign(1, t);
            int Found = -1;
            for (std::size_t Head = 0; Head < FQueue.size() && Found < 0; ++Head) {
                const std::size_t x = static_cast<std::size_t>(FQueue[Head]);
                for (int p = StartL[x]; p < StartL[x + 1]; ++p) {
                    const int e = EdgesL[static_cast<std::size_t>(p)];
                    const std::size_t u = static_cast<std::size_t>(RightEnd[static_cast<std::size_t>(e)]);
                    if (FSeenRight[u] == Stamp) continue;
                    FSeenRight[u] = Stamp;
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
            if (Found < 0) break;

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
        Covered[tt] = Left.Count[tt] - Need;
    }
}

void TExactMatcher::Match(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                          double EpsilonDist, TExactSum& Matched, int* Cardinality)
{
    FindEdges(A, B, DeterministicDistance, EpsilonDist);
    CoverSide(A, B, true, FCoveredA);
    CoverSide(B, A, false, FCoveredB);
    Matched.Clear();
    int Pairs = 0;
    for (std::size_t g = 0; g < FCoveredA.size(); ++g)
        if (FCoveredA[g] > 0) Matched.AddMultiple(FCoveredA[g], A.Expected[g]), Pairs += FCoveredA[g];
    for (std::size_t g = 0; g < FCoveredB.size(); ++g)
        if (FCoveredB[g] > 0) Matched.AddMultiple(FCoveredB[g], B.Expected[g]);
    if (Cardinality != nullptr) *Cardinality = Pairs;
}

double TExactMatcher::MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                                      double EpsilonDist, int* Cardinality)
{
    TExactSum Matched;
    Match(A, B, DeterministicDistance, EpsilonDist, Matched, Cardinality);
    return Matched.Value();
}

}  // namespace orbench
