// Times the overlap analysis and the minimum-overlap selection:
//  - the solver engine on the overlap matrix of 30 instances of 40 OR-days at load 1.0 from the
//    largest sample case mix, deterministic distance (one matching LP per pair); the sparse model
//    against the full one on a few pairs; the exact engine on the same instances;
//  - scale: the exact engine's matrix of 300 instances (1000 with --full) of 40 OR-days from a
//    60-type case mix made here, and the selection of a tenth of them (with --full under a time
//    limit of 9.5 s);
//  - how soon a stop request ends a solver-engine analysis and a selection with either engine.
// With --before, an earlier build's orbench-cli does the same work on the same instance files.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "BenchReport.h"
#include "FileUtils.h"
#include "LpSolver.h"
#include "Model.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "Selection.h"

namespace fs = std::filesystem;
using namespace orbench;
using namespace orbench::bench;

namespace {

const char* const Description =
    "Times the overlap analysis (solver and exact engines) and the minimum-overlap selection, and\n"
    "how soon a stop request ends them.";

// The solver engine's 30 x 30 deterministic matrix took about 10 minutes before the sparse model.
constexpr double SolverMatrixBefore = 600;

std::string Fixed(double Value, int Decimals)
{
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.*f", Decimals, Value);
    return Text;
}

double Timed(const std::function<void()>& Work)
{
    const TClock::time_point Start = TClock::now();
    Work();
    return SecondsSince(Start);
}

// The earlier build's orbench-cli on instance files: "overlap --casemix FILE [Extra] FILES".
TChildRun RunOverlap(const TOptions& Options, const std::string& CaseMixFile, const TInstanceList& Instances, int Count,
                     const std::vector<std::string>& Extra, double Timeout)
{
    std::vector<std::string> Args = {Options.Before + "orbench-cli", "overlap", "--casemix", CaseMixFile};
    Args.insert(Args.end(), Extra.begin(), Extra.end());
    for (int i = 0; i < Count; ++i) Args.push_back(Instances[i]->FileName);
    return RunChild(Args, Timeout);
}

void SolverEngine(TReport& Report, const TOptions& Options, const std::string& Scratch)
{
    TData Data;
    const std::string CaseMixFile = LargestCaseMix(ExecutableDirectory() + "casemixes");
    Data.ReadAndAddCaseMix(CaseMixFile, 480);
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    const std::string Dir = Scratch + "/sample/";
    ForceDirectories(Dir);
    CaseMix.GenerateInstances({1.0}, 0, 30, 40, 0.025, !Options.Before.empty(), Dir, false);
    const int N = CaseMix.Instances.Count();
    double Surgeries = 0;
    for (const TInstance* I : CaseMix.Instances) Surgeries += static_cast<double>(I->Surgeries.size());
    Report.Step("solver engine: " + std::to_string(N) + " instances of 40 OR-days from " + CaseMix.Name + ", " +
                Fixed(Surgeries / N, 0) + " surgeries each, deterministic distance");
    DoubDoubArray Solver;
    const double Now = Timed(
        [&] { AnalyzeOverlap(CaseMix.Instances, 0.01, Solver, true, TOverlapSettings(TOverlapEngine::oeSolver)); });
    Report.Line("matrix " + std::to_string(N) + "x" + std::to_string(N) + ": " + Fixed(Now, 2) + " s wall");
    Report.Target("solver engine, 30x30 deterministic matrix (20x under the 10 minutes before)", Now,
                  SolverMatrixBefore / 20, "s");

    // One LP as the model stood before (every pair a column) and as it stands now.
    Report.Step("one matching LP, full and sparse model, first pairs");
    for (int b = 1; b <= 3; ++b) {
        const TInstance& A = *CaseMix.Instances[0];
        const TInstance& B = *CaseMix.Instances[b];
        DoubDoubArray P(A.Surgeries.size(), DoubArray(B.Surgeries.size(), 0.0));
        std::size_t Proximal = 0;
        for (std::size_t i = 0; i < P.size(); ++i)
            for (std::size_t j = 0; j < P[i].size(); ++j)
                Proximal += P[i][j] = IsProximal(*A.Surgeries[i]->SurgeryType->Distribution,
                                                 *B.Surgeries[j]->SurgeryType->Distribution, true, 0.01);
        DoubArray X;
        double Full = 0, Sparse = 0;
        const double TFull = Timed([&] { SolveLinearProgram(BuildMatchingModel(P), X, Full); });
        const double TSparse = Timed([&] { SolveMatchingNxM(P, Sparse, X); });
        Report.Line("pair 0-" + std::to_string(b) + ": " + std::to_string(P.size() * P[0].size()) + " columns full, " +
                    std::to_string(Proximal) + " sparse; " + Fixed(TFull * 1e3, 1) + " ms full, " +
                    Fixed(TSparse * 1e3, 1) + " ms sparse; objectives " + Fixed(Full, 0) + " and " + Fixed(Sparse, 0));
        Report.Check("full and sparse matching LP give the same objective (pair 0-" + std::to_string(b) + ")",
                     Full == Sparse);
    }

    for (const bool Deterministic : {true, false}) {
        DoubDoubArray Exact;
        const double T = Timed([&] { AnalyzeOverlap(CaseMix.Instances, 0.01, Exact, Deterministic); });
        Report.Line(std::string("exact engine, ") + (Deterministic ? "deterministic" : "stochastic") +
                    " distance: " + Fixed(T * 1e3, 1) + " ms");
    }

    if (!Options.Before.empty()) {
        // The earlier build on the first instances only (all 30 with --full), scaled by pairs.
        const int Count = Options.Full ? N : 6;
        Report.Step("solver engine with the earlier build, " + std::to_string(Count) + " instances");
        const TChildRun Run = RunOverlap(Options, CaseMixFile, CaseMix.Instances, Count,
                                         {"--engine", "solver", "--deterministic"}, Options.Full ? 3600 : 300);
        const double Scale = static_cast<double>(N) * (N - 1) / (static_cast<double>(Count) * (Count - 1));
        const double Before = Run.Wall * Scale;
        Report.Line("before: " + Fixed(Run.Wall, 2) + " s for " + std::to_string(Count) + " instances" +
                    (Count < N ? ", about " + Fixed(Before, 0) + " s for " + std::to_string(N) : std::string()) +
                    (Run.Finished ? "" : " (did not finish)"));
        Report.Line("now:    " + Fixed(Now, 2) + " s for " + std::to_string(N));
        Report.Target("solver engine 30x30 deterministic, speed-up over the earlier build", Before / Now, 20, "x",
                      true);
    }
}

// A case mix of 60 Normal types, the same every time.
std::string WriteCaseMix60(const std::string& Dir)
{
    const std::string File = Dir + "/mix60.txt";
    std::ofstream Out(File, std::ios::binary);
    Out << "ID\tDistributionType\tP1\tP2\tP3\tFrequency\r\n";
    TUniformGenerator Random(4711);
    for (int t = 1; t <= 60; ++t) {
        const double Mean = 60 + 270 * Random.Draw();
        const double Cv = 0.2 + 0.4 * Random.Draw();
        const double Frequency = 0.2 + Random.Draw();
        Out << t << "\tNormal\t" << Fixed(Mean, 3) << '\t' << Fixed(Mean * Cv, 3) << "\t0\t" << Fixed(Frequency, 6)
            << "\r\n";
    }
    return File;
}

void Scale(TReport& Report, const TOptions& Options, const std::string& Scratch)
{
    const int N = Options.Full ? 1000 : 300;
    const int y = N / 10;
    const std::string CaseMixFile = WriteCaseMix60(Scratch);
    TData Data;
    Data.ReadAndAddCaseMix(CaseMixFile, 480);
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    const std::string Dir = Scratch + "/mix60/";
    ForceDirectories(Dir);
    Report.Step("scale: " + std::to_string(N) + " instances of 40 OR-days from a 60-type case mix" +
                (Options.Before.empty() ? "" : ", saved for the earlier build"));
    CaseMix.GenerateInstances({1.0}, 0, N, 40, 0.025, !Options.Before.empty(), Dir, false);
    double Surgeries = 0;
    for (const TInstance* I : CaseMix.Instances) Surgeries += static_cast<double>(I->Surgeries.size());
    Report.Line(Fixed(Surgeries / N, 1) + " surgeries per instance");

    Report.Step("overlap matrix, exact engine, stochastic distance");
    DoubDoubArray O;
    const double Cpu = CpuSeconds();
    const double Matrix = Timed([&] { AnalyzeOverlap(CaseMix.Instances, 0.01, O, false); });
    Report.Line(Fixed(Matrix, 3) + " s wall, " + Fixed(CpuSeconds() - Cpu, 3) + " s CPU, peak " +
                std::to_string(PeakKiB() / 1024) + " MB");
    // 1000 instances within 3 s; 300, about a tenth of the pairs, within a tenth of that.
    Report.Target("overlap matrix of " + std::to_string(N) + " instances, wall", Matrix, Options.Full ? 3.0 : 0.3, "s");
    if (Options.Full) Report.Target("overlap matrix of 1000 instances, peak memory", PeakKiB() / 1024.0, 200, "MB");

    Report.Step("selection of " + std::to_string(y) + " of " + std::to_string(N) + ", exact engine" +
                (Options.Full ? ", time limit 9.5 s" : ""));
    TOverlapSettings Settings;
    if (Options.Full) Settings.SelectionTimeLimitSeconds = 9.5;
    DoubArray X;
    double ObjVal = 0;
    bool Proven = false;
    const double Select = Timed([&] { SelectMinOverlapInstances(O, N, y, X, ObjVal, Settings, &Proven); });
    Report.Line(Fixed(Select, 3) + " s, largest overlap " + Fixed(ObjVal, 6) +
                (Proven ? ", proven optimal" : ", best found within the time limit, not proven optimal"));
    Report.Target("selection of " + std::to_string(y) + " of " + std::to_string(N), Select, Options.Full ? 10.0 : 2.0,
                  "s");

    if (!Options.Before.empty()) {
        Report.Step("the same with the earlier build: overlap, then overlap --select " + std::to_string(y));
        const TChildRun Before = RunOverlap(Options, CaseMixFile, CaseMix.Instances, N, {}, 300);
        Report.Line("matrix before: " + Fixed(Before.Wall, 2) + " s wall, " + Fixed(Before.User + Before.System, 2) +
                    " s CPU" + (Before.Finished ? "" : " (did not finish)") + "; now " + Fixed(Matrix, 2) + " s");
        const double Timeout = Options.Full ? 120 : 60;
        const TChildRun BeforeSelect =
            RunOverlap(Options, CaseMixFile, CaseMix.Instances, N, {"--select", std::to_string(y)}, Timeout);
        Report.Line("matrix and selection before: " +
                    (BeforeSelect.Finished ? Fixed(BeforeSelect.Wall, 2) + " s"
                                           : "did not finish within " + Fixed(Timeout, 0) + " s") +
                    "; now " + Fixed(Matrix + Select, 2) + " s");
    }
}

// How soon after a stop request (at 0.2 s) the work ends; Work must throw EStopRequested.
double StopLatency(const std::function<void(const std::function<bool()>&)>& Work)
{
    const TClock::time_point Start = TClock::now();
    TClock::time_point Asked{};
    bool Stopped = false;
    try {
        Work([&] {
            if (SecondsSince(Start) < 0.2) return false;
            if (Asked == TClock::time_point{}) Asked = TClock::now();
            return true;
        });
    } catch (const EStopRequested&) {
        Stopped = true;
    }
    return Stopped && Asked != TClock::time_point{} ? SecondsSince(Asked) : 1e9;
}

void Stops(TReport& Report, const std::string& SampleCaseMix)
{
    Report.Step("stop requests at 0.2 s");
    TData Data;
    Data.ReadAndAddCaseMix(SampleCaseMix, 480);
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    CaseMix.GenerateInstances({1.0}, 0, 40, 40, 0.025, false, "", false);
    const double Analysis = StopLatency([&](const std::function<bool()>& Stop) {
        TOverlapSettings Settings(TOverlapEngine::oeSolver);
        Settings.StopRequested = Stop;
        DoubDoubArray O;
        AnalyzeOverlap(CaseMix.Instances, 0.01, O, true, Settings);
    });
    Report.Target("stop during a solver-engine analysis", Analysis, 2.0, "s");

    std::mt19937 Rng(1);
    std::uniform_real_distribution<double> U(0, 1);
    for (const auto& [Engine, N, y] :
         {std::tuple{TOverlapEngine::oeSolver, 60, 20}, std::tuple{TOverlapEngine::oeExact, 200, 40}}) {
        DoubDoubArray O(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N), 0.0));
        for (std::size_t i = 0; i < O.size(); ++i)
            for (std::size_t j = i + 1; j < O.size(); ++j) O[i][j] = O[j][i] = U(Rng);
        const double Latency = StopLatency([&, N = N, y = y, Engine = Engine](const std::function<bool()>& Stop) {
            TOverlapSettings Settings(Engine);
            Settings.StopRequested = Stop;
            DoubArray X;
            double ObjVal = 0;
            SelectMinOverlapInstances(O, N, y, X, ObjVal, Settings);
        });
        Report.Target(std::string("stop during the selection of ") + std::to_string(y) + " of " + std::to_string(N) +
                          " random instances, " +
                          (Engine == TOverlapEngine::oeExact ? "exact engine" : "solver engine (MIP)"),
                      Latency, 2.0, "s");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const TOptions Options = ParseOptions(argc, argv, Description);
    TReport Report("overlap");
    if (!OpenSolverEnvironment()) {
        std::fprintf(stderr, "%s\n", SolverStartFailedMessage);
        return 1;
    }
    const std::string Scratch = ScratchDirectory("orbench-bench-overlap");
    const std::string SampleCaseMix = LargestCaseMix(ExecutableDirectory() + "casemixes");
    if (Scratch.empty() || SampleCaseMix.empty()) {
        std::fprintf(stderr, "no scratch directory or no sample case mix\n");
        return 1;
    }
    SolverEngine(Report, Options, Scratch);
    Scale(Report, Options, Scratch);
    Stops(Report, SampleCaseMix);
    std::error_code Ec;
    fs::remove_all(Scratch, Ec);
    CloseSolverEnvironment();
    return Report.Finish();
}
