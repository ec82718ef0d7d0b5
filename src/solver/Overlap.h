#pragma once

#include <functional>

#include "LpSolver.h"
#include "Model.h"

namespace orbench {

// How overlap and selection are solved: exactly by combinatorial algorithms (the default), or
// through the LP/MIP solver. Both give the same results up to ties and rounding.
enum class TOverlapEngine { oeExact, oeSolver };

// "exact" / "solver"; false for another text.
bool TryTextToOverlapEngine(const std::string& Text, TOverlapEngine& Engine);

struct TOverlapSettings {
    TOverlapEngine Engine = TOverlapEngine::oeExact;
    // Worker threads for the pairs; 0 means one per core.
    int Threads = 0;
};

// Called on the caller's thread after all pairs (a, b > a) of row a are done, a = 0 .. N - 2.
// It may throw to abandon the analysis (the workers are stopped first).
using TOverlapRowDone = std::function<void(int Row, int LastRow)>;

// Whether two surgeries are alike: their expected durations (days) differ by less than
// EpsilonDist, or with the stochastic distance the point (coefficient of variation, expected
// duration) of one lies closer than EpsilonDist to the other's. Refreshes the cached moments.
bool IsProximal(TDistribution& A, TDistribution& B, bool DeterministicDistance, double EpsilonDist);

// The matching LP of a weight matrix: one column per (i, j) at i * M + j with objective w(i, j)
// and bounds [0, w(i, j)]; N + M rows of sense 'L' and right-hand side 1; maximise.
TLinearProgram BuildMatchingModel(const DoubDoubArray& Weights);

// A maximum-weight matching between the rows and columns of Weights, solved as an LP. False
// (X and ObjVal untouched) when the solver is not started; throws EOrbenchError when the solver
// fails on the problem.
bool SolveMatchingNxM(const DoubDoubArray& Weights, double& ObjVal, DoubArray& X);

// The overlap matrix of the list: for each pair the share of the two instances' total expected
// duration carried by a largest set of one-to-one matched proximal surgery pairs (0 when both
// totals are 0). Throws EOrbenchError naming the pair when a matching cannot be solved.
void AnalyzeOverlap(const TInstanceList& List, double EpsilonDist, DoubDoubArray& Overlap, bool DeterministicDistance,
                    const TOverlapSettings& Settings = {}, const TOverlapRowDone& RowDone = {});

}  // namespace orbench
