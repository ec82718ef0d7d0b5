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
