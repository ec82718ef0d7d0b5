// The overlap of instances: what it is, and how an analysis computes it for every pair.
//
// Problem. For a list of N instances, the symmetric N x N matrix whose entry (a, b), a != b, is
// Matched / Total: Total the correctly rounded sum of the expected durations of all surgeries of
// both instances, Matched that of the surgeries covered by a maximum matching between them, a
// matching pairing surgeries that are proximal (IsProximal) and each surgery at most once; 0 when
// Total is 0, and 0 on the diagonal. The exact engine takes, among the maximum matchings, one of
// largest Matched; the solver engine the one its LP returns.
//
// Algorithm. The surgeries of every instance are grouped by surgery type (an open-addressing hash
// table on the type with linear probing and multiplicative hashing, Knuth, "The Art of Computer
// Programming", vol. 3, 6.4), the moments of each type computed once, and one fixed-point scale is
// set for all instances when their durations allow it (ExactSum.h). Exact engine: the proximity
// index of the types, which gives the proximal group pairs of a whole row of pairs at once, and per
// pair the greedy over the transversal matroid with augmenting paths (ExactMatching.h). Solver
// engine: per pair the 0/1 proximity matrix of the surgeries and the matching LP on its nonzero
// entries (maximise the matched pairs, each surgery at most once, 0 <= x <= 1), solved by CLP's
// primal simplex (LpSolver.h), the matched surgeries read from the solution. The pairs are spread
// over threads by TPairRunner (PairRunner.h), the rows handed to the caller in order.
//
// Why it is correct. The exact engine: see ExactMatching.h. The solver engine: the constraint
// matrix of the matching LP is the incidence matrix of a bipartite graph, which is totally
// unimodular (Hoffman and Kruskal 1956), so the basic optimum the simplex method returns is a 0/1
// vector, a maximum matching. Both sum Matched and Total exactly and divide once, so the entries
// lie in [0, 1] and identical instances give exactly 1 when EpsilonDist is positive.
//
// Cost, for N instances with S surgeries in all: grouping O(S) expected time. Exact engine: the
// proximity index and one matching per pair as told in ExactMatching.h, each on the groups and
// proximal group pairs of its two instances only. Solver engine: per pair of instances with n and
// m surgeries, O(n m) time and memory for the proximity matrix, and one LP of a column per
// proximal surgery pair and n + m rows. Memory of the result N^2 doubles.
//
// See docs/engines.md, "Overlap of two instances", "Matching LP" and "Running the pairs".

#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "LpSolver.h"
#include "Model.h"

namespace orbench {

// How overlap and selection are solved: exactly by combinatorial algorithms (the default), or
// through the LP/MIP solver. Both give the same results up to ties and rounding.
enum class TOverlapEngine { oeExact, oeSolver };

// "exact" / "solver"; false for another text.
bool TryTextToOverlapEngine(const std::string& Text, TOverlapEngine& Engine);

struct TOverlapSettings {
    TOverlapSettings(TOverlapEngine AEngine = TOverlapEngine::oeExact, int AThreads = 0)
        : Engine(AEngine), Threads(AThreads)
    {}

    TOverlapEngine Engine = TOverlapEngine::oeExact;
    // Worker threads for the pairs; 0 means one per core.
    int Threads = 0;
    // Asked on the caller's thread only, at least every 100 ms or so while the analysis or the
    // selection runs (the caller's thread waits for the workers with a timeout). True ends the
    // computation: the workers finish their current pair (a running LP or MIP is interrupted),
    // and EStopRequested is thrown; nothing half-computed is returned. The desktop program passes
    // a function that processes pending window events and returns its stop flag.
    std::function<bool()> StopRequested;
    // The selection gives up proving optimality after this many seconds (0: never) and returns
    // the best set found so far, flagged as not proven optimal.
    double SelectionTimeLimitSeconds = 0;
    // Told on the caller's thread, about every 50 ms while the selection searches, the largest
    // overlap of the best set found so far and the proven lower bound (found >= optimum >= bound),
    // so that a long search can be followed.
    std::function<void(double BestFound, double LowerBound)> SelectionProgress;
};

// Called on the caller's thread after all pairs (a, b > a) of row a are done, a = 0 .. N - 2,
// rows in order. It may throw to abandon the analysis (the workers are stopped first).
using TOverlapRowDone = std::function<void(int Row, int LastRow)>;

// Whether two surgeries are alike: their expected durations (days) differ by less than
// EpsilonDist, or with the stochastic distance the point (coefficient of variation, expected
// duration) of one lies closer than EpsilonDist to the other's. Refreshes the cached moments.
bool IsProximal(TDistribution& A, TDistribution& B, bool DeterministicDistance, double EpsilonDist);

// The matching LP of a weight matrix: one column per (i, j) at i * M + j with objective w(i, j)
// and bounds [0, w(i, j)]; N + M rows of sense 'L' and right-hand side 1; maximise.
TLinearProgram BuildMatchingModel(const DoubDoubArray& Weights);

// The same LP without the columns of weight 0, which their bounds fix at 0: the other columns in
// the same order, the same rows. ColumnOf receives, per column, its position i * M + j in the
// full model.
TLinearProgram BuildSparseMatchingModel(const DoubDoubArray& Weights, std::vector<std::size_t>& ColumnOf);

// A maximum-weight matching between the rows and columns of Weights, solved as an LP (the sparse
// model; X gets all N * M values, 0 for the columns left out). False (X and ObjVal untouched)
// when the solver is not started; throws EStopRequested when Control's stop flag ended the solve
// and EOrbenchError when the solver fails on the problem.
bool SolveMatchingNxM(const DoubDoubArray& Weights, double& ObjVal, DoubArray& X, const TSolveControl& Control = {});

// The overlap matrix of the list: for each pair Matched / Total, where Total is the correctly
// rounded sum of the expected durations of both instances' surgeries and Matched that of the
// surgeries of a largest set of one-to-one matched proximal surgery pairs (0 when Total is 0). So
// every entry lies in [0, 1] and identical instances give exactly 1 (for a positive EpsilonDist:
// otherwise no surgeries are proximal). The exact engine takes, among the largest matchings, one of
// largest matched duration. Throws EOrbenchError naming the pair when a matching cannot be solved,
// and EStopRequested when Settings.StopRequested asked to stop. When it throws, Overlap is left as
// N x N zeros.
void AnalyzeOverlap(const TInstanceList& List, double EpsilonDist, DoubDoubArray& Overlap, bool DeterministicDistance,
                    const TOverlapSettings& Settings = {}, const TOverlapRowDone& RowDone = {});

}  // namespace orbench
