#include "LpSolver.h"

#include <Cbc_C_Interface.h>
#include <Clp_C_Interface.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "OrbenchError.h"

namespace orbench {

const char* const SolverStartFailedMessage = "Error: the LP/MIP solver could not be started!";

namespace {

std::atomic<bool> EnvironmentOpen{false};

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Row senses as the lower and upper bounds of the row activity.
void RowBounds(const TLinearProgram& P, DoubArray& Lower, DoubArray& Upper)
{
    Lower.assign(static_cast<std::size_t>(P.NumRows), -Infinity);
    Upper.assign(static_cast<std::size_t>(P.NumRows), Infinity);
    for (int r = 0; r < P.NumRows; ++r) {
        const std::size_t i = static_cast<std::size_t>(r);
        switch (P.Sense[i]) {
        case 'L': Upper[i] = P.Rhs[i]; break;
        case 'G': Lower[i] = P.Rhs[i]; break;
        case 'E': Lower[i] = Upper[i] = P.Rhs[i]; break;
        default: throw EOrbenchError(std::string("Unknown row sense '") + P.Sense[i] + "' in " + P.Name);
        }
    }
}

// The column-wise entries re-packed contiguously as the solvers load them (starts of NumCols + 1).
void PackColumns(const TLinearProgram& P, std::vector<CoinBigIndex>& Start, IntArray& Index, DoubArray& Value)
{
    Start.assign(static_cast<std::size_t>(P.NumCols) + 1, 0);
    Index.clear();
    Value.clear();
    Index.reserve(P.MatInd.size());
    Value.reserve(P.MatVal.size());
    for (int c = 0; c < P.NumCols; ++c) {
        const std::size_t j = static_cast<std::size_t>(c);
        Start[j] = static_cast<CoinBigIndex>(Index.size());
        for (int k = 0; k < P.MatCnt[j]; ++k) {
            const std::size_t e = static_cast<std::size_t>(P.MatBeg[j] + k);
            Index.push_back(P.MatInd[e]);
            Value.push_back(P.MatVal[e]);
        }
    }
    Start[static_cast<std::size_t>(P.NumCols)] = static_cast<CoinBigIndex>(Index.size());
}

void CheckShape(const TLinearProgram& P)
{
    const std::size_t Cols = static_cast<std::size_t>(P.NumCols);
    const std::size_t Rows = static_cast<std::size_t>(P.NumRows);
    if (P.Obj.size() != Cols || P.Lb.size() != Cols || P.Ub.size() != Cols || P.MatBeg.size() != Cols ||
        P.MatCnt.size() != Cols || P.Rhs.size() != Rows || P.Sense.size() != Rows ||
        P.MatInd.size() != P.MatVal.size() || (!P.ColType.empty() && P.ColType.size() != Cols))
        throw EOrbenchError("The program " + P.Name + " is malformed: its arrays do not match its dimensions.");
}

TSolveStatus SolveWithClp(const TLinearProgram& P, const std::vector<CoinBigIndex>& Start, const IntArray& Index,
                          const DoubArray& Value, const DoubArray& RowLower, const DoubArray& RowUpper, DoubArray& X,
                          double& ObjVal)
{
    Clp_Simplex* Model = Clp_newModel();
    if (Model == nullptr) return TSolveStatus::ssNotCreated;
    Clp_setLogLevel(Model, 0);
    Clp_loadProblem(Model, P.NumCols, P.NumRows, Start.data(), Index.data(), Value.data(), P.Lb.data(), P.Ub.data(),
                    P.Obj.data(), RowLower.data(), RowUpper.data());
    Clp_setObjSense(Model, P.ObjSense);
    Clp_dual(Model, 0);
    const int Status = Clp_status(Model);
    X.assign(static_cast<std::size_t>(P.NumCols), 0.0);
    if (const double* Solution = Clp_getColSolution(Model); Solution != nullptr && Status == 0)
        std::copy(Solution, Solution + P.NumCols, X.begin());
    ObjVal = Status == 0 ? Clp_getObjValue(Model) : 0;
    Clp_deleteModel(Model);
    return Status == 0 ? TSolveStatus::ssOptimal : Status == 1 ? TSolveStatus::ssInfeasible : TSolveStatus::ssFailed;
}

TSolveStatus SolveWithCbc(const TLinearProgram& P, const std::vector<CoinBigIndex>& Start, const IntArray& Index,
                          const DoubArray& Value, const DoubArray& RowLower, const DoubArray& RowUpper, DoubArray& X,
                          double& ObjVal)
{
    Cbc_Model* Model = Cbc_newModel();
    if (Model == nullptr) return TSolveStatus::ssNotCreated;
    Cbc_setLogLevel(Model, 0);
    Cbc_loadProblem(Model, P.NumCols, P.NumRows, Start.data(), Index.data(), Value.data(), P.Lb.data(), P.Ub.data(),
                    P.Obj.data(), RowLower.data(), RowUpper.data());
    Cbc_setObjSense(Model, P.ObjSense);
    for (int c = 0; c < P.NumCols; ++c)
        if (P.ColType[static_cast<std::size_t>(c)] != 'C') Cbc_setInteger(Model, c);
    Cbc_solve(Model);
    const bool Optimal = Cbc_isProvenOptimal(Model) != 0;
    const bool Infeasible = Cbc_isProvenInfeasible(Model) != 0;
    X.assign(static_cast<std::size_t>(P.NumCols), 0.0);
    if (const double* Solution = Cbc_getColSolution(Model); Solution != nullptr && Optimal)
        std::copy(Solution, Solution + P.NumCols, X.begin());
    ObjVal = Optimal ? Cbc_getObjValue(Model) : 0;
    Cbc_deleteModel(Model);
    return Optimal ? TSolveStatus::ssOptimal : Infeasible ? TSolveStatus::ssInfeasible : TSolveStatus::ssFailed;
}

}  // namespace

bool OpenSolverEnvironment()
{
    // The libraries are linked in; opening checks that both solvers can make a problem.
    Clp_Simplex* Lp = Clp_newModel();
    Cbc_Model* Mip = Cbc_newModel();
    const bool Ok = Lp != nullptr && Mip != nullptr;
    if (Lp != nullptr) Clp_deleteModel(Lp);
    if (Mip != nullptr) Cbc_deleteModel(Mip);
    EnvironmentOpen = Ok;
    return Ok;
}

void CloseSolverEnvironment() { EnvironmentOpen = false; }

bool SolverEnvironmentIsOpen() { return EnvironmentOpen; }

TSolveStatus SolveLinearProgram(const TLinearProgram& Program, DoubArray& X, double& ObjVal)
{
    if (!EnvironmentOpen) return TSolveStatus::ssNotCreated;
    CheckShape(Program);
    std::vector<CoinBigIndex> Start;
    IntArray Index;
    DoubArray Value;
    PackColumns(Program, Start, Index, Value);
    DoubArray RowLower;
    DoubArray RowUpper;
    RowBounds(Program, RowLower, RowUpper);
    const bool Mip = std::any_of(Program.ColType.begin(), Program.ColType.end(), [](char T) { return T != 'C'; });
    return Mip ? SolveWithCbc(Program, Start, Index, Value, RowLower, RowUpper, X, ObjVal)
               : SolveWithClp(Program, Start, Index, Value, RowLower, RowUpper, X, ObjVal);
}

std::string SolveStatusText(TSolveStatus Status)
{
    switch (Status) {
    case TSolveStatus::ssOptimal: return "solved to optimality";
    case TSolveStatus::ssNotCreated: return "the LP/MIP solver is not started";
    case TSolveStatus::ssInfeasible: return "the problem has no feasible solution";
    case TSolveStatus::ssFailed: return "the LP/MIP solver stopped without an optimal solution";
    }
    return "";
}

}  // namespace orbench
