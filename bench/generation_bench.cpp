// Times instance generation:
//  - the batch generator on the largest sample case mix with the batch window's defaults (30
//    instances for each load 0.80..1.20 by 0.05 and each number of OR-days 5..40 by 5, saved, the
//    instances freed after each number of OR-days), in this process;
//  - orbench-cli's default theoretical batch (17 case-mix types, each analysed and selected) into
//    a scratch directory, by the CPU time of the child process.
// With --before, an earlier build's orbench-cli runs the same theoretical batch, and the two file
// trees must be identical byte for byte.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "BenchReport.h"
#include "FileUtils.h"
#include "Model.h"

namespace fs = std::filesystem;
using namespace orbench;
using namespace orbench::bench;

namespace {

const char* const Description =
    "Times the batch generator on the largest sample case mix (the batch window's defaults, files\n"
    "saved) and orbench-cli's default theoretical batch (CPU time, target 2.5 s).";

std::string Fixed(double Value, int Decimals)
{
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.*f", Decimals, Value);
    return Text;
}

std::string Describe(const TChildRun& Run)
{
    if (!Run.Finished) return "did not finish (stopped at the time limit)";
    return Fixed(Run.Wall, 2) + " s wall, CPU " + Fixed(Run.User, 2) + " s user + " + Fixed(Run.System, 2) +
           " s system = " + Fixed(Run.User + Run.System, 2) + " s, peak " + std::to_string(Run.PeakKiB / 1024) +
           " MB, exit " + std::to_string(Run.ExitCode);
}

// The files of a run's tree with their bytes; the manifests (they hold the run's time) and the
// runs' lock file are left out.
std::map<std::string, std::string> Tree(const std::string& Dir)
{
    std::map<std::string, std::string> Files;
    for (const auto& Entry : fs::recursive_directory_iterator(Dir)) {
        if (!Entry.is_regular_file() || Entry.path().filename() == "manifest.json" ||
            Entry.path().filename() == ".orbench-lock")
            continue;
        std::ifstream In(Entry.path(), std::ios::binary);
        Files[fs::relative(Entry.path(), Dir).string()] = std::string(std::istreambuf_iterator<char>(In), {});
    }
    return Files;
}

void BatchGenerator(TReport& Report)
{
    const std::string CaseMixFile = LargestCaseMix(ExecutableDirectory() + "casemixes");
    const std::string OutDir = ScratchDirectory("orbench-bench-generation");
    if (CaseMixFile.empty() || OutDir.empty()) {
        Report.Check("batch generator: a sample case mix and a scratch directory", false);
        return;
    }
    TData Data;
    Data.ReadAndAddCaseMix(CaseMixFile, 480);
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    const DArray Loads = {0.80, 0.85, 0.90, 0.95, 1.00, 1.05, 1.10, 1.15, 1.20};
    for (const bool Save : {false, true}) {
        Report.Step(std::string("batch generator, case mix ") + CaseMix.Name + " (" +
                    std::to_string(CaseMix.SurgeryTypes.size()) + " types), " +
                    (Save ? "saving to " + OutDir : "not saving"));
        const TClock::time_point Start = TClock::now();
        const double Cpu = CpuSeconds();
        int Total = 0;
        bool Complete = true;
        for (int NumORdays = 5; NumORdays <= 40; NumORdays += 5) {
            Complete = CaseMix.GenerateInstances(Loads, 0, 30, NumORdays, 0.025, Save, OutDir + "/", false) && Complete;
            Total += CaseMix.Instances.Count();
            CaseMix.Instances.ClearInstances(NumORdays);
        }
        const double Used = CpuSeconds() - Cpu;
        Report.Line(std::to_string(Total) + " instances in " + Fixed(SecondsSince(Start), 3) + " s wall, " +
                    Fixed(Used, 3) + " s CPU" + (Complete ? "" : "; the draw limit was passed"));
        if (Save) Report.Target("batch generator with saving, CPU", Used, 0.5, "s");
    }
    std::error_code Ec;
    fs::remove_all(OutDir, Ec);
}

void TheoreticalBatch(TReport& Report, const TOptions& Options)
{
    const std::string Cli = ExecutableDirectory() + "orbench-cli";
    const std::string Scratch = ScratchDirectory("orbench-bench-theoretical");
    if (Scratch.empty()) {
        Report.Check("theoretical batch: a scratch directory", false);
        return;
    }
    // The best of two runs: other work on the machine only ever adds time.
    double Best = 1e300;
    for (int Run = 1; Run <= 2; ++Run) {
        const std::string Out = Scratch + "/now" + std::to_string(Run);
        Report.Step("theoretical batch, orbench-cli theoretical-batch --out " + Out);
        const TChildRun Child = RunChild({Cli, "theoretical-batch", "--out", Out}, 600);
        Report.Line(Describe(Child));
        if (Child.Finished && Child.ExitCode == 0) Best = std::min(Best, Child.User + Child.System);
        if (Run == 2) {
            std::error_code Ec;
            fs::remove_all(Out, Ec);
        }
    }
    Report.Target("default theoretical batch, CPU (user + system, best of 2)", Best, 2.5, "s");
    if (!Options.Before.empty()) {
        const std::string Out = Scratch + "/before";
        Report.Step("theoretical batch with the earlier build: " + Options.Before + "orbench-cli");
        const TChildRun Child = RunChild({Options.Before + "orbench-cli", "theoretical-batch", "--out", Out}, 600);
        Report.Line("before: " + Describe(Child));
        Report.Line("now:    " + Fixed(Best, 2) + " s CPU (best of 2)");
        Report.Step("comparing the two file trees");
        const auto Now = Tree(Scratch + "/now1");
        const auto Earlier = Tree(Out);
        Report.Line(std::to_string(Now.size()) + " files now, " + std::to_string(Earlier.size()) + " before");
        Report.Check("theoretical batch: the same files, byte for byte, as the earlier build",
                     Child.Finished && Now == Earlier);
    }
    std::error_code Ec;
    fs::remove_all(Scratch, Ec);
}

}  // namespace

int main(int argc, char** argv)
{
    const TOptions Options = ParseOptions(argc, argv, Description);
    TReport Report("generation");
    BatchGenerator(Report);
    TheoreticalBatch(Report, Options);
    return Report.Finish();
}
