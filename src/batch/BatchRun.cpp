#include "BatchRun.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_map>

#include "FileUtils.h"
#include "ManifestRecorder.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "OverlapReport.h"
#include "ProgramVersion.h"
#include "Selection.h"
#include "TextUtils.h"

namespace orbench {

namespace {

constexpr double ChosenValue = 1e-8;
const char* const InterruptedMessage = "Instance generation interrupted...";

// What differs between the two runs.
struct TRunKind {
    const char* Name;  // for the manifest
    bool GenerateOnTheFly;
    const TReportTexts* Texts;
    const char* ReportPrefix;
};

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
    std::string DrawLimitAdvice() const override { return FHost.DrawLimitAdvice(); }
    std::function<void(double, double)> SelectionProgress() override { return FHost.SelectionProgress(); }

private:
    TBatchHost& FHost;
    TManifestRecorder& FRecorder;
};

// One run's working values, taken before the first draw, and what it works with.
struct TRun {
    TData& Data;
    const TBatchSettings& Settings;
    DArray LoadList;   // sorted ascending, duplicates included
    bool LoadRepeats;  // a load is given twice
    TRunKind Kind;
    TManifestRecorder& Recorder;
    TInstanceWriter& Writer;
    TBatchHost& Host;
    TBatchResult& Result;
};

// The instances one generation call made: all of them, freed when the pass is done, and the
// current ones in the order they were made, where a later instance of a file name replaces an
// earlier one (a load given twice: only then are the names looked at).
class TPass {
public:
    TPass(TCaseMix& CaseMix, TInstanceWriter& Writer, bool LoadRepeats)
        : FCaseMix(CaseMix), FWriter(Writer), FLoadRepeats(LoadRepeats)
    {}
    ~TPass() { Free(); }
    TPass(const TPass&) = delete;
    TPass& operator=(const TPass&) = delete;

    void Add(TInstance& Instance)
    {
        FAll.push_back(&Instance);
        if (FLoadRepeats) {
            const auto [Earlier, New] = FByName.try_emplace(Instance.FileName, &Instance);
            if (!New) {
                FCurrent.Extract(Earlier->second);
                FWriter.Replaced(*Earlier->second);
                Earlier->second = &Instance;
            }
        }
        FCurrent.Add(&Instance);
        FWriter.Generated(Instance);
    }
    const TInstanceList& Current() const { return FCurrent; }
    void Free()
    {
        FCurrent.Clear();
        FByName.clear();
        FCaseMix.Instances.RemoveInstances(std::move(FAll));
        FAll.clear();
    }

private:
    TCaseMix& FCaseMix;
    TInstanceWriter& FWriter;
    bool FLoadRepeats;
    std::vector<TInstance*> FAll;
    TInstanceList FCurrent{false};
    std::unordered_map<std::string, TInstance*> FByName;
};

std::string CaseMixDirectory(const TBatchSettings& Settings, const std::string& Name)
{
    return IncludeTrailingPathDelimiter(Settings.BaseDirectory + Name);
}

// Each case mix writes into the folder of its name: the name must be one folder name (the reader
// makes sure of that for a file's case mix, not for one made in memory), and two case mixes of one
// name would write into one folder, the second replacing the first's files.
void CheckCaseMixNames(const std::vector<TCaseMix*>& CaseMixes)
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

std::string FileNamePart(const std::string& Path) { return Path.substr(Path.find_last_of('/') + 1); }

// Applies a selection to the combination: the chosen files under their own names, the others
// marked. The names of the files whose mark failed are added to Unmarked.
void ApplySelection(TRun& Run, TInstanceList& Combination, const DoubArray& X, std::vector<std::string>& Unmarked)
{
    for (int i = 0; i < Combination.Count(); ++i) {
        TInstance& Instance = *Combination[i];
        if (X[1 + static_cast<std::size_t>(i)] >= ChosenValue) {
            Run.Writer.Chosen(Instance);
            continue;
        }
        std::string Reason;
        if (Run.Writer.Unchosen(Instance, Reason)) continue;
        Run.Host.AddMessage("Could not rename " + Instance.FileName + " to " +
                            FileNamePart(MarkedPath(Instance.FileName)) + ": " + Reason);
        Unmarked.push_back(FileNamePart(Instance.FileName));
        Run.Result.MarkingFailed = true;
    }
}

// Analyses, selects, marks and reports each load of one (case mix, number of OR-days): the
// combinations are made of the pass's current instances alone, and a load given twice is one
// combination.
void AnalyzeGeneratedInstances(TRun& Run, TCaseMix& CaseMix, int NumORdays, const TInstanceList& Current,
                               const TOutputFolder& Folder)
{
    TInstanceList Combination(false);
    TOverlapSettings OverlapSettings;
    OverlapSettings.Engine = Run.Settings.Engine;
    // The analysis and the selection ask the host about every 50 ms (which keeps a window live).
    OverlapSettings.StopRequested = [&Run] { return Run.Host.CheckPoint(); };
    const int K = Run.Settings.NumInstancesToSelect;
    for (std::size_t l = 0; l < Run.LoadList.size(); ++l) {
        const double Load = Run.LoadList[l];
        if (l > 0 && Load == Run.LoadList[l - 1]) continue;
        SelectInstancesByORdaysAndLoad(Current, NumORdays, Combination, Load);
        if (Combination.Empty()) continue;
        const int N = Combination.Count();

        DoubDoubArray Overlap;
        DoubArray X;
        bool Selected = false;
        std::vector<std::string> Unmarked;  // not chosen, but their files could not be renamed
        double ObjVal = 0;
        try {
            AnalyzeOverlap(Combination, Run.Settings.EpsilonDist, Overlap, Run.Settings.DeterministicDistance,
                           OverlapSettings);
            if (Run.Settings.RemoveInstances) {
                OverlapSettings.SelectionProgress = Run.Host.SelectionProgress();
                Selected = SelectMinOverlapInstances(Overlap, N, K, X, ObjVal, OverlapSettings);
            }
        } catch (const EStopRequested&) {
            // A stop during the analysis or the selection: this load gets no report.
            Combination.Clear();
            Run.Host.AddMessage(InterruptedMessage);
            break;
        }
        double MaxOverlap = FindMaximumOverlap(Overlap);
        if (Run.Settings.RemoveInstances) {
            Run.Result.SelectionRefused = Run.Result.SelectionRefused || !Selected;
            if (Selected) {
                ApplySelection(Run, Combination, X, Unmarked);
                MaxOverlap = X[0];
            } else {
                for (TInstance* Instance : Combination) Run.Writer.NotSelected(*Instance);
                Run.Host.AddMessage("Cannot select " + std::to_string(K) + " of " + std::to_string(N) +
                                    " instances for case mix " + CaseMix.Name +
                                    ", #ORdays: " + std::to_string(NumORdays) + ", load: " + FormatGeneral(Load));
            }
        }
        const std::string ReportFile = Folder.Path() + Run.Kind.ReportPrefix + CaseMix.Name + "_ordays_" +
                                       std::to_string(NumORdays) + "_load_" + FormatGeneral(Load) + ".txt";
        const std::string Report =
            WriteOverlapReport(ReportFile, Overlap, MaxOverlap, X, K, Selected, *Run.Kind.Texts, Unmarked);
        Run.Writer.ReportWritten(ReportFile);
        Run.Recorder.ReportWritten(ReportFile, Report);
        Combination.Clear();
        if (Run.Host.CheckPoint()) {
            Run.Host.AddMessage(InterruptedMessage);
            break;
        }
    }
}

// The loop over the numbers of OR-days for one case mix; true when a stop was requested. The
// instances of each pass are freed when it is done, however it ends.
bool RunCaseMix(TRun& Run, TCaseMix& CaseMix, const std::string& DirName)
{
    const TBatchSettings& Settings = Run.Settings;
    const TOutputFolder Folder(DirName);
    Run.Writer.StartFolder(Folder);
    for (const int NumORdays : Settings.NumORdays) {
        // Its instances are freed after the check point, or when the loop is left.
        TPass Pass(CaseMix, Run.Writer, Run.LoadRepeats);
        const auto Finished = [&Pass](TInstance& Instance) { Pass.Add(Instance); };
        try {
            if (!CaseMix.GenerateInstances(Run.LoadList, 0, Settings.NumInstancesPerLoad, NumORdays,
                                           Settings.MaxAbsDeviationFromLoad, false, DirName, Run.Kind.GenerateOnTheFly,
                                           Finished, Settings.MaxDraws)) {
                Run.Host.AddMessage("Could not generate all instances for case mix " + CaseMix.Name +
                                    ", #ORdays: " + std::to_string(NumORdays));
                std::string Explanation;
                if (DrawLimitCause(CaseMix, 0, NumORdays, Run.LoadList, Settings.MaxAbsDeviationFromLoad,
                                   Explanation) != TDrawLimitCause::dcDraws) {
                    Run.Host.AddMessage("Reason: " + Explanation + ".");
                } else {
                    const std::string Advice = Run.Host.DrawLimitAdvice();
                    Run.Host.AddMessage("Reason: the draw limit of " + std::to_string(Settings.MaxDraws) +
                                        " main draws was passed before every instance was found" +
                                        (Advice.empty() ? "" : "; " + Advice) + ".");
                    Run.Result.MoreDrawsWouldHelp = true;
                }
                Run.Result.DrawLimitPassed = true;
            }
            if (Settings.AnalyzeOverlap) AnalyzeGeneratedInstances(Run, CaseMix, NumORdays, Pass.Current(), Folder);
        } catch (...) {
            Run.Writer.ReleaseAllQuietly();
            throw;
        }
        Run.Writer.ReleaseAll();
        Run.Host.AdvanceProgress();
        if (Run.Host.CheckPoint()) {
            Run.Host.AddMessage("Instance generation interrupted after case mix " + CaseMix.Name +
                                ", #ORdays: " + std::to_string(NumORdays));
            return true;
        }
        Pass.Free();
        // Types made on the fly belong to no instance left: freeing them now keeps memory flat.
        if (Run.Kind.GenerateOnTheFly && CaseMix.Instances.Empty()) CaseMix.SurgeryTypes.clear();
    }
    return false;
}

// Hides the gauge when the run ends, also with an error.
class THideProgress {
public:
    explicit THideProgress(TBatchHost& Host) : FHost(Host) {}
    ~THideProgress() { FHost.HideProgress(); }
    THideProgress(const THideProgress&) = delete;
    THideProgress& operator=(const THideProgress&) = delete;

private:
    TBatchHost& FHost;
};

std::string TheoreticalName(int CaseMixType) { return "TCM" + std::to_string(CaseMixType); }

DArray SortedLoads(const TBatchSettings& Settings)
{
    DArray Loads = Settings.Loads;
    std::sort(Loads.begin(), Loads.end());
    return Loads;
}

// The settings of the run as its manifests record them, taken before the first draw.
TManifestSettings ManifestSettings(const TData& Data, const TBatchSettings& Settings)
{
    TManifestSettings M;
    M.Seed = Settings.StartupSeed;
    M.GeneratorState = Data.Random.State();
    M.CapacityORinMinutes = Settings.CapacityORinMinutes;
    M.DecimalSeparator = std::string(1, DecimalSeparator());
    M.NumORdays = Settings.NumORdays;
    M.Loads = SortedLoads(Settings);
    M.PerCombination = Settings.NumInstancesPerLoad;
    M.Deviation = Settings.MaxAbsDeviationFromLoad;
    M.Select = Settings.NumInstancesToSelect;
    M.Epsilon = Settings.EpsilonDist;
    M.DeterministicDistance = Settings.DeterministicDistance;
    M.Analyze = Settings.AnalyzeOverlap;
    M.DeleteOthers = Settings.RemoveInstances;
    M.Save = Settings.SaveInstances;
    M.Engine = Settings.Engine == TOverlapEngine::oeSolver ? "solver" : "exact";
    M.MaxDraws = Settings.MaxDraws;
    return M;
}

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

// Makes sure the run mixes nothing with an earlier one, in the folders of Names below the base, and
// that no other run writes there while it runs: the locks it returns are to be held to the end.
// Earlier files refuse the run before anything is made; they are looked for again once the locks
// are held, since another run may have written meanwhile.
std::unique_ptr<TRunLocks> PrepareOutput(const TBatchSettings& Settings, const std::vector<std::string>& Names)
{
    std::vector<std::string> Directories;
    for (const std::string& Name : Names) Directories.push_back(CaseMixDirectory(Settings, Name));
    if (!Settings.Overwrite) PrepareRunDirectories(Directories, false);
    auto Locks = std::make_unique<TRunLocks>(Settings.BaseDirectory, Names);
    PrepareRunDirectories(Directories, Settings.Overwrite);
    PrepareRootManifest(Settings.BaseDirectory.empty() ? "./" : Settings.BaseDirectory, Names, Settings.Overwrite);
    return Locks;
}

using TRunBody = std::function<void(TRun& Run)>;

// The part of a run that writes: Body runs with the messages recorded; the manifests are written
// and the host told when it ends, also when an error ends it (that error then goes on to the
// caller; one in writing the manifests is the run's error when there was none before).
TBatchResult RecordRun(TData& Data, const TBatchSettings& Settings, const TRunKind& Kind, TBatchHost& Host,
                       const std::vector<TCaseMix*>& CaseMixes, const TRunBody& Body)
{
    TManifestRecorder Recorder(Settings.BaseDirectory.empty() ? "./" : Settings.BaseDirectory, ProgramVersion,
                               Kind.Name, ManifestSettings(Data, Settings));
    for (const TCaseMix* CaseMix : CaseMixes) Recorder.CaseMixRead(*CaseMix);
    const DArray Loads = SortedLoads(Settings);
    const bool LoadRepeats = std::adjacent_find(Loads.begin(), Loads.end()) != Loads.end();
    std::vector<int> NumORdays = Settings.NumORdays;
    std::sort(NumORdays.begin(), NumORdays.end());
    const bool Repeats = LoadRepeats || std::adjacent_find(NumORdays.begin(), NumORdays.end()) != NumORdays.end();
    TInstanceWriter Writer(&Recorder, Settings.SaveInstances, Settings.AnalyzeOverlap && Settings.RemoveInstances,
                           Repeats);
    TBatchResult Result;
    TRecordedHost RunHost(Host, Recorder);
    TRun Run{Data, Settings, Loads, LoadRepeats, Kind, Recorder, Writer, RunHost, Result};
    std::exception_ptr Error;
    try {
        THideProgress Hide(RunHost);
        Body(Run);
    } catch (...) {
        Error = std::current_exception();
        Result.Error = ErrorText(Error);
    }
    try {
        Recorder.Finish(Result.Interrupted, Result.DrawLimitPassed, Result.Error);
    } catch (...) {
        if (!Error) {
            Error = std::current_exception();
            Result.Error = ErrorText(Error);
        }
    }
    Result.ElapsedSeconds = Recorder.Manifest().ElapsedSeconds;
    Result.Files = Writer.Counts();
    Host.RunEnded(Result);
    if (Error) std::rethrow_exception(Error);
    return Result;
}

}  // namespace

void SelectInstancesByORdaysAndLoad(const TInstanceList& Source, int NumORdays, TInstanceList& Target, double Load)
{
    for (TInstance* Instance : Source)
        if (Instance->NumberOfORs == NumORdays && std::fabs(Instance->DesiredLoad - Load) < 1e-40f)
            Target.Add(Instance);
}

TBatchResult GenerateBatch(TData& Data, const std::vector<TCaseMix*>& CaseMixes, const TBatchSettings& Settings,
                           TBatchHost& Host)
{
    CheckBatchSettings(Settings);
    CheckCaseMixNames(CaseMixes);
    std::vector<std::string> Names;
    for (const TCaseMix* CaseMix : CaseMixes) Names.push_back(CaseMix->Name);
    const auto Locks = PrepareOutput(Settings, Names);
    const TRunKind Kind{"batch", false, &OverlapReportTexts(), "overlap_"};
    return RecordRun(Data, Settings, Kind, Host, CaseMixes, [&](TRun& Run) {
        ForceDirectories(Settings.BaseDirectory);
        Run.Host.ShowProgress(static_cast<int>(CaseMixes.size() * Settings.NumORdays.size()));
        for (TCaseMix* CaseMix : CaseMixes) {
            const std::string DirName = CaseMixDirectory(Settings, CaseMix->Name);
            ForceDirectories(DirName);
            Run.Recorder.FolderStarted(CaseMix->Name);
            const bool Stopped = RunCaseMix(Run, *CaseMix, DirName);
            if (Stopped || Run.Host.StopRequested()) {
                Run.Result.Interrupted = true;
                break;
            }
        }
    });
}

TBatchResult GenerateTheoreticalBatch(TData& Data, const TBatchSettings& Settings, TBatchHost& Host)
{
    CheckBatchSettings(Settings, true);
    std::vector<std::string> Names;
    for (int t = 0; t < NumCaseMixTypes; ++t) Names.push_back(TheoreticalName(t));
    const auto Locks = PrepareOutput(Settings, Names);
    const TRunKind Kind{"theoretical-batch", true, &ProximityReportTexts(), "proximity_"};
    return RecordRun(Data, Settings, Kind, Host, {}, [&](TRun& Run) {
        ForceDirectories(Settings.BaseDirectory);
        Run.Host.ShowProgress(NumCaseMixTypes * static_cast<int>(Settings.NumORdays.size()));
        for (int t = 0; t < NumCaseMixTypes; ++t) {
            Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Data, t, Settings.CapacityORinMinutes));
            TCaseMix* CaseMix = Data.CaseMixes.back().get();
            CaseMix->Name = TheoreticalName(t);
            CaseMix->KeepTypesOfDiscardedDraws = false;  // they go after each number of OR-days
            Run.Recorder.CaseMixRead(*CaseMix);
            // Generating on the fly adds a surgery type for every draw: the case mix goes when its
            // type is done, so that memory stays bounded and the windows' lists keep their positions.
            auto Release = [&Data, CaseMix] {
                const auto It = std::find_if(Data.CaseMixes.begin(), Data.CaseMixes.end(),
                                             [CaseMix](const auto& Item) { return Item.get() == CaseMix; });
                if (It != Data.CaseMixes.end()) Data.CaseMixes.erase(It);
            };
            bool Stopped = false;
            try {
                const std::string DirName = CaseMixDirectory(Settings, CaseMix->Name);
                ForceDirectories(DirName);
                Run.Recorder.FolderStarted(CaseMix->Name);
                Stopped = RunCaseMix(Run, *CaseMix, DirName);
            } catch (...) {
                Release();
                throw;
            }
            Release();
            if (Stopped || Run.Host.StopRequested()) {
                Run.Result.Interrupted = true;
                break;
            }
        }
    });
}

std::string RunSummary(const TBatchResult& Result)
{
    const TRunFileCounts& F = Result.Files;
    const bool Ended = !Result.Error.empty() || Result.Interrupted;
    std::string Text = !Result.Error.empty() ? "Run ended with an error: "
                       : Result.Interrupted  ? "Run stopped: "
                                             : "Run finished: ";
    Text += std::to_string(F.Instances()) + " instances written";
    if (Ended && F.Kept < F.Instances()) {
        // Not every combination was selected: which files were chosen, marked or never analysed.
        Text += " (" + std::to_string(F.Selected) + " selected, " + std::to_string(F.Marked) + " marked REMOVE_, " +
                std::to_string(F.NotAnalysed) + " not analysed";
        if (F.Unselected > 0) Text += ", " + std::to_string(F.Unselected) + " analysed but not marked";
        if (F.Kept > 0) Text += ", " + std::to_string(F.Kept) + " kept";
        Text += ")";
    } else {
        Text += ", " + std::to_string(F.Unmarked()) + " kept, " + std::to_string(F.Marked) + " marked REMOVE_";
    }
    Text +=
        ", " + std::to_string(F.Reports) + " reports written, " + FormatFixedLocale(Result.ElapsedSeconds, 1) + " s.";
    return Text;
}

}  // namespace orbench
