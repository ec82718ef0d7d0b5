#include "CliPlot.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <new>
#include <optional>

#include "CliStop.h"
#include "CliSupport.h"
#include "FileUtils.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "ProgramVersion.h"
#include "Selection.h"
#include "TextUtils.h"

extern char** environ;

namespace orbench::cli {

namespace {

const char* const PlotProgram = "orbench-plot";
constexpr int SmallestSide = 100;
constexpr int LargestSide = 10000;

const std::vector<std::string> PlaneOnly = {"--type", "--fit", "--labels"};
const std::vector<std::string> OverlapOnly = {"--epsilon", "--deterministic", "--select", "--engine"};

// One side of --size in points: a number with a unit (cm, mm, in, pt) or pixels (px or none),
// which are points at Dpi dots per inch (so that a PNG has exactly that many pixels).
double SideInPoints(const std::string& Text, double Dpi, bool& Pixels)
{
    const std::size_t End = Text.find_first_not_of("0123456789.");
    const std::string Number = Text.substr(0, End), Unit = End == std::string::npos ? "" : Text.substr(End);
    char* Rest = nullptr;
    const double Value = Number.empty() ? -1 : std::strtod(Number.c_str(), &Rest);
    if (Number.empty() || Rest == nullptr || *Rest != '\0' || !std::isfinite(Value)) return -1;
    Pixels = Unit.empty() || Unit == "px";
    if (Pixels) return Value * 72 / Dpi;
    if (Unit == "pt") return Value;
    if (Unit == "in") return Value * 72;
    if (Unit == "cm") return Value / 2.54 * 72;
    if (Unit == "mm") return Value / 25.4 * 72;
    return -1;
}

// --size: "WxH" in pixels (100 to 10000 each, as before) or with units ("8.5cmx8.5cm", "3.35in"
// sides, "240pt"), and --dpi for a PNG of a physical size.
void ParseSize(const TParsedArgs& Args, const std::string& Default, TPlotJob& Job)
{
    const std::string Text = Args.Value("--size", Default);
    const std::string DpiText = Args.Value("--dpi", "");
    Job.Dpi = DpiText.empty() ? 300 : ParseDouble(DpiText, "--dpi");
    if (!(Job.Dpi >= 36 && Job.Dpi <= 2400)) Refuse("--dpi", DpiText, "must be from 36 to 2400");
    const std::size_t Cross = Text.find_first_of("xX");
    bool WidthPixels = false, HeightPixels = false;
    // Pixels without --dpi are points one to one (a PNG of exactly those pixels, an SVG of those units).
    const double PixelDpi = DpiText.empty() ? 72 : Job.Dpi;
    if (Cross != std::string::npos) {
        Job.WidthPt = SideInPoints(Text.substr(0, Cross), PixelDpi, WidthPixels);
        Job.HeightPt = SideInPoints(Text.substr(Cross + 1), PixelDpi, HeightPixels);
    }
    if (WidthPixels && HeightPixels && DpiText.empty()) Job.Dpi = 72;
    const double Scale = Job.Dpi / 72;
    const bool Fits = Cross != std::string::npos && Job.WidthPt > 0 && Job.HeightPt > 0 &&
                      Job.WidthPt * Scale >= 99.5 && Job.WidthPt * Scale <= 10000.5 && Job.HeightPt * Scale >= 99.5 &&
                      Job.HeightPt * Scale <= 10000.5;
    if (!Fits)
        Refuse("--size", Text,
               "must be WxH: pixels (100 to 10000 each) or lengths with a unit (cm, mm, in, pt) that make 100 to "
               "10000 pixels at --dpi");
}

void ReadInputs(TPlotJob& Job, const std::string& CaseMixFile, const std::vector<std::string>& InstanceFiles)
{
    Job.CaseMix = &ReadCaseMix(*Job.Run, CaseMixFile);
    for (const std::string& FileName : InstanceFiles) ReadInstance(*Job.Run, FileName);
}

// Fills the job from the command line; true when a requested selection was refused.
bool PrepareJob(const TParsedArgs& Args, TPlotJob& Job)
{
    if (Args.Positionals.empty())
        throw ECliError("plot needs a picture kind: plane, overlap or stats (orbench-cli help plot)");
    const std::string Kind = Args.Positionals.front();
    if (Kind != "plane" && Kind != "overlap" && Kind != "stats")
        throw ECliError("plot: unknown picture kind " + ShortenForMessage(Kind) + " (plane, overlap or stats)");
    Job.Overlap = Kind == "overlap";
    Job.Stats = Kind == "stats";
    for (const std::string& Option : PlaneOnly)
        if (Kind != "plane" && Args.Has(Option))
            throw ECliError("plot " + Kind + ": " + Option + " belongs to plot plane");
    for (const std::string& Option : OverlapOnly)
        if (Kind != "overlap" && Args.Has(Option))
            throw ECliError("plot " + Kind + ": " + Option + " belongs to plot overlap");
    const std::vector<std::string> InstanceFiles(Args.Positionals.begin() + 1, Args.Positionals.end());
    if (Kind != "plane" && InstanceFiles.empty()) throw ECliError("plot " + Kind + " needs at least one INSTANCE_FILE");
    Job.InstanceFiles = InstanceFiles;

    // Every value is checked before anything is read.
    ApplyCommonOptions(Args, *Job.Run);
    ParseSize(Args, Job.Stats ? "17cmx7cm" : "8.5cmx8.5cm", Job);
    Job.Title = Args.Value("--title", "");
    const std::string Labels = Args.Value("--labels", "symbols");
    if (Labels != "symbols" && Labels != "words") Refuse("--labels", Labels, "must be symbols or words");
    Job.WordLabels = Labels == "words";
    Job.Fit = Args.Has("--fit");
    const std::string TypeText = Args.Value("--type", "0");
    Job.CaseMixType = ParseInt(TypeText, "--type");
    if (Job.CaseMixType < 0 || Job.CaseMixType >= NumCaseMixTypes) Refuse("--type", TypeText, "must be from 0 to 16");
    if (Kind != "plane" && !Args.Has("--out")) throw ECliError("plot " + Kind + " needs --out (orbench-cli help plot)");
    if (Args.Has("--out")) {
        Job.OutFile = Args.Value("--out");
        if (Job.OutFile.empty()) throw ECliError("--out: the path is empty");
        const std::string Lower = LowerCaseAscii(Job.OutFile);
        const auto EndsWith = [&Lower](const std::string& End) {
            return Lower.size() >= End.size() && Lower.compare(Lower.size() - End.size(), End.size(), End) == 0;
        };
        if (!EndsWith(".svg") && !EndsWith(".png") && !EndsWith(".pdf"))
            Refuse("--out", Job.OutFile, "must end in .svg, .png or .pdf");
        Job.Format = Lower.substr(Lower.size() - 3);
    }
    const double Epsilon = NonNegative(Args.Value("--epsilon", "0.01"), "--epsilon");
    const bool Select = Args.Has("--select");
    const int K = Select ? AtLeast(Args.Value("--select"), "--select", 1) : 0;
    TOverlapSettings Settings;
    Settings.Engine = Engine(Args);
    const std::string CaseMixFile = Path(Args.Required("--casemix"), "--casemix");
    ReadInputs(Job, CaseMixFile, InstanceFiles);
    if (Job.OutFile.empty()) Job.OutFile = Job.CaseMix->Name + "_type_" + std::to_string(Job.CaseMixType) + ".svg";
    if (!Job.Overlap) return false;

    const TStopRequestScope StopScope;
    Settings.StopRequested = CliStopRequested;
    AnalyzeOverlap(Job.CaseMix->Instances, Epsilon, Job.Matrix, Args.Has("--deterministic"), Settings);
    if (!Select) return false;
    const int N = Job.CaseMix->Instances.Count();
    DoubArray X;
    double ObjVal = 0;
    Settings.SelectionProgress = SelectionProgressOnStderr();  // its clock starts now
    if (!SelectMinOverlapInstances(Job.Matrix, N, K, X, ObjVal, Settings)) {
        PrintError("Cannot select " + std::to_string(K) + " of " + std::to_string(N) + " instances");
        return true;
    }
    for (int i = 0; i < N; ++i) Job.Chosen.push_back(X[1 + static_cast<std::size_t>(i)] > 1e-8);
    return false;
}

int RunPlot(const std::vector<std::string>& Args, const TPlotDrawer& Draw)
{
    const TParsedArgs Parsed = ParseCommandLine(Args, {PlotCommandDef()}, ProgramVersion);
    if (!Parsed.HelpText.empty()) {
        std::fputs(Parsed.HelpText.c_str(), stdout);
        return ExitSuccess;
    }
    // Start-up: the model root, then the solver environment; at exit the other way round.
    std::optional<TSolverEnvironment> Solver;
    TPlotJob Job;
    Job.Run = std::make_unique<TRun>();
    Solver.emplace();
    const bool Refused = PrepareJob(Parsed, Job);
    Draw(Job);
    return Refused ? ExitIncomplete : ExitSuccess;
}

}  // namespace

const TCommandDef& PlotCommandDef()
{
    static const TCommandDef Def{
        "plot",
        "plot plane --casemix FILE [--type T] [--fit] [--labels symbols|words] [--out F] [--size WxH] [--dpi D] "
        "[--title TEXT] [INSTANCE_FILE...]\n"
        "       orbench-cli plot overlap --casemix FILE [--epsilon E] [--deterministic] [--select K] "
        "[--engine exact|solver] --out F [--size WxH] [--dpi D] [--title TEXT] INSTANCE_FILE...\n"
        "       orbench-cli plot stats --casemix FILE --out F [--size WxH] [--dpi D] [--title TEXT] INSTANCE_FILE...",
        "draw the plane of surgery types, the overlap matrix or a set's loads and regions as an SVG, PDF or PNG figure",
        {{"--casemix", "FILE", "the case mix (plane: its surgery types are drawn when no instance file is given)", ""},
         {"--type", "T", "plane: the case-mix type 0..16 whose region is shown white on gray", "0"},
         {"--fit", "", "plane: widen the axes to show points beyond the unit square (else arrows at its edge)", "off"},
         {"--labels", "symbols|words", "plane: axis titles as symbols or as words (mean / capacity, CV)", "symbols"},
         {"--out", "F.svg|F.pdf|F.png", "the figure to write; its extension chooses SVG, PDF or PNG",
          "plane: <case mix>_type_<T>.svg in the current folder; overlap and stats: required"},
         {"--size", "WxH",
          "the figure's size: lengths with a unit (cm, mm, in, pt) or pixels (no unit: a PNG of exactly those "
          "pixels, an SVG or PDF of those points); fonts scale with it",
          "8.5cmx8.5cm (stats: 17cmx7cm), one column"},
         {"--dpi", "D", "dots per inch of a PNG of a physical size (36 to 2400)", "300"},
         {"--title", "TEXT", "a title above the figure", "none"},
         {"--epsilon", "E",
          "overlap: surgeries are alike when their points (coefficient of variation, mean in days) lie closer than "
          "E; with --deterministic when their means differ by less than E days",
          "0.01"},
         {"--deterministic", "", "overlap: surgeries are alike by their mean durations alone", "off"},
         {"--select", "K", "overlap: mark the K instances (1 <= K < number of files) with the smallest largest overlap",
          "no selection"},
         {"--engine", "exact|solver", "overlap: how overlap and selection are computed", "exact"}},
        "KIND",
        "plane, overlap or stats, then the instance files (plane: their surgeries and each one's centre of mass, "
        "each instance in its own colour when there are several; overlap: the rows and columns of the matrix, in "
        "the order given; stats: the set)",
        true};
    return Def;
}

int RunPlotCommand(const std::vector<std::string>& Args, const TPlotDrawer& Draw)
{
    try {
        return RunPlot(Args, Draw);
    } catch (...) {
        return ReportCurrentError();
    }
}

namespace {

volatile std::sig_atomic_t ForwardTo = 0;
volatile std::sig_atomic_t SignalReceived = 0;

extern "C" void ForwardSignal(int)
{
    SignalReceived = 1;
    if (ForwardTo > 0) kill(static_cast<pid_t>(ForwardTo), SIGINT);
}

// While it lives, SIGINT and SIGTERM are passed on to the child as SIGINT (and remembered).
class TForwardedSignals {
public:
    explicit TForwardedSignals(pid_t Child)
    {
        ForwardTo = static_cast<std::sig_atomic_t>(Child);
        SignalReceived = 0;
        struct sigaction Action {};
        Action.sa_handler = ForwardSignal;
        sigemptyset(&Action.sa_mask);
        sigaction(SIGINT, &Action, &FOldInterrupt);
        sigaction(SIGTERM, &Action, &FOldTerminate);
    }
    ~TForwardedSignals()
    {
        sigaction(SIGINT, &FOldInterrupt, nullptr);
        sigaction(SIGTERM, &FOldTerminate, nullptr);
        ForwardTo = 0;
    }
    TForwardedSignals(const TForwardedSignals&) = delete;
    TForwardedSignals& operator=(const TForwardedSignals&) = delete;
    bool Received() const { return SignalReceived != 0; }

private:
    struct sigaction FOldInterrupt {};
    struct sigaction FOldTerminate {};
};

}  // namespace

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
    // SIGINT and SIGTERM sent to this process go on to orbench-plot as a stop request (a Ctrl-C at
    // the terminal reaches both); it stops at its next check point, and this waits for it.
    const TForwardedSignals Forward(Child);
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
    const bool Stopped = Forward.Received();
    if (WIFEXITED(Status) && WEXITSTATUS(Status) == ExitInterrupted) return ExitInterrupted;  // it said so
    if (Stopped) {
        PrintError(Prefix + "stopped by Ctrl-C");
        return ExitInterrupted;
    }
    if (WIFEXITED(Status)) return WEXITSTATUS(Status);
    return WIFSIGNALED(Status) ? 128 + WTERMSIG(Status) : ExitOutputError;
}

}  // namespace orbench::cli
