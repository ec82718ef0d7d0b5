#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "Model.h"

namespace orbench {

// A linear or mixed-integer program passed column-wise: per column the start and count of its
// entries in MatInd/MatVal; row senses 'L' (at most), 'E' (equal), 'G' (at least); column types
// 'B' binary or 'C' continuous (empty for a pure LP).
struct TLinearProgram {
    std::string Name;
    int NumCols = 0;
    int NumRows = 0;
    int ObjSense = 1;  // 1 minimise, -1 maximise
    DoubArray Obj;
    DoubArray Rhs;
    std::vector<char> Sense;
    IntArray MatBeg;
    IntArray MatCnt;
    IntArray MatInd;
    DoubArray MatVal;
    DoubArray Lb;
    DoubArray Ub;
    std::vector<char> ColType;
};

enum class TSolveStatus {
    ssOptimal,      // solved; X and ObjVal hold the optimum
    ssNotCreated,   // the solver is not started: nothing was built, X and ObjVal untouched
    ssInfeasible,   // solved, no feasible point: X zero-filled
    ssFailed,       // the solver stopped without an optimum: X zero-filled
    ssStopped,      // the stop flag was raised during the solve: X zero-filled
    ssTimeLimit,    // a MIP reached its time limit: X holds the best solution found (zero-filled when none)
};

// How a solve may be cut short. The stop flag is read by the solvers at every simplex
// iteration and at every branch-and-bound event, so a raised flag ends a solve soon.
struct TSolveControl {
    const std::atomic<bool>* Stop = nullptr;
    double TimeLimitSeconds = 0;  // wall-clock seconds for a MIP; 0 means none
    // A MIP's best objective found so far and its proven bound, stored at every branch-and-bound
    // event when given (minimising: found >= optimum >= bound; a found value of 1e49 or more means
    // none yet).
    std::atomic<double>* BestFound = nullptr;
    std::atomic<double>* BestPossible = nullptr;
};

// The solver environment of the program: opened at start-up after the model root is created,
// closed at exit after it is freed. While closed every solve ends with ssNotCreated.
bool OpenSolverEnvironment();
void CloseSolverEnvironment();
bool SolverEnvironmentIsOpen();

// "Error: the LP/MIP solver could not be started!"
extern const char* const SolverStartFailedMessage;

// Solves the program (with CBC when it has column types, else with CLP's primal simplex), logging
// off. X is set
// to NumCols values, zero-filled before the solver's values are read.
TSolveStatus SolveLinearProgram(const TLinearProgram& Program, DoubArray& X, double& ObjVal,
                                const TSolveControl& Control = {});

std::string SolveStatusText(TSolveStatus Status);

}  // namespace orbench
