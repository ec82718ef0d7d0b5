#include "LpSolver.h"

#include <CbcEventHandler.hpp>
#include <CbcModel.hpp>
#include <CbcSolver.hpp>
#include <ClpEventHandler.hpp>
#include <ClpSimplex.hpp>
#include <OsiClpSolverInterface.hpp>

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

// Ends a simplex run at its next iteration once the stop flag is raised.
class TClpStop : public ClpEventHandler {
public:
    explicit TClpStop(const std::atomic<bool>* Stop) : FStop(Stop) {}
    TClpStop(const TClpStop&) = default;
    ClpEventHandler* clone() const override { return new TClpStop(*this); }
    int event(Event WhichEvent) override
    {
        const bool Step = WhichEvent == endOfIteration || WhichEvent == endOfFactorization;
        return Step && FStop != nullptr && FStop->load(std::memory_order_relaxed) ? 0 : -1;
    }

private:
    const std::atomic<bool>* FStop;
};

// Ends a branch-and-bound run at its next event once the stop flag is raised, and tells how far it
// has come.
class TCbcStop : public CbcEventHandler {
public:
    explicit TCbcStop(const TSolveControl& Control) : FControl(Control) {}
    TCbcStop(const TCbcStop&) = default;
    CbcEventHandler* clone() const override { return new TCbcStop(*this); }
    CbcAction event(CbcEvent) override
    {
        if (model_ != nullptr && FControl.BestFound != nullptr && FControl.BestPossible != nullptr) {
            FControl.BestFound->store(model_->getObjValue(), std::memory_order_relaxed);
            FControl.BestPossible->store(model_->getBestPossibleObjValue(), std::memory_order_relaxed);
        }
        return FControl.Stop != nullptr && FControl.Stop->load(std::memory_order_relaxed) ? stop : noAction;
    }
    CbcAction event(CbcEvent WhichEvent, void*) override { return event(WhichEvent); }

private:
    TSolveControl FControl;
};

bool Raised(const TSolveControl& Control)
{
    return Control.Stop != nullptr && Control.Stop->load(std::memory_order_relaxed);
}

TSolveStatus SolveWithClp(const TLinearProgram& P, const std::vector<CoinBigIndex>& Start, const IntArray& Index,
                          const DoubArray& Value, const DoubArray& RowLower, const DoubArray& RowUpper,
                          const TSolveControl& Control, DoubArray& X, double& ObjVal)
{
    ClpSimplex Model;
    Model.setLogLevel(0);
    Model.loadProblem(P.NumCols, P.NumRows, Start.data(), Index.data(), Value.data(), P.Lb.data(), P.Ub.data(),
                      P.Obj.data(), RowLower.data(), RowUpper.data());
    Model.setOptimizationDirection(P.ObjSense);
    const TClpStop Stop(Control.Stop);
    Model.passInEventHandler(&Stop);
    // Primal simplex from the all-slack basis: for the matching LP that start (nothing matched)
    // is feasible, and the primal method needs a small fraction of the dual method's iterations.
    Model.primal(0);
    const int Status = Model.status();
    X.assign(static_cast<std::size_t>(P.NumCols), 0.0);
    ObjVal = 0;
    if (Raised(Control)) return TSolveStatus::ssStopped;
    if (Status != 0) return Status == 1 ? TSolveStatus::ssInfeasible : TSolveStatus::ssFailed;
    if (const double* Solution = Model.primalColumnSolution(); Solution != nullptr)
        std::copy(Solution, Solution + P.NumCols, X.begin());
    ObjVal = Model.objectiveValue();
    return TSolveStatus::ssOptimal;
}

TSolveStatus SolveWithCbc(const TLinearProgram& P, const std::vector<CoinBigIndex>& Start, const IntArray& Index,
                          const DoubArray& Value, const DoubArray& RowLower, const DoubArray& RowUpper,
                          const TSolveControl& Control, DoubArray& X, double& ObjVal)
{
    OsiClpSolverInterface Solver;
    Solver.messageHandler()->setLogLevel(0);
    Solver.loadProblem(P.NumCols, P.NumRows, Start.data(), Index.data(), Value.data(), P.Lb.data(), P.Ub.data(),
                       P.Obj.data(), RowLower.data(), RowUpper.data());
    Solver.setObjSense(P.ObjSense);
    for (int c = 0; c < P.NumCols; ++c)
        if (P.ColType[static_cast<std::size_t>(c)] != 'C') Solver.setInteger(c);
    // The LP solver's own handler reaches the relaxations solved during preprocessing and cuts.
    const TClpStop LpStop(Control.Stop);
    Solver.getModelPtr()->passInEventHandler(&LpStop);

    CbcModel Model(Solver);
    const TCbcStop MipStop(Control);
    Model.passInEventHandler(&MipStop);
    CbcSolverUsefulData Data;
    CbcMain0(Model, Data);
    Model.setLogLevel(0);
    Model.messageHandler()->setLogLevel(0);
    std::vector<std::string> Args = {"orbench", "-log", "0"};
    if (Control.TimeLimitSeconds > 0) {
        Args.insert(Args.end(), {"-timeMode", "elapsed", "-seconds", std::to_string(Control.TimeLimitSeconds)});
    }
    Args.insert(Args.end(), {"-solve", "-quit"});
    std::vector<const char*> Argv;
    for (const std::string& Arg : Args) Argv.push_back(Arg.c_str());
    CbcMain1(static_cast<int>(Argv.size()), Argv.data(), Model, nullptr, Data);

    X.assign(static_cast<std::size_t>(P.NumCols), 0.0);
    ObjVal = 0;
    if (Raised(Control)) return TSolveStatus::ssStopped;
    const bool Optimal = Model.isProvenOptimal();
    const bool TimeLimit = !Optimal && Model.isSecondsLimitReached();
    const double* Solution = Model.bestSolution();
    if ((Optimal || TimeLimit) && Solution != nullptr) {
        std::copy(Solution, Solution + P.NumCols, X.begin());
        ObjVal = Model.getObjValue();
    }
    if (Optimal) return TSolveStatus::ssOptimal;
    if (TimeLimit) return TSolveStatus::ssTimeLimit;
    return Model.isProvenInfeasible() ? TSolveStatus::ssInfeasible : TSolveStatus::ssFailed;
}

}  // namespace

bool OpenSolverEnvironment()
{
    // The libraries are linked in; opening checks that both solvers can make a problem.
    bool Ok = false;
    try {
        ClpSimplex Lp;
        OsiClpSolverInterface Solver;
        CbcModel Mip(Solver);
        Ok = true;
    } catch (...) {
        Ok = false;
    }
    EnvironmentOpen = Ok;
    return Ok;
}

void CloseSolverEnvironment() { EnvironmentOpen = false; }

bool SolverEnvironmentIsOpen() { return EnvironmentOpen; }

TSolveStatus SolveLinearProgram(const TLinearProgram& Program, DoubArray& X, double& ObjVal,
                                const TSolveControl& Control)
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
    return Mip ? SolveWithCbc(Program, Start, Index, Value, RowLower, RowUpper, Control, X, ObjVal)
               : SolveWithClp(Program, Start, Index, Value, RowLower, RowUpper, Control, X, ObjVal);
}

std::string SolveStatusText(TSolveStatus Status)
{
    switch (Status) {
        case TSolveStatus::ssOptimal: return "solved to optimality";
        case TSolveStatus::ssNotCreated: return "the LP/MIP solver is not started";
        case TSolveStatus::ssInfeasible: return "the problem has no feasible solution";
        case TSolveStatus::ssFailed: return "the LP/MIP solver stopped without an optimal solution";
        case TSolveStatus::ssStopped: return "stopped on request";
        case TSolveStatus::ssTimeLimit: return "the time limit was reached before optimality was proven";
    }
    return "";
}

}  // namespace orbench
