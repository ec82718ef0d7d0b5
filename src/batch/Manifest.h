#pragma once

// The manifest of a batch run: what made the files of an output directory (program version,
// settings, case mixes with the digests of their files), which files the run wrote with their
// SHA-256 digests, and how the run ended. Written as manifest.json at the root of the output
// directory; the verifier re-hashes every listed file and looks for files of the run's kinds
// that the manifest does not list.
//
// JSON fields (names are stable; lines end with CR LF):
//   format            "orbench-manifest"
//   format_version    1
//   program_version   text
//   run               "batch" or "theoretical-batch"
//   settings          seed (the seed given at start-up, integer 0..2^32-1), generator_state (the
//                     uniform generator's state when the run began: as --seed it reproduces the
//                     run), capacity_minutes, decimal_separator ("." or ","),
//                     or_days (list of integers), loads (list of numbers), per_combination,
//                     deviation, select, epsilon, distance ("deterministic" or "stochastic"),
//                     analyze, delete_others, save (true/false), engine ("exact" or "solver"),
//                     max_draws (the generation draw limit)
//   case_mixes        list of {file, name, surgery_types, capacity_minutes, sha256}; sha256 is
//                     that of the file's bytes as the reader read them; file and sha256 are "" for
//                     a case mix made in memory
//   files             list of {path, kind, sha256} with kind "instance", "marked_instance"
//                     (renamed with the prefix REMOVE_) or "report"; the two instance kinds also
//                     carry case_mix, or_days, desired_load, load and surgeries. path is relative
//                     to the output directory, with '/' between directories.
//   messages          list of the run's message lines, in order
//   stopped           true when a stop request ended the run
//   draw_limit_passed true when some generation call could not make all its instances
//   error             "" when the run came to its end (finished or stopped), else the error that
//                     ended it after it had begun writing
//   elapsed_seconds   the time the run took

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orbench {

class TCaseMix;
class TInstance;

inline constexpr const char* ManifestFileName = "manifest.json";

struct TManifestSettings {
    std::uint32_t Seed = 12345;
    double CapacityORinMinutes = 480;
    std::string DecimalSeparator = ".";
    std::vector<int> NumORdays;
    std::vector<double> Loads;
    int PerCombination = 30;
    double Deviation = 0.025;
    int Select = 10;
    double Epsilon = 0.01;
    bool DeterministicDistance = false;
    bool Analyze = true;
    bool DeleteOthers = true;
    bool Save = true;
    std::string Engine = "exact";
    std::int64_t MaxDraws = 100000;
    std::uint32_t GeneratorState = 12345;

    bool operator==(const TManifestSettings&) const = default;
};

struct TManifestCaseMix {
    std::string FileName;
    std::string Name;
    int NumSurgeryTypes = 0;
    std::string Sha256;
    double CapacityORinMinutes = 0;

    bool operator==(const TManifestCaseMix&) const = default;
};

enum class TManifestFileKind { fkInstance, fkMarkedInstance, fkReport };

struct TManifestFile {
    std::string Path;  // relative to the root, '/' between directories
    std::string Sha256;
    TManifestFileKind Kind = TManifestFileKind::fkInstance;
    // The two instance kinds only.
    std::string CaseMix;
    int NumberOfORs = 0;
    double DesiredLoad = 0;
    double Load = 0;
    int NumberOfSurgeries = 0;

    bool operator==(const TManifestFile&) const = default;
};

struct TManifest {
    std::string ProgramVersion;
    std::string Run = "batch";
    TManifestSettings Settings;
    std::vector<TManifestCaseMix> CaseMixes;
    std::vector<TManifestFile> Files;
    std::vector<std::string> Messages;
    bool Stopped = false;
    bool DrawLimitPassed = false;
    std::string Error;
    double ElapsedSeconds = 0;

    bool operator==(const TManifest&) const = default;
};

// The JSON text (CR LF line ends, the last line included). Texts that are not valid UTF-8 have
// their bad bytes replaced by U+FFFD.
std::string ManifestToJson(const TManifest& Manifest);
// Throws EOrbenchError, naming Source, on text that is not a manifest: bad JSON, a missing or
// mistyped field, an unknown kind, or a file path that is absolute or leaves the directory.
TManifest ManifestFromJson(const std::string& Text, const std::string& Source = ManifestFileName);

// RootDirectory/manifest.json, written atomically (replacing an older one) and read back.
void WriteManifest(const std::string& RootDirectory, const TManifest& Manifest);
TManifest ReadManifest(const std::string& RootDirectory);

// The manifest of an earlier run at the root belongs to that run's output: without Overwrite,
// throws EEarlierRunFiles (OutputFiles.h) when RootDirectory holds one; with Overwrite, deletes it
// (EOutputError when that fails), so that no manifest describes files that are gone.
void PrepareManifest(const std::string& RootDirectory, bool Overwrite);

// Builds the manifest while a run goes on. Every file is hashed when the recorder is told about
// it, so the digest is that of the file as the run left it; telling it again about the same path
// (a file written twice) replaces the entry. Paths may be absolute or relative to the current
// directory; a file outside the root is refused with EOrbenchError.
class TManifestRecorder {
public:
    TManifestRecorder(std::string RootDirectory, std::string ProgramVersion, std::string Run,
                      TManifestSettings Settings);

    // A case mix the run uses, with the digest its reader took of the file (TCaseMix::FileSha256);
    // a case mix made in memory has no file and no digest.
    void CaseMixRead(const TCaseMix& CaseMix);
    // The instance was saved under its FileName (with the bytes FileText, when given; else the
    // file is read for its digest).
    void InstanceWritten(const TInstance& Instance);
    void InstanceWritten(const TInstance& Instance, const std::string& FileText);
    // An instance written under its REMOVE_ name in the first place.
    void MarkedInstanceWritten(const TInstance& Instance, const std::string& FileText);
    // The instance's file was renamed from OldFileName to its FileName (the REMOVE_ form). To be
    // called only after a rename that took place (a failed one leaves the record as it is).
    void InstanceMarked(const std::string& OldFileName, const TInstance& Instance);
    // A report written (with the bytes Content, when given; else the file is read for its digest).
    void ReportWritten(const std::string& FileName);
    void ReportWritten(const std::string& FileName, const std::string& Content);
    void Message(const std::string& Text);
    // Stamps how the run ended (Error: the error that ended it, "" for none) and the time since
    // construction, and writes manifest.json.
    void Finish(bool Stopped, bool DrawLimitPassed, const std::string& Error = "");

    const TManifest& Manifest() const { return FManifest; }

private:
    std::string RelativePath(const std::string& FileName) const;
    TManifestFile& Entry(const std::string& RelativePath);
    void RecordInstance(const std::string& Path, const TInstance& Instance, TManifestFileKind Kind,
                        std::string Sha256);
    void RecordReport(const std::string& Path, std::string Sha256);

    std::string FRoot;
    std::string FRootWithSlash;
    std::filesystem::path FAbsoluteRoot;  // made absolute and normal once
    std::filesystem::path FWorkingDirectory;
    TManifest FManifest;
    std::unordered_map<std::string, std::size_t> FPositions;  // path -> position in FManifest.Files
    std::chrono::steady_clock::time_point FStart;
};

// Whether a file (path relative to the root, '/' between directories) is of the kinds a run
// writes.
using TRunFileTest = std::function<bool(const std::string& RelativePath)>;

struct TVerification {
    int NumListed = 0;
    std::vector<std::string> Missing;   // listed, not there
    std::vector<std::string> Changed;   // listed, different digest
    std::vector<std::string> Unlisted;  // of the run's kinds, not listed (sorted)

    bool Passed() const { return Missing.empty() && Changed.empty() && Unlisted.empty(); }
};

// The test `orbench-cli verify` uses: a file whose name is of a run's kinds (ClassifyRunFile:
// instances, their REMOVE_ forms, reports), in any folder below the root.
bool IsRunFilePath(const std::string& RelativePath);

// Reads RootDirectory/manifest.json (EOrbenchError when it is missing or invalid) and checks the
// directory tree against it. Paths in the findings are relative, as in the manifest; missing and
// changed files in manifest order.
TVerification VerifyManifest(const std::string& RootDirectory, const TRunFileTest& IsRunFile);

}  // namespace orbench
