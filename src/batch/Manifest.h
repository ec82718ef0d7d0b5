#pragma once

// The manifest of a batch run: what made the files of a case-mix folder (program version, the
// run's settings, its case mixes with the digests of their files), which files the run left there
// with their SHA-256 digests, and how the run ended. A run writes manifest.json into each case-mix
// folder it writes into, so that runs of different case mixes into one base folder keep their own
// records, and a run that replaces the files of one case mix replaces that folder's record only
// (ManifestRecorder.h). The verifier re-hashes every listed file and looks for files of the run's
// kinds that no manifest lists (ManifestVerify.h).
//
// JSON fields (names are stable; lines end with CR LF):
//   format            "orbench-manifest"
//   format_version    2 (1: one manifest at the root of the output tree for the whole run, with
//                     paths from there; read as well)
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
//                     to the folder of the manifest, with '/' between directories.
//   messages          list of the run's message lines, in order (all of the run's)
//   stopped           true when a stop request ended the run
//   draw_limit_passed true when some generation call could not make all its instances
//   error             "" when the run came to its end (finished or stopped), else the error that
//                     ended it after it had begun writing
//   elapsed_seconds   the time the run took

#include <cstdint>
#include <string>
#include <vector>

namespace orbench {

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

// A path inside a directory: relative, without "..", not empty.
bool IsInsidePath(const std::string& Path);

// RootDirectory/manifest.json, written atomically (replacing an older one) and read back.
void WriteManifest(const std::string& RootDirectory, const TManifest& Manifest);
// The JSON text of a manifest but its list of files: what comes before the list and after it.
struct TManifestRecordText {
    std::string Head, Tail;
};
TManifestRecordText ManifestRecordText(const TManifest& Manifest);
// The same for a record (ManifestRecordText, its own list of files aside) with the files Files, each
// path from its character PathFrom on: one run's record for each of its folders.
void WriteManifest(const std::string& RootDirectory, const TManifestRecordText& Record,
                   const std::vector<const TManifestFile*>& Files, std::size_t PathFrom);
TManifest ReadManifest(const std::string& RootDirectory);

// The manifest of a run of an earlier version of the program at the root of the output tree (it
// lists the files of every case-mix folder of that run, by paths that begin with the folder's
// name). A new run that writes into some of those folders takes their files out of it: without
// Overwrite, throws EEarlierRunFiles (OutputFiles.h) when it lists files in one of Folders; with
// Overwrite, writes it again without them (deletes it when nothing is left). A manifest at the
// root that cannot be read counts as output of an earlier run in any case. Nothing happens when
// there is none.
void PrepareRootManifest(const std::string& RootDirectory, const std::vector<std::string>& Folders, bool Overwrite);

}  // namespace orbench
