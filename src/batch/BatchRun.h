#pragma once

#include <string>
#include <vector>

#include "Model.h"
#include "OutputFiles.h"
#include "Overlap.h"

namespace orbench {

// The inputs of a batch run as the batch window holds them: the option fields as texts, the
// check boxes, the case-mix check list by position (entry i stands for TData.CaseMixes[i]) and
// the two number lists as entered.
struct TBatchInputs {
    std::string NumInstancesPerSetting = "30";
    bool SaveInstances = true;
    std::string MaxLoadDeviation = "0.025";
    bool AnalyzeOverlap = true;
    std::string NumInstancesToSelect = "10";
    std::string Epsilon = "0,01";
    bool RemoveInstances = true;
    bool DeterministicDistance = false;
    bool GenerateForAllCaseMixTypes = true;  // shown by the window, read by neither run
    std::vector<bool> CaseMixChecked;
    std::vector<bool> CaseMixSelected;
    std::vector<std::string> NumORdays = {"5", "10", "15", "20", "25", "30", "35", "40"};
    std::vector<std::string> Loads = {"0.80", "0.85", "0.90", "0.95", "1.00", "1.05", "1.10", "1.15", "1.20"};
    TOverlapEngine Engine = TOverlapEngine::oeExact;
    // The base directory of the output tree, ending in '/' (the window: "instances/" beside the
    // executable; the command line: "instances/" in the current directory).
    std::string BaseDirectory;
    // The OR-day capacity of the theoretical case mixes (minutes).
    double CapacityORinMinutes = 480;
    // The main draws each generation call may make.
    int MaxDraws = DefaultMaxDraws;
    // Delete the files of an earlier run from the case-mix folders the run writes into (and the
    // manifest at the base directory), instead of refusing the run (EEarlierRunFiles).
    bool Overwrite = false;
    // The seed the uniform generator got at start-up (the desktop program: 12345; the command line:
    // --seed), for the run's manifest.
    std::uint32_t StartupSeed = TUniformGenerator::DefaultSeed;
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
};

struct TBatchResult {
    bool Aborted = false;           // ended by an input check, nothing generated
    bool DrawLimitPassed = false;   // some generation call could not make all its instances
    bool Interrupted = false;       // a stop request ended the run
    bool SelectionRefused = false;  // some combination had no more instances than were to be selected
    bool MarkingFailed = false;     // the file of some instance not chosen could not be renamed
};

// The instances of Source with NumberOfORs = NumORdays and DesiredLoad within the single-precision
// constant 1e-40 of Load (in effect equal), appended to Target in Source's order.
void SelectInstancesByORdaysAndLoad(const TInstanceList& Source, int NumORdays, TInstanceList& Target, double Load);

// "&Go!": every checked case mix x every number of OR-days x the loads, generated into
// BaseDirectory/<case mix name>/, each combination analysed, selected, marked and reported.
// Throws EOrbenchError, before anything is written, on an option that does not convert or cannot
// mean anything (a load or deviation of 0 or less, a negative epsilon, an OR-days entry that is
// no integer) and on two checked case mixes of the same name; EEarlierRunFiles (OutputFiles.h)
// when a case-mix folder holds files of an earlier run, or BaseDirectory the manifest of one, and
// Overwrite is off; EOutputError when a file or folder cannot be written.
// Once the checks have passed, the run writes BaseDirectory/manifest.json (Manifest.h) when it
// ends: finished, stopped, or ended by an error (which the manifest names and which then goes on
// to the caller).
TBatchResult GenerateBatch(TData& Data, const TBatchInputs& Inputs, TBatchHost& Host);

// "Generate Theor. Inst.": the same over the case-mix types 0..16 (case mixes TCM0..TCM16 whose
// surgery types are generated while drawing), with proximity reports. Each theoretical case mix
// is freed and taken out of TData.CaseMixes when its type is done.
TBatchResult GenerateTheoreticalBatch(TData& Data, const TBatchInputs& Inputs, TBatchHost& Host);

}  // namespace orbench
