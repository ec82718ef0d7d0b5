#pragma once

#include <functional>

#include <cstdint>
#include <string>

#include "CliArgs.h"
#include "Model.h"
#include "Notifier.h"
#include "Overlap.h"

// What the commands of orbench-cli (and the plot program) share: printing, the model's messages,
// one run of the program with the common options applied, the checks of option values, reading
// the input files, and the exit code of an error.
namespace orbench::cli {

extern const std::string Prefix;  // "orbench-cli: "

// A line on stdout.
void PrintLine(const std::string& Line);
// A line on stderr; control characters (in a file name, say) are shown escaped, never sent to the
// terminal.
void PrintError(const std::string& Line);

// The model's messages on stderr, naming the file being read.
class TCliNotifier : public TNotifier {
public:
    std::string Subject;
    void ShowMessage(TMessageKind Kind, const std::string& Text) override;
};

// One run of the program: the model root with its generator seeded, the capacity and the
// decimal separator taken from the common options.
struct TRun {
    TCliNotifier Notifier;
    TData Data;
    double Capacity = 480;
    std::uint32_t Seed = TUniformGenerator::DefaultSeed;
    TRun() { Data.Notifier = &Notifier; }
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;
};

// --decimal-separator, --capacity and --seed.
void ApplyCommonOptions(const TParsedArgs& Args, TRun& Run);

// ---- Checks of option values: each refusal names the option and the value. ----
[[noreturn]] void Refuse(const std::string& Option, const std::string& Value, const std::string& Reason);
int AtLeast(const std::string& Text, const std::string& Option, int Minimum);
double Positive(const std::string& Text, const std::string& Option);
double NonNegative(const std::string& Text, const std::string& Option);
// A path that must not be empty.
std::string Path(const std::string& Text, const std::string& What);
// --engine: exact or solver.
TOverlapEngine Engine(const TParsedArgs& Args);
// A long selection followed on stderr (TSelectionReporter): from ten seconds on, every five.
inline constexpr const char* SelectionProgressAdvice =
    "; --time-limit S ends such a search with the best set found, Ctrl-C stops it";
std::function<void(double BestFound, double LowerBound)> SelectionProgressOnStderr();

// ---- Reading files; the model's own messages name the file. ----
void RequireInputFile(const std::string& FileName);
TCaseMix& ReadCaseMix(TRun& Run, const std::string& FileName);
// Reads an instance file into the case mix it names.
void ReadInstance(TRun& Run, const std::string& FileName);

// Opens the solver environment for its lifetime (saying so when it cannot) and closes it after.
class TSolverEnvironment {
public:
    TSolverEnvironment();
    ~TSolverEnvironment();
    TSolverEnvironment(const TSolverEnvironment&) = delete;
    TSolverEnvironment& operator=(const TSolverEnvironment&) = delete;

private:
    bool FOpened;
};

// Inside a catch block: prints the message of the error being handled and returns its exit code
// (1 bad usage or input, 2 an output that cannot be written or no memory, 130 Ctrl-C).
int ReportCurrentError();

}  // namespace orbench::cli
