// Times duration scenarios: 1000 scenarios for 30 instances of 40 OR-days at load 1.0 from the
// largest sample case mix, (a) the samples alone and (b) the whole CSV table written to a stream
// that counts the bytes (no file system). Target: (b) under 1 s of processor time; the wall-clock
// time is shown beside it (on a machine shared with other work it is the larger one).
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "DurationSampling.h"
#include "FileUtils.h"
#include "Model.h"

namespace fs = std::filesystem;
using namespace orbench;
using orbench::bench::LargestCaseMix;

namespace {

constexpr int NumInstances = 30;
constexpr int NumORdays = 40;
constexpr int NumScenarios = 1000;
constexpr double TargetSeconds = 1.0;

class TCountingBuffer : public std::streambuf {
public:
    std::streamsize Count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize Size) override
    {
        Count += Size;
        return Size;
    }
    int_type overflow(int_type Ch) override
    {
        ++Count;
        return Ch;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: %s [CASEMIX_FILE]\n"
            "Times %d duration scenarios for %d instances of %d OR-days (load 1.0) generated from\n"
            "CASEMIX_FILE (default: the largest case mix in casemixes/ beside the executable):\n"
            "the samples alone, then the CSV table written to a counting stream.\n"
            "Prints PASS when the table takes under %.0f s of processor time, else FAIL.\n",
            argv[0], NumScenarios, NumInstances, NumORdays, TargetSeconds);
        return 0;
    }
    const std::string CaseMixFile = argc > 1 ? argv[1] : LargestCaseMix(ExecutableDirectory() + "casemixes");
    TData Data;
    if (!CaseMixFile.empty()) Data.ReadAndAddCaseMix(CaseMixFile, 480);
    if (Data.CaseMixes.empty()) {
        std::fprintf(stderr, "no case mix file found\n");
        return 1;
    }
    TCaseMix& CaseMix = *Data.CaseMixes.back();
    CaseMix.GenerateInstances({1.0}, 0, NumInstances, NumORdays, 0.025, false, "", false);
    std::vector<const TInstance*> Instances(CaseMix.Instances.begin(), CaseMix.Instances.end());
    std::size_t NumSurgeries = 0;
    for (const TInstance* Instance : Instances) NumSurgeries += Instance->Surgeries.size();
    std::printf("case mix %s: %zu instances of %d OR-days, %zu surgeries, %d scenarios\n", CaseMix.Name.c_str(),
                Instances.size(), NumORdays, NumSurgeries, NumScenarios);

    using Clock = std::chrono::steady_clock;
    Clock::time_point Start = Clock::now();
    double Checksum = 0;
    for (const TInstance* Instance : Instances)
        for (const auto& Row : InstanceScenarios(*Instance, NumScenarios, TUniformGenerator::DefaultSeed))
            for (const double Minutes : Row) Checksum += Minutes;
    const double SampleSeconds = std::chrono::duration<double>(Clock::now() - Start).count();
    const double NumSamples = static_cast<double>(NumSurgeries) * NumScenarios;
    std::printf("samples only:   %10.0f samples in %.3f s (%.0f ns each; mean %.3f min)\n", NumSamples, SampleSeconds,
                SampleSeconds / NumSamples * 1e9, Checksum / NumSamples);

    TCountingBuffer Counter;
    std::ostream Out(&Counter);
    Start = Clock::now();
    const std::clock_t CpuStart = std::clock();
    WriteDurationScenarios(Out, Instances, NumScenarios, TUniformGenerator::DefaultSeed, TScenarioFormat::sfLong,
                           "\r\n");
    const double CpuSeconds = static_cast<double>(std::clock() - CpuStart) / CLOCKS_PER_SEC;
    const double TableSeconds = std::chrono::duration<double>(Clock::now() - Start).count();
    std::printf("CSV table:      %10.0f rows in %.3f s processor time, %.3f s wall (%.1f MB)\n", NumSamples, CpuSeconds,
                TableSeconds, static_cast<double>(Counter.Count) / 1e6);
    std::printf("%s: %d scenarios for %zu instances of %d OR-days in %.3f s (target under %.0f s)\n",
                CpuSeconds < TargetSeconds ? "PASS" : "FAIL", NumScenarios, Instances.size(), NumORdays, CpuSeconds,
                TargetSeconds);
    return 0;
}
