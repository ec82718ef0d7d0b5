#pragma once

#include <vector>

namespace orbench {

// The surgeries of one instance grouped by surgery type, in order of first occurrence.
struct TSurgeryGroups {
    std::vector<double> Expected;   // per group, days
    std::vector<double> CoefVar;    // per group
    std::vector<int> Count;         // per group
    std::vector<int> GroupOfSurgery;  // per surgery, in the instance's order
    double TotalExpected = 0;       // sum over the surgeries in order
};

// Maximum-cardinality matchings between two grouped instances, and among them one of the
// largest matched expected duration. Works on the groups: a matching is a flow of whole
// surgeries between proximal groups.
class TExactMatcher {
public:
    // Returns the matched expected duration: the sum of Expected over the matched surgeries of A
    // (in A's order) plus that over the matched surgeries of B (in B's order). Cardinality
    // receives the number of matched pairs.
    double MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                           double EpsilonDist, int* Cardinality = nullptr);

private:
    // For each group of the left side, how many of its surgeries a maximum matching of largest
    // weight covers (greedy by decreasing expected duration over the transversal matroid).
    void CoverLeft(const std::vector<double>& LeftExpected, const std::vector<int>& LeftCount,
                   const std::vector<int>& RightCount, const std::vector<std::vector<int>>& Adjacent,
                   std::vector<int>& Covered);

    std::vector<int> FFlow;  // left x right, row-major
    std::vector<int> FRightFree;
    std::vector<int> FParent;
    std::vector<int> FQueue;
};

// The proximity test on the precomputed moments, exactly as IsProximal computes it.
bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist);

}  // namespace orbench
