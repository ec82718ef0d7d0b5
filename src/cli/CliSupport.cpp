#include "CliSupport.h"

#include "Selection.h"

#include <cstdio>
#include <new>

#include "CliStop.h"
#include "FileUtils.h"
#include "LpSolver.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OutputFiles.h"
#include "TextUtils.h"

namespace orbench::cli {

const std::string Prefix = "orbench-cli: ";

void PrintLine(const std::string& Line)
{
    std::fputs(Line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintError(const std::string& Line)
{
    std::fputs(ShortenForMessage(Line, std::string::npos).c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void TCliNotifier::ShowMessage(TMessageKind, const std::string& Text)
{
    PrintError(Prefix + (Subject.empty() ? "" : Subject + ": ") + Text);
}

void ApplyCommonOptions(const TParsedArgs& Args, TRun& Run)
{
    if (Args.Has("--decimal-separator")) {
        const std::string Separator = Args.Value("--decimal-separator");
        if (Separator != "." && Separator != ",") Refuse("--decimal-separator", Separator, "must be . or ,");
        SetDecimalSeparator(Separator[0]);
    } else {
        SetDecimalSeparator(DetectLocaleDecimalSeparator());
    }
    if (Args.Has("--capacity")) Run.Capacity = Positive(Args.Value("--capacity"), "--capacity");
    Run.Seed = Args.Has("--seed") ? ParseSeed(Args.Value("--seed")) : TUniformGenerator::DefaultSeed;
    Run.Data.Random.Seed(Run.Seed);
}

[[noreturn]] void Refuse(const std::string& Option, const std::string& Value, const std::string& Reason)
{
    throw ECliError(Option + " " + ShortenForMessage(Value) + ": " + Reason);
}

int AtLeast(const std::string& Text, const std::string& Option, int Minimum)
{
    const int Value = ParseInt(Text, Option);
    if (Value < Minimum) Refuse(Option, Text, "must be at least " + std::to_string(Minimum));
    return Value;
}

double Positive(const std::string& Text, const std::string& Option)
{
    const double Value = ParseDouble(Text, Option);
    if (!(Value > 0)) Refuse(Option, Text, "must be greater than 0");
    return Value;
}

double NonNegative(const std::string& Text, const std::string& Option)
{
    const double Value = ParseDouble(Text, Option);
    if (Value < 0) Refuse(Option, Text, "must not be negative");
    return Value;
}

std::function<void(double BestFound, double LowerBound)> SelectionProgressOnStderr()
{
    return TSelectionReporter([](const std::string& Line) { PrintError(Prefix + Line + SelectionProgressAdvice); });
}

std::string Path(const std::string& Text, const std::string& What)
{
    if (Text.empty()) throw ECliError(What + ": the path is empty");
    return Text;
}

TOverlapEngine Engine(const TParsedArgs& Args)
{
    TOverlapEngine Result = TOverlapEngine::oeExact;
    const std::string Text = Args.Value("--engine", "exact");
    if (!TryTextToOverlapEngine(Text, Result)) Refuse("--engine", Text, "must be exact or solver");
    return Result;
}

void RequireInputFile(const std::string& FileName)
{
    if (FileName.empty()) throw ECliError("an input file name is empty");
    if (!PathExists(FileName)) throw ECliError(FileName + ": File does not exist!");
}

TCaseMix& ReadCaseMix(TRun& Run, const std::string& FileName)
{
    RequireInputFile(FileName);
    const std::size_t Before = Run.Data.CaseMixes.size();
    Run.Notifier.Subject = FileName;
    Run.Data.ReadAndAddCaseMix(FileName, Run.Capacity);
    Run.Notifier.Subject.clear();
    if (Run.Data.CaseMixes.size() == Before) throw ECliError("");  // the notifier has said why
    return *Run.Data.CaseMixes.back();
}

void ReadInstance(TRun& Run, const std::string& FileName)
{
    RequireInputFile(FileName);
    TCaseMix* Target = nullptr;
    Run.Notifier.Subject = FileName;
    Run.Data.ReadAndAddInstance(FileName, Target);
    Run.Notifier.Subject.clear();
    if (Target == nullptr) throw ECliError("");
}

TSolverEnvironment::TSolverEnvironment() : FOpened(OpenSolverEnvironment())
{
    if (!FOpened) PrintError(SolverStartFailedMessage);
}

TSolverEnvironment::~TSolverEnvironment()
{
    if (FOpened) CloseSolverEnvironment();
}

int ReportCurrentError()
{
    try {
        throw;
    } catch (const ECliStopped&) {
        PrintError(Prefix + "stopped by Ctrl-C");
        return ExitInterrupted;
    } catch (const EStopRequested&) {  // the overlap engine, asked through CliStopRequested
        PrintError(Prefix + "stopped by Ctrl-C");
        return ExitInterrupted;
    } catch (const ECliError& Error) {
        if (*Error.what() != '\0') PrintError(Prefix + Error.what());
        return ExitBadInput;
    } catch (const EEarlierRunFiles& Error) {
        PrintError(Prefix + Error.Listing() + "; use --overwrite to delete them first");
        return ExitBadInput;
    } catch (const EOutputError& Error) {
        PrintError(Prefix + Error.what());
        return ExitOutputError;
    } catch (const EOrbenchError& Error) {
        PrintError(Prefix + Error.what());
        return ExitBadInput;
    } catch (const std::bad_alloc&) {
        PrintError(Prefix + "out of memory");
        return ExitOutputError;
    } catch (const std::exception& Error) {
        PrintError(Prefix + Error.what());
        return ExitBadInput;
    }
}

}  // namespace orbench::cli
