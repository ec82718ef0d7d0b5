// Times the batch generator on the largest sample case mix: 30 instances for each load
// 0.80..1.20 by 0.05 and each number of OR-days 5..40 by 5, saved as files, one number of
// OR-days at a time with the instances freed after each (as a batch run does). Reports the time
// per number of OR-days and in all, and the resident memory after each step and at its peak.
// A first pass without saving separates the generator's own time from the file system's.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "FileUtils.h"
#include "Model.h"

namespace fs = std::filesystem;
using namespace orbench;

namespace {

long ResidentKiB()
{
    long Pages = 0;
    long Resident = 0;
    if (std::FILE* F = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(F, "%ld %ld", &Pages, &Resident) != 2) Resident = 0;
        std::fclose(F);
    }
    return Resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKiB()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss;
}

double CpuSeconds(bool System)
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    const timeval& T = System ? Usage.ru_stime : Usage.ru_utime;
    return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_usec) / 1e6;
}

std::string LargestCaseMix(const std::string& Dir)
{
    std::string Best;
    std::uintmax_t BestSize = 0;
    for (const std::string& File : ListCaseMixFiles(Dir)) {
        const std::uintmax_t Size = fs::file_size(File);
        if (Size > BestSize) {
            Best = File;
            BestSize = Size;
        }
    }
    return Best;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string CaseMixFile = argc > 1 ? argv[1] : LargestCaseMix(ExecutableDirectory() + "casemixes");
    if (CaseMixFile.empty()) {
        std::fprintf(stderr, "no case mix file found\n");
        return 1;
    }
    // Written beside the executable, where a batch run writes its instances.
    std::string Pattern = ExecutableDirectory() + "bench-instances.XXXXXX";
    if (mkdtemp(Pattern.data()) == nullptr) return 1;
    const std::string OutDir = Pattern + "/";

    TData Data;
    Data.ReadAndAddCaseMix(CaseMixFile, 480);
    if (Data.CaseMixes.empty()) return 1;
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    const DArray Loads = {0.80, 0.85, 0.90, 0.95, 1.00, 1.05, 1.10, 1.15, 1.20};

    std::printf("case mix %s: %zu surgery types; 30 instances per load, %zu loads, files in %s\n",
                CaseMix.Name.c_str(), CaseMix.SurgeryTypes.size(), Loads.size(), OutDir.c_str());
    for (const bool Save : {false, true}) {
        std::printf("\n%s\n%8s %10s %10s %12s\n", Save ? "generating and saving:" : "generating only:", "OR-days",
                    "instances", "ms", "RSS KiB");
        using Clock = std::chrono::steady_clock;
        const Clock::time_point Start = Clock::now();
        const double UserStart = CpuSeconds(false);
        const double SystemStart = CpuSeconds(true);
        int Total = 0;
        bool Complete = true;
        for (int NumORdays = 5; NumORdays <= 40; NumORdays += 5) {
            const Clock::time_point StepStart = Clock::now();
            Complete = CaseMix.GenerateInstances(Loads, 0, 30, NumORdays, 0.025, Save, OutDir, false) && Complete;
            const int Made = CaseMix.Instances.Count();
            Total += Made;
            CaseMix.Instances.ClearInstances(NumORdays);
            const double Ms = std::chrono::duration<double, std::milli>(Clock::now() - StepStart).count();
            std::printf("%8d %10d %10.1f %12ld\n", NumORdays, Made, Ms, ResidentKiB());
        }
        const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
        std::printf("total: %d instances in %.3f s wall; CPU user %.3f s, system %.3f s%s\n", Total, Seconds,
                    CpuSeconds(false) - UserStart, CpuSeconds(true) - SystemStart,
                    Complete ? "" : "; the draw limit was passed");
    }
    std::printf("peak RSS %ld KiB (target: under 0.5 s in all with saving, memory flat across OR-days)\n",
                PeakKiB());
    std::error_code Ec;
    fs::remove_all(Pattern, Ec);
    return 0;
}
