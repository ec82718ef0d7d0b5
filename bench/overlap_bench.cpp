// Times the overlap analysis and the minimum-overlap selection, the exact engine against the
// LP/MIP solver, side by side in one run:
//  (a) the overlap matrix of 30 instances of 40 OR-days at load 1.0 from the largest sample case
//      mix, deterministic and stochastic distance;
//  (b) the selection of 10 of those 30, and of 10 of 30 on random matrices;
//  (c) the selection of 30 of 100 with the exact engine (100 generated instances, random matrices).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "FileUtils.h"
#include "LpSolver.h"
#include "Model.h"
#include "Overlap.h"
#include "Selection.h"

namespace fs = std::filesystem;
using namespace orbench;

namespace {

double Seconds(const std::function<void()>& Work, int Repeats = 1)
{
    const auto Start = std::chrono::steady_clock::now();
    for (int r = 0; r < Repeats; ++r) Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count() / Repeats;
}

std::string LargestCaseMix(const std::string& Dir)
{
    std::string Best;
    std::uintmax_t BestSize = 0;
    for (const std::string& File : ListCaseMixFiles(Dir))
        if (fs::file_size(File) > BestSize) {
            Best = File;
            BestSize = fs::file_size(File);
        }
    return Best;
}

DoubDoubArray RandomMatrix(int N, TUniformGenerator& Random)
{
    DoubDoubArray O(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
    for (std::size_t i = 0; i < O.size(); ++i)
        for (std::size_t j = i + 1; j < O.size(); ++j) O[i][j] = O[j][i] = Random.Draw();
    return O;
}

void Row(const char* What, double Exact, double Solver)
{
    if (Solver > 0)
        std::printf("%-44s %12.3f ms %12.1f ms %10.0fx\n", What, Exact * 1e3, Solver * 1e3, Solver / Exact);
    else
        std::printf("%-44s %12.3f ms %15s %10s\n", What, Exact * 1e3, "-", "-");
}

}  // namespace

int main(int argc, char** argv)
{
    // --quick skips the solver; --full times the solver on the whole matrices (about 15 minutes on
    // two cores) instead of timing the matrix of the first 12 instances and scaling by pairs.
    const bool Quick = argc > 1 && std::string(argv[1]) == "--quick";
    const bool Full = argc > 1 && std::string(argv[1]) == "--full";
    if (!OpenSolverEnvironment()) {
        std::fprintf(stderr, "%s\n", SolverStartFailedMessage);
        return 1;
    }
    TData Data;
    const std::string CaseMixFile = LargestCaseMix(ExecutableDirectory() + "casemixes");
    Data.ReadAndAddCaseMix(CaseMixFile, 480);
    if (Data.CaseMixes.empty()) return 1;
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    CaseMix.GenerateInstances({1.0}, 0, 30, 40, 0.025, false, "", false);
    double Surgeries = 0;
    for (const TInstance* I : CaseMix.Instances) Surgeries += static_cast<double>(I->Surgeries.size());
    std::printf("case mix %s: %d instances of 40 OR-days at load 1.0, %.0f surgeries on average; %u cores\n\n",
                CaseMix.Name.c_str(), CaseMix.Instances.Count(), Surgeries / CaseMix.Instances.Count(),
                std::thread::hardware_concurrency());
    constexpr int SampleInstances = 12;
    std::printf("%-44s %15s %15s %11s\n", "", "exact", "solver", "ratio");
    if (!Quick && !Full)
        std::printf("(solver times of (a) are measured on the first %d instances and scaled by the number of pairs;\n"
                    " --full measures the whole matrices)\n", SampleInstances);

    TOverlapSettings Exact;
    TOverlapSettings Solver;
    Solver.Engine = TOverlapEngine::oeSolver;
    DoubDoubArray Matrix;
    for (const bool Deterministic : {true, false}) {
        DoubDoubArray M;
        const double TExact = Seconds([&] { AnalyzeOverlap(CaseMix.Instances, 0.01, M, Deterministic, Exact); }, 10);
        if (!Deterministic) Matrix = M;
        double TSolver = 0;
        if (Full) {
            TSolver = Seconds([&] { AnalyzeOverlap(CaseMix.Instances, 0.01, M, Deterministic, Solver); });
        } else if (!Quick) {
            TInstanceList First(false);
            for (int i = 0; i < SampleInstances; ++i) First.Add(CaseMix.Instances[i]);
            const int N = CaseMix.Instances.Count();
            TSolver = Seconds([&] { AnalyzeOverlap(First, 0.01, M, Deterministic, Solver); }) *
                      (N * (N - 1) / 2.0) / (SampleInstances * (SampleInstances - 1) / 2.0);
        }
        Row(Deterministic ? "(a) overlap matrix 30x30, deterministic" : "(a) overlap matrix 30x30, stochastic", TExact,
            TSolver);
    }

    DoubArray X;
    double ObjVal = 0;
    double ExactValue = 0;
    const double TExact = Seconds([&] { SelectMinOverlapInstances(Matrix, 30, 10, X, ObjVal); }, 20);
    ExactValue = X[0];
    const double TSolver =
        Quick ? 0 : Seconds([&] { SelectMinOverlapInstances(Matrix, 30, 10, X, ObjVal, TOverlapEngine::oeSolver); });
    Row("(b) select 10 of 30, that matrix", TExact, TSolver);
    if (!Quick) std::printf("%-44s largest overlap exact %.9f, solver %.9f\n", "", ExactValue, X[0]);

    TUniformGenerator Random(2024);
    for (int k = 1; k <= (Full ? 3 : 1); ++k) {
        const DoubDoubArray R = RandomMatrix(30, Random);
        const double TE = Seconds([&] { SelectMinOverlapInstances(R, 30, 10, X, ObjVal); }, 5);
        ExactValue = X[0];
        const double TS =
            Quick ? 0 : Seconds([&] { SelectMinOverlapInstances(R, 30, 10, X, ObjVal, TOverlapEngine::oeSolver); });
        const std::string What = "(b) select 10 of 30, random matrix " + std::to_string(k);
        Row(What.c_str(), TE, TS);
        if (!Quick) std::printf("%-44s largest overlap exact %.9f, solver %.9f\n", "", ExactValue, X[0]);
    }

    CaseMix.Instances.Clear();
    CaseMix.GenerateInstances({1.0}, 0, 100, 40, 0.025, false, "", false);
    DoubDoubArray Big;
    const double TBigMatrix = Seconds([&] { AnalyzeOverlap(CaseMix.Instances, 0.01, Big, false, Exact); });
    Row("    overlap matrix 100x100, stochastic", TBigMatrix, 0);
    const double TBig = Seconds([&] { SelectMinOverlapInstances(Big, 100, 30, X, ObjVal); });
    Row("(c) select 30 of 100, that matrix", TBig, 0);
    for (int k = 1; k <= 3; ++k) {
        const DoubDoubArray R = RandomMatrix(100, Random);
        const double T = Seconds([&] { SelectMinOverlapInstances(R, 100, 30, X, ObjVal); });
        const std::string What = "(c) select 30 of 100, random matrix " + std::to_string(k);
        Row(What.c_str(), T, 0);
    }
    std::printf("\ntargets: exact at least 100x faster on (a) and (b); (a) under 50 ms, (b) under 10 ms, (c) under 1 s\n");
    CloseSolverEnvironment();
    return 0;
}
