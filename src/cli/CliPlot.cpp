#include "CliPlot.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <new>

#include "CliStop.h"
#include "FileUtils.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "Selection.h"
#include "TextUtils.h"

#ifndef ORBENCH_VERSION
#define ORBENCH_VERSION "unknown"
#endif

extern char** environ;

namespace orbench::cli {

namespace {

const std::string Prefix = "orbench-cli: ";
const char* const PlotProgram = "orbench-plot";
constexpr int SmallestSide = 100;
constexpr int LargestSide = 10000;

void PrintError(const std::string& Line)
{
    std::fputs(ShortenForMessage(Line, std::string::npos).c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

[[noreturn]] void Refuse(const std::string& Option, const std::string& Value, const std::string& Reason)
{
    throw ECliError(Option + " " + ShortenForMessage(Value) + ": " + Reason);
}

const std::vector<std::string> PlaneOnly = {"--type"};
const std::vector<std::string> OverlapOnly = {"--epsilon", "--deterministic", "--select", "--engine"};

// "WxH", each side a whole number of pixels.
void ParseSize(const std::string& Text, int& Width, int& Height)
{
    const std::size_t Cross = Text.find_first_of("xX");
    const auto Side = [&Text](const std::string& Digits) {
        if (Digits.empty() || Digits.size() > 5 || Digits.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoi(Digits);
    };
    Width = Cross == std::string::npos ? -1 : Side(Text.substr(0, Cross));
    Height = Cross == std::string::npos ? -1 : Side(Text.substr(Cross + 1));
    if (Width < SmallestSide || Width > LargestSide || Height < SmallestSide || Height > LargestSide)
        Refuse("--size", Text,
               "must be WxH with W and H from " + std::to_string(SmallestSide) + " to " + std::to_string(LargestSide));
}

void ReadInputs(TPlotJob& Job, const std::string& CaseMixFile, const std::vector<std::string>& InstanceFiles,
                double Capacity)
{
    const auto Require = [](const std::string& FileName) {
        if (FileName.empty()) throw ECliError("an input file name is empty");
        if (!PathExists(FileName)) throw ECliError(FileName + ": File does not exist!");
    };
    Require(CaseMixFile);
    Job.Notifier.Subject = CaseMixFile;
    Job.Data->ReadAndAddCaseMix(CaseMixFile, Capacity);
    if (Job.Data->CaseMixes.empty()) throw ECliError("");  // the notifier has said why
    Job.CaseMix = Job.Data->CaseMixes.back().get();
    for (const std::string& FileName : InstanceFiles) {
        Require(FileName);
        TCaseMix* Target = nullptr;
        Job.Notifier.Subject = FileName;
        Job.Data->ReadAndAddInstance(FileName, Target);
        if (Target == nullptr) throw ECliError("");
    }
    Job.Notifier.Subject.clear();
}

// Fills the job from the command line; true when a requested selection was refused.
bool PrepareJob(const TParsedArgs& Args, TPlotJob& Job)
{
    if (Args.Positionals.empty()) throw ECliError("plot needs a picture kind: plane or overlap (orbench-cli help plot)");
    const std::string Kind = Args.Positionals.front();
    if (Kind != "plane" && Kind != "overlap")
        throw ECliError("plot: unknown picture kind " + ShortenForMessage(Kind) + " (plane or overlap)");
    Job.Overlap = Kind == "overlap";
    for (const std::string& Option : Job.Overlap ? PlaneOnly : OverlapOnly)
        if (Args.Has(Option))
            throw ECliError("plot " + Kind + ": " + Option + " belongs to plot " + (Job.Overlap ? "plane" : "overlap"));
    const std::vector<std::string> InstanceFiles(Args.Positionals.begin() + 1, Args.Positionals.end());
    if (Job.Overlap && InstanceFiles.empty()) throw ECliError("plot overlap needs at least one INSTANCE_FILE");

    // Every value is checked before anything is read.
    if (Args.Has("--decimal-separator")) {
        const std::string Separator = Args.Value("--decimal-separator");
        if (Separator != "." && Separator != ",") Refuse("--decimal-separator", Separator, "must be . or ,");
        SetDecimalSeparator(Separator[0]);
    } else {
        SetDecimalSeparator(DetectLocaleDecimalSeparator());
    }
    double Capacity = 480;
    if (Args.Has("--capacity")) {
        Capacity = ParseDouble(Args.Value("--capacity"), "--capacity");
        if (!(Capacity > 0)) Refuse("--capacity", Args.Value("--capacity"), "must be greater than 0");
    }
    const std::uint32_t Seed = Args.Has("--seed") ? ParseSeed(Args.Value("--seed")) : TUniformGenerator::DefaultSeed;
    ParseSize(Args.Value("--size", "800x800"), Job.Width, Job.Height);
    const std::string TypeText = Args.Value("--type", "0");
    Job.CaseMixType = ParseInt(TypeText, "--type");
    if (Job.CaseMixType < 0 || Job.CaseMixType >= NumCaseMixTypes) Refuse("--type", TypeText, "must be from 0 to 16");
    if (Job.Overlap && !Args.Has("--out")) throw ECliError("plot overlap needs --out (orbench-cli help plot)");
    if (Args.Has("--out")) {
        Job.OutFile = Args.Value("--out");
        if (Job.OutFile.empty()) throw ECliError("--out: the path is empty");
        const std::string Lower = LowerCaseAscii(Job.OutFile);
        const auto EndsWith = [&Lower](const std::string& End) {
            return Lower.size() >= End.size() && Lower.compare(Lower.size() - End.size(), End.size(), End) == 0;
        };
        if (!EndsWith(".svg") && !EndsWith(".png")) Refuse("--out", Job.OutFile, "must end in .svg or .png");
        Job.Svg = EndsWith(".svg");
    }
    const std::string EpsilonText = Args.Value("--epsilon", "0.01");
    const double Epsilon = ParseDouble(EpsilonText, "--epsilon");
    if (Epsilon < 0) Refuse("--epsilon", EpsilonText, "must not be negative");
    const bool Select = Args.Has("--select");
    const int K = Select ? ParseInt(Args.Value("--select"), "--select") : 0;
    if (Select && K < 1) Refuse("--select", Args.Value("--select"), "must be at least 1");
    TOverlapSettings Settings;
    const std::string EngineText = Args.Value("--engine", "exact");
    if (!TryTextToOverlapEngine(EngineText, Settings.Engine)) Refuse("--engine", EngineText, "must be exact or solver");
    const std::string CaseMixFile = Args.Required("--casemix");
    if (CaseMixFile.empty()) throw ECliError("--casemix: the path is empty");

    Job.Data = std::make_unique<TData>();
    Job.Data->Notifier = &Job.Notifier;
    Job.Data->Random.Seed(Seed);
    ReadInputs(Job, CaseMixFile, InstanceFiles, Capacity);
    if (Job.OutFile.empty())
        Job.OutFile = Job.CaseMix->Name + "_type_" + std::to_string(Job.CaseMixType) + ".svg";
    if (!Job.Overlap) return false;

    const TStopRequestScope StopScope;
    AnalyzeOverlap(Job.CaseMix->Instances, Epsilon, Job.Matrix, Args.Has("--deterministic"), Settings, [](int, int) {
        if (CliStopRequested()) throw ECliStopped{};
    });
    if (!Select) return false;
    const int N = Job.CaseMix->Instances.Count();
    DoubArray X;
    double ObjVal = 0;
    if (!SelectMinOverlapInstances(Job.Matrix, N, K, X, ObjVal, Settings.Engine)) {
        PrintError("Cannot select " + std::to_string(K) + " of " + std::to_string(N) + " instances");
        return true;
    }
    for (int i = 0; i < N; ++i) Job.Chosen.push_back(X[1 + static_cast<std::size_t>(i)] > 1e-8);
    return false;
}

int RunPlot(const std::vector<std::string>& Args, const TPlotDrawer& Draw)
{
    const TParsedArgs Parsed = ParseCommandLine(Args, {PlotCommandDef()}, ORBENCH_VERSION);
    if (!Parsed.HelpText.empty()) {
        std::fputs(Parsed.HelpText.c_str(), stdout);
        return ExitSuccess;
    }
    struct TSolverSession {
        bool Opened = OpenSolverEnvironment();
        ~TSolverSession()
        {
            if (Opened) CloseSolverEnvironment();
        }
    } Solver;
    if (!Solver.Opened) PrintError(SolverStartFailedMessage);
    TPlotJob Job;
    const bool Refused = PrepareJob(Parsed, Job);
    Draw(Job);
    return Refused ? ExitIncomplete : ExitSuccess;
}

}  // namespace

void TPlotNotifier::ShowMessage(TMessageKind, const std::string& Text)
{
    PrintError(Prefix + (Subject.empty() ? "" : Subject + ": ") + Text);
}

const TCommandDef& PlotCommandDef()
{
    static const TCommandDef Def{
        "plot",
        "plot plane --casemix FILE [--type T] [--out F.svg|F.png] [--size WxH] [INSTANCE_FILE...]\n"
        "       orbench-cli plot overlap --casemix FILE [--epsilon E] [--deterministic] [--select K] "
        "[--engine exact|solver] --out F.svg|F.png [--size WxH] INSTANCE_FILE...",
        "draw the plane of surgery types or the overlap matrix as an SVG or PNG picture",
        {{"--casemix", "FILE", "the case mix (plane: its surgery types are drawn when no instance file is given)", ""},
         {"--type", "T", "plane: the case-mix type 0..16 whose region is shown white on gray", "0"},
         {"--out", "F.svg|F.png", "the picture to write; its extension chooses SVG or PNG",
          "plane: <case mix>_type_<T>.svg in the current folder; overlap: required"},
         {"--size", "WxH", "width and height of the picture in pixels, each from 100 to 10000", "800x800"},
         {"--epsilon", "E",
          "overlap: surgeries are alike when their points (coefficient of variation, mean in days) lie closer than "
          "E; with --deterministic when their means differ by less than E days",
          "0.01"},
         {"--deterministic", "", "overlap: surgeries are alike by their mean durations alone", "off"},
         {"--select", "K", "overlap: mark the K instances (1 <= K < number of files) with the smallest largest overlap",
          "no selection"},
         {"--engine", "exact|solver", "overlap: how overlap and selection are computed", "exact"}},
        "KIND",
        "plane or overlap, then the instance files (plane: their surgeries and each one's centre of mass; "
        "overlap: the rows and columns of the matrix, in the order given)",
        true};
    return Def;
}

int RunPlotCommand(const std::vector<std::string>& Args, const TPlotDrawer& Draw)
{
    try {
        return RunPlot(Args, Draw);
    } catch (const ECliStopped&) {
        PrintError(Prefix + "stopped by Ctrl-C");
        return ExitInterrupted;
    } catch (const ECliError& Error) {
        if (*Error.what() != '\0') PrintError(Prefix + Error.what());
        return ExitBadInput;
    } catch (const EOutputError& Error) {
        PrintError(Prefix + Error.what());
        return ExitOutputError;
    } catch (const std::bad_alloc&) {
        PrintError(Prefix + "out of memory");
        return ExitOutputError;
    } catch (const std::exception& Error) {
        PrintError(Prefix + Error.what());
        return ExitBadInput;
    }
}

int RunPlotProgram(const TParsedArgs& Args)
{
    const std::string Program = ExecutableDirectory() + PlotProgram;
    if (!PathExists(Program)) {
        PrintError(Prefix + Program + ": File does not exist! (plot draws with " + PlotProgram +
                   ", which belongs beside orbench-cli)");
        return ExitOutputError;
    }
    // The command line as parsed, which orbench-plot parses to the same options again.
    std::vector<std::string> Line = {Program, "plot"};
    std::vector<TOptionDef> Options = CommonOptions();
    Options.insert(Options.end(), PlotCommandDef().Options.begin(), PlotCommandDef().Options.end());
    for (const TOptionDef& Option : Options) {
        if (!Args.Has(Option.Name)) continue;
        if (Option.Value.empty())
            Line.push_back(Option.Name);
        else
            for (const std::string& Value : Args.Values(Option.Name)) {
                // "--out=" would take the next argument as its value: an empty value stands alone.
                if (Value.empty())
                    Line.insert(Line.end(), {Option.Name, Value});
                else
                    Line.push_back(Option.Name + "=" + Value);
            }
    }
    Line.push_back("--");
    Line.insert(Line.end(), Args.Positionals.begin(), Args.Positionals.end());
    std::vector<char*> Argv;
    for (std::string& Piece : Line) Argv.push_back(Piece.data());
    Argv.push_back(nullptr);

    pid_t Child = 0;
    if (const int Error = posix_spawn(&Child, Program.c_str(), nullptr, nullptr, Argv.data(), environ); Error != 0) {
        PrintError(Prefix + Program + ": " + std::strerror(Error));
        return ExitOutputError;
    }
    // Ctrl-C reaches orbench-plot too, which stops at its next check point: wait for it.
    void (*OldInterrupt)(int) = std::signal(SIGINT, SIG_IGN);
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
    }
    std::signal(SIGINT, OldInterrupt);
    if (WIFEXITED(Status)) return WEXITSTATUS(Status);
    return WIFSIGNALED(Status) ? 128 + WTERMSIG(Status) : ExitOutputError;
}

}  // namespace orbench::cli
