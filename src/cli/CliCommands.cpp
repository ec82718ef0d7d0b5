#include "CliCommands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <streambuf>

#include "BatchRun.h"
#include "BatchSettings.h"
#include "CliArgs.h"
#include "CliBatchHost.h"
#include "CliPlot.h"
#include "CliStop.h"
#include "CliSupport.h"
#include "DurationSampling.h"
#include "FileUtils.h"
#include "InstanceExport.h"
#include "InstanceFill.h"
#include "InstanceStats.h"
#include "ManifestVerify.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OutputFiles.h"
#include "Overlap.h"
#include "OverlapReport.h"
#include "ProgramVersion.h"
#include "Selection.h"
#include "TextUtils.h"

namespace orbench::cli {

namespace {

// ---- Checks of the option values: each refusal names the option and the value. ----

// -1..16 (-1: every surgery type); 0..16 when surgery types are generated on the fly.
int CaseMixTypeOption(const TParsedArgs& Args, bool OnTheFly)
{
    const std::string Text = Args.Value("--type", "0");
    const int Type = ParseInt(Text, "--type");
    const int Lowest = OnTheFly ? 0 : -1;
    if (Type < Lowest || Type >= NumCaseMixTypes)
        Refuse("--type", Text, OnTheFly ? "must be from 0 to 16 with --on-the-fly" : "must be from -1 to 16");
    return Type;
}

DArray Loads(const std::string& Text, const std::string& Option)
{
    DArray Values;
    for (const std::string& Entry : SplitList(Text)) Values.push_back(Positive(Entry, Option));
    return Values;
}

void NoPositionals(const TParsedArgs& Args)
{
    if (!Args.Positionals.empty())
        throw ECliError(Args.Command + ": unexpected argument " + ShortenForMessage(Args.Positionals.front()));
}

// ---- Reading files ----

// The instance files, read in order into CaseMix (the only case mix loaded), each named by its path
// as given and holding every surgery its file lists.
std::vector<const TInstance*> ReadWholeInstances(TRun& Run, TCaseMix& CaseMix, const std::vector<std::string>& Files)
{
    std::vector<const TInstance*> Instances;
    for (const std::string& FileName : Files) {
        ReadInstance(Run, FileName);
        CheckEverySurgeryRead(FileName, CaseMix);
        CaseMix.Instances.Last()->FileName = FileName;
        Instances.push_back(CaseMix.Instances.Last());
    }
    return Instances;
}

void DrawLimitHint(int MaxDraws)
{
    PrintError(Prefix + "the draw limit of " + std::to_string(MaxDraws) +
               " main draws per generation call was passed; raise it with --max-draws or widen the load window "
               "with --deviation");
}

// ---- Commands ----

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
    const int WriteType = CaseMixTypeOption(Args, false);
    const std::string Out = Args.Has("--write") ? Path(Args.Value("--write"), "--write") : "";
    TCaseMix& CaseMix = ReadCaseMix(Run, Args.Positionals.front());
    for (const auto& Type : CaseMix.SurgeryTypes) {
        TDistribution& D = *Type->Distribution;
        PrintLine(std::to_string(Type->ID) + "\t" + DistributionTypeToStr(D.DistributionType) + "\t" +
                  FormatFixed(D.Expected * 1440, 9) + "\t" + FormatFixed(D.CalculateStdDev() * 1440, 9) + "\t" +
                  FormatFixed(Type->Xvalue, 9) + "\t" + FormatFixed(Type->Yvalue, 9) + "\t" +
                  FormatFixed(Type->RelFrequency, 9) + "\t" + MemberTypes(*Type));
    }
    if (!Out.empty()) CaseMix.WriteCaseMix(Out, WriteType);
    return ExitSuccess;
}

int CommandGenerate(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const bool OnTheFly = Args.Has("--on-the-fly");
    if (OnTheFly && Args.Has("--casemix")) throw ECliError("--on-the-fly and --casemix exclude each other");
    const int CaseMixType = CaseMixTypeOption(Args, OnTheFly);
    const int NumORdays = AtLeast(Args.Required("--ordays"), "--ordays", 1);
    const DArray LoadList = Loads(Args.Required("--loads"), "--loads");
    const int PerLoad = AtLeast(Args.Value("--per-load", "30"), "--per-load", 1);
    const double Deviation = Positive(Args.Value("--deviation", "0.025"), "--deviation");
    const std::string OutDir = Path(Args.Value("--out", "."), "--out");
    const int MaxDraws = AtLeast(Args.Value("--max-draws", std::to_string(DefaultMaxDraws)), "--max-draws", 1);
    const bool Save = !Args.Has("--no-save");

    TCaseMix* CaseMix = nullptr;
    if (OnTheFly) {
        RequireFinitePointTypes(Run.Capacity, SmallestDrawnX);
        Run.Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Run.Data, CaseMixType, Run.Capacity));
        CaseMix = Run.Data.CaseMixes.back().get();
        CaseMix->Name = "TCM" + std::to_string(CaseMixType);
    } else {
        CaseMix = &ReadCaseMix(Run, Path(Args.Required("--casemix"), "--casemix"));
        RequireSurgeryTypesToDraw(*CaseMix, CaseMixType);
    }
    ForceDirectories(OutDir);

    const TStopRequestScope StopScope;
    const bool Complete = CaseMix->GenerateInstances(
        LoadList, CaseMixType, PerLoad, NumORdays, Deviation, Save, IncludeTrailingPathDelimiter(OutDir), OnTheFly,
        [](const TInstance& Instance) {
            PrintLine(Instance.Name + "\t" + FormatFixed(Instance.Load, 9) + "\t" +
                      std::to_string(Instance.Surgeries.size()));
            if (CliStopRequested()) throw ECliStopped{};
        },
        MaxDraws);
    if (!Complete) {
        PrintError("Could not generate all instances for case mix " + CaseMix->Name +
                   ", #ORdays: " + std::to_string(NumORdays));
        std::string Explanation;
        if (DrawLimitCause(*CaseMix, CaseMixType, NumORdays, LoadList, Deviation, Explanation) !=
            TDrawLimitCause::dcDraws)
            PrintError(Prefix + Explanation);
        else
            DrawLimitHint(MaxDraws);
        return ExitIncomplete;
    }
    return ExitSuccess;
}

// The main window's loop checks in after every 100th accepted surgery: there a Ctrl-C stops it.
class TStoppableFill : public TFillObserver {
public:
    void ProcessEvents() override
    {
        if (CliStopRequested()) throw ECliStopped{};
    }
};

int CommandFill(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    const int NumORdays = AtLeast(Args.Required("--ordays"), "--ordays", 1);
    const double Load = Positive(Args.Required("--load"), "--load");
    const int Count = AtLeast(Args.Value("--count", "1"), "--count", 1);
    const int CaseMixType = CaseMixTypeOption(Args, false);
    const std::string OutDir = Path(Args.Value("--out", "."), "--out");
    TCaseMix& CaseMix = ReadCaseMix(Run, Path(Args.Required("--casemix"), "--casemix"));
    RequireSurgeryTypesToDraw(CaseMix, CaseMixType);

    const TStopRequestScope StopScope;
    TStoppableFill Observer;
    if (!GenerateAndAddInstances(CaseMix, CaseMixType, Count, NumORdays, Run.Capacity, Load, &Observer))
        return ExitBadInput;
    // Written only when the whole loop has succeeded.
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
    const std::string OutFile = Path(Args.Required("--write"), "--write");
    Run.Data.GenerateAndAddTheoreticalCaseMix(Args.Value("--name", "Theoretical case mix 0"), 0.01, 1, 0, 1, 0.01, 0.01,
                                              Run.Capacity, 1);
    Run.Data.CaseMixes.back()->WriteCaseMix(OutFile, 0);
    return ExitSuccess;
}

int CommandOverlap(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.empty()) throw ECliError("overlap needs at least one INSTANCE_FILE");
    const double Epsilon = NonNegative(Args.Value("--epsilon", "0.01"), "--epsilon");
    const bool Deterministic = Args.Has("--deterministic");
    const bool Select = Args.Has("--select");
    const int K = Select ? AtLeast(Args.Value("--select"), "--select", 1) : 0;
    TOverlapSettings Settings;
    Settings.Engine = Engine(Args);
    Settings.StopRequested = CliStopRequested;  // looked at after every pair, and inside the solvers
    const std::string TimeLimit = Args.Value("--time-limit", "");
    if (!TimeLimit.empty()) Settings.SelectionTimeLimitSeconds = Positive(TimeLimit, "--time-limit");
    const std::string Report = Args.Has("--report") ? Path(Args.Value("--report"), "--report") : "";
    const std::string CaseMixFile = Path(Args.Required("--casemix"), "--casemix");
    for (const std::string& FileName : Args.Positionals) Path(FileName, "INSTANCE_FILE");

    TCaseMix& CaseMix = ReadCaseMix(Run, CaseMixFile);
    for (const std::string& FileName : Args.Positionals) ReadInstance(Run, FileName);

    const TStopRequestScope StopScope;
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
        bool Proven = true;
        Settings.SelectionProgress = SelectionProgressOnStderr();  // its clock starts now
        Applied = SelectMinOverlapInstances(Overlap, N, K, X, ObjVal, Settings, &Proven);
        if (Applied && !Proven)
            PrintError(Prefix + "the selection is not proven optimal: the time limit of " + TimeLimit +
                       " s ended the search first; the best set found is shown");
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
    if (!Report.empty())
        WriteOverlapReport(Report, Overlap, Applied ? X[0] : FindMaximumOverlap(Overlap), X, K, Applied);
    return Select && !Applied ? ExitIncomplete : ExitSuccess;
}

// An output stream buffer over a sink that is also a check point: a write after Ctrl-C throws
// ECliStopped (the scenario writer hands its text over in pieces of about 1 MB).
class TStoppableOutput : public std::streambuf {
public:
    explicit TStoppableOutput(TWriteSink Sink) : FSink(std::move(Sink)) {}

protected:
    std::streamsize xsputn(const char* Bytes, std::streamsize Size) override
    {
        if (CliStopRequested()) throw ECliStopped{};
        FSink(Bytes, static_cast<std::size_t>(Size));
        return Size;
    }
    int_type overflow(int_type Ch) override
    {
        if (traits_type::eq_int_type(Ch, traits_type::eof())) return traits_type::not_eof(Ch);
        const char Byte = traits_type::to_char_type(Ch);
        xsputn(&Byte, 1);
        return Ch;
    }

private:
    TWriteSink FSink;
};

// Writes through Write into a stream: the stream's text goes to Sink; the stream's own exceptions
// (a write error, a stop) reach the caller.
void WriteToSink(const TWriteSink& Sink, const std::function<void(std::ostream&)>& Write)
{
    TStoppableOutput Buffer(Sink);
    std::ostream Out(&Buffer);
    Out.exceptions(std::ios::badbit);
    Write(Out);
}

// The text Write hands to its sink goes to OutFile, lines ending CR LF, or without a file name to
// stdout, lines ending LF. The file appears only when it is complete (also after Ctrl-C or a full
// disk). Each piece is a check point: after Ctrl-C it throws ECliStopped.
using TTextWriter = std::function<void(const std::string& LineEnd, const TWriteSink& Put)>;
void WriteOutput(const std::string& OutFile, const TTextWriter& Write)
{
    const TStopRequestScope StopScope;
    const auto Stoppable = [](const TWriteSink& Put) -> TWriteSink {
        return [&Put](const char* Bytes, std::size_t Size) {
            if (CliStopRequested()) throw ECliStopped{};
            Put(Bytes, Size);
        };
    };
    if (!OutFile.empty()) {
        WriteFileStreamed(OutFile, [&](const TWriteSink& Put) { Write("\r\n", Stoppable(Put)); });
        return;
    }
    const TWriteSink ToStdout = [](const char* Bytes, std::size_t Size) {
        if (std::fwrite(Bytes, 1, Size, stdout) != Size)
            throw EOutputError(std::string("stdout: ") + std::strerror(errno));
    };
    Write("\n", Stoppable(ToStdout));
    if (std::fflush(stdout) != 0) throw EOutputError(std::string("stdout: ") + std::strerror(errno));
}

int CommandSample(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.empty()) throw ECliError("sample needs at least one INSTANCE_FILE");
    const int Scenarios = AtLeast(Args.Required("--scenarios"), "--scenarios", 1);
    const std::string FormatText = Args.Value("--format", "long");
    if (FormatText != "long" && FormatText != "wide") Refuse("--format", FormatText, "must be long or wide");
    const TScenarioFormat Format = FormatText == "long" ? TScenarioFormat::sfLong : TScenarioFormat::sfWide;
    const std::string OutFile = Args.Has("--out") ? Path(Args.Value("--out"), "--out") : "";
    const std::string CaseMixFile = Path(Args.Required("--casemix"), "--casemix");
    for (const std::string& FileName : Args.Positionals) Path(FileName, "INSTANCE_FILE");
    TCaseMix& CaseMix = ReadCaseMix(Run, CaseMixFile);
    const std::vector<const TInstance*> Instances = ReadWholeInstances(Run, CaseMix, Args.Positionals);

    // The scenario writer checks every surgery type before it writes anything; the warnings come
    // first.
    CheckSampleable(Instances);
    for (const std::string& Warning : SamplingWarnings(CaseMix, Instances)) PrintError(Prefix + "warning: " + Warning);
    WriteOutput(OutFile, [&](const std::string& LineEnd, const TWriteSink& Put) {
        WriteToSink(Put, [&](std::ostream& Out) {
            WriteDurationScenarios(Out, Instances, Scenarios, Run.Seed, Format, LineEnd);
        });
    });
    return ExitSuccess;
}

int CommandStats(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.empty()) throw ECliError("stats needs at least one INSTANCE_FILE");
    const std::string CaseMixFile = Path(Args.Required("--casemix"), "--casemix");
    for (const std::string& FileName : Args.Positionals) Path(FileName, "INSTANCE_FILE");
    TCaseMix& CaseMix = ReadCaseMix(Run, CaseMixFile);
    const TInstanceStats Stats = ComputeInstanceStats(ReadWholeInstances(Run, CaseMix, Args.Positionals));
    std::fputs((Args.Has("--csv") ? InstanceStatsCsv(Stats, "\n") : InstanceStatsTable(Stats, "\n")).c_str(), stdout);
    return ExitSuccess;
}

int CommandExport(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Positionals.empty()) throw ECliError("export needs at least one INSTANCE_FILE");
    const std::string Format = Args.Required("--format");
    if (Format != "json" && Format != "csv") Refuse("--format", Format, "must be json or csv");
    const std::string OutFile = Args.Has("--out") ? Path(Args.Value("--out"), "--out") : "";
    const std::string CaseMixFile = Path(Args.Required("--casemix"), "--casemix");
    for (const std::string& FileName : Args.Positionals) Path(FileName, "INSTANCE_FILE");
    TCaseMix& CaseMix = ReadCaseMix(Run, CaseMixFile);
    const std::vector<const TInstance*> Instances = ReadWholeInstances(Run, CaseMix, Args.Positionals);
    const auto Export = Format == "json" ? WriteInstancesJsonLines : WriteInstancesCsv;
    WriteOutput(OutFile, [&](const std::string& LineEnd, const TWriteSink& Put) { Export(Instances, LineEnd, Put); });
    return ExitSuccess;
}

int CommandVerify(const TParsedArgs& Args, TRun&)
{
    if (Args.Positionals.size() != 1) throw ECliError("verify needs exactly one DIR");
    const std::string Dir = Path(Args.Positionals.front(), "DIR");
    const TVerification Found = VerifyManifest(Dir, IsRunFilePath);
    const std::pair<const char*, const std::vector<std::string>*> Findings[] = {
        {"missing", &Found.Missing},
        {"not a regular file", &Found.NotRegular},
        {"changed", &Found.Changed},
        {"not listed", &Found.Unlisted}};
    std::string Summary;
    for (const auto& [What, Paths] : Findings) {
        for (const std::string& RelativePath : *Paths)
            PrintLine(std::string(What) + "\t" + ShortenForMessage(RelativePath, std::string::npos));
        if (Paths->empty()) continue;
        Summary += (Summary.empty() ? "" : ", ") + std::to_string(Paths->size()) + " " + What;
    }
    PrintLine(std::to_string(Found.NumListed) + " file(s) listed: " + (Found.Passed() ? "all match" : Summary));
    return Found.Passed() ? ExitSuccess : ExitIncomplete;
}

// The option that stands for a batch setting.
const char* BatchOption(TBatchField Field)
{
    switch (Field) {
        case TBatchField::bfNumORdays: return "--ordays";
        case TBatchField::bfLoads: return "--loads";
        case TBatchField::bfDeviation: return "--deviation";
        case TBatchField::bfEpsilon: return "--epsilon";
        case TBatchField::bfMaxDraws: return "--max-draws";
        case TBatchField::bfCapacity: return "--capacity";
    }
    return "";
}

// The batch settings from the command line (numbers written with '.'), checked before anything
// is read or written. A --per-combination that is no integer is left for the batch's own message
// once the case mixes are read (PerCombinationText).
TBatchSettings BatchSettingsFromArgs(const TParsedArgs& Args, const TRun& Run, bool Theoretical,
                                     std::string& PerCombinationText)
{
    TBatchSettings Settings;
    PerCombinationText = Args.Value("--per-combination", std::to_string(Settings.NumInstancesPerLoad));
    if (TryTextToInt(PerCombinationText, Settings.NumInstancesPerLoad) && Settings.NumInstancesPerLoad < 1)
        Refuse("--per-combination", PerCombinationText, "must be at least 1");
    if (Args.Has("--deviation"))
        Settings.MaxAbsDeviationFromLoad = ParseDouble(Args.Value("--deviation"), "--deviation");
    if (Args.Has("--select")) Settings.NumInstancesToSelect = AtLeast(Args.Value("--select"), "--select", 1);
    if (Args.Has("--epsilon")) Settings.EpsilonDist = ParseDouble(Args.Value("--epsilon"), "--epsilon");
    Settings.DeterministicDistance = Args.Has("--deterministic");
    Settings.AnalyzeOverlap = !Args.Has("--no-analyze");
    Settings.RemoveInstances = !Args.Has("--keep-all");
    Settings.SaveInstances = !Args.Has("--no-save");
    Settings.Engine = Engine(Args);
    if (Args.Has("--ordays")) {
        Settings.NumORdays.clear();
        for (const std::string& Entry : SplitList(Args.Value("--ordays")))
            Settings.NumORdays.push_back(ParseInt(Entry, "--ordays"));
    }
    if (Args.Has("--loads")) {
        Settings.Loads.clear();
        for (const std::string& Entry : SplitList(Args.Value("--loads")))
            Settings.Loads.push_back(ParseDouble(Entry, "--loads"));
    }
    Settings.BaseDirectory = IncludeTrailingPathDelimiter(Path(Args.Value("--out", "instances"), "--out"));
    if (Args.Has("--max-draws")) Settings.MaxDraws = ParseInt(Args.Value("--max-draws"), "--max-draws");
    Settings.Overwrite = Args.Has("--overwrite");
    Settings.CapacityORinMinutes = Run.Capacity;
    Settings.StartupSeed = Run.Seed;
    try {
        CheckBatchSettings(Settings, Theoretical);
    } catch (const EBatchSettingError& Error) {
        Refuse(BatchOption(Error.Field), FormatOptionNumber(Error.Number), Error.Reason);
    }
    return Settings;
}

// The batch window's first check, in its words: the number of instances per combination is an
// integer.
bool PerCombinationIsInteger(const std::string& Text)
{
    int Value = 0;
    if (TryTextToInt(Text, Value)) return true;
    PrintError("The number of instances has to be integer. Aborting.");
    return false;
}

int BatchExitCode(const TBatchResult& Result, const TBatchSettings& Settings)
{
    if (Result.MoreDrawsWouldHelp) DrawLimitHint(Settings.MaxDraws);
    if (Result.Interrupted) return ExitInterrupted;
    return Result.DrawLimitPassed || Result.SelectionRefused || Result.MarkingFailed ? ExitIncomplete : ExitSuccess;
}

int CommandBatch(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    std::string PerCombination;
    const TBatchSettings Settings = BatchSettingsFromArgs(Args, Run, false, PerCombination);
    for (const std::string& FileName : Args.Values("--casemix")) Path(FileName, "--casemix");
    std::vector<TCaseMix*> CaseMixes;
    for (const std::string& FileName : Args.Values("--casemix")) {
        TCaseMix& CaseMix = ReadCaseMix(Run, FileName);
        RequireTypeOfPositiveFrequency(CaseMix);
        CaseMixes.push_back(&CaseMix);
    }
    if (!PerCombinationIsInteger(PerCombination)) return ExitBadInput;
    if (CaseMixes.empty()) {
        PrintError("No case mix selected. Aborting.");
        return ExitBadInput;
    }
    TCliBatchHost Host;
    return BatchExitCode(GenerateBatch(Run.Data, CaseMixes, Settings, Host), Settings);
}

int CommandTheoreticalBatch(const TParsedArgs& Args, TRun& Run)
{
    NoPositionals(Args);
    std::string PerCombination;
    const TBatchSettings Settings = BatchSettingsFromArgs(Args, Run, true, PerCombination);
    if (!PerCombinationIsInteger(PerCombination)) return ExitBadInput;
    TCliBatchHost Host;
    return BatchExitCode(GenerateTheoreticalBatch(Run.Data, Settings, Host), Settings);
}

// ---- The command table ----

using TCommandFunction = std::function<int(const TParsedArgs&, TRun&)>;

const TOptionDef TypeOption{"--type", "T", "case-mix type 0..16 whose surgery types are drawn; -1: every type", "0"};
const TOptionDef EpsilonOption{"--epsilon", "E",
                               "surgeries are alike when their points (coefficient of variation, mean in days) lie "
                               "closer than E; with --deterministic when their means differ by less than E days "
                               "(0.01 day = 14.4 minutes)",
                               FormatOptionNumber(TBatchSettings().EpsilonDist)};
const TOptionDef DeterministicOption{"--deterministic", "", "surgeries are alike by their mean durations alone", "off"};
const TOptionDef MaxDrawsOption{"--max-draws", "M",
                                "main draws one generation call may make before it gives up (at least 1)",
                                std::to_string(DefaultMaxDraws)};

std::vector<TOptionDef> BatchOptionDefs(bool WithCaseMixes)
{
    const TBatchSettings Defaults;
    std::vector<TOptionDef> Options;
    if (WithCaseMixes)
        Options.push_back({"--casemix", "FILE", "a case mix file; repeat the option for more case mixes", ""});
    const std::vector<TOptionDef> Rest = {
        {"--ordays", "N1,N2,...", "numbers of OR-days, processed in the order given (at least 1 each)",
         DefaultNumORdaysText()},
        {"--loads", "L1,L2,...", "target loads, greater than 0, processed in ascending order", DefaultLoadsText()},
        {"--per-combination", "K", "instances per combination of case mix, OR-days and load",
         std::to_string(Defaults.NumInstancesPerLoad)},
        {"--deviation", "D", "half-width of the window around each load, greater than 0",
         FormatOptionNumber(Defaults.MaxAbsDeviationFromLoad)},
        {"--select", "S", "instances to keep per combination (the least overlapping)",
         std::to_string(Defaults.NumInstancesToSelect)},
        EpsilonOption,
        DeterministicOption,
        {"--no-analyze", "", "generate only: no overlap analysis, selection or report", "off"},
        {"--keep-all", "", "analyse and report, but mark no instance file with REMOVE_", "off"},
        {"--no-save", "", "do not write instance files", "off"},
        {"--out", "DIR", "base folder of the output tree; one folder per case mix below it", "instances"},
        {"--engine", "exact|solver", "how overlap and selection are computed", "exact"},
        {"--overwrite", "",
         "delete the files of an earlier run (instances, REMOVE_ files, reports, manifest.json) from the case-mix "
         "folders this run writes into first, instead of refusing the run; other case mixes' folders are not touched",
         "off"},
        MaxDrawsOption,
    };
    Options.insert(Options.end(), Rest.begin(), Rest.end());
    return Options;
}

struct TCommand {
    TCommandDef Def;
    TCommandFunction Run;
};

const std::vector<TCommand>& Commands()
{
    static const std::vector<TCommand> List = {
        {{"casemix",
          "casemix FILE [--type T] [--write OUT]",
          "read a case mix and print its surgery types; optionally write it",
          {{"--type", "T", "with --write: write only the surgery types of case-mix type T (0 and -1: all)", "0"},
           {"--write", "OUT", "write the case mix (frequencies normalised) to OUT", "none"}},
          "FILE",
          "the case mix file",
          false},
         CommandCaseMix},
        {{"generate",
          "generate (--casemix FILE | --on-the-fly) --ordays N --loads L1,L2,... [--per-load K] [--deviation D] "
          "[--type T] [--out DIR] [--no-save] [--max-draws M]",
          "generate instances for a list of loads with the batch generator",
          {{"--casemix", "FILE", "the case mix to draw from", ""},
           {"--on-the-fly", "", "draw from a new case mix TCM<T> that makes a surgery type of type T for every draw",
            "off"},
           {"--ordays", "N", "OR-days of every instance (at least 1)", ""},
           {"--loads", "L1,L2,...", "target loads, greater than 0, in the order given", ""},
           {"--per-load", "K", "instances per load", "30"},
           {"--deviation", "D", "half-width of the window around each load, greater than 0", "0.025"},
           TypeOption,
           {"--out", "DIR", "folder of the instance files, created if missing", "."},
           {"--no-save", "", "do not write instance files", "off"},
           MaxDrawsOption},
          "",
          "",
          false},
         CommandGenerate},
        {{"fill",
          "fill --casemix FILE --ordays N --load L [--count K] [--type T] [--out DIR]",
          "fill instances up to a load with the main window's loop",
          {{"--casemix", "FILE", "the case mix to draw from", ""},
           {"--ordays", "N", "OR-days of every instance (at least 1)", ""},
           {"--load", "L", "the desired load, greater than 0", ""},
           {"--count", "K", "number of instances", "1"},
           TypeOption,
           {"--out", "DIR", "folder of the files <case mix>_instance_<i>.txt, created if missing", "."}},
          "",
          "",
          false},
         CommandFill},
        {{"theoretical-casemix",
          "theoretical-casemix [--name NAME] --write OUT",
          "write the theoretical case mix grid (X 0.01..0.99, Y 0..0.99, steps 0.01: 9,900 types)",
          {{"--name", "NAME", "name of the case mix", "Theoretical case mix 0"},
           {"--write", "OUT", "the case mix file to write", ""}},
          "",
          "",
          false},
         CommandTheoreticalCaseMix},
        {{"overlap",
          "overlap --casemix FILE [--epsilon E] [--deterministic] [--select K] [--engine exact|solver] "
          "[--time-limit S] [--report OUT] INSTANCE_FILE...",
          "print the overlap matrix of instance files; optionally select the least overlapping",
          {{"--casemix", "FILE", "the case mix the instances were drawn from", ""},
           EpsilonOption,
           DeterministicOption,
           {"--select", "K", "choose K instances (at least 1, fewer than the files) with the smallest largest overlap",
            "no selection"},
           {"--engine", "exact|solver", "how overlap and selection are computed", "exact"},
           {"--time-limit", "S",
            "seconds the selection may search (greater than 0); when they run out, the best set found is shown and "
            "a line on stderr says it is not proven optimal",
            "none: the selection is exact"},
           {"--report", "OUT", "write the overlap report to OUT", "none"}},
          "INSTANCE_FILE",
          "instance files, in the order of the matrix",
          true},
         CommandOverlap},
        {{"batch", "batch --casemix FILE [--casemix FILE ...] [options]",
          "the batch window's run: generate, analyse, select and report per combination", BatchOptionDefs(true), "", "",
          false},
         CommandBatch},
        {{"theoretical-batch", "theoretical-batch [options]",
          "the theoretical batch over case-mix types 0..16 (TCM0..TCM16), with proximity reports",
          BatchOptionDefs(false), "", "", false},
         CommandTheoreticalBatch},
        {{"verify",
          "verify DIR",
          "check a batch run's output folder against the manifest.json the run wrote there",
          {},
          "DIR",
          "the base folder of the run (its --out); prints each listed file that is missing or changed and "
          "each file of a run's kinds that is not listed; exit 0 when all match, 3 when not",
          false},
         CommandVerify},
        {{"sample",
          "sample --casemix FILE --scenarios S [--seed N] [--format long|wide] [--out FILE] INSTANCE_FILE...",
          "sample duration scenarios for the surgeries of instance files as CSV; each value depends only on --seed, "
          "the instance's content, the surgery's number and the scenario's number",
          {{"--casemix", "FILE", "the case mix the instances were drawn from", ""},
           {"--scenarios", "S", "scenarios per instance (at least 1)", ""},
           {"--format", "long|wide",
            "long: a line per instance, scenario and surgery (instance_file, surgery_id, surgery_type_id, scenario, "
            "duration_minutes); wide: a line per instance and surgery with a column per scenario",
            "long"},
           {"--out", "FILE", "write the CSV to FILE, lines ending CR LF; FILE appears only when complete",
            "stdout, lines ending LF"}},
          "INSTANCE_FILE",
          "instance files, in the order of the table",
          true},
         CommandSample},
        {{"stats",
          "stats --casemix FILE [--csv] INSTANCE_FILE...",
          "print statistics of instance files: one row per instance and one over the set",
          {{"--casemix", "FILE", "the case mix the instances were drawn from", ""},
           {"--csv", "", "comma-separated values with 9 decimals instead of aligned columns", "off"}},
          "INSTANCE_FILE",
          "instance files, in the order of the rows",
          true},
         CommandStats},
        {{"export",
          "export --casemix FILE --format json|csv [--out FILE] INSTANCE_FILE...",
          "write instance files as JSON or CSV for other languages: each surgery with its type's kind, parameters, "
          "mean and standard deviation in minutes, X and Y",
          {{"--casemix", "FILE", "the case mix the instances were drawn from", ""},
           {"--format", "json|csv",
            "json: one JSON document per instance, one per line (JSON Lines; docs/instance.schema.json); csv: a "
            "header and a line per instance and surgery (instance_file, case_mix, or_days, desired_load, load, "
            "capacity_minutes, number, type_id, kind, p1, p2, p3, mean_minutes, sd_minutes, x, y)",
            ""},
           {"--out", "FILE", "write to FILE, lines ending CR LF; FILE appears only when complete",
            "stdout, lines ending LF"}},
          "INSTANCE_FILE",
          "instance files, in the order of the output",
          true},
         CommandExport},
        {PlotCommandDef(), [](const TParsedArgs& Args, TRun&) { return RunPlotProgram(Args); }},
    };
    return List;
}

int RunCommand(const std::vector<std::string>& Args)
{
    std::vector<TCommandDef> Defs;
    for (const TCommand& Command : Commands()) Defs.push_back(Command.Def);
    const TParsedArgs Parsed = ParseCommandLine(Args, Defs, ProgramVersion);
    if (!Parsed.HelpText.empty()) {
        std::fputs(Parsed.HelpText.c_str(), stdout);
        return ExitSuccess;
    }
    const auto Command = std::find_if(Commands().begin(), Commands().end(),
                                      [&Parsed](const TCommand& C) { return C.Def.Name == Parsed.Command; });
    if (Command == Commands().end()) throw ECliError("unknown command " + Parsed.Command);
    // Start-up: the model root, then the solver environment; at exit (also on an error) the other
    // way round.
    std::optional<TSolverEnvironment> Solver;
    auto Run = std::make_unique<TRun>();
    Solver.emplace();
    ApplyCommonOptions(Parsed, *Run);
    return Command->Run(Parsed, *Run);
}

}  // namespace

int RunCli(const std::vector<std::string>& Args)
{
    try {
        return RunCommand(Args);
    } catch (...) {
        return ReportCurrentError();
    }
}

}  // namespace orbench::cli
