#pragma once

// The settings of a batch run as numbers, lists and switches. The front ends fill them (the batch
// window from its fields, the command line from its options); the run checks them once and never
// sees the texts they were typed as. The defaults written here are the defaults of every front end:
// the batch window's initial fields, the command line's options, their help and the manifest.

#include <cstdint>
#include <string>
#include <vector>

#include "Model.h"
#include "OrbenchError.h"
#include "Overlap.h"
#include "UniformGenerator.h"

namespace orbench {

struct TBatchSettings {
    int NumInstancesPerLoad = 30;
    bool SaveInstances = true;
    // Half-width of the window around each load in which a candidate instance is accepted.
    double MaxAbsDeviationFromLoad = 0.025;
    bool AnalyzeOverlap = true;
    // Instances kept per combination (the least overlapping) when RemoveInstances is on.
    int NumInstancesToSelect = 10;
    double EpsilonDist = 0.01;
    // Mark the files of the instances not chosen with the prefix REMOVE_ (nothing is deleted).
    bool RemoveInstances = true;
    bool DeterministicDistance = false;
    // Processed in this order, duplicates included.
    std::vector<int> NumORdays = {5, 10, 15, 20, 25, 30, 35, 40};
    // As entered; the run sorts them ascending (duplicates stay).
    DArray Loads = {0.80, 0.85, 0.90, 0.95, 1.00, 1.05, 1.10, 1.15, 1.20};
    TOverlapEngine Engine = TOverlapEngine::oeExact;
    // The main draws each generation call may make.
    int MaxDraws = DefaultMaxDraws;
    // The base directory of the output tree, ending in '/' (the window: "instances/" beside the
    // executable; the command line: --out, "instances/" in the current directory).
    std::string BaseDirectory;
    // Delete the files of an earlier run from the case-mix folders the run writes into, instead
    // of refusing the run (EEarlierRunFiles).
    bool Overwrite = false;
    // The OR-day capacity of the theoretical case mixes (minutes).
    double CapacityORinMinutes = 480;
    // The seed the uniform generator got at start-up (the desktop program: 12345; the command
    // line: --seed), for the run's manifest.
    std::uint32_t StartupSeed = TUniformGenerator::DefaultSeed;
};

// The settings a user can get wrong, for the front ends to name in their own words.
enum class TBatchField { bfNumORdays, bfLoads, bfDeviation, bfEpsilon, bfMaxDraws, bfCapacity };

// A setting that cannot mean anything: which one, the value and why. The message names the field
// in neutral words; a front end that catches it words its own message from Field, Value and Reason.
class EBatchSettingError : public EOrbenchError {
public:
    EBatchSettingError(TBatchField AField, double ANumber, std::string AReason);
    TBatchField Field;
    double Number;       // the value
    std::string Value;   // the value in the general format (the locale's separator)
    std::string Reason;  // such as "must be greater than 0"
};

// Throws EBatchSettingError for the first setting that cannot mean anything, in this order: an
// OR-days entry below 1, a load of 0 or less, a deviation of 0 or less, a negative epsilon, a draw
// limit below 1, and for the theoretical run a capacity of 0 or less; non-finite numbers
// everywhere. The number of instances per combination and to select take any integer (0 instances
// to select marks every file).
void CheckBatchSettings(const TBatchSettings& Settings, bool Theoretical = false);

// The neutral name of a field, as EBatchSettingError's message uses it.
const char* BatchFieldName(TBatchField Field);

// The default numbers as texts: a list joined by ',' with '.' (as the command line writes them),
// and the default loads with two decimals, as the batch window first lists them.
std::string DefaultNumORdaysText();
std::string DefaultLoadsText();
std::string FormatDefaultLoad(double Load);
// A number as the command line writes it: the general format with '.'.
std::string FormatOptionNumber(double Value);

}  // namespace orbench
