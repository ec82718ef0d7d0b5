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

TInstanceWriter::TInstanceWriter(TManifestRecorder* Recorder, bool Save, bool Marking, bool Repeats)
    : FRecorder(Recorder), FSave(Save), FWait(Save && Marking), FTrack(Repeats)
{}

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

void TInstanceWriter::SetState(const std::string& Path, TState State)
{
    if (FTrack) {
        const auto [Entry, New] = FFiles.try_emplace(Path, State);
        if (!New) {
            --FCounts[static_cast<std::size_t>(Entry->second)];
            Entry->second = State;
        }
    }
    ++FCounts[static_cast<std::size_t>(State)];
}

void TInstanceWriter::Forget(const std::string& Path, TState State)
{
    if (FTrack) {
        const auto Found = FFiles.find(Path);
        if (Found == FFiles.end()) return;
        State = Found->second;
        FFiles.erase(Found);
    }
    --FCounts[static_cast<std::size_t>(State)];
}

void TInstanceWriter::Write(const TInstance& Instance, bool Marked, TState State)
{
    const std::string Name = NameInFolder(Instance.FileName);
    Instance.FileText(FText);
    FFolder->WriteTextFile(Name, FText);
    SetState(Instance.FileName, State);
    if (FRecorder == nullptr) return;
    if (Marked)
        FRecorder->MarkedInstanceWritten(Instance, FText);
    else
        FRecorder->InstanceWritten(Instance, FText);
}

void TInstanceWriter::RemoveEarlier(const std::string& Path)
{
    if (!FTrack || FFiles.count(Path) == 0) return;
    FFolder->RemoveRegularFile(NameInFolder(Path));
    Forget(Path, TState::sKept);
    if (FRecorder != nullptr) FRecorder->FileRemoved(Path);
}

void TInstanceWriter::Generated(const TInstance& Instance)
{
    if (!FSave) return;
    if (!FWait) {
        Write(Instance, false, TState::sKept);
        return;
    }
    FWaiting.insert(&Instance);
    FOrder.push_back(&Instance);
}

void TInstanceWriter::Replaced(const TInstance& Instance) { FWaiting.erase(&Instance); }

void TInstanceWriter::Chosen(const TInstance& Instance)
{
    if (FWaiting.erase(&Instance) != 0)
        Write(Instance, false, TState::sSelected);
    else if (FTrack && FFiles.count(Instance.FileName) != 0)
        SetState(Instance.FileName, TState::sSelected);
}

void TInstanceWriter::NotSelected(const TInstance& Instance)
{
    if (FWaiting.erase(&Instance) != 0)
        Write(Instance, false, TState::sUnselected);
    else if (FTrack && FFiles.count(Instance.FileName) != 0)
        SetState(Instance.FileName, TState::sUnselected);
}

bool TInstanceWriter::Unchosen(TInstance& Instance, std::string& Reason)
{
    const std::string Own = Instance.FileName;
    if (!FSave || Own.empty()) {  // there is no file: only the name changes
        Instance.FileName = MarkedPath(Own);
        return true;
    }
    if (FWaiting.erase(&Instance) != 0) {
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
    if (!FFolder->RenameOverRegularFile(Name, "REMOVE_" + Name, Reason)) return false;
    Forget(Own, TState::sUnselected);
    Instance.FileName = MarkedPath(Own);
    SetState(Instance.FileName, TState::sMarked);
    if (FRecorder != nullptr) FRecorder->InstanceMarked(Own, Instance);
    return true;
}

void TInstanceWriter::ReleaseAll()
{
    for (const TInstance* Instance : FOrder)
        if (FWaiting.erase(Instance) != 0) Write(*Instance, false, TState::sNotAnalysed);
    FOrder.clear();
}

void TInstanceWriter::ReleaseAllQuietly() noexcept
{
    try {
        ReleaseAll();
    } catch (...) {}
}

void TInstanceWriter::ReportWritten(const std::string& FileName) { FReports.insert(FileName); }

TRunFileCounts TInstanceWriter::Counts() const
{
    const auto Count = [this](TState State) { return FCounts[static_cast<std::size_t>(State)]; };
    TRunFileCounts Counts;
    Counts.Selected = Count(TState::sSelected);
    Counts.Marked = Count(TState::sMarked);
    Counts.NotAnalysed = Count(TState::sNotAnalysed);
    Counts.Unselected = Count(TState::sUnselected);
    Counts.Kept = Count(TState::sKept);
    Counts.Reports = static_cast<int>(FReports.size());
    return Counts;
}

}  // namespace orbench
