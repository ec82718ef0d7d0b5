#include "PyAnalysis.h"

#include <pybind11/stl.h>

#include <atomic>
#include <charconv>
#include <exception>
#include <mutex>
#include <thread>
#include <cmath>

#include "BatchRun.h"
#include "BatchSettings.h"
#include "DurationSampling.h"
#include "FileUtils.h"
#include "InstanceStats.h"
#include "Overlap.h"
#include "OutputFiles.h"
#include "Selection.h"

namespace orbench::python {

namespace {

TOverlapEngine EngineOf(const std::string& Text)
{
    TOverlapEngine Engine = TOverlapEngine::oeExact;
    if (!TryTextToOverlapEngine(Text, Engine)) Refuse("engine", Text, "must be exact or solver");
    return Engine;
}

// The value a data file holds of Value written with Decimals decimals (the nearest double to that
// decimal text), without the text where that is safe: an exact integer over an exact power of ten
// is correctly rounded by the division.
double AsWritten(double Value, int Decimals, double Scale)
{
    const double Scaled = Value * Scale;
    const double Whole = std::nearbyint(Scaled);
    if (std::abs(Scaled) < 1e15 && std::abs(std::abs(Scaled - Whole) - 0.5) > 1e-3) {
        const double Result = Whole / Scale;
        return Result == 0 ? 0.0 : Result;  // never a negative zero
    }
    char Text[400];
    const auto Written = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed, Decimals);
    double Result = 0;
    std::from_chars(Text, Written.ptr, Result);
    return Result == 0 ? 0.0 : Result;
}

class TPythonBatchHost : public TBatchHost {
public:
    TPythonBatchHost(TPythonStop& AStop, std::function<void(const std::string&)> AOnMessage)
        : FStop(AStop), FOnMessage(std::move(AOnMessage))
    {}
    std::vector<std::string> Messages;
    void AddMessage(const std::string& Message) override
    {
        Messages.push_back(Message);
        if (!FOnMessage) return;
        const py::gil_scoped_acquire Gil;
        FOnMessage(Message);
    }
    void ShowProgress(int) override {}
    void AdvanceProgress() override {}
    void HideProgress() override {}
    bool CheckPoint() override { return FStop.StopRequested(); }
    bool StopRequested() override { return FStop.StopRequested(); }
    std::string DrawLimitAdvice() const override
    {
        return "raise max_draws or widen the window around the loads (deviation)";
    }

private:
    TPythonStop& FStop;
    std::function<void(const std::string&)> FOnMessage;
};

const char* Keyword(TBatchField Field)
{
    switch (Field) {
        case TBatchField::bfNumORdays: return "or_days";
        case TBatchField::bfLoads: return "loads";
        case TBatchField::bfDeviation: return "deviation";
        case TBatchField::bfEpsilon: return "epsilon";
        case TBatchField::bfMaxDraws: return "max_draws";
        case TBatchField::bfCapacity: return "capacity";
    }
    return "";
}

}  // namespace

py::array_t<double> OverlapMatrix(const std::vector<TPyInstance>& Instances, double Epsilon, bool Deterministic,
                                  const std::string& Engine)
{
    NonNegative(Epsilon, "epsilon");
    TOverlapSettings Settings;
    Settings.Engine = EngineOf(Engine);
    TInstanceSet Set;
    CollectInstances(Instances, Set);
    const std::size_t N = Instances.size();
    py::array_t<double> Result({N, N});
    if (N == 0) return Result;
    TPythonStop Stop;
    Settings.StopRequested = [&Stop] { return Stop.StopRequested(); };
    DoubDoubArray Overlap;
    bool Stopped = false;
    {
        const std::unique_lock<std::mutex> Lock = LockModel(*Set.Model);
        const py::gil_scoped_release Released;
        try {
            AnalyzeOverlap(Set.List, Epsilon, Overlap, Deterministic, Settings);
        } catch (const EStopRequested&) {
            Stopped = true;
        }
    }
    if (Stopped) Stop.RaiseKept();
    auto Cells = Result.mutable_unchecked<2>();
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j)
            Cells(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(j)) = Overlap[i][j];
    return Result;
}

py::tuple Select(const py::array_t<double, py::array::c_style | py::array::forcecast>& Matrix, int K,
                 std::optional<double> TimeLimit, const std::string& Engine)
{
    if (Matrix.ndim() != 2 || Matrix.shape(0) != Matrix.shape(1))
        throw py::value_error("matrix: must be a square matrix");
    AtLeast(K, "k", 1);
    TOverlapSettings Settings;
    Settings.Engine = EngineOf(Engine);
    if (TimeLimit) Settings.SelectionTimeLimitSeconds = Positive(*TimeLimit, "time_limit");
    const int N = static_cast<int>(Matrix.shape(0));
    DoubDoubArray Overlap(static_cast<std::size_t>(N), DoubArray(static_cast<std::size_t>(N)));
    const auto Cells = Matrix.unchecked<2>();
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) Overlap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = Cells(i, j);
    TPythonStop Stop;
    Settings.StopRequested = [&Stop] { return Stop.StopRequested(); };
    DoubArray X;
    double ObjVal = 0;
    bool Applied = false, Proven = true, Stopped = false;
    {
        const py::gil_scoped_release Released;
        try {
            Applied = SelectMinOverlapInstances(Overlap, N, K, X, ObjVal, Settings, &Proven);
        } catch (const EStopRequested&) {
            Stopped = true;
        }
    }
    if (Stopped) Stop.RaiseKept();
    if (!Applied)
        throw py::value_error("Cannot select " + std::to_string(K) + " of " + std::to_string(N) + " instances");
    if (!Proven && PyErr_WarnEx(PyExc_UserWarning,
                                "the selection is not proven optimal: the time limit ended the search first; the best "
                                "set found is returned",
                                1) != 0)
        throw py::error_already_set();
    py::list Chosen;
    for (int i = 0; i < N; ++i)
        if (X[1 + static_cast<std::size_t>(i)] > 1e-8) Chosen.append(i);
    return py::make_tuple(Chosen, X[0]);
}

py::array_t<double> Sample(const std::vector<TPyInstance>& Instances, int Scenarios, const py::int_& Seed,
                           std::optional<int> Decimals)
{
    AtLeast(Scenarios, "scenarios", 1);
    if (Decimals && (*Decimals < 0 || *Decimals > 17))
        Refuse("decimals", std::to_string(*Decimals), "must be from 0 to 17");
    const std::uint32_t SeedValue = SeedOf(Seed);
    TInstanceSet Set;
    CollectInstances(Instances, Set);
    std::size_t Rows = 0;
    for (const TInstance* Instance : Set.Pointers) Rows += Instance->Surgeries.size();
    py::array_t<double> Result({Rows, static_cast<std::size_t>(Scenarios)});
    if (Set.Pointers.empty()) return Result;
    const std::unique_lock<std::mutex> Lock = LockModel(*Set.Model);
    // Every surgery type is checked before anything is drawn; the warnings come first.
    CheckSampleable(Set.Pointers);
    for (const std::string& Warning : SamplingWarnings(*Set.Model->CaseMix, Set.Pointers))
        if (PyErr_WarnEx(PyExc_UserWarning, Warning.c_str(), 1) != 0) throw py::error_already_set();
    // Each instance's values depend on it alone (the stream rule): the instances are shared out among
    // the cores, each written into its own rows; the calling thread works too and is the one that
    // looks for Ctrl-C.
    double* const Out = Result.mutable_data();
    std::vector<std::size_t> FirstRow(Set.Pointers.size(), 0);
    for (std::size_t i = 1; i < Set.Pointers.size(); ++i)
        FirstRow[i] = FirstRow[i - 1] + Set.Pointers[i - 1]->Surgeries.size();
    const double Scale = Decimals ? std::pow(10.0, *Decimals) : 1;
    std::atomic<std::size_t> Next{0};
    std::atomic<bool> Abandon{false};
    std::exception_ptr Failure;
    std::mutex FailureLock;
    // One instance's rows; an error is kept (the first) and ends the work.
    const auto Fill = [&](std::size_t i) {
        try {
            double* Cell = Out + FirstRow[i] * static_cast<std::size_t>(Scenarios);
            for (const std::vector<double>& Row : InstanceScenarios(*Set.Pointers[i], Scenarios, SeedValue))
                for (const double Value : Row) *Cell++ = Decimals ? AsWritten(Value, *Decimals, Scale) : Value;
        } catch (...) {
            const std::lock_guard<std::mutex> Guard(FailureLock);
            if (!Failure) Failure = std::current_exception();
            Abandon = true;
        }
    };
    const auto Work = [&] {
        for (std::size_t i = Next++; i < Set.Pointers.size() && !Abandon; i = Next++) Fill(i);
    };
    TPythonStop Stop;
    bool Stopped = false;
    {
        const py::gil_scoped_release Released;
        const std::size_t Helpers =
            std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), Set.Pointers.size()) - 1;
        std::vector<std::thread> Threads;
        for (std::size_t t = 0; t < Helpers; ++t) Threads.emplace_back(Work);
        // The calling thread takes one instance at a time and asks for Ctrl-C in between.
        while (Next < Set.Pointers.size() && !Abandon) {
            if (Stop.StopRequested()) {
                Stopped = true;
                Abandon = true;
                break;
            }
            const std::size_t i = Next++;
            if (i < Set.Pointers.size()) Fill(i);
        }
        for (std::thread& Thread : Threads) Thread.join();
    }
    if (Failure) std::rethrow_exception(Failure);
    if (Stopped) Stop.RaiseKept();
    return Result;
}

py::list Stats(const std::vector<TPyInstance>& Instances, bool Summary)
{
    TInstanceSet Set;
    CollectInstances(Instances, Set);
    py::list Result;
    if (Set.Pointers.empty()) return Result;
    TInstanceStats Stats;
    {
        const std::unique_lock<std::mutex> Lock = LockModel(*Set.Model);
        Stats = ComputeInstanceStats(Set.Pointers);
    }
    const auto Row = [](const TInstanceStatsRow& R) {
        py::dict D;
        D["file"] = R.FileName;
        D["or_days"] = R.NumberOfORs;
        D["desired_load"] = R.DesiredLoad;
        D["load"] = R.Load;
        D["surgeries"] = R.NumberOfSurgeries;
        D["surgery_types"] = R.NumberOfSurgeryTypes;
        D["center_x"] = R.CenterX;
        D["center_y"] = R.CenterY;
        D["mean_expected_minutes"] = R.MeanExpectedMinutes;
        D["max_expected_minutes"] = R.MaxExpectedMinutes;
        for (int t = 0; t < NumCaseMixTypes; ++t)
            D[py::str("type_" + std::to_string(t))] = R.RegionCounts[static_cast<std::size_t>(t)];
        return D;
    };
    for (const TInstanceStatsRow& R : Stats.Rows) Result.append(Row(R));
    if (Summary) Result.append(Row(Stats.Summary));
    return Result;
}

py::dict RunBatch(const TBatchArguments& Arguments, bool Theoretical)
{
    TBatchSettings Settings;
    AtLeast(Arguments.PerCombination, "per_combination", 1);
    Settings.NumInstancesPerLoad = Arguments.PerCombination;
    Settings.MaxAbsDeviationFromLoad = Arguments.Deviation;
    Settings.NumInstancesToSelect = AtLeast(Arguments.Select, "select", 1);
    Settings.EpsilonDist = Arguments.Epsilon;
    Settings.DeterministicDistance = Arguments.Deterministic;
    Settings.AnalyzeOverlap = Arguments.Analyze;
    Settings.RemoveInstances = !Arguments.KeepAll;
    Settings.SaveInstances = Arguments.Save;
    Settings.Engine = EngineOf(Arguments.Engine);
    Settings.NumORdays = Arguments.OrDays;
    Settings.Loads = Arguments.Loads;
    if (Arguments.Out.empty()) throw py::value_error("out: the path is empty");
    Settings.BaseDirectory = IncludeTrailingPathDelimiter(Arguments.Out);
    Settings.MaxDraws = Arguments.MaxDraws;
    Settings.Overwrite = Arguments.Overwrite;
    Positive(Arguments.Capacity, "capacity");
    Settings.CapacityORinMinutes = Arguments.Capacity;
    Settings.StartupSeed = SeedOf(Arguments.Seed);
    try {
        CheckBatchSettings(Settings, Theoretical);
    } catch (const EBatchSettingError& Error) {
        Refuse(Keyword(Error.Field), FormatOptionNumber(Error.Number), Error.Reason);
    }

    // As a fresh run of the command line: the generator seeded at start, then the case mixes read
    // in order.
    TModel Model;
    Model.Data.Random.Seed(Settings.StartupSeed);
    std::vector<TCaseMix*> CaseMixes;
    for (const py::object& Item : Arguments.CaseMixes) {
        std::string Path;
        if (py::isinstance<TPyCaseMix>(Item)) {
            Path = Item.cast<const TPyCaseMix&>().CaseMix().FileName;
            if (Path.empty()) throw py::value_error("case_mixes: a case mix made in memory has no file to run from");
        } else {
            Path = py::str(py::module_::import("os").attr("fspath")(Item));
        }
        TCaseMix& CaseMix = ReadCaseMixInto(Model, Path, Arguments.Capacity);
        RequireTypeOfPositiveFrequency(CaseMix);
        CaseMixes.push_back(&CaseMix);
    }
    if (!Theoretical && CaseMixes.empty()) throw py::value_error("No case mix selected. Aborting.");
    WarnAbout(Model);

    TPythonStop Stop;
    TPythonBatchHost Host(Stop, Arguments.OnMessage);
    TBatchResult Result;
    {
        const py::gil_scoped_release Released;
        Result = Theoretical ? GenerateTheoreticalBatch(Model.Data, Settings, Host)
                             : GenerateBatch(Model.Data, CaseMixes, Settings, Host);
    }
    if (Result.Interrupted) Stop.RaiseKept();
    py::dict Files;
    Files["selected"] = Result.Files.Selected;
    Files["marked"] = Result.Files.Marked;
    Files["not_analysed"] = Result.Files.NotAnalysed;
    Files["unselected"] = Result.Files.Unselected;
    Files["kept"] = Result.Files.Kept;
    Files["reports"] = Result.Files.Reports;
    py::dict Summary;
    Summary["complete"] = !(Result.DrawLimitPassed || Result.SelectionRefused || Result.MarkingFailed);
    Summary["draw_limit_passed"] = Result.DrawLimitPassed;
    Summary["selection_refused"] = Result.SelectionRefused;
    Summary["marking_failed"] = Result.MarkingFailed;
    Summary["elapsed_seconds"] = Result.ElapsedSeconds;
    Summary["files"] = Files;
    Summary["messages"] = Host.Messages;
    Summary["summary"] = RunSummary(Result);
    return Summary;
}

}  // namespace orbench::python
