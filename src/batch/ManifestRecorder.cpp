#include "ManifestRecorder.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "FileUtils.h"
#include "Model.h"
#include "OrbenchError.h"
#include "Sha256.h"

namespace fs = std::filesystem;

namespace orbench {

TManifestRecorder::TManifestRecorder(std::string RootDirectory, std::string ProgramVersion, std::string Run,
                                     TManifestSettings Settings)
    : FRoot(std::move(RootDirectory)),
      FRootWithSlash(IncludeTrailingPathDelimiter(FRoot)),
      FStart(std::chrono::steady_clock::now())
{
    FWorkingDirectory = fs::current_path();
    FAbsoluteRoot = (FWorkingDirectory / FRoot).lexically_normal();
    if (!FAbsoluteRoot.has_filename()) FAbsoluteRoot = FAbsoluteRoot.parent_path();  // a trailing '/'

    FManifest.ProgramVersion = std::move(ProgramVersion);
    FManifest.Run = std::move(Run);
    FManifest.Settings = std::move(Settings);
}

namespace {

// Whether a relative path has no step that normalising would change: none empty, "." or "..".
bool IsNormalRelative(std::string_view Path)
{
    for (std::size_t Start = 0;;) {
        const std::size_t End = Path.find('/', Start);
        const std::string_view Step = Path.substr(Start, End == std::string_view::npos ? End : End - Start);
        if (Step.empty() || Step == "." || Step == "..") return false;
        if (End == std::string_view::npos) return true;
        Start = End + 1;
    }
}

}  // namespace

std::string TManifestRecorder::RelativePath(const std::string& FileName) const
{
    // The run's own names are the root, the case mix's folder and a plain file name: the part after
    // the root as it stands, as long as it holds no step that normalising would change.
    const std::string& Root = FRootWithSlash;
    if (FRoot.size() > 0 && FileName.size() > Root.size() && FileName.starts_with(Root) &&
        IsNormalRelative(std::string_view(FileName).substr(Root.size())))
        return FileName.substr(Root.size());
    const fs::path Relative = (FWorkingDirectory / FileName).lexically_normal().lexically_relative(FAbsoluteRoot);
    if (!IsInsidePath(Relative.generic_string()))
        throw EOrbenchError("\"" + FileName + "\" lies outside the run's directory \"" + FRoot + "\".");
    return Relative.generic_string();
}

TManifestFile& TManifestRecorder::Entry(const std::string& Path)
{
    const auto [It, Inserted] = FPositions.try_emplace(Path, FManifest.Files.size());
    if (Inserted) FManifest.Files.emplace_back().Path = Path;
    return FManifest.Files[It->second];
}

void TManifestRecorder::RecordInstance(const std::string& Path, const TInstance& Instance, TManifestFileKind Kind,
                                       std::string Sha256)
{
    TManifestFile& Record = Entry(Path);
    Record.Kind = Kind;
    Record.Sha256 = std::move(Sha256);
    Record.CaseMix = Instance.CaseMix != nullptr ? Instance.CaseMix->Name : "";
    Record.NumberOfORs = Instance.NumberOfORs;
    Record.DesiredLoad = Instance.DesiredLoad;
    Record.Load = Instance.Load;
    Record.NumberOfSurgeries = static_cast<int>(Instance.Surgeries.size());
}

void TManifestRecorder::CaseMixRead(const TCaseMix& CaseMix)
{
    FManifest.CaseMixes.push_back({CaseMix.FileName, CaseMix.Name, static_cast<int>(CaseMix.SurgeryTypes.size()),
                                   CaseMix.FileSha256, CaseMix.CapacityORinMinutes});
}

void TManifestRecorder::InstanceWritten(const TInstance& Instance)
{
    RecordInstance(RelativePath(Instance.FileName), Instance, TManifestFileKind::fkInstance,
                   Sha256HexOfFile(Instance.FileName));
}

void TManifestRecorder::InstanceWritten(const TInstance& Instance, const std::string& FileText)
{
    RecordInstance(RelativePath(Instance.FileName), Instance, TManifestFileKind::fkInstance, Sha256Hex(FileText));
}

void TManifestRecorder::MarkedInstanceWritten(const TInstance& Instance, const std::string& FileText)
{
    RecordInstance(RelativePath(Instance.FileName), Instance, TManifestFileKind::fkMarkedInstance, Sha256Hex(FileText));
}

void TManifestRecorder::Erase(const std::string& Path)
{
    if (FPositions.count(Path) == 0) return;
    std::erase_if(FManifest.Files, [&Path](const TManifestFile& F) { return F.Path == Path; });
    FPositions.clear();
    for (std::size_t i = 0; i < FManifest.Files.size(); ++i) FPositions[FManifest.Files[i].Path] = i;
}

void TManifestRecorder::InstanceMarked(const std::string& OldFileName, const TInstance& Instance)
{
    const std::string OldPath = RelativePath(OldFileName);
    const std::string NewPath = RelativePath(Instance.FileName);
    // The entry keeps its place in the list; an entry recorded under the new name before goes.
    Erase(NewPath);
    const auto Position = static_cast<std::size_t>(&Entry(OldPath) - FManifest.Files.data());
    FPositions.erase(OldPath);
    FPositions[NewPath] = Position;
    FManifest.Files[Position].Path = NewPath;
    // A rename keeps the bytes: the digest recorded for the old name holds (one never recorded is
    // taken from the file).
    std::string Digest = std::move(FManifest.Files[Position].Sha256);
    if (Digest.empty()) Digest = Sha256HexOfFile(Instance.FileName);
    RecordInstance(NewPath, Instance, TManifestFileKind::fkMarkedInstance, std::move(Digest));
}

void TManifestRecorder::FileRemoved(const std::string& FileName) { Erase(RelativePath(FileName)); }

void TManifestRecorder::FolderStarted(const std::string& FolderName)
{
    if (std::find(FFolders.begin(), FFolders.end(), FolderName) == FFolders.end()) FFolders.push_back(FolderName);
}

void TManifestRecorder::ReportWritten(const std::string& FileName)
{
    RecordReport(RelativePath(FileName), Sha256HexOfFile(FileName));
}

void TManifestRecorder::ReportWritten(const std::string& FileName, const std::string& Content)
{
    RecordReport(RelativePath(FileName), Sha256Hex(Content));
}

void TManifestRecorder::RecordReport(const std::string& Path, std::string Sha256)
{
    TManifestFile Record;
    Record.Path = Path;
    Record.Kind = TManifestFileKind::fkReport;
    Record.Sha256 = std::move(Sha256);
    Entry(Path) = std::move(Record);
}

void TManifestRecorder::Message(const std::string& Text) { FManifest.Messages.push_back(Text); }

TManifest TManifestRecorder::FolderManifest(const std::string& FolderName) const
{
    TManifest Folder;  // the record without the files, which are taken one by one
    Folder.ProgramVersion = FManifest.ProgramVersion;
    Folder.Run = FManifest.Run;
    Folder.Settings = FManifest.Settings;
    Folder.CaseMixes = FManifest.CaseMixes;
    Folder.Messages = FManifest.Messages;
    Folder.Stopped = FManifest.Stopped;
    Folder.DrawLimitPassed = FManifest.DrawLimitPassed;
    Folder.Error = FManifest.Error;
    Folder.ElapsedSeconds = FManifest.ElapsedSeconds;
    const std::string Prefix = FolderName + "/";
    for (const TManifestFile& F : FManifest.Files) {
        if (!F.Path.starts_with(Prefix)) continue;
        Folder.Files.push_back(F);
        Folder.Files.back().Path.erase(0, Prefix.size());
    }
    return Folder;
}

void TManifestRecorder::Finish(bool Stopped, bool DrawLimitPassed, const std::string& Error)
{
    FManifest.Stopped = Stopped;
    FManifest.DrawLimitPassed = DrawLimitPassed;
    FManifest.Error = Error;
    FManifest.ElapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    // The files go to their folders in one pass over the list.
    std::unordered_map<std::string_view, std::vector<const TManifestFile*>> ByFolder;
    for (const std::string& Folder : FFolders) ByFolder[Folder];
    for (const TManifestFile& F : FManifest.Files) {
        const auto Found = ByFolder.find(std::string_view(F.Path).substr(0, F.Path.find('/')));
        if (Found != ByFolder.end() && F.Path.size() > Found->first.size()) Found->second.push_back(&F);
    }
    const TManifestRecordText Record = ManifestRecordText(FManifest);
    for (const std::string& Folder : FFolders)
        WriteManifest(FRootWithSlash + Folder, Record, ByFolder[Folder], Folder.size() + 1);
}

}  // namespace orbench
