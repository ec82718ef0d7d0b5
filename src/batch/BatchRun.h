#pragma once

// The batch runs: every case mix x every number of OR-days x the loads, generated into
// BaseDirectory/<case mix name>/, each combination analysed, selected, marked and reported, and a
// manifest in every case-mix folder. A run works only on the instances it generates: an instance
// the case mix held before (made or loaded in the main window) stays in memory untouched, never
// joins a selection, and its file is never renamed or deleted. Files are written, renamed and
// deleted only inside the run's case-mix folders.

#include <functional>
#include <string>
#include <vector>

#include "BatchSettings.h"
#include "InstanceWriter.h"
#include "Model.h"
#include "OutputFiles.h"

namespace orbench {

struct TBatchResult {
    bool DrawLimitPassed = false;     // some generation call could not make all its instances
    bool MoreDrawsWouldHelp = false;  // for some of them more draws may help (DrawLimitCause)
    bool Interrupted = false;         // a stop request ended the run
    bool SelectionRefused = false;    // some combination had no more instances than were to be selected
    bool MarkingFailed = false;       // the file of some instance not chosen could not be renamed
    std::string Error;                // the error that ended the run after it had begun writing
    double ElapsedSeconds = 0;        // as the manifests record it
    TRunFileCounts Files;             // what the run's files came to
};

// How a run talks to its front end (the batch window or the command line).
class TBatchHost {
public:
    virtual ~TBatchHost() = default;
    // Appends a line to the message list.
    virtual void AddMessage(const std::string& Message) = 0;
    // The progress gauge: shown with its maximum at the start, advanced, hidden at the end.
    virtual void ShowProgress(int Maximum) = 0;
    virtual void AdvanceProgress() = 0;
    virtual void HideProgress() = 0;
    // Processes pending work (window messages) and answers whether a stop was requested.
    virtual bool CheckPoint() = 0;
    // Whether a stop was requested, without processing anything.
    virtual bool StopRequested() = 0;
    // What the user can do when a generation call passed the draw limit, in the front end's words
    // (the end of the message line that gives the reason; none when the front end says it later).
    virtual std::string DrawLimitAdvice() const { return "allow more draws or widen the window around the loads"; }
    // Follows one selection (TOverlapSettings::SelectionProgress); none by default.
    virtual std::function<void(double BestFound, double LowerBound)> SelectionProgress() { return {}; }
    // A run that got past its checks has ended (finished, stopped, or with an error, which then
    // goes on to the caller): Result as the manifests record it.
    virtual void RunEnded(const TBatchResult& Result) { (void)Result; }
};

// The instances of Source with NumberOfORs = NumORdays and DesiredLoad within the single-precision
// constant 1e-40 of Load (in effect equal), appended to Target in Source's order.
void SelectInstancesByORdaysAndLoad(const TInstanceList& Source, int NumORdays, TInstanceList& Target, double Load);

// "&Go!" over CaseMixes, in their order. Throws, before anything is written: EBatchSettingError
// (CheckBatchSettings), EOrbenchError for two case mixes of one name or a name that cannot be a
// folder, EEarlierRunFiles when case-mix folders hold files of an earlier run and Overwrite is off,
// ERunInProgress when another run is writing into one of its case-mix folders (OutputFiles.h).
// Then EOutputError when a file or folder cannot be written (after the manifests are written,
// naming the error).
TBatchResult GenerateBatch(TData& Data, const std::vector<TCaseMix*>& CaseMixes, const TBatchSettings& Settings,
                           TBatchHost& Host);

// "Generate Theor. Inst.": the same over the case-mix types 0..16 (case mixes TCM0..TCM16 of
// Settings.CapacityORinMinutes whose surgery types are generated while drawing), with proximity
// reports. Each theoretical case mix is freed and taken out of TData.CaseMixes when its type is
// done.
TBatchResult GenerateTheoreticalBatch(TData& Data, const TBatchSettings& Settings, TBatchHost& Host);

// The summary line of a run that got past its checks: "Run finished: ...", "Run stopped: ..." or
// "Run ended with an error: ...", with the counts of its files and its time.
std::string RunSummary(const TBatchResult& Result);

}  // namespace orbench
