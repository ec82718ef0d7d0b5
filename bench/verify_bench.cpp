// Times `orbench-cli verify` on the tree of the default batch: the sample case mixes beside the
// executable, run with the batch window's defaults (OR-days 5..40, loads 0.80..1.20, 30 instances
// per combination, 10 kept, reports) into a temporary folder. Verifying re-hashes every file the
// manifest lists and lists the tree for files it does not. Target: under 1 s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "BatchRun.h"
#include "FileUtils.h"
#include "ManifestVerify.h"
#include "Model.h"

namespace fs = std::filesystem;
using namespace orbench;

namespace {

constexpr double TargetSeconds = 1.0;

class TQuietHost : public TBatchHost {
public:
    void AddMessage(const std::string& Message) override { std::fprintf(stderr, "%s\n", Message.c_str()); }
    void ShowProgress(int) override {}
    void AdvanceProgress() override {}
    void HideProgress() override {}
    bool CheckPoint() override { return false; }
    bool StopRequested() override { return false; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        std::printf(
            "usage: %s\n"
            "Generates the default batch of the case mixes in casemixes/ beside the executable into a\n"
            "temporary folder, then times the verification of that tree against its manifest.\n"
            "Prints PASS when it takes under %.0f s, else FAIL.\n",
            argv[0], TargetSeconds);
        return std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ? 0 : 1;
    }
    TData Data;
    for (const std::string& File : ListCaseMixFiles(ExecutableDirectory() + "casemixes"))
        Data.ReadAndAddCaseMix(File, 480);
    if (Data.CaseMixes.empty()) {
        std::fprintf(stderr, "no case mix file found\n");
        return 1;
    }
    std::string Root = (fs::temp_directory_path() / "orbench-verify-bench.XXXXXX").string();
    if (mkdtemp(Root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    TBatchSettings Settings;
    Settings.BaseDirectory = Root + "/";
    std::vector<TCaseMix*> CaseMixes;
    for (const auto& CaseMix : Data.CaseMixes) CaseMixes.push_back(CaseMix.get());
    TQuietHost Host;
    using Clock = std::chrono::steady_clock;
    Clock::time_point Start = Clock::now();
    GenerateBatch(Data, CaseMixes, Settings, Host);
    const double BatchSeconds = std::chrono::duration<double>(Clock::now() - Start).count();
    std::uintmax_t Bytes = 0;
    for (const auto& Entry : fs::recursive_directory_iterator(Root))
        if (Entry.is_regular_file()) Bytes += Entry.file_size();
    std::printf("default batch of %zu case mixes: %.1f s, %.1f MB\n", Data.CaseMixes.size(), BatchSeconds,
                static_cast<double>(Bytes) / 1e6);

    Start = Clock::now();
    const std::clock_t CpuStart = std::clock();
    const TVerification Found = VerifyManifest(Root, IsRunFilePath);
    const double CpuSeconds = static_cast<double>(std::clock() - CpuStart) / CLOCKS_PER_SEC;
    const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    std::error_code Ec;
    fs::remove_all(Root, Ec);
    std::printf("verify: %d files re-hashed, tree listed, in %.3f s wall (%.3f s processor)\n", Found.NumListed,
                Seconds, CpuSeconds);
    const bool Pass = Found.Passed() && Seconds < TargetSeconds;
    std::printf("%s: verify of the default batch's tree (%d files) in %.3f s (target under %.0f s)%s\n",
                Pass ? "PASS" : "FAIL", Found.NumListed, Seconds, TargetSeconds,
                Found.Passed() ? "" : "; the tree did not match its manifest");
    return 0;
}
