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
// time proportional to their number. Proximity is decided once per pair of types.
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
    std::vector<int> FNeighbourStart, FNeighbours;  // per type: the proximal types (itself included)
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
    void MatchEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, const int* Left, const int* Right,
                    int NumEdges, double& Matched, double& Total, int* Cardinality = nullptr);

private:
    // The groups of one side that have edges, numbered locally.
    struct TSide {
        std::vector<int> Global;  // per local group: the group of the instance
        std::vector<int> Count;   // per local group: its surgeries
        std::vector<int> Order;   // local groups by decreasing expected duration
        std::vector<int> Start;   // per local group: its edges at Start[i] .. Start[i + 1] - 1 of Edges
        std::vector<int> Edges;
        std::vector<int> Covered;  // per local group: surgeries a chosen matching covers
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

    TSide FA, FB;                                    // the groups with edges
    TSide FSubA, FSubB;                              // those with edges that are not isolated
    std::vector<int> FEndA, FEndB;                   // per such edge: its group in FSubA and FSubB
    std::vector<int> FFlow;                          // per edge
    std::vector<int> FFree;                          // per right group: unmatched surgeries
    std::vector<int> FSeenLeft, FSeenRight;          // search stamps
    std::vector<int> FDeadRight;                     // right groups no augmenting path can reach
    std::vector<int> FParentLeft, FParentRight;      // the edge a node was reached by
    std::vector<int> FQueue, FVisitedRight;
    std::vector<int> FLeftBuffer, FRightBuffer;
    std::vector<int> FSeenA, FSeenB;                 // groups met, valid at FSeenStamp
    int FSeenStamp = 0;
    int FStamp = 0;
    TExactSum FMatchedSum;
};

// The proximity test on the precomputed moments, exactly as IsProximal computes it.
bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist);

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
