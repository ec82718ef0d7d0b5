// Exact matching of the surgeries of two instances, and the proximity index that feeds it.
//
// Problem. Two instances A and B, each a list of surgeries with an expected duration (days) and a
// coefficient of variation. A surgery of A and one of B may be paired when they are proximal
// (IsProximalMoments: expected durations closer than EpsilonDist, or with the stochastic distance
// the points (coefficient of variation, expected duration) closer than EpsilonDist). Wanted: a
// matching (each surgery paired at most once) of maximum cardinality and, among those, one of
// largest matched duration, the sum of the expected durations of the matched surgeries of both
// sides. Output: that sum, correctly rounded, and the cardinality. The surgeries of one type are
// interchangeable, so the work is done on groups (TSurgeryGroups): a matching is a flow of whole
// surgeries along the proximal group pairs.
//
// Algorithm (TExactMatcher). The sets of surgeries of one side that some matching covers are the
// independent sets of a transversal matroid (Edmonds and Fulkerson 1965), whose bases are the sides
// of the maximum matchings. The greedy algorithm over a matroid (Edmonds 1971, "Matroids and the
// greedy algorithm"; Lawler, "Combinatorial Optimization: Networks and Matroids", 1976) finds a
// basis of largest weight: it takes the groups by decreasing expected duration and covers as many
// surgeries of each as it can, each time by a breadth-first augmenting path search over the groups
// (Ford and Fulkerson 1956). This is done for A's side and, on its own, for B's side; the matched
// duration is the sum of both.
//
// Why it is correct. An augmenting path reroutes the flow but uncovers nothing, so what the greedy
// has covered stays covered, and a group is left short only when no augmenting path exists: the
// greedy's choice is independent at every step and a basis at the end, hence a maximum matching's
// side of largest weight (the greedy theorem). By the Mendelsohn-Dulmage theorem (1958) one matching
// covers A's chosen surgeries and B's chosen surgeries at once; it is a maximum matching, and no
// maximum matching covers heavier sides, so the sum is the optimum. Two shortcuts keep the result:
// an edge that is the only one of both its groups is a component of its own and matches the smaller
// group in full; and the right groups reached by a failed search are saturated, fed only by left
// groups that reach nothing else, so no later augmenting path can pass through them and they are
// skipped from then on.
//
// Cost of one pair, with E proximal group pairs, G <= 2 E groups on them and m matched pairs:
// O(E) when every edge is isolated; otherwise per side at most m successful and G failed searches
// of O(G + E) each, so O((m + G) (G + E)) at worst, plus O(E + G^2) at worst to number and order
// the groups (an insertion sort, used when they are few). The sums take O(G). Memory O(E) plus
// stamps per group of the instances, kept by the matcher between pairs.
//
// Proximity (TProximityIndex): the fixed-radius near-neighbour problem on the distinct surgery
// types of an analysis, solved by cells and by sorting (Bentley, Stanat and Williams 1977, "The
// complexity of finding fixed-radius near neighbors"). With the stochastic distance the types are
// placed on a grid of square cells a little wider than EpsilonDist and each is tested against its
// own and the neighbouring cells; with the deterministic distance, or when the grid would be much
// larger than the types, a sweep over the types by ascending expected duration tests each against
// the window of types within EpsilonDist of it. No proximal pair lies outside the cells or windows
// searched (they are widened to absorb rounding), and each candidate pair is decided by
// TProximityTest, which answers as IsProximalMoments does. For T types and P proximal type pairs:
// O(T + C + the pairs tested) for the grid, with C <= 8 T + 4096 cells, and O(T log T + the pairs
// tested) for the sweep, O(T^2) at worst when the types crowd together; memory O(T + C + P) and
// the places of the types. A row's group pairs then cost a binary search per proximal type pair
// met, plus the pairs found.
//
// See docs/engines.md, "Proximity of surgery types" and "Exact matching".

#pragma once

#include <vector>

#include "ExactSum.h"

namespace orbench {

// The surgeries of one instance grouped by surgery type, in order of first occurrence.
struct TSurgeryGroups {
    std::vector<double> Expected;     // per group, days
    std::vector<double> CoefVar;      // per group
    std::vector<int> Count;           // per group
    std::vector<int> GroupOfSurgery;  // per surgery, in the instance's order
    double TotalExpected = 0;         // sum over the surgeries in order
    // Optional, made by SortGroups: the groups by ascending Expected (ties by group number), each
    // group's position in that order, and the exact sum of Expected over all surgeries.
    std::vector<int> ByExpected;
    std::vector<int> RankOfGroup;
    TExactSum ExactTotal;
    // Optional, for TProximityIndex: per group, the number of its surgery type among the distinct
    // types of all instances of the analysis.
    std::vector<int> TypeOfGroup;
    // Optional, made by SetFixedScale: Expected per group and the total in fixed point.
    int FixedExponent = NoFixedExponent;
    std::vector<TWideInt> FixedExpected;
    TWideInt FixedTotal = 0;
};

// The total expected duration of both instances' surgeries, correctly rounded (after
// SetFixedScale, or with exact totals).
double PairTotal(const TSurgeryGroups& A, const TSurgeryGroups& B);

// Fills ByExpected, RankOfGroup and (unless not asked for) ExactTotal.
void SortGroups(TSurgeryGroups& Groups, bool WithExactTotal = true);
// Gives all instances of an analysis one fixed-point scale when their expected durations allow
// it (sums of a pair must not overflow); otherwise their exact totals (TExactSum) are filled.
void SetFixedScale(std::vector<TSurgeryGroups>& Instances);

// The proximal group pairs of one row: for every b > a, the pairs (group of a, group of b) at
// positions Start[b] .. Start[b + 1] - 1 of Left and Right. Buffers kept between rows.
struct TRowEdges {
    std::vector<int> Start, Left, Right;
    std::vector<int> Other, OtherLeft, OtherRight, Order;  // unsorted, and their sorted order
};

// The working space of TProximityIndex::Build, kept from one analysis to the next with its memory.
struct TProximityScratch {
    std::vector<double> Expected, CoefVar, SortedExpected, SortedCoefVar;
    std::vector<long long> Row, Column;
    std::vector<int> Next, CellOf, CellStart, Order, From, To, Edges;
};

// The distinct surgery types of all instances of one analysis, which of them are proximal, and
// where each occurs: finds the proximal group pairs of a whole row of instance pairs at once, in
// time about proportional to their number (a binary search per proximal type pair met, plus the
// pairs found). Proximity is decided once per pair of types.
class TProximityIndex {
public:
    // Instances' TypeOfGroup must number the types 0 .. NumTypes - 1; groups of one type must
    // carry the same moments.
    TProximityIndex() = default;
    TProximityIndex(const std::vector<TSurgeryGroups>& Instances, int NumTypes, bool DeterministicDistance,
                    double EpsilonDist);
    // Made anew for other instances, in the memory of the last ones. Instances must outlive the use.
    void Build(const std::vector<TSurgeryGroups>& Instances, int NumTypes, bool DeterministicDistance,
               double EpsilonDist);
    void RowEdges(int a, TRowEdges& Edges) const;

private:
    void FindProximalTypes(const std::vector<double>& Expected, const std::vector<double>& CoefVar,
                           bool DeterministicDistance, double EpsilonDist);

    const std::vector<TSurgeryGroups>* FInstances = nullptr;
    TProximityScratch FScratch;
    std::vector<int> FNeighbourStart, FNeighbours;              // per type: the proximal types (itself included)
    std::vector<int> FPlaceStart, FPlaceInstance, FPlaceGroup;  // per type: its groups, by instance
};

// Maximum-cardinality matchings between two grouped instances, and among them one of the
// largest matched expected duration. Works on the groups: a matching is a flow of whole
// surgeries between proximal groups, and only the groups with proximal partners take part. One
// matcher per thread; it keeps its buffers between pairs.
class TExactMatcher {
public:
    // Returns the matched expected duration: the exact sum of Expected over the matched surgeries
    // of both sides, correctly rounded. Cardinality receives the number of matched pairs.
    double MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                           double EpsilonDist, int* Cardinality = nullptr);
    // The same on given proximal group pairs (Left[k] of A, Right[k] of B, each pair once),
    // giving the matched sum and the total of both instances, each correctly rounded. A and B need
    // SortGroups.
    void MatchEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right, int NumEdges,
                    double& Matched, double& Total, int* Cardinality = nullptr);

private:
    // The groups of one side that have edges, numbered locally.
    struct TSide {
        std::vector<int> Global;  // per local group: the group of the instance
        std::vector<int> Count;   // per local group: its surgeries
        std::vector<int> Order;   // local groups by decreasing expected duration
        std::vector<int> Start;   // per local group: its edges at Start[i] .. Start[i + 1] - 1 of Edges
        std::vector<int> Edges;
        std::vector<int> Covered;            // per local group: surgeries a chosen matching covers
        std::vector<int> Local, LocalStamp;  // per group of the instance: its local number, valid at Stamp
        int Stamp = 0;
        // The local number of group g, numbering it when it is new.
        int Number(int g);
        void Reset(std::size_t Groups);
    };
    void Localise(const TSurgeryGroups& Instance, TSide& Side);
    // For each group of the left side, how many of its surgeries a maximum matching of largest
    // weight covers: greedy by decreasing expected duration over the transversal matroid, each step
    // an augmenting path search.
    void Cover(TSide& Left, const TSide& Right, const std::vector<int>& LeftEnd, const std::vector<int>& RightEnd);
    void Sums(const TSurgeryGroups& A, const TSurgeryGroups& B, double& Matched, double& Total);
    // MatchEdges when no group has two edges (the common case of sparse pairs); false otherwise.
    bool MatchIsolated(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                       int NumEdges, double& Matched, double& Total, int* Cardinality);

    TSide FA, FB;                                // the groups with edges
    TSide FSubA, FSubB;                          // those with edges that are not isolated
    std::vector<int> FEndA, FEndB;               // per such edge: its group in FSubA and FSubB
    std::vector<int> FFlow;                      // per edge
    std::vector<int> FFree;                      // per right group: unmatched surgeries
    std::vector<int> FSeenLeft, FSeenRight;      // search stamps
    std::vector<int> FDeadRight;                 // right groups no augmenting path can reach
    std::vector<int> FParentLeft, FParentRight;  // the edge a node was reached by
    std::vector<int> FQueue, FVisitedRight;
    std::vector<int> FLeftBuffer, FRightBuffer;
    std::vector<int> FSeenA, FSeenB;  // groups met, valid at FSeenStamp
    int FSeenStamp = 0;
    int FStamp = 0;
    TExactSum FMatchedSum;
};

// The proximity test on the precomputed moments, exactly as IsProximal computes it.
bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB, bool DeterministicDistance,
                       double EpsilonDist);

// The same test for many pairs under one threshold: the square root of the stochastic distance is
// taken only where the squared distance lies too close to the threshold's square to decide.
class TProximityTest {
public:
    TProximityTest(bool DeterministicDistance, double EpsilonDist);
    bool operator()(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB) const
    {
        if (FDeterministic) return IsProximalMoments(ExpectedA, 0, ExpectedB, 0, true, FEpsilon);
        const double dCV = CoefVarA - CoefVarB;
        const double dE = ExpectedA - ExpectedB;
        const double Square = dCV * dCV + dE * dE;
        if (Square < FSureIn) return true;
        if (Square > FSureOut) return false;
        return IsProximalMoments(ExpectedA, CoefVarA, ExpectedB, CoefVarB, false, FEpsilon);
    }

private:
    bool FDeterministic;
    double FEpsilon;
    double FSureIn = 0;   // squares below: proximal beyond doubt (-1: never)
    double FSureOut = 0;  // squares above: not proximal beyond doubt (+inf: never)
};

}  // namespace orbench
