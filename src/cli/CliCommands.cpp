#include "CliCommands.h"

#include <cstdio>
#include <functional>
#include <memory>

#include "BatchRun.h"
#include "CliArgs.h"
#include "CliBatchHost.h"
#include "FileUtils.h"
#include "InstanceFill.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "OverlapReport.h"
#include "Selection.h"
#include "TextUtils.h"

namespace orbench::cli {

namespace {

const char* const UsageText =
    "usage: orbench-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  casemix FILE [--type T] [--write OUT]\n"
    "  generate --casemix FILE --ordays N --loads L1,L2,... [--per-load K] [--deviation D] [--type T]\n"
    "           [--out DIR] [--no-save]\n"
    "  generate --on-the-fly --type T --ordays N --loads L1,L2,... [...]\n"
    "  fill --casemix FILE --ordays N --load L [--count K] [--type T] [--out DIR]\n"
    "  theoretical-casemix [--name NAME] --write OUT\n"
    "  overlap --casemix FILE [--epsilon E] [--deterministic] [--select K] [--engine exact|solver]\n"
    "          [--report OUT] INSTANCE_FILE...\n"
    "  batch --casemix FILE [--casemix FILE ...] [--ordays 5,10,...] [--loads 0.80,...]\n"
    "        [--per-combination K] [--deviation D] [--select S] [--epsilon E] [--deterministic]\n"
    "        [--no-analyze] [--keep-all] [--no-save] [--out DIR] [--engine exact|solver]\n"
    "  theoretical-batch [the batch options without --casemix]\n"
    "\n"
    "common options: --capacity MIN (480), --seed N (12345), --decimal-separator . or ,\n";

// One run of the program: the model root with its generator seeded, the capacity and the
// decimal separator taken from the common options.
struct TRun {
    TData Data;
    double Capacity = 480;
};

void PrintLine(const std::string& Line)
{
    std::fputs(Line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintError(const std::string& Line)
{
    std::fputs(Line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void NoPositionals(const TParsedArgs& Args)
{
    if (!Args.Positionals.empty()) throw ECliError("unexpected argument \"" + Args.Positionals.front() + "\"");
}

void ApplyCommonOptions(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Has("--decimal-separator")) {
        const std::string Separator = Args.Value("--decimal-separator");
        if (Separator != "." && Separator != ",")
            throw ECliError("--decimal-separator must be '.' or ','");
        SetDecimalSeparator(Separator[0]);
    } else {
        SetDecimalSeparator(DetectLocaleDecimalSeparator());
    }
    if (Args.Has("--capacity")) {
        Run.Capacity = ParseDouble(Args.Value("--capacity"), "--capacity");
        if (!(Run.Capacity > 0)) throw ECliError("--capacity must be greater than 0");
    }
    Run.Data.Random.Seed(Args.Has("--seed") ? ParseSeed(Args.Value("--seed")) : TUniformGenerator::DefaultSeed);
}

int PositiveOrdays(const TParsedArgs& Args)
{
    const int NumORdays = ParseInt(Args.Required("--ordays"), "--ordays");
    if (NumORdays <= 0) throw ECliError("--ordays must be greater than 0");
    return NumORdays;
}

// Reads a case mix file into the run's model; a missing file has been reported by the reader.
TCaseMix& ReadCaseMix(TRun& Run, const std::string& FileName)
{
    const std::size_t Before = Run.Data.CaseMixes.size();
    Run.Data.ReadAndAddCaseMix(FileName, Run.Capacity);
    if (Run.Data.CaseMixes.size() == Before) throw ECliError("");
    return *Run.Data.CaseMixes.back();
}

std::string MemberTypes(const TSurgeryType& Type)
{
    std::string Members;
    for (int t = 0; t < NumCaseMixTypes; ++t) {
        if (!Type.IsCaseMixType(t)) continue;
        if (!Members.empty()) Members += ",";
        Members += std::to_string(t);
    }
    return Members;
}

int CommandCaseMix(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.size() != 1) throw ECliError("casemix needs exactly one FILE");
    const int WriteType = ParseInt(Args.Value("--type", "0"), "--type");
    TCaseMix& CaseMix = ReadCaseMix(Run, Args.Positionals.front());
    for (const auto& Type : CaseMix.SurgeryTypes) {
        TDistribution& D = *Type->Distribution;
        PrintLine(std::to_string(Type->ID) + "\t" + DistributionTypeToStr(D.DistributionType) + "\t" +
                  FormatFixed(D.Expected * 1440, 9) + "\t" + FormatFixed(D.CalculateStdDev() * 1440, 9) + "\t" +
                  FormatFixed(Type->Xvalue, 9) + "\t" + FormatFixed(Type->Yvalue, 9) + "\t" +
                  FormatFixed(Type->RelFrequency, 9) + "\t" + MemberTypes(*Type));
    }
    if (Args.Has("--write")) CaseMix.WriteCaseMix(Args.Value("--write"), WriteType);
    return ExitSuccess;
}

int CommandGenerate(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const bool OnTheFly = Args.Has("--on-the-fly");
    if (OnTheFly && Args.Has("--casemix")) throw ECliError("--on-the-fly and --casemix exclude each other");
    const int CaseMixType = ParseInt(Args.Value("--type", "0"), "--type");
    if (OnTheFly && (CaseMixType < 0 || CaseMixType >= NumCaseMixTypes))
        throw ECliError("--on-the-fly needs a --type from 0 to 16");
    const int NumORdays = PositiveOrdays(Args);
    const DArray Loads = ParseDoubleList(Args.Required("--loads"), "--loads");
    const int PerLoad = ParseInt(Args.Value("--per-load", "30"), "--per-load");
    const double Deviation = ParseDouble(Args.Value("--deviation", "0.025"), "--deviation");
    const std::string OutDir = Args.Value("--out", ".");
    const bool Save = !Args.Has("--no-save");

    TCaseMix* CaseMix = nullptr;
    if (OnTheFly) {
        Run.Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Run.Data, CaseMixType, Run.Capacity));
        CaseMix = Run.Data.CaseMixes.back().get();
        CaseMix->Name = "TCM" + std::to_string(CaseMixType);
    } else {
        CaseMix = &ReadCaseMix(Run, Args.Required("--casemix"));
    }
    ForceDirectories(OutDir);

    const bool Complete = CaseMix->GenerateInstances(
        Loads, CaseMixType, PerLoad, NumORdays, Deviation, Save, IncludeTrailingPathDelimiter(OutDir), OnTheFly,
        [](const TInstance& Instance) {
            PrintLine(Instance.Name + "\t" + FormatFixed(Instance.Load, 9) + "\t" +
                      std::to_string(Instance.Surgeries.size()));
        });
    if (!Complete) {
        PrintError("Could not generate all instances for case mix " + CaseMix->Name +
                   ", #ORdays: " + std::to_string(NumORdays));
        return ExitDrawLimit;
    }
    return ExitSuccess;
}

int CommandFill(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const int NumORdays = PositiveOrdays(Args);
    const double Load = ParseDouble(Args.Required("--load"), "--load");
    const int Count = ParseInt(Args.Value("--count", "1"), "--count");
    const int CaseMixType = ParseInt(Args.Value("--type", "0"), "--type");
    const std::string OutDir = Args.Value("--out", ".");
    TCaseMix& CaseMix = ReadCaseMix(Run, Args.Required("--casemix"));

    if (!GenerateAndAddInstances(CaseMix, CaseMixType, Count, NumORdays, Run.Capacity, Load)) return ExitBadInput;
    ForceDirectories(OutDir);
    const std::string Dir = IncludeTrailingPathDelimiter(OutDir);
    for (int i = 0; i < CaseMix.Instances.Count(); ++i) {
        TInstance& Instance = *CaseMix.Instances[i];
        Instance.FileName = Dir + CaseMix.Name + "_instance_" + std::to_string(i) + ".txt";
        Instance.SaveInstance();
        PrintLine(std::to_string(i) + "\t" + FormatFixed(Instance.Load, 9) + "\t" +
                  std::to_string(Instance.Surgeries.size()));
    }
    return ExitSuccess;
}

int CommandTheoreticalCaseMix(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const std::string OutFile = Args.Required("--write");
    Run.Data.GenerateAndAddTheoreticalCaseMix(Args.Value("--name", "Theoretical case mix 0"), 0.01, 1, 0, 1, 0.01,
                                              0.01, Run.Capacity, 1);
    Run.Data.CaseMixes.back()->WriteCaseMix(OutFile, 0);
    return ExitSuccess;
}

TOverlapEngine ParseEngine(const TParsedArgs& Args)
{
    TOverlapEngine Engine = TOverlapEngine::oeExact;
    if (!TryTextToOverlapEngine(Args.Value("--engine", "exact"), Engine))
        throw ECliError("--engine must be exact or solver");
    return Engine;
}

int CommandOverlap(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.empty()) throw ECliError("overlap needs at least one INSTANCE_FILE");
    const double Epsilon = ParseDouble(Args.Value("--epsilon", "0.01"), "--epsilon");
    const bool Deterministic = Args.Has("--deterministic");
    const bool Select = Args.Has("--select");
    const int K = Select ? ParseInt(Args.Value("--select"), "--select") : 0;
    TOverlapSettings Settings;
    Settings.Engine = ParseEngine(Args);

    TCaseMix& CaseMix = ReadCaseMix(Run, Args.Required("--casemix"));
    for (const std::string& FileName : Args.Positionals) {
        TCaseMix* Target = nullptr;
        Run.Data.ReadAndAddInstance(FileName, Target);
        if (Target == nullptr) throw ECliError("");
    }

    DoubDoubArray Overlap;
    AnalyzeOverlap(CaseMix.Instances, Epsilon, Overlap, Deterministic, Settings);
    for (const DoubArray& Row : Overlap) {
        std::string Line;
        for (std::size_t j = 0; j < Row.size(); ++j) {
            if (j > 0) Line += '\t';
            Line += FormatFixed(Row[j], 5);
        }
        PrintLine(Line);
    }

    const int N = CaseMix.Instances.Count();
    DoubArray X;
    double ObjVal = 0;
    bool Applied = false;
    if (Select) {
        Applied = SelectMinOverlapInstances(Overlap, N, K, X, ObjVal, Settings.Engine);
        if (Applied) {
            std::string Chosen = "chosen:";
            for (int i = 0; i < N; ++i)
                if (X[1 + static_cast<std::size_t>(i)] > 1e-8) {
                    Chosen += ' ';
                    Chosen += std::to_string(i);
                }
            PrintLine(Chosen);
            PrintLine("max overlap: " + FormatFixed(X[0], 5));
        } else {
            PrintError("Cannot select " + std::to_string(K) + " of " + std::to_string(N) + " instances");
        }
    }
    if (Args.Has("--report"))
        WriteOverlapReport(Args.Value("--report"), Overlap, Applied ? X[0] : FindMaximumOverlap(Overlap), X, K,
                           Applied);
    return ExitSuccess;
}

constexpr int ExitInterrupted = 130;

// The batch window's inputs from the command line: numbers are checked here (written with '.')
// and handed on as the texts the window would hold.
TBatchInputs BatchInputs(const TParsedArgs& Args, const TRun& Run)
{
    TBatchInputs Inputs;
    Inputs.NumInstancesPerSetting = Args.Value("--per-combination", "30");
    Inputs.MaxLoadDeviation = Args.Value("--deviation", "0.025");
    ParseDouble(Inputs.MaxLoadDeviation, "--deviation");
    Inputs.NumInstancesToSelect = Args.Value("--select", "10");
    ParseInt(Inputs.NumInstancesToSelect, "--select");
    Inputs.Epsilon = Args.Value("--epsilon", "0.01");
    ParseDouble(Inputs.Epsilon, "--epsilon");
    Inputs.DeterministicDistance = Args.Has("--deterministic");
    Inputs.AnalyzeOverlap = !Args.Has("--no-analyze");
    Inputs.RemoveInstances = !Args.Has("--keep-all");
    Inputs.SaveInstances = !Args.Has("--no-save");
    Inputs.Engine = ParseEngine(Args);
    if (Args.Has("--ordays")) {
        Inputs.NumORdays.clear();
        const std::string Text = Args.Value("--ordays");
        if (!Text.empty()) SplitToStringList(Text, ',', Inputs.NumORdays);
    }
    for (const std::string& Entry : Inputs.NumORdays)
        if (ParseInt(Entry, "--ordays") <= 0) throw ECliError("--ordays must be greater than 0");
    if (Args.Has("--loads")) {
        Inputs.Loads.clear();
        const std::string Text = Args.Value("--loads");
        if (!Text.empty()) SplitToStringList(Text, ',', Inputs.Loads);
    }
    for (const std::string& Entry : Inputs.Loads) ParseDouble(Entry, "--loads");
    Inputs.BaseDirectory = IncludeTrailingPathDelimiter(Args.Value("--out", ExecutableDirectory() + "instances"));
    Inputs.CapacityORinMinutes = Run.Capacity;
    return Inputs;
}

int BatchExitCode(const TBatchResult& Result)
{
    if (Result.Aborted) return ExitBadInput;
    if (Result.Interrupted) return ExitInterrupted;
    return Result.DrawLimitPassed ? ExitDrawLimit : ExitSuccess;
}

int CommandBatch(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    TBatchInputs Inputs = BatchInputs(Args, Run);
    for (const std::string& FileName : Args.Values("--casemix")) ReadCaseMix(Run, FileName);
    Inputs.CaseMixChecked.assign(Run.Data.CaseMixes.size(), true);
    Inputs.CaseMixSelected.assign(Run.Data.CaseMixes.size(), true);
    TCliBatchHost Host;
    return BatchExitCode(GenerateBatch(Run.Data, Inputs, Host));
}

int CommandTheoreticalBatch(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const TBatchInputs Inputs = BatchInputs(Args, Run);
    TCliBatchHost Host;
    return BatchExitCode(GenerateTheoreticalBatch(Run.Data, Inputs, Host));
}

struct TCommand {
    const char* Name;
    std::vector<TOptionDef> Options;
    std::function<int(const TParsedArgs&, TRun&)> Run;
};

std::vector<TOptionDef> BatchOptions(bool WithCaseMixes)
{
    std::vector<TOptionDef> Options = {
        {"--ordays", true},   {"--loads", true},       {"--per-combination", true}, {"--deviation", true},
        {"--select", true},   {"--epsilon", true},     {"--deterministic", false},  {"--no-analyze", false},
        {"--keep-all", false}, {"--no-save", false},   {"--out", true},             {"--engine", true},
    };
    if (WithCaseMixes) Options.push_back({"--casemix", true});
    return Options;
}

const std::vector<TCommand>& Commands()
{
    static const std::vector<TCommand> List = {
        {"casemix", {{"--type", true}, {"--write", true}}, CommandCaseMix},
        {"generate",
         {{"--casemix", true},
          {"--ordays", true},
          {"--loads", true},
          {"--per-load", true},
          {"--deviation", true},
          {"--type", true},
          {"--out", true},
          {"--no-save", false},
          {"--on-the-fly", false}},
         CommandGenerate},
        {"fill",
         {{"--casemix", true},
          {"--ordays", true},
          {"--load", true},
          {"--count", true},
          {"--type", true},
          {"--out", true}},
         CommandFill},
        {"theoretical-casemix", {{"--name", true}, {"--write", true}}, CommandTheoreticalCaseMix},
        {"overlap",
         {{"--casemix", true},
          {"--epsilon", true},
          {"--deterministic", false},
          {"--select", true},
          {"--engine", true},
          {"--report", true}},
         CommandOverlap},
        {"batch", BatchOptions(true), CommandBatch},
        {"theoretical-batch", BatchOptions(false), CommandTheoreticalBatch},
    };
    return List;
}

}  // namespace

int RunCli(const std::vector<std::string>& Args)
{
    try {
        for (const std::string& Arg : Args) {
            if (Arg == "--help" || Arg == "-h") {
                std::fputs(UsageText, stdout);
                return ExitSuccess;
            }
        }
        const std::string Name = FindCommand(Args);
        const TCommand* Command = nullptr;
        for (const TCommand& Candidate : Commands())
            if (Name == Candidate.Name) Command = &Candidate;
        if (Command == nullptr) {
            std::fputs(Name.empty() ? "orbench-cli: no command given\n"
                                    : ("orbench-cli: unknown command " + Name + "\n").c_str(),
                       stderr);
            std::fputs(UsageText, stderr);
            return ExitBadInput;
        }
        const TParsedArgs Parsed = Parse(Args, Command->Options);
        // Start-up: the model root, then the solver environment; at exit the other way round.
        auto Run = std::make_unique<TRun>();
        if (!OpenSolverEnvironment()) PrintError(SolverStartFailedMessage);
        ApplyCommonOptions(Parsed, *Run);
        const int ExitCode = Command->Run(Parsed, *Run);
        Run.reset();
        CloseSolverEnvironment();
        return ExitCode;
    } catch (const ECliError& Error) {
        if (*Error.what() != '\0') PrintError(std::string("orbench-cli: ") + Error.what());
        return ExitBadInput;
    } catch (const EOrbenchError& Error) {
        PrintError(std::string("orbench-cli: ") + Error.what());
        return ExitBadInput;
    } catch (const std::exception& Error) {
        PrintError(std::string("orbench-cli: ") + Error.what());
        return ExitBadInput;
    }
}

}  // namespace orbench::cli
