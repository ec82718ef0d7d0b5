#include "BatchRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <unordered_set>

#include "FileUtils.h"
#include "Manifest.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OverlapReport.h"
#include "ParameterLists.h"
#include "ProgramVersion.h"
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
    // Told about every file the run leaves (never null once the run has begun writing).
    TManifestRecorder* Recorder = nullptr;
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

// Step 4 of a run: the remaining options, each refused when it cannot mean anything. Read before
// anything is written (the base directory is created afterwards).
TRunSettings ReadSettings(const TBatchInputs& Inputs, int NumInstancesPerLoad)
{
    TRunSettings Settings;
    Settings.NumInstancesPerLoad = NumInstancesPerLoad;
    for (const std::string& Entry : Inputs.Loads) {
        const double Load = ReadDecimal(Entry, "Load");
        if (!(Load > 0)) throw EOrbenchError("The load " + Entry + " (list \"Load\") must be greater than 0.");
        Settings.LoadList.push_back(Load);
    }
    std::sort(Settings.LoadList.begin(), Settings.LoadList.end());
    Settings.MaxAbsDeviationFromLoad = ReadDecimal(Inputs.MaxLoadDeviation, "Maximum deviation from load:");
    if (!(Settings.MaxAbsDeviationFromLoad > 0))
        throw EOrbenchError("\"Maximum deviation from load:\" must be greater than 0 (it is " + Inputs.MaxLoadDeviation +
                            ").");
    Settings.EpsilonDist = ReadDecimal(Inputs.Epsilon, "Epsilon (from [0,1])");
    if (Settings.EpsilonDist < 0)
        throw EOrbenchError("\"Epsilon (from [0,1])\" must not be negative (it is " + Inputs.Epsilon + ").");
    Settings.RemoveInstances = Inputs.RemoveInstances;
    Settings.NumInstancesToSelect = ReadInteger(Inputs.NumInstancesToSelect, "# instances to select:");
    if (Inputs.MaxDraws < 1)
        throw EOrbenchError("The draw limit must be at least 1 (it is " + std::to_string(Inputs.MaxDraws) + ").");
    return Settings;
}

std::string CaseMixDirectory(const TBatchInputs& Inputs, const std::string& Name)
{
    return IncludeTrailingPathDelimiter(Inputs.BaseDirectory + Name);
}

// Each case mix writes into the folder of its name: the name must be one folder name (the reader
// makes sure of that for a file's case mix, not for one made in memory), and two case mixes of one
// name would write into one folder, the second replacing the first's files.
void CheckCaseMixNames(const std::vector<const TCaseMix*>& CaseMixes)
{
    for (std::size_t a = 0; a < CaseMixes.size(); ++a) {
        if (!IsUsableFolderName(CaseMixes[a]->Name))
            throw EOrbenchError("The case mix name \"" + ShortenForMessage(CaseMixes[a]->Name) +
                                "\" cannot be used as a folder name.");
        for (std::size_t b = a + 1; b < CaseMixes.size(); ++b)
            if (CaseMixes[a]->Name == CaseMixes[b]->Name)
                throw EOrbenchError("Two case mixes of the run have the name " + CaseMixes[a]->Name + " (" +
                                    CaseMixes[a]->FileName + " and " + CaseMixes[b]->FileName +
                                    "); their files would go into one folder.");
    }
}

std::string MarkedPath(const std::string& FileName)
{
    const std::size_t Slash = FileName.find_last_of('/');
    if (Slash == std::string::npos) return "REMOVE_" + FileName;
    return FileName.substr(0, Slash + 1) + "REMOVE_" + FileName.substr(Slash + 1);
}

// The name of the file FileName inside Folder, or "" when it lies elsewhere.
std::string NameInFolder(const TOutputFolder& Folder, const std::string& FileName)
{
    const std::string& Path = Folder.Path();
    if (FileName.size() <= Path.size() || !FileName.starts_with(Path) ||
        FileName.find('/', Path.size()) != std::string::npos)
        return "";
    return FileName.substr(Path.size());
}

// Renames the instance's file to its REMOVE_ form, replacing nothing but a regular file of that
// name, and takes the new name. False, with the reason, when that fails; the instance then keeps
// its name. A file of the run's folder is renamed there by name (one of an instance from before the
// run may lie elsewhere).
bool MarkInstanceFile(TInstance& Instance, const TOutputFolder& Folder, std::string& Reason)
{
    const std::string Marked = MarkedPath(Instance.FileName);
    const std::string Name = NameInFolder(Folder, Instance.FileName);
    if (!(Name.empty() ? RenameOverRegularFile(Instance.FileName, Marked, Reason)
                       : Folder.RenameOverRegularFile(Name, "REMOVE_" + Name, Reason)))
        return false;
    Instance.FileName = Marked;
    return true;
}

std::string FileNamePart(const std::string& Path) { return Path.substr(Path.find_last_of('/') + 1); }

// Writes the instance files of one case mix, each as the generator hands it over, its digest taken
// from the bytes written. When the instances not chosen will be marked, a file waits until its
// combination has been selected: one not chosen is then written under its REMOVE_ name at once
// instead of being written and renamed. Whatever still waits when its combination is done (after a
// stop, a refused selection or an error) is written under its own name, as it would have been.
class TInstanceWriter {
public:
    TInstanceWriter(const TOutputFolder& Folder, TManifestRecorder* Recorder, bool Save, bool WaitForSelection)
        : FFolder(Folder), FRecorder(Recorder), FSave(Save), FWait(Save && WaitForSelection)
    {
    }

    void Generated(const TInstance& Instance)
    {
        if (!FSave) return;
        if (!FWait) {
            Write(Instance, false);
            return;
        }
        FWaiting.insert(&Instance);
        FOrder.push_back(&Instance);
    }

    bool Waiting(const TInstance& Instance) const { return FWaiting.count(&Instance) != 0; }

    // Writes a waiting instance under its own name.
    void Release(const TInstance& Instance)
    {
        if (FWaiting.erase(&Instance) != 0) Write(Instance, false);
    }

    // Writes a waiting instance under its REMOVE_ name and gives it that name. False when that file
    // cannot be written; the instance is then written under its own name, still waiting to be marked.
    bool ReleaseMarked(TInstance& Instance)
    {
        if (FWaiting.erase(&Instance) == 0) return false;
        const std::string Own = Instance.FileName;
        Instance.FileName = MarkedPath(Own);
        try {
            Write(Instance, true);
            return true;
        } catch (const EOutputError&) {
            Instance.FileName = Own;
        }
        Write(Instance, false);
        return false;
    }

    // Writes every waiting instance under its own name, in the order they were generated.
    void ReleaseAll()
    {
        for (const TInstance* Instance : FOrder)
            if (FWaiting.erase(Instance) != 0) Write(*Instance, false);
        FOrder.clear();
    }

    // After an error: what can still be written is, nothing more is reported.
    void ReleaseAllQuietly() noexcept
    {
        try {
            ReleaseAll();
        } catch (...) {
        }
    }

private:
    void Write(const TInstance& Instance, bool Marked)
    {
        Instance.FileText(FText);
        const std::string Name = NameInFolder(FFolder, Instance.FileName);
        if (Name.empty()) WriteTextFile(Instance.FileName, FText);
        else FFolder.WriteTextFile(Name, FText);
        if (FRecorder == nullptr) return;
        if (Marked) FRecorder->MarkedInstanceWritten(Instance, FText);
        else FRecorder->InstanceWritten(Instance, FText);
    }

    const TOutputFolder& FFolder;
    TManifestRecorder* FRecorder;
    bool FSave;
    bool FWait;
    std::string FText;  // one buffer for every file
    std::unordered_set<const TInstance*> FWaiting;
    std::vector<const TInstance*> FOrder;
};

// Analyses, selects, marks and reports each load of one (case mix, number of OR-days).
void AnalyzeGeneratedInstances(TCaseMix& CaseMix, int NumORdays, const TOutputFolder& Folder,
                               TInstanceWriter& Writer, const TRunSettings& Settings, const TBatchInputs& Inputs, const TRunKind& Kind,
                               TBatchHost& Host, TBatchResult& Result)
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
        std::vector<std::string> Unmarked;  // not chosen, but their files could not be renamed
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
            Result.SelectionRefused = Result.SelectionRefused || !Selected;
            if (Selected) {
                for (int i = 0; i < N; ++i) {
                    TInstance& Instance = *Combination[i];
                    if (X[1 + static_cast<std::size_t>(i)] >= ChosenValue) {
                        Writer.Release(Instance);
                        continue;
                    }
                    if (Writer.Waiting(Instance) && Writer.ReleaseMarked(Instance)) continue;
                    // Without saved instances (or for an instance never saved) there is no file.
                    if (!Inputs.SaveInstances || Instance.FileName.empty()) {
                        Instance.FileName = MarkedPath(Instance.FileName);
                        continue;
                    }
                    const std::string OldName = Instance.FileName;
                    std::string Reason;
                    if (!MarkInstanceFile(Instance, Folder, Reason)) {
                        Host.AddMessage("Could not rename " + Instance.FileName + " to " +
                                        FileNamePart(MarkedPath(Instance.FileName)) + ": " + Reason);
                        Unmarked.push_back(FileNamePart(Instance.FileName));
                        Result.MarkingFailed = true;
                    } else if (Settings.Recorder != nullptr) {
                        Settings.Recorder->InstanceMarked(OldName, Instance);
                    }
                }
                MaxOverlap = X[0];
            } else {
                Host.AddMessage("Cannot select " + std::to_string(K) + " of " + std::to_string(N) +
                                " instances for case mix " + CaseMix.Name + ", #ORdays: " + std::to_string(NumORdays) +
                                ", load: " + FormatGeneral(Load));
            }
        }
        const std::string ReportFile = Folder.Path() + Kind.ReportPrefix + CaseMix.Name + "_ordays_" +
                                       std::to_string(NumORdays) + "_load_" + FormatGeneral(Load) + ".txt";
        const std::string Report =
            WriteOverlapReport(ReportFile, Overlap, MaxOverlap, X, K, Selected, *Kind.Texts, Unmarked);
        if (Settings.Recorder != nullptr) Settings.Recorder->ReportWritten(ReportFile, Report);
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
    const TOutputFolder Folder(DirName);
    TInstanceWriter Writer(Folder, Settings.Recorder, Inputs.SaveInstances,
                           Inputs.AnalyzeOverlap && Settings.RemoveInstances);
    const auto Save = [&Writer](const TInstance& Instance) { Writer.Generated(Instance); };
    for (const std::string& Entry : Inputs.NumORdays) {
        const int NumORdays = ReadInteger(Entry, "Number of operating rooms");
        try {
            if (!CaseMix.GenerateInstances(Settings.LoadList, 0, Settings.NumInstancesPerLoad, NumORdays,
                                           Settings.MaxAbsDeviationFromLoad, false, DirName, Kind.GenerateOnTheFly,
                                           Save, Inputs.MaxDraws)) {
                Host.AddMessage("Could not generate all instances for case mix " + CaseMix.Name +
                                ", #ORdays: " + std::to_string(NumORdays));
                Result.DrawLimitPassed = true;
            }
            if (Inputs.AnalyzeOverlap)
                AnalyzeGeneratedInstances(CaseMix, NumORdays, Folder, Writer, Settings, Inputs, Kind, Host, Result);
        } catch (...) {
            Writer.ReleaseAllQuietly();
            throw;
        }
        Writer.ReleaseAll();
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

std::string TheoreticalName(int CaseMixType) { return "TCM" + std::to_string(CaseMixType); }

bool ReadNumInstances(const TBatchInputs& Inputs, TBatchHost& Host, int& NumInstancesPerLoad)
{
    if (TryTextToInt(Inputs.NumInstancesPerSetting, NumInstancesPerLoad)) return true;
    Host.AddMessage("The number of instances has to be integer. Aborting.");
    return false;
}

// The root of the output tree, where the manifest goes.
std::string ManifestRoot(const TBatchInputs& Inputs)
{
    return Inputs.BaseDirectory.empty() ? "./" : Inputs.BaseDirectory;
}

// The settings of the run as its manifest records them; every OR-days entry is read here, so that
// one that is no integer refuses the run before anything is written. Taken before the first draw.
TManifestSettings ManifestSettings(const TData& Data, const TBatchInputs& Inputs, const TRunSettings& Settings)
{
    TManifestSettings M;
    M.Seed = Inputs.StartupSeed;
    M.GeneratorState = Data.Random.State();
    M.CapacityORinMinutes = Inputs.CapacityORinMinutes;
    M.DecimalSeparator = std::string(1, DecimalSeparator());
    for (const std::string& Entry : Inputs.NumORdays)
        M.NumORdays.push_back(ReadInteger(Entry, "Number of operating rooms"));
    M.Loads = Settings.LoadList;
    M.PerCombination = Settings.NumInstancesPerLoad;
    M.Deviation = Settings.MaxAbsDeviationFromLoad;
    M.Select = Settings.NumInstancesToSelect;
    M.Epsilon = Settings.EpsilonDist;
    M.DeterministicDistance = Inputs.DeterministicDistance;
    M.Analyze = Inputs.AnalyzeOverlap;
    M.DeleteOthers = Inputs.RemoveInstances;
    M.Save = Inputs.SaveInstances;
    M.Engine = Inputs.Engine == TOverlapEngine::oeSolver ? "solver" : "exact";
    M.MaxDraws = Inputs.MaxDraws;
    return M;
}

// The front end of a run, with every message line also going into the manifest.
class TRecordedHost : public TBatchHost {
public:
    TRecordedHost(TBatchHost& Host, TManifestRecorder& Recorder) : FHost(Host), FRecorder(Recorder) {}
    void AddMessage(const std::string& Message) override
    {
        FRecorder.Message(Message);
        FHost.AddMessage(Message);
    }
    void ShowProgress(int Maximum) override { FHost.ShowProgress(Maximum); }
    void AdvanceProgress() override { FHost.AdvanceProgress(); }
    void HideProgress() override { FHost.HideProgress(); }
    bool CheckPoint() override { return FHost.CheckPoint(); }
    bool StopRequested() override { return FHost.StopRequested(); }

private:
    TBatchHost& FHost;
    TManifestRecorder& FRecorder;
};

std::string ErrorText(const std::exception_ptr& Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& E) {
        return E.what();
    } catch (...) {
        return "unknown error";
    }
}

using TRunBody = std::function<void(TBatchHost& Host, TBatchResult& Result)>;

// The part of a run that writes: Body runs with the messages recorded, and the manifest is
// written when it ends, also when an error ends it (that error then goes on to the caller; one in
// writing the manifest would only hide it).
TBatchResult RecordRun(TManifestRecorder& Recorder, TBatchHost& Host, const TRunBody& Body)
{
    TBatchResult Result;
    TRecordedHost RunHost(Host, Recorder);
    try {
        Body(RunHost, Result);
    } catch (...) {
        try {
            Recorder.Finish(Result.Interrupted, Result.DrawLimitPassed, ErrorText(std::current_exception()));
        } catch (...) {
        }
        throw;
    }
    Recorder.Finish(Result.Interrupted, Result.DrawLimitPassed);
    return Result;
}

}  // namespace

void SelectInstancesByORdaysAndLoad(const TInstanceList& Source, int NumORdays, TInstanceList& Target, double Load)
{
    for (TInstance* Instance : Source)
        if (Instance->NumberOfORs == NumORdays && std::fabs(Instance->DesiredLoad - Load) < 1e-40f)
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
    TRunSettings Settings = ReadSettings(Inputs, NumInstancesPerLoad);
    const TRunKind Kind{false, &OverlapReportTexts(), "overlap_"};
    std::vector<const TCaseMix*> Run;
    std::vector<std::string> Directories;
    for (std::size_t s = 0; s < Inputs.CaseMixChecked.size() && s < Data.CaseMixes.size(); ++s) {
        if (!Inputs.CaseMixChecked[s]) continue;
        Run.push_back(Data.CaseMixes[s].get());
        Directories.push_back(CaseMixDirectory(Inputs, Data.CaseMixes[s]->Name));
    }
    TManifestRecorder Recorder(ManifestRoot(Inputs), ProgramVersion, "batch", ManifestSettings(Data, Inputs, Settings));
    CheckCaseMixNames(Run);
    PrepareRunDirectories(Directories, Inputs.Overwrite);
    PrepareManifest(ManifestRoot(Inputs), Inputs.Overwrite);
    for (const TCaseMix* CaseMix : Run) Recorder.CaseMixRead(*CaseMix);
    Settings.Recorder = &Recorder;

    return RecordRun(Recorder, Host, [&](TBatchHost& RunHost, TBatchResult& Result) {
        ForceDirectories(Inputs.BaseDirectory);
        const int Checked =
            static_cast<int>(std::count(Inputs.CaseMixChecked.begin(), Inputs.CaseMixChecked.end(), true));
        TRunCleanup Cleanup(RunHost);
        RunHost.ShowProgress(Checked * static_cast<int>(Inputs.NumORdays.size()));
        for (std::size_t s = 0; s < Inputs.CaseMixChecked.size(); ++s) {
            if (!Inputs.CaseMixChecked[s] || s >= Data.CaseMixes.size()) continue;
            TCaseMix& CaseMix = *Data.CaseMixes[s];
            Cleanup.Processing(&CaseMix);
            const std::string DirName = CaseMixDirectory(Inputs, CaseMix.Name);
            ForceDirectories(DirName);
            const bool Stopped = RunCaseMix(CaseMix, DirName, Settings, Inputs, Kind, RunHost, Result);
            CaseMix.Instances.Clear();
            Cleanup.Processing(nullptr);
            if (Stopped || RunHost.StopRequested()) {
                Result.Interrupted = true;
                break;
            }
        }
    });
}

TBatchResult GenerateTheoreticalBatch(TData& Data, const TBatchInputs& Inputs, TBatchHost& Host)
{
    TBatchResult Result;
    int NumInstancesPerLoad = 0;
    if (!ReadNumInstances(Inputs, Host, NumInstancesPerLoad)) {
        Result.Aborted = true;
        return Result;
    }
    TRunSettings Settings = ReadSettings(Inputs, NumInstancesPerLoad);
    const TRunKind Kind{true, &ProximityReportTexts(), "proximity_"};
    std::vector<std::string> Directories;
    for (int t = 0; t < NumCaseMixTypes; ++t) Directories.push_back(CaseMixDirectory(Inputs, TheoreticalName(t)));
    TManifestRecorder Recorder(ManifestRoot(Inputs), ProgramVersion, "theoretical-batch",
                               ManifestSettings(Data, Inputs, Settings));
    PrepareRunDirectories(Directories, Inputs.Overwrite);
    PrepareManifest(ManifestRoot(Inputs), Inputs.Overwrite);
    Settings.Recorder = &Recorder;

    return RecordRun(Recorder, Host, [&](TBatchHost& RunHost, TBatchResult& Result) {
        ForceDirectories(Inputs.BaseDirectory);
        TRunCleanup Cleanup(RunHost);
        RunHost.ShowProgress(NumCaseMixTypes * static_cast<int>(Inputs.NumORdays.size()));
        for (int t = 0; t < NumCaseMixTypes; ++t) {
            Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Data, t, Inputs.CapacityORinMinutes));
            TCaseMix* CaseMix = Data.CaseMixes.back().get();
            CaseMix->Name = TheoreticalName(t);
            CaseMix->KeepTypesOfDiscardedDraws = false;  // they go after each number of OR-days
            Recorder.CaseMixRead(*CaseMix);
            // Generating on the fly adds a surgery type for every draw: the case mix goes when its
            // type is done, so that memory stays bounded and the windows' lists keep their positions.
            auto Release = [&Data, CaseMix] {
                const auto It = std::find_if(Data.CaseMixes.begin(), Data.CaseMixes.end(),
                                             [CaseMix](const auto& Item) { return Item.get() == CaseMix; });
                if (It != Data.CaseMixes.end()) Data.CaseMixes.erase(It);
            };
            bool Stopped = false;
            try {
                const std::string DirName = CaseMixDirectory(Inputs, CaseMix->Name);
                ForceDirectories(DirName);
                Stopped = RunCaseMix(*CaseMix, DirName, Settings, Inputs, Kind, RunHost, Result);
            } catch (...) {
                Release();
                throw;
            }
            Release();
            if (Stopped || RunHost.StopRequested()) {
                Result.Interrupted = true;
                break;
            }
        }
    });
}

}  // namespace orbench
