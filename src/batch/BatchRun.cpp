#include "BatchRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "FileUtils.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OverlapReport.h"
#include "ParameterLists.h"
#include "Selection.h"
#include "TextUtils.h"

namespace orbench {

namespace {

constexpr double ChosenValue = 1e-8;
const char* const InterruptedMessage = "Instance generation interrupted...";

// The working values of one run, read before anything is generated.
struct TRunSettings {
    int NumInstancesPerLoad = 0;
    DArray LoadList;
    double MaxAbsDeviationFromLoad = 0;
    double EpsilonDist = 0;
    bool RemoveInstances = false;
    int NumInstancesToSelect = 0;
};

// What differs between the two runs.
struct TRunKind {
    bool GenerateOnTheFly;
    const TReportTexts* Texts;
    const char* ReportPrefix;
};

double ReadDecimal(const std::string& Text, const std::string& Label)
{
    double Value = 0;
    if (!TryReadDecimalEntry(Text, Value))
        throw EOrbenchError("\"" + Text + "\" is not a valid number for \"" + Label + "\".");
    return Value;
}

int ReadInteger(const std::string& Text, const std::string& Label)
{
    int Value = 0;
    if (!TryTextToInt(Text, Value)) throw EOrbenchError("\"" + Text + "\" is not a valid integer for \"" + Label + "\".");
    return Value;
}

// Steps 3 and 4 of a run: the base directory, then the remaining options.
TRunSettings ReadSettings(const TBatchInputs& Inputs, int NumInstancesPerLoad)
{
    ForceDirectories(Inputs.BaseDirectory);
    TRunSettings Settings;
    Settings.NumInstancesPerLoad = NumInstancesPerLoad;
    for (const std::string& Entry : Inputs.Loads) Settings.LoadList.push_back(ReadDecimal(Entry, "Load"));
    std::sort(Settings.LoadList.begin(), Settings.LoadList.end());
    Settings.MaxAbsDeviationFromLoad = ReadDecimal(Inputs.MaxLoadDeviation, "Maximum deviation from load:");
    Settings.EpsilonDist = ReadDecimal(Inputs.Epsilon, "Epsilon (from [0,1])");
    Settings.RemoveInstances = Inputs.RemoveInstances;
    Settings.NumInstancesToSelect = ReadInteger(Inputs.NumInstancesToSelect, "# instances to select:");
    return Settings;
}

std::string MarkedPath(const std::string& FileName)
{
    const std::size_t Slash = FileName.find_last_of('/');
    if (Slash == std::string::npos) return "REMOVE_" + FileName;
    return FileName.substr(0, Slash + 1) + "REMOVE_" + FileName.substr(Slash + 1);
}

// Analyses, selects, marks and reports each load of one (case mix, number of OR-days).
void AnalyzeGeneratedInstances(TCaseMix& CaseMix, int NumORdays, const std::string& DirName,
                               const TRunSettings& Settings, const TBatchInputs& Inputs, const TRunKind& Kind,
                               TBatchHost& Host)
{
    TInstanceList Combination(false);
    TOverlapSettings OverlapSettings;
    OverlapSettings.Engine = Inputs.Engine;
    // The analysis and the selection ask the host about every 50 ms (which keeps a window live).
    OverlapSettings.StopRequested = [&Host] { return Host.CheckPoint(); };
    const int K = Settings.NumInstancesToSelect;
    for (const double Load : Settings.LoadList) {
        SelectInstancesByORdaysAndLoad(CaseMix.Instances, NumORdays, Combination, Load);
        if (Combination.Empty()) continue;
        const int N = Combination.Count();

        DoubDoubArray Overlap;
        DoubArray X;
        bool Selected = false;
        double ObjVal = 0;
        try {
            AnalyzeOverlap(Combination, Settings.EpsilonDist, Overlap, Inputs.DeterministicDistance, OverlapSettings);
            if (Settings.RemoveInstances) Selected = SelectMinOverlapInstances(Overlap, N, K, X, ObjVal, OverlapSettings);
        } catch (const EStopRequested&) {
            // A stop during the analysis or the selection: this load gets no report.
            Combination.Clear();
            Host.AddMessage(InterruptedMessage);
            break;
        }
        double MaxOverlap = FindMaximumOverlap(Overlap);
        if (Settings.RemoveInstances) {
            if (Selected) {
                for (int i = 0; i < N; ++i) {
                    if (X[1 + static_cast<std::size_t>(i)] >= ChosenValue) continue;
                    TInstance* Instance = Combination[i];
                    const std::string Marked = MarkedPath(Instance->FileName);
                    // A marked file left by an earlier run is replaced; a missing file (instances
                    // not saved) is no error.
                    std::rename(Instance->FileName.c_str(), Marked.c_str());
                    Instance->FileName = Marked;
                }
                MaxOverlap = X[0];
            } else {
                Host.AddMessage("Cannot select " + std::to_string(K) + " of " + std::to_string(N) +
                                " instances for case mix " + CaseMix.Name + ", #ORdays: " + std::to_string(NumORdays) +
                                ", load: " + FormatGeneral(Load));
            }
        }
        WriteOverlapReport(DirName + Kind.ReportPrefix + CaseMix.Name + "_ordays_" + std::to_string(NumORdays) +
                               "_load_" + FormatGeneral(Load) + ".txt",
                           Overlap, MaxOverlap, X, K, Selected, *Kind.Texts);
        Combination.Clear();
        if (Host.CheckPoint()) {
            Host.AddMessage(InterruptedMessage);
            break;
        }
    }
}

// The loop over the numbers of OR-days for one case mix; true when a stop was requested.
bool RunCaseMix(TCaseMix& CaseMix, const std::string& DirName, const TRunSettings& Settings,
                const TBatchInputs& Inputs, const TRunKind& Kind, TBatchHost& Host, TBatchResult& Result)
{
    for (const std::string& Entry : Inputs.NumORdays) {
        const int NumORdays = ReadInteger(Entry, "Number of operating rooms");
        if (!CaseMix.GenerateInstances(Settings.LoadList, 0, Settings.NumInstancesPerLoad, NumORdays,
                                       Settings.MaxAbsDeviationFromLoad, Inputs.SaveInstances, DirName,
                                       Kind.GenerateOnTheFly)) {
            Host.AddMessage("Could not generate all instances for case mix " + CaseMix.Name +
                            ", #ORdays: " + std::to_string(NumORdays));
            Result.DrawLimitPassed = true;
        }
        if (Inputs.AnalyzeOverlap)
            AnalyzeGeneratedInstances(CaseMix, NumORdays, DirName, Settings, Inputs, Kind, Host);
        Host.AdvanceProgress();
        if (Host.CheckPoint()) {
            Host.AddMessage("Instance generation interrupted after case mix " + CaseMix.Name +
                            ", #ORdays: " + std::to_string(NumORdays));
            return true;
        }
        CaseMix.Instances.ClearInstances(NumORdays);
        // Types made on the fly belong to no instance left: freeing them now keeps memory flat.
        if (Kind.GenerateOnTheFly && CaseMix.Instances.Empty()) CaseMix.SurgeryTypes.clear();
    }
    return false;
}

// Frees the instances of the case mix being processed and hides the gauge, also when the run
// ends with an error.
class TRunCleanup {
public:
    explicit TRunCleanup(TBatchHost& Host) : FHost(Host) {}
    ~TRunCleanup()
    {
        if (FCaseMix != nullptr) FCaseMix->Instances.Clear();
        FHost.HideProgress();
    }
    void Processing(TCaseMix* CaseMix) { FCaseMix = CaseMix; }

private:
    TBatchHost& FHost;
    TCaseMix* FCaseMix = nullptr;
};

bool ReadNumInstances(const TBatchInputs& Inputs, TBatchHost& Host, int& NumInstancesPerLoad)
{
    if (TryTextToInt(Inputs.NumInstancesPerSetting, NumInstancesPerLoad)) return true;
    Host.AddMessage("The number of instances has to be integer. Aborting.");
    return false;
}

}  // namespace

void SelectInstancesByORdaysAndLoad(const TInstanceList& Source, int NumORdays, TInstanceList& Target, double Load)
{
    for (TInstance* Instance : Source)
        if (Instance->NumberOfORs == NumORdays && std::fabs(Instance->DesiredLoad - Load) < 1e-40)
            Target.Add(Instance);
}

TBatchResult GenerateBatch(TData& Data, const TBatchInputs& Inputs, TBatchHost& Host)
{
    TBatchResult Result;
    int NumInstancesPerLoad = 0;
    if (!ReadNumInstances(Inputs, Host, NumInstancesPerLoad)) {
        Result.Aborted = true;
        return Result;
    }
    if (std::none_of(Inputs.CaseMixSelected.begin(), Inputs.CaseMixSelected.end(), [](bool b) { return b; })) {
        Host.AddMessage("No case mix selected. Aborting.");
        Result.Aborted = true;
        return Result;
    }
    const TRunSettings Settings = ReadSettings(Inputs, NumInstancesPerLoad);
    const TRunKind Kind{false, &OverlapReportTexts(), "overlap_"};

    const int Checked = static_cast<int>(std::count(Inputs.CaseMixChecked.begin(), Inputs.CaseMixChecked.end(), true));
    TRunCleanup Cleanup(Host);
    Host.ShowProgress(Checked * static_cast<int>(Inputs.NumORdays.size()));
    for (std::size_t s = 0; s < Inputs.CaseMixChecked.size(); ++s) {
        if (!Inputs.CaseMixChecked[s] || s >= Data.CaseMixes.size()) continue;
        TCaseMix& CaseMix = *Data.CaseMixes[s];
        Cleanup.Processing(&CaseMix);
        const std::string DirName = IncludeTrailingPathDelimiter(Inputs.BaseDirectory + CaseMix.Name);
        ForceDirectories(DirName);
        const bool Stopped = RunCaseMix(CaseMix, DirName, Settings, Inputs, Kind, Host, Result);
        CaseMix.Instances.Clear();
        Cleanup.Processing(nullptr);
        if (Stopped || Host.StopRequested()) {
            Result.Interrupted = true;
            break;
        }
    }
    return Result;
}

TBatchResult GenerateTheoreticalBatch(TData& Data, const TBatchInputs& Inputs, TBatchHost& Host)
{
    TBatchResult Result;
    int NumInstancesPerLoad = 0;
    if (!ReadNumInstances(Inputs, Host, NumInstancesPerLoad)) {
        Result.Aborted = true;
        return Result;
    }
    const TRunSettings Settings = ReadSettings(Inputs, NumInstancesPerLoad);
    const TRunKind Kind{true, &ProximityReportTexts(), "proximity_"};

    TRunCleanup Cleanup(Host);
    Host.ShowProgress(NumCaseMixTypes * static_cast<int>(Inputs.NumORdays.size()));
    for (int t = 0; t < NumCaseMixTypes; ++t) {
        Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Data, t, Inputs.CapacityORinMinutes));
        TCaseMix* CaseMix = Data.CaseMixes.back().get();
        CaseMix->Name = "TCM" + std::to_string(t);
        // Generating on the fly adds a surgery type for every draw: the case mix goes when its
        // type is done, so that memory stays bounded and the windows' lists keep their positions.
        auto Release = [&Data, CaseMix] {
            const auto It = std::find_if(Data.CaseMixes.begin(), Data.CaseMixes.end(),
                                         [CaseMix](const auto& Item) { return Item.get() == CaseMix; });
            if (It != Data.CaseMixes.end()) Data.CaseMixes.erase(It);
        };
        bool Stopped = false;
        try {
            const std::string DirName = IncludeTrailingPathDelimiter(Inputs.BaseDirectory + CaseMix->Name);
            ForceDirectories(DirName);
            Stopped = RunCaseMix(*CaseMix, DirName, Settings, Inputs, Kind, Host, Result);
        } catch (...) {
            Release();
            throw;
        }
        Release();
        if (Stopped || Host.StopRequested()) {
            Result.Interrupted = true;
            break;
        }
    }
    return Result;
}

}  // namespace orbench
