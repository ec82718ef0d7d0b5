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
    // Optional, made by SortGroups: the groups by ascending Expected (ties by group number) with
    // their moments in that order, and the exact sum of Expected over all surgeries.
    std::vector<int> ByExpected;
    std::vector<double> SortedExpected, SortedCoefVar;
    TExactSum ExactTotal;
    // Optional, made by IndexGroups for the stochastic distance: the groups sorted by their cell
    // in a grid of square cells of side Cell over (Expected, CoefVar), with the cells and the
    // moments in that order. A proximal pair lies in the same or neighbouring cells.
    double Cell = 0;
    std::vector<int> ByCell;
    std::vector<unsigned long long> CellKey;  // row (Expected) in the high half, column in the low
    std::vector<double> CellExpected, CellCoefVar;
};

// Fills ByExpected, SortedExpected, SortedCoefVar and ExactTotal.
void SortGroups(TSurgeryGroups& Groups);
// Fills the grid for proximity threshold EpsilonDist; leaves Cell at 0 (no grid) when the
// threshold or the moments are out of the grid's range.
void IndexGroups(TSurgeryGroups& Groups, double EpsilonDist);

// Maximum-cardinality matchings between two grouped instances, and among them one of the
// largest matched expected duration. Works on the groups: a matching is a flow of whole
// surgeries between proximal groups. One matcher per thread; it keeps its buffers between pairs.
class TExactMatcher {
public:
    // Returns the matched expected duration: the exact sum of Expected over the matched surgeries
    // of both sides, correctly rounded. Cardinality receives the number of matched pairs.
    double MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                           double EpsilonDist, int* Cardinality = nullptr);
    // The same, leaving the exact sum in Matched (cleared first).
    void Match(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance, double EpsilonDist,
               TExactSum& Matched, int* Cardinality = nullptr);

private:
    // Edges between proximal groups of A (left) and B (right), in compressed lists per side.
    void FindEdges(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                   double EpsilonDist);
    // For each group of one side, how many of its surgeries a maximum matching of largest weight
    // covers: greedy by decreasing expected duration over the transversal matroid, each step an
    // augmenting path search. Left is A when LeftIsA, else B.
    void CoverSide(const TSurgeryGroups& Left, const TSurgeryGroups& Right, bool LeftIsA, std::vector<int>& Covered);
    const std::vector<int>& SortedOrder(const TSurgeryGroups& Side, std::vector<int>& Buffer);

    std::vector<int> FEdgeLeft, FEdgeRight;          // per edge: its A group and its B group
    std::vector<int> FStartA, FEdgesOfA;             // per A group: its edges
    std::vector<int> FStartB, FEdgesOfB;             // per B group: its edges
    std::vector<int> FFlow;                          // per edge
    std::vector<int> FFree;                          // per right group: unmatched surgeries
    std::vector<int> FSeenLeft, FSeenRight;          // search stamps
    std::vector<int> FParentLeft, FParentRight;      // the edge a node was reached by
    std::vector<int> FQueue;
    std::vector<int> FCoveredA, FCoveredB;
    std::vector<int> FOrderA, FOrderB;
    int FStamp = 0;
};

// The proximity test on the precomputed moments, exactly as IsProximal computes it.
bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist);

}  // namespace orbench
