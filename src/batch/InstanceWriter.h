#pragma once

// The instance files of a batch run and their marks. Every file goes into the folder of its case
// mix; an instance whose file would lie elsewhere is refused before anything is written. When the
// instances not chosen will be marked, a file waits until its combination has been selected: one
// not chosen is then written under its REMOVE_ name at once instead of being written and renamed.
// Whatever still waits when its pass is done (after a stop, a refused selection or an error) is
// written under its own name, as it would have been.
//
// A later instance of the same file name replaces an earlier one of the run (a load or a number
// of OR-days given twice): the earlier one, if still waiting, is never written, and an earlier
// file of the run under the other name (marked or not) goes when the later one is written, so that
// every name holds one instance.

#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FileUtils.h"
#include "Model.h"

namespace orbench {

class TManifestRecorder;

// What the run's files came to, for its summary.
struct TRunFileCounts {
    int Selected = 0;     // under their own names, chosen by a selection
    int Marked = 0;       // under their REMOVE_ names
    int NotAnalysed = 0;  // under their own names, their combination never selected (a stop or error)
    int Unselected = 0;   // under their own names, not chosen: the selection was refused or the mark failed
    int Kept = 0;         // under their own names in a run that marks nothing
    int Reports = 0;

    int Instances() const { return Selected + Marked + NotAnalysed + Unselected + Kept; }
    int Unmarked() const { return Selected + NotAnalysed + Unselected + Kept; }
};

// The REMOVE_ form of a path: the prefix goes before the file name.
std::string MarkedPath(const std::string& FileName);

class TInstanceWriter {
public:
    // Recorder (may be null) is told about every file; Save: instance files are written at all;
    // Marking: the run marks the instances not chosen; Repeats: a number of OR-days or a load is
    // given twice, so that a later file may replace an earlier one (only then is every file's
    // name kept).
    TInstanceWriter(TManifestRecorder* Recorder, bool Save, bool Marking, bool Repeats);

    // The folder of the case mix now processed; its files are written there by name.
    void StartFolder(const TOutputFolder& Folder);

    // An instance finished by the generator: written now, or waiting for its selection.
    void Generated(const TInstance& Instance);
    // A waiting instance replaced by a later one of its name: it is never written.
    void Replaced(const TInstance& Instance);
    // Chosen by a selection: written under its own name.
    void Chosen(const TInstance& Instance);
    // Not chosen: its file gets the REMOVE_ name and the instance takes it. False, with the
    // reason, when that cannot be done; the file then keeps its own name.
    bool Unchosen(TInstance& Instance, std::string& Reason);
    // Analysed, but no selection applies to it (the selection was refused).
    void NotSelected(const TInstance& Instance);
    // Writes every waiting instance under its own name, in the order they were generated.
    void ReleaseAll();
    // After an error: what can still be written is, nothing more is reported.
    void ReleaseAllQuietly() noexcept;

    void ReportWritten(const std::string& FileName);
    TRunFileCounts Counts() const;

private:
    enum class TState { sSelected, sMarked, sNotAnalysed, sUnselected, sKept };

    bool IsWaiting(const TInstance& Instance) const { return FWaiting.count(&Instance) != 0; }
    // Writes the instance's file under its FileName, which then is in State.
    void Write(const TInstance& Instance, bool Marked, TState State);
    // The file Path is now in State (From: the state it was in when written by this run).
    void SetState(const std::string& Path, TState State);
    void Forget(const std::string& Path, TState State);
    // The file name of Path inside the current folder; throws when it lies elsewhere.
    std::string NameInFolder(const std::string& Path) const;
    // Deletes a file the run wrote earlier under Path (replaced by a later instance).
    void RemoveEarlier(const std::string& Path);

    TManifestRecorder* FRecorder;
    bool FSave;
    bool FWait;
    const TOutputFolder* FFolder = nullptr;
    bool FTrack;
    std::string FText;  // one buffer for every file
    std::unordered_set<const TInstance*> FWaiting;
    std::vector<const TInstance*> FOrder;
    std::array<int, 5> FCounts{};                    // files in each state
    std::unordered_map<std::string, TState> FFiles;  // with FTrack: every instance file, by path
    std::unordered_set<std::string> FReports;
};

}  // namespace orbench
