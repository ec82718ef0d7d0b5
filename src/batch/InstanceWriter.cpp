#include "InstanceWriter.h"

#include "ManifestRecorder.h"
#include "OrbenchError.h"

namespace orbench {

std::string MarkedPath(const std::string& FileName)
{
    const std::size_t Slash = FileName.find_last_of('/');
    if (Slash == std::string::npos) return "REMOVE_" + FileName;
    return FileName.substr(0, Slash + 1) + "REMOVE_" + FileName.substr(Slash + 1);
}

TInstanceWriter::TInstanceWriter(TManifestRecorder* Recorder, bool Save, bool Marking)
    : FRecorder(Recorder), FSave(Save), FWait(Save && Marking)
{
}

void TInstanceWriter::StartFolder(const TOutputFolder& Folder)
{
    FFolder = &Folder;
    FWaiting.clear();
    FOrder.clear();
}

std::string TInstanceWriter::NameInFolder(const std::string& Path) const
{
    const std::string& Folder = FFolder != nullptr ? FFolder->Path() : std::string();
    if (FFolder == nullptr || Path.size() <= Folder.size() || !Path.starts_with(Folder) ||
        Path.find('/', Folder.size()) != std::string::npos)
        throw EOrbenchError("\"" + Path + "\" does not lie in the run's folder \"" + Folder +
                            "\"; the run writes, renames and deletes files only there.");
    return Path.substr(Folder.size());
}

bool TInstanceWriter::IsWaiting(const TInstance& Instance) const
{
    const auto Found = FWaiting.find(Instance.FileName);
    return Found != FWaiting.end() && Found->second == &Instance;
}

void TInstanceWriter::Write(const TInstance& Instance, bool Marked, TState State)
{
    const std::string Name = NameInFolder(Instance.FileName);
    Instance.FileText(FText);
    FFolder->WriteTextFile(Name, FText);
    FFiles[Instance.FileName] = State;
    if (FRecorder == nullptr) return;
    if (Marked) FRecorder->MarkedInstanceWritten(Instance, FText);
    else FRecorder->InstanceWritten(Instance, FText);
}

void TInstanceWriter::RemoveEarlier(const std::string& Path)
{
    if (FFiles.erase(Path) == 0) return;
    FFolder->RemoveRegularFile(NameInFolder(Path));
    if (FRecorder != nullptr) FRecorder->FileRemoved(Path);
}

void TInstanceWriter::Generated(const TInstance& Instance)
{
    if (!FSave) return;
    if (!FWait) {
        Write(Instance, false, TState::sKept);
        return;
    }
    NameInFolder(Instance.FileName);  // refused now, not when its selection is done
    FWaiting[Instance.FileName] = &Instance;  // replaces an earlier instance of the name
    FOrder.push_back(&Instance);
}

void TInstanceWriter::Chosen(const TInstance& Instance)
{
    if (!IsWaiting(Instance)) {
        const auto Found = FFiles.find(Instance.FileName);
        if (Found != FFiles.end()) Found->second = TState::sSelected;
        return;
    }
    FWaiting.erase(Instance.FileName);
    Write(Instance, false, TState::sSelected);
}

void TInstanceWriter::NotSelected(const TInstance& Instance)
{
    if (!IsWaiting(Instance)) {
        const auto Found = FFiles.find(Instance.FileName);
        if (Found != FFiles.end()) Found->second = TState::sUnselected;
        return;
    }
    FWaiting.erase(Instance.FileName);
    Write(Instance, false, TState::sUnselected);
}

bool TInstanceWriter::Unchosen(TInstance& Instance, std::string& Reason)
{
    const std::string Own = Instance.FileName;
    if (!FSave || Own.empty()) {  // there is no file: only the name changes
        Instance.FileName = MarkedPath(Own);
        return true;
    }
    if (IsWaiting(Instance)) {
        FWaiting.erase(Own);
        Instance.FileName = MarkedPath(Own);
        try {
            Write(Instance, true, TState::sMarked);
            RemoveEarlier(Own);  // an earlier file of the name, now marked as the later instance is
            return true;
        } catch (const EOutputError&) {
            Instance.FileName = Own;
        }
        Write(Instance, false, TState::sUnselected);
    }
    // Written under its own name already: renamed in the folder, replacing nothing but a regular
    // file of the marked name.
    const std::string Name = NameInFolder(Own);
    if (!FFolder->RenameOverRegularFile(Name, "REMOVE_" + Name, Reason)) {
        FFiles[Own] = TState::sUnselected;
        return false;
    }
    FFiles.erase(Own);
    Instance.FileName = MarkedPath(Own);
    FFiles[Instance.FileName] = TState::sMarked;
    if (FRecorder != nullptr) FRecorder->InstanceMarked(Own, Instance);
    return true;
}

void TInstanceWriter::ReleaseAll()
{
    for (const TInstance* Instance : FOrder) {
        if (!IsWaiting(*Instance)) continue;
        FWaiting.erase(Instance->FileName);
        Write(*Instance, false, TState::sNotAnalysed);
    }
    FOrder.clear();
}

void TInstanceWriter::ReleaseAllQuietly() noexcept
{
    try {
        ReleaseAll();
    } catch (...) {
    }
}

void TInstanceWriter::ReportWritten(const std::string& FileName) { FReports[FileName] = true; }

TRunFileCounts TInstanceWriter::Counts() const
{
    TRunFileCounts Counts;
    for (const auto& [Path, State] : FFiles) {
        switch (State) {
            case TState::sSelected: ++Counts.Selected; break;
            case TState::sMarked: ++Counts.Marked; break;
            case TState::sNotAnalysed: ++Counts.NotAnalysed; break;
            case TState::sUnselected: ++Counts.Unselected; break;
            case TState::sKept: ++Counts.Kept; break;
        }
    }
    Counts.Reports = static_cast<int>(FReports.size());
    return Counts;
}

}  // namespace orbench
