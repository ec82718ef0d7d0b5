// Measures the memory the file readers take on a file of 50 MB of bare line ends: a case mix (read
// line by line, so its memory should not grow with the file) and a manifest (read whole, then
// parsed). Each read runs in a child process of its own, which reports how far its peak resident
// memory grew. Target: at most twice the file's size for either.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "BenchReport.h"
#include "Manifest.h"
#include "Model.h"
#include "OrbenchError.h"

namespace fs = std::filesystem;
using namespace orbench;

namespace {

constexpr std::size_t FileBytes = 50u << 20;

long PeakKilobytes()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss;
}

// The growth of the peak resident memory (kB) while Read runs in a child process; -1 on failure.
long PeakGrowth(const std::function<void()>& Read)
{
    int Pipe[2];
    if (pipe(Pipe) != 0) return -1;
    const pid_t Child = fork();
    if (Child == 0) {
        close(Pipe[0]);
        const long Before = PeakKilobytes();
        try {
            Read();
        } catch (const EOrbenchError&) {
            // a file of line ends is no case mix with types nor a manifest: the reading is what counts
        }
        const long Growth = PeakKilobytes() - Before;
        if (write(Pipe[1], &Growth, sizeof Growth) != static_cast<ssize_t>(sizeof Growth)) _exit(1);
        _exit(0);
    }
    close(Pipe[1]);
    long Growth = -1;
    if (read(Pipe[0], &Growth, sizeof Growth) != static_cast<ssize_t>(sizeof Growth)) Growth = -1;
    close(Pipe[0]);
    waitpid(Child, nullptr, 0);
    return Growth;
}

}  // namespace

int main(int argc, char** argv)
{
    orbench::bench::ParseOptions(argc, argv,
                                 "Measures the peak memory of the case mix and manifest readers on a file of 50 MB of "
                                 "line ends\n(target: at most twice the file's size).");
    const fs::path Dir = fs::temp_directory_path() / ("orbench-bench-reader." + std::to_string(getpid()));
    fs::create_directories(Dir);
    const std::string CaseMixFile = (Dir / "lines.txt").string();
    {
        std::ofstream Out(CaseMixFile, std::ios::binary);
        Out << "ID\tDistributionType\tP1\tP2\tP3\tFrequency\n";
        const std::string Block(1 << 20, '\n');
        for (std::size_t Written = 0; Written < FileBytes; Written += Block.size()) Out << Block;
    }
    fs::create_directories(Dir / "m");
    fs::copy_file(CaseMixFile, Dir / "m" / ManifestFileName);
    const long FileKilobytes = static_cast<long>(FileBytes >> 10);
    bool Pass = true;
    const std::pair<const char*, std::function<void()>> Readers[] = {
        {"case mix reader",
         [&] {
             TData Data;
             Data.ReadAndAddCaseMix(CaseMixFile, 480);
         }},
        {"manifest reader", [&] { ReadManifest((Dir / "m").string()); }},
    };
    for (const auto& [Name, Read] : Readers) {
        std::printf("[reader] %s on %ld kB of line ends ...\n", Name, FileKilobytes);
        std::fflush(stdout);
        const long Growth = PeakGrowth(Read);
        const bool Fits = Growth >= 0 && Growth <= 2 * FileKilobytes;
        Pass = Pass && Fits;
        std::printf("    peak memory grew by %ld kB (%.2f times the file)\n", Growth,
                    static_cast<double>(Growth) / static_cast<double>(FileKilobytes));
        std::printf("%s: %s on 50 MB of line ends within twice the file's size\n", Fits ? "PASS" : "FAIL", Name);
    }
    fs::remove_all(Dir);
    return Pass ? 0 : 1;
}
