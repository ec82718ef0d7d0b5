#include "ExactMatching.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orbench {

namespace {

constexpr int Unvisited = -2;

// Groups of the other side, sorted by expected duration, with the window of candidates of one
// expected duration: a slightly wider interval than any proximal pair can reach, filtered by the
// exact test.
struct TSortedSide {
    explicit TSortedSide(const TSurgeryGroups& Side) : Order(Side.Expected.size())
    {
        std::iota(Order.begin(), Order.end(), 0);
        std::sort(Order.begin(), Order.end(), [&](int a, int b) {
            const double Ea = Side.Expected[static_cast<std::size_t>(a)];
            const double Eb = Side.Expected[static_cast<std::size_t>(b)];
            return Ea != Eb ? Ea < Eb : a < b;
        });
        for (int g : Order) Sorted.push_back(Side.Expected[static_cast<std::size_t>(g)]);
    }
    std::vector<int> Order;
    std::vector<double> Sorted;
};

}  // namespace

bool IsProximalMoments(double ExpectedA, double CoefVarA, double ExpectedB, double CoefVarB,
                       bool DeterministicDistance, double EpsilonDist)
{
    if (DeterministicDistance) return std::fabs(ExpectedA - ExpectedB) < EpsilonDist;
    const double dCV = CoefVarA - CoefVarB;
    const double dE = ExpectedA - ExpectedB;
    return std::sqrt(dCV * dCV + dE * dE) < EpsilonDist;
}

double TExactMatcher::MatchedExpected(const TSurgeryGroups& A, const TSurgeryGroups& B, bool DeterministicDistance,
                                      double EpsilonDist, int* Cardinality)
{
    const std::size_t GL = A.Expected.size();
    const std::size_t GR = B.Expected.size();
    std::vector<std::vector<int>> AdjacentOfLeft(GL);
    std::vector<std::vector<int>> AdjacentOfRight(GR);
    if (EpsilonDist > 0 && GL > 0 && GR > 0) {
        const TSortedSide Right(B);
        const double Reach = EpsilonDist * (1 + 1e-9);
        for (std::size_t t = 0; t < GL; ++t) {
            const double E = A.Expected[t];
            auto It = std::lower_bound(Right.Sorted.begin(), Right.Sorted.end(), E - Reach - std::fabs(E) * 1e-12);
            for (; It != Right.Sorted.end() && *It <= E + Reach + std::fabs(E) * 1e-12; ++It) {
                const int u = Right.Order[static_cast<std::size_t>(It - Right.Sorted.begin())];
                const std::size_t uu = static_cast<std::size_t>(u);
                if (IsProximalMoments(E, A.CoefVar[t], B.Expected[uu], B.CoefVar[uu], DeterministicDistance,
                                      EpsilonDist))
                    AdjacentOfLeft[t].push_back(u);
            }
            std::sort(AdjacentOfLeft[t].begin(), AdjacentOfLeft[t].end());
            for (int u : AdjacentOfLeft[t]) AdjacentOfRight[static_cast<std::size_t>(u)].push_back(static_cast<int>(t));
        }
    }

    std::vector<int> CoveredA;
    std::vector<int> CoveredB;
    CoverLeft(A.Expected, A.Count, B.Count, AdjacentOfLeft, CoveredA);
    CoverLeft(B.Expected, B.Count, A.Count, AdjacentOfRight, CoveredB);
    if (Cardinality != nullptr) *Cardinality = std::accumulate(CoveredA.begin(), CoveredA.end(), 0);

    // The covered surgeries of a group are taken as its first ones in the instance's order.
    auto SumCovered = [](const TSurgeryGroups& Side, const std::vector<int>& Covered) {
        std::vector<int> Seen(Covered.size(), 0);
        double Sum = 0;
        for (int g : Side.GroupOfSurgery) {
            const std::size_t gg = static_cast<std::size_t>(g);
            if (++Seen[gg] <= Covered[gg]) Sum += Side.Expected[gg];
        }
        return Sum;
    };
    return SumCovered(A, CoveredA) + SumCovered(B, CoveredB);
}

void TExactMatcher::CoverLeft(const std::vector<double>& LeftExpected, const std::vector<int>& LeftCount,
                              const std::vector<int>& RightCount, const std::vector<std::vector<int>>& Adjacent,
                              std::vector<int>& Covered)
{
    const std::size_t GL = LeftExpected.size();
    const std::size_t GR = RightCount.size();
    Covered.assign(GL, 0);
    FFlow.assign(GL * GR, 0);
    FRightFree = RightCount;
    // Right groups' left neighbours, to follow flow backwards.
    std::vector<std::vector<int>> LeftOfRight(GR);
    for (std::size_t t = 0; t < GL; ++t)
        for (int u : Adjacent[t]) LeftOfRight[static_cast<std::size_t>(u)].push_back(static_cast<int>(t));

    std::vector<int> Order(GL);
    std::iota(Order.begin(), Order.end(), 0);
    std::sort(Order.begin(), Order.end(), [&](int a, int b) {
        const double Ea = LeftExpected[static_cast<std::size_t>(a)];
        const double Eb = LeftExpected[static_cast<std::size_t>(b)];
        return Ea != Eb ? Ea > Eb : a < b;
    });

    auto Flow = [&](int Left, int Right) -> int& {
        return FFlow[static_cast<std::size_t>(Left) * GR + static_cast<std::size_t>(Right)];
    };
    // Parent of a right node (GL + u): the left node it was reached from; of a left node: the right
    // node (GL + u) whose flow led back to it.
    const int LeftNodes = static_cast<int>(GL);
    for (const int t : Order) {
        int Need = LeftCount[static_cast<std::size_t>(t)];
        while (Need > 0) {
            FParent.assign(GL + GR, Unvisited);
            FParent[static_cast<std::size_t>(t)] = -1;
            FQueue.assign(1, t);
            int Found = -1;
            for (std::size_t Head = 0; Head < FQueue.size() && Found < 0; ++Head) {
                const int x = FQueue[Head];
                for (const int u : Adjacent[static_cast<std::size_t>(x)]) {
                    int& ParentOfU = FParent[static_cast<std::size_t>(LeftNodes + u)];
                    if (ParentOfU != Unvisited) continue;
                    ParentOfU = x;
                    if (FRightFree[static_cast<std::size_t>(u)] > 0) {
                        Found = u;
                        break;
                    }
                    for (const int x2 : LeftOfRight[static_cast<std::size_t>(u)]) {
                        if (Flow(x2, u) > 0 && FParent[static_cast<std::size_t>(x2)] == Unvisited) {
                            FParent[static_cast<std::size_t>(x2)] = LeftNodes + u;
                            FQueue.push_back(x2);
                        }
                    }
                }
            }
            if (Found < 0) break;

            int Amount = std::min(Need, FRightFree[static_cast<std::size_t>(Found)]);
            for (int u = Found;;) {
                const int x = FParent[static_cast<std::size_t>(LeftNodes + u)];
                if (x == t) break;
                const int Back = FParent[static_cast<std::size_t>(x)] - LeftNodes;
                Amount = std::min(Amount, Flow(x, Back));
                u = Back;
            }
            for (int u = Found;;) {
                const int x = FParent[static_cast<std::size_t>(LeftNodes + u)];
                Flow(x, u) += Amount;
                if (x == t) break;
                const int Back = FParent[static_cast<std::size_t>(x)] - LeftNodes;
                Flow(x, Back) -= Amount;
                u = Back;
            }
            FRightFree[static_cast<std::size_t>(Found)] -= Amount;
            Need -= Amount;
        }
        Covered[static_cast<std::size_t>(t)] = LeftCount[static_cast<std::size_t>(t)] - Need;
    }
}

}  // namespace orbench
