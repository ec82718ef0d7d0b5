// Selecting the least overlapping instances.
//
// Problem. Given the N x N overlap matrix O and a size y < N, choose y instances so that the
// value of the set, the largest of 0, the diagonal entries of its members and both entries of
// each pair of members, is smallest. With overlaps read as negated distances this is the discrete
// p-dispersion problem (Erkut 1990, "The discrete p-dispersion problem"), NP-hard in general.
// Output: an optimal set (the exact engine: the lexicographically smallest one of its ascending
// positions) and its value, in the column order of the selection MIP (SelectionModel.h).
//
// Algorithm (exact engine). A bottleneck problem solved by the threshold method (Edmonds and
// Fulkerson 1970, "Bottleneck extrema"): a set of value at most t is a clique of y vertices in the
// threshold graph G(t), whose vertices are the instances with diagonal entry at most t and whose
// edges join the pairs with both entries at most t. A quick set first bounds the optimum from
// above: a greedy from several first instances, then swaps while they lower the value. The
// optimum is one of the distinct entries up to that bound, or 0; they are searched downwards from
// the top in growing steps while sets are found, then by halving (exponential search, Bentley and
// Yao 1976, "An almost optimal algorithm for unbounded searching"). Each probe asks whether G(t)
// has a y-clique: vertices of degree below y - 1 are dropped repeatedly (the (y - 1)-core,
// Seidman 1983), the rest numbered by decreasing degree, and a branch and bound over bit sets
// with the greedy colouring bound searches for the clique (Tomita and Seki 2003, "An efficient
// branch-and-bound algorithm for finding a maximum clique"; bit-parallel as in San Segundo,
// Rodriguez-Losada and Jimenez 2011, "An exact bit-parallel algorithm for the maximum clique
// problem"). At the optimal threshold the lexicographically smallest clique is built position by
// position, each next position the smallest that still leaves a clique of the size.
//
// Why it is correct. G(t) only gains vertices and edges as t grows, so whether a set of value at
// most t exists is monotone in t, and the optimum, being the value of a set, is one of the
// levels: the search keeps a level with a set above and only levels without one below. A vertex
// of a y-clique keeps y - 1 neighbours in every subgraph holding the clique, so the core drops
// none; a clique holds at most one vertex of each colour class, so candidates coloured with fewer
// classes than still needed hold no clique of the size.
//
// Cost, for N instances: the greedy O(N y) per first instance, with as many first instances as keep
// it near 2e7 steps (at least one, at most N), and O(y^3 + N y^2) per pass of swaps; O(N^2) to
// build each threshold graph and O(N^2 log N) to sort the levels; O(log N) probes, each a clique
// search exponential in the worst case whose nodes cost O(c (N / 64 + 1)) for c candidates
// (colouring with bit sets); up to N further searches for the lexicographically smallest set.
// Memory O(N^2): the pair values, the levels and the graph's bit rows. The solver engine builds the
// MIP of SelectionModel.h and hands it to CBC (LpSolver.h). A time limit ends the exact search with
// the best set found, and the MIP with CBC's best solution or the greedy set, whichever is better,
// flagged as not proven optimal.
//
// See docs/engines.md, "Choosing the least overlapping instances", "Exact selection" and
// "Selection MIP".

#pragma once

#include <functional>
#include <string>

#include "LpSolver.h"
#include "Model.h"
#include "Overlap.h"
#include "SelectionModel.h"

namespace orbench {

// Chooses y of the N instances so that the largest overlap among the chosen is smallest.
// False (X and ObjVal untouched) when y is not smaller than N, or when the solver engine is
// asked for and the solver is not started. Otherwise X holds N^2 + N + 1 values in the model's
// column order: X[0] the smallest largest overlap, X[1 + i] 1 for a chosen instance i, and
// ObjVal equals X[0]. The exact engine returns, among the optimal sets, the one whose ascending
// list of positions is lexicographically smallest; y <= 0 chooses nothing with overlap 0.
// Throws EOrbenchError when the solver fails on the problem.
bool SelectMinOverlapInstances(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                               TOverlapEngine Engine = TOverlapEngine::oeExact);

// The same with the engine, the stop request and the time limit of Settings. Throws
// EStopRequested when Settings.StopRequested asked to stop (X and ObjVal untouched). When the
// time limit ends the search first, X holds the best set found so far and ProvenOptimal (when
// given) is set to false; otherwise it is set to true.
bool SelectMinOverlapInstances(const DoubDoubArray& Overlap, int N, int y, DoubArray& X, double& ObjVal,
                               const TOverlapSettings& Settings, bool* ProvenOptimal = nullptr);

// Follows a long selection for a user (a TOverlapSettings::SelectionProgress): from FirstAfter
// seconds after it was made, and then every Every seconds, hands Print one line with the time
// spent, the largest overlap of the best set found, the proven lower bound and the gap. Clock
// gives seconds (a steady clock when empty).
class TSelectionReporter {
public:
    TSelectionReporter(std::function<void(const std::string& Line)> Print, std::function<double()> Clock = {},
                       double FirstAfter = 10, double Every = 5);
    void operator()(double BestFound, double LowerBound);

private:
    std::function<void(const std::string&)> FPrint;
    std::function<double()> FClock;
    double FStart, FNext, FEvery;
};

}  // namespace orbench
