#pragma once

#include <string>
#include <vector>

#include "OrbenchError.h"

namespace orbench {

// The kinds of files a batch run writes into the folder of a case mix.
enum class TRunFileKind {
    rfOther,            // not written by a run
    rfInstance,         // ordays_*_load_*.txt
    rfMarkedInstance,   // REMOVE_ordays_*_load_*.txt
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

// A folder a run would write into already holds files of an earlier run.
class EEarlierRunFiles : public EOrbenchError {
public:
    EEarlierRunFiles(const std::string& ADirectory, const std::vector<std::string>& AFiles);
    std::string Directory;
    std::vector<std::string> Files;
};

// Makes sure a run never mixes its files with those of an earlier one. Without Overwrite, throws
// EEarlierRunFiles for the first of DirNames that holds files of a run's kinds, before anything is
// changed; with Overwrite, deletes exactly those files of every folder (EOutputError when one
// cannot be deleted) and touches nothing else.
void PrepareRunDirectories(const std::vector<std::string>& DirNames, bool Overwrite);

}  // namespace orbench
