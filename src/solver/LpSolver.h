// The LP/MIP layer: linear and mixed-integer programs handed to the COIN-OR solvers.
//
// Problem. A TLinearProgram: minimise or maximise Obj x subject to each row's activity being at
// most, equal to or at least its right-hand side, Lb <= x <= Ub, and, for a mixed-integer
// program, some columns integer. Output: an optimal x and its objective value, optimal within the
// solvers' default tolerances, or a status that tells why there is none.
//
// Algorithm. What this layer wraps: a program whose columns are all continuous goes to CLP's
// primal simplex method (Dantzig, "Linear Programming and Extensions", 1963), started from the
// all-slack basis; a program with an integer column goes to CBC's branch and cut, LP-based branch
// and bound (Land and Doig 1960) with CBC's default preprocessing, cutting planes and heuristics,
// run as CBC's own command line runs "-solve" (Forrest and Lougee-Heimer 2005, "CBC User Guide").
// Both are COIN-OR projects (Lougee-Heimer 2003, "The Common Optimization INterface for
// Operations Research"). The layer only translates: row senses into row bounds, the column-wise
// arrays into one packed matrix, the solvers' outcome into TSolveStatus, and the stop flag and
// the time limit into event handlers and options.
//
// Why it is correct. The optimum is the solvers' own, proven by them: CLP stops at a basis that is
// primal and dual feasible, CBC when its search has closed the gap between its best solution and
// its bound (within its default gap tolerances). This layer checks the program's shape, zero-fills
// X, and reports an optimum only when the solver proved one.
//
// Cost. Packing: O(rows + columns + entries) time and memory. Solving: the simplex method takes an
// exponential number of pivots in the worst case under the usual pivoting rules (Klee and Minty
// 1972), far fewer in practice; branch and cut is exponential in the worst case. Users: the
// matching LP of the solver engine (Overlap.h) and the selection MIP (SelectionModel.h).
//
// See docs/engines.md, "The LP/MIP layer".

#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "Model.h"

namespace orbench {

// A linear or mixed-integer program passed column-wise: per column the start and count of its
// entries in MatInd/MatVal; row senses 'L' (at most), 'E' (equal), 'G' (at least); column types
// 'C' continuous or 'B' binary (empty for a pure LP). Any type other than 'C' makes the column
// integer within its bounds Lb and Ub, which make a 'B' column binary.
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
    ssOptimal,     // solved; X and ObjVal hold the optimum
    ssNotCreated,  // the solver is not started: nothing was built, X and ObjVal untouched
    ssInfeasible,  // solved, no feasible point: X zero-filled
    ssFailed,      // the solver stopped without an optimum: X zero-filled
    ssStopped,     // the stop flag was raised during the solve: X zero-filled
    ssTimeLimit,   // a MIP reached its time limit: X holds the best solution found (zero-filled when none)
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

// Solves the program (with CBC when some column type is not 'C', else with CLP's primal simplex),
// logging off. X is set to NumCols values, zero-filled before the solver's values are read.
TSolveStatus SolveLinearProgram(const TLinearProgram& Program, DoubArray& X, double& ObjVal,
                                const TSolveControl& Control = {});

std::string SolveStatusText(TSolveStatus Status);

}  // namespace orbench
