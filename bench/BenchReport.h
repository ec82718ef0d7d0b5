// Shared by the benchmark programs: the command line (--help, --full, --before DIR), a line as
// each piece of work starts, child processes measured by wall and CPU time, and a closing
// PASS/FAIL line per target.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "FileUtils.h"

namespace orbench::bench {

struct TOptions {
    bool Full = false;   // the long comparisons as well
    std::string Before;  // the bin directory of an earlier build, measured side by side
};

// --help prints the usage and exits 0; an unknown argument prints it on stderr and exits 2.
inline TOptions ParseOptions(int argc, char** argv, const char* Description)
{
    const std::string Usage = std::string("usage: ") + argv[0] + " [--full] [--before BINDIR] [--help]\n\n" +
                              Description +
                              "\n\n"
                              "  --full           also run the long measurements\n"
                              "  --before BINDIR  run the same work with the programs of an earlier build in BINDIR\n"
                              "                   (its orbench-cli) and show both side by side\n"
                              "  --help           show this text\n\n"
                              "The program ends with one PASS or FAIL line per target; its exit status is 1 when a\n"
                              "target failed.\n";
    TOptions Options;
    for (int k = 1; k < argc; ++k) {
        const std::string Arg = argv[k];
        if (Arg == "--help" || Arg == "-h") {
            std::fputs(Usage.c_str(), stdout);
            std::exit(0);
        } else if (Arg == "--full") {
            Options.Full = true;
        } else if (Arg == "--before" && k + 1 < argc) {
            Options.Before = argv[++k];
            if (!Options.Before.empty() && Options.Before.back() != '/') Options.Before += '/';
        } else {
            std::fprintf(stderr, "%s: unknown argument %s\n%s", argv[0], Arg.c_str(), Usage.c_str());
            std::exit(2);
        }
    }
    return Options;
}

using TClock = std::chrono::steady_clock;

inline double SecondsSince(TClock::time_point Start)
{
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// User plus system CPU seconds of this process (all its threads) so far.
inline double CpuSeconds()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

inline long PeakKiB()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss;
}

// A program run as a child process, its output discarded.
struct TChildRun {
    bool Finished = false;  // false when killed at the timeout
    int ExitCode = -1;
    double Wall = 0;
    double User = 0;
    double System = 0;
    long PeakKiB = 0;
};

inline TChildRun RunChild(const std::vector<std::string>& Args, double TimeoutSeconds)
{
    TChildRun Run;
    const TClock::time_point Start = TClock::now();
    const pid_t Child = fork();
    if (Child < 0) return Run;
    if (Child == 0) {
        std::vector<char*> Argv;
        for (const std::string& Arg : Args) Argv.push_back(const_cast<char*>(Arg.c_str()));
        Argv.push_back(nullptr);
        if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr)
            _exit(127);
        execv(Argv[0], Argv.data());
        _exit(127);
    }
    int Status = 0;
    rusage Usage{};
    for (;;) {
        const pid_t Done = wait4(Child, &Status, WNOHANG, &Usage);
        if (Done == Child) {
            Run.Finished = true;
            break;
        }
        if (SecondsSince(Start) > TimeoutSeconds) {
            kill(Child, SIGKILL);
            wait4(Child, &Status, 0, &Usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Run.Wall = SecondsSince(Start);
    Run.ExitCode = Run.Finished && WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    Run.User = static_cast<double>(Usage.ru_utime.tv_sec) + static_cast<double>(Usage.ru_utime.tv_usec) / 1e6;
    Run.System = static_cast<double>(Usage.ru_stime.tv_sec) + static_cast<double>(Usage.ru_stime.tv_usec) / 1e6;
    Run.PeakKiB = Usage.ru_maxrss;
    return Run;
}

// A fresh directory for scratch files: in memory (/dev/shm) when there is one, so that file
// system costs weigh as little as possible, else under TMPDIR or /tmp.
// The largest sample case mix (by file size) in Dir; "" when there is none.
inline std::string LargestCaseMix(const std::string& Dir)
{
    std::string Best;
    std::uintmax_t BestSize = 0;
    for (const std::string& File : ListCaseMixFiles(Dir)) {
        const std::uintmax_t Size = std::filesystem::file_size(File);
        if (Size > BestSize) {
            Best = File;
            BestSize = Size;
        }
    }
    return Best;
}

inline std::string ScratchDirectory(const std::string& Name)
{
    std::string Base = "/dev/shm";
    struct stat Info {};
    if (stat(Base.c_str(), &Info) != 0 || !S_ISDIR(Info.st_mode) || access(Base.c_str(), W_OK) != 0) {
        const char* Tmp = std::getenv("TMPDIR");
        Base = Tmp != nullptr && *Tmp != '\0' ? Tmp : "/tmp";
    }
    std::string Pattern = Base + "/" + Name + ".XXXXXX";
    if (mkdtemp(Pattern.data()) == nullptr) return "";
    return Pattern;
}

// Progress lines as work starts, result lines, and the targets with their verdicts.
class TReport {
public:
    explicit TReport(std::string Name) : FName(std::move(Name)) {}

    void Step(const std::string& What)
    {
        std::printf("[%s] %s ...\n", FName.c_str(), What.c_str());
        std::fflush(stdout);
    }
    void Line(const std::string& Text)
    {
        std::printf("    %s\n", Text.c_str());
        std::fflush(stdout);
    }
    // Measured must be at most Limit (or at least, with AtLeast).
    void Target(const std::string& What, double Measured, double Limit, const std::string& Unit, bool AtLeast = false)
    {
        const bool Pass = AtLeast ? Measured >= Limit : Measured <= Limit;
        char Text[512];
        std::snprintf(Text, sizeof Text, "%s %s: %.3g %s (target %s %.3g %s)", Pass ? "PASS" : "FAIL", What.c_str(),
                      Measured, Unit.c_str(), AtLeast ? ">=" : "<=", Limit, Unit.c_str());
        FVerdicts.emplace_back(Text);
        FFailed = FFailed || !Pass;
        Line(std::string("-> ") + Text);
    }
    // A target that holds or not, such as "the same files".
    void Check(const std::string& What, bool Holds)
    {
        FVerdicts.push_back(std::string(Holds ? "PASS " : "FAIL ") + What);
        FFailed = FFailed || !Holds;
        Line("-> " + FVerdicts.back());
    }
    // Prints the verdicts; 0 when all passed.
    int Finish()
    {
        std::printf("\n[%s] results:\n", FName.c_str());
        for (const std::string& Verdict : FVerdicts) std::printf("%s\n", Verdict.c_str());
        std::fflush(stdout);
        return FFailed ? 1 : 0;
    }

private:
    std::string FName;
    std::vector<std::string> FVerdicts;
    bool FFailed = false;
};

}  // namespace orbench::bench
