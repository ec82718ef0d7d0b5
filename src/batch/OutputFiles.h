#pragma once

#include <string>
#include <vector>

#include "OrbenchError.h"

namespace orbench {

// The kinds of files a batch run writes into the folder of a case mix.
enum class TRunFileKind {
    rfOther,            // not written by a run
    rfInstance,         // ordays_*_load_*.txt
    rfMarkedInstance,   // REMOVE_ordays_*_load_*.txt (the prefix once or more)
    rfOverlapReport,    // overlap_*.txt
    rfProximityReport,  // proximity_*.txt
    rfTemporary,        // a temporary file of one of these, left by a killed run: .<name>.<tag>.part~
                        // (or <name>.part~, as earlier versions named them)
};

// The kind of a file by its name alone (without directory).
TRunFileKind ClassifyRunFile(const std::string& FileName);

// The names of the files of a run's kinds in DirName, sorted: regular files and links (a folder
// of such a name is none). Nothing when the folder does not exist; throws EOutputError when it
// cannot be listed.
std::vector<std::string> ListRunFiles(const std::string& DirName);

// The files of an earlier run in one folder: those of a run's kinds and its manifest.json.
std::vector<std::string> ListEarlierRunFiles(const std::string& DirName);

struct TEarlierRunFolder {
    std::string Directory;
    std::vector<std::string> Files;  // sorted

    bool operator==(const TEarlierRunFolder&) const = default;
};

// Folders a run would write into already hold files of an earlier run: every one of them.
class EEarlierRunFiles : public EOrbenchError {
public:
    explicit EEarlierRunFiles(std::vector<TEarlierRunFolder> AFolders);
    std::vector<TEarlierRunFolder> Folders;
    // "DIR already holds N file(s) of an earlier run (such as NAME)", for each folder, joined by "; ".
    std::string Listing() const;
};

// Makes sure a run never mixes its files with those of an earlier one. Without Overwrite, throws
// EEarlierRunFiles naming every folder of DirNames that holds files of an earlier run, before
// anything is changed; with Overwrite, deletes exactly those files (EOutputError when one cannot
// be deleted) and touches nothing else.
void PrepareRunDirectories(const std::vector<std::string>& DirNames, bool Overwrite);

// Another run is writing into a folder this run would write into.
class ERunInProgress : public EOrbenchError {
public:
    explicit ERunInProgress(const std::string& AFolder);
    std::string Folder;
};

// The locks of a run: one exclusive lock per case-mix folder, held from the run's check of the
// folders to its last write, so that two runs never write into one case-mix folder at once (runs
// of other case mixes into the same base folder go on). They are byte-range locks of the open file
// (F_OFD_SETLK) on the empty file RunLockFileName in the base folder, one byte per case-mix name
// (at an offset hashed from the name), released when the run ends or the process dies. Taking
// them creates the base folder; throws ERunInProgress, holding none, when another run holds one of
// them, and EOutputError when the lock file cannot be made.
class TRunLocks {
public:
    TRunLocks(const std::string& BaseDirectory, const std::vector<std::string>& CaseMixNames);
    ~TRunLocks();
    TRunLocks(const TRunLocks&) = delete;
    TRunLocks& operator=(const TRunLocks&) = delete;

private:
    int FFd = -1;
};

inline constexpr const char* RunLockFileName = ".orbench-lock";

}  // namespace orbench
