#pragma once

#include <vector>

#include "ExactSum.h"

namespace orbench {

// The surgeries of one instance grouped by surgery type, in order of first occurrence.
struct TSurgeryGroups {
    std::vector<double> Expected;   // per group, days
    std::vector<double> CoefVar;    // per group
    std::vector<int> Count;         // per group
    std::vector<int> GroupOfSurgery;  // per surgery, in the instance's order
    double TotalExpected = 0;       // sum over the surgeries in order
    // Optional, made by SortGroups: the groups by ascending Expected (ties by group number), and
    // the exact sum of Expected over all surgeries.
    std::vector<int> ByExpected;
    TExactSum ExactTotal;
    // Optional, for TProximityIndex: per group, the number of its surgery type among the distinct
    // types of all instances of the analysis.
    std::vector<int> TypeOfGroup;
    // Optional, made by SetFixedScale: Expected per group and the total in fixed point.
    int FixedExponent = NoFixedExponent;
    std::vector<TWideInt> FixedExpected;
    TWideInt FixedTotal = 0;
};

// Fills ByExpected and ExactTotal.
void SortGroups(TSurgeryGroups& Groups);
// Gives all instances of an analysis one fixed-point scale when their expected durations allow
// it (sums of a pair must not overflow); otherwise they keep the exact sums of TExactSum.
void SetFixedScale(std::vector<TSurgeryGroups>& Instances);

// The proximal group pairs of one row: for every b > a, the pairs (group of a, group of b) at
// positions Start[b] .. Start[b + 1] - 1 of Left and Right. Buffers kept between rows.
struct TRowEdges {
    std::vector<int> Start, Left, Right;
    std::vector<int> Other, OtherLeft, OtherRight, Order;  // unsorted, and their sorted order
};

// The distinct surgery types of all instances of one analysis, which of them are proximal, and
// where each occurs: finds the proximal group pairs of a whole row of instance pairs at once, in
// time proportional to their number. Proximity is decided once per pair of types.
class TProximityIndex {
public:
    // Instances' TypeOfGroup must number the types 0 .. NumTypes - 1; groups of one type must
    // carry the same moments.
    TProximityIndex(const std::vector<TSurgeryGroups>& Instances, int NumTypes, bool DeterministicDistance,
                    double EpsilonDist);
    void RowEdges(int a, TRowEdges& Edges) const;

private:
    void FindProximalTypes(const std::vector<double>& Expected, const std::vector<double>& CoefVar,
                           bool DeterministicDistance, double EpsilonDist);

    const std::vector<TSurgeryGroups>& FInstances;
    std::vector<int> FNeighbourStart, FNeighbours;  // per type: the proximal types (itself included)
    std::vector<int> FPlaceStart, FPlaceInstance, FPlaceGroup;  // per type: its groups, by instance
};

// Maximum-cardinality matchings between two grouped instances, and among them one of the
// largest matched expected duration. Works on the groups: a matching is a flow of whole
// surgeries between proximal groups. One matcher per thread; it keeps its buffers between pairs.
class TExactMatcher {
public:
    // Returns the matched expected duration: the exact sum of Expected over the matched surgeries
    // of both sides, correctly rounded. Cardinality receives the number of matched pairs.
    double MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                           double EpsilonDist, int* Cardinality = nullptr);
    // The same on given proximal group pairs (Left[k] of A, Right[k] of B, ascending by Left),
    // giving the matched sum and the total of both instances, each correctly rounded. A and B need
    // SortGroups.
    void MatchEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                    int NumEdges, double& Matched, double& Total, int* Cardinality = nullptr);

private:
    // For each group of one side, how many of its surgeries a maximum matching of largest weight
    // covers: greedy by decreasing expected duration over the transversal matroid, each step an
    // augmenting path search. Left is A when LeftIsA, else B.
    void CoverSide(const TSurgeryGroups& Left, const TSurgeryGroups& Right, bool LeftIsA, std::vector<int>& Covered);
    void Sums(const TSurgeryGroups& A, const TSurgeryGroups& B, double& Matched, double& Total);
    const std::vector<int>& SortedOrder(const TSurgeryGroups& Side, std::vector<int>& Buffer);

    const int* FEdgeLeft = nullptr;   // per edge: its A group
    const int* FEdgeRight = nullptr;  // per edge: its B group
    int FNumEdges = 0;
    std::vector<int> FLeftBuffer, FRightBuffer;
    std::vector<int> FStartA, FEdgesOfA;             // per A group: its edges
    std::vector<int> FStartB, FEdgesOfB;             // per B group: its edges
    std::vector<int> FFlow;                          // per edge
    std::vector<int> FFree;                          // per right group: unmatched surgeries
    std::vector<int> FSeenLeft, FSeenRight;          // search stamps
    std::vector<int> FDeadRight;                     // right groups no augmenting path can reach
    std::vector<int> FParentLeft, FParentRight;      // the edge a node was reached by
    std::vector<int> FQueue, FVisitedRight;
    std::vector<int> FCoveredA, FCoveredB;
    std::vector<char> FIsolated;                     // per edge: the only edge of both its groups
    TExactSum FMatchedSum, FTotalSum;
    std::vector<int> FOrderA, FOrderB;
    int FStamp = 0;
};

// The proximity test on the precomputed moments, exactly as IsProximal computes it.
bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist);

}  // namespace orbench
