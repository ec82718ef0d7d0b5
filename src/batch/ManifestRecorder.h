#pragma once

// Builds the manifests of a batch run while it goes on, and writes them when it ends: one
// manifest.json in each case-mix folder the run wrote into, holding the whole run's record (its
// settings, case mixes, messages and how it ended) and the files of that folder.

#include <chrono>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "Manifest.h"

namespace orbench {

class TCaseMix;
class TInstance;

// Every file is hashed when the recorder is told about it, so the digest is that of the file as
// the run left it; telling it again about the same path (a file written twice) replaces the entry.
// Paths may be absolute or relative to the current directory; a file outside the root (the base
// folder of the run) is refused with EOrbenchError.
class TManifestRecorder {
public:
    TManifestRecorder(std::string RootDirectory, std::string ProgramVersion, std::string Run,
                      TManifestSettings Settings);

    // A case mix the run uses, with the digest its reader took of the file (TCaseMix::FileSha256);
    // a case mix made in memory has no file and no digest.
    void CaseMixRead(const TCaseMix& CaseMix);
    // A folder below the root (one name, no '/') the run writes into: it gets a manifest.
    void FolderStarted(const std::string& FolderName);
    // The instance was saved under its FileName (with the bytes FileText, when given; else the
    // file is read for its digest).
    void InstanceWritten(const TInstance& Instance);
    void InstanceWritten(const TInstance& Instance, const std::string& FileText);
    // An instance written under its REMOVE_ name in the first place.
    void MarkedInstanceWritten(const TInstance& Instance, const std::string& FileText);
    // The instance's file was renamed from OldFileName to its FileName (the REMOVE_ form). To be
    // called only after a rename that took place (a failed one leaves the record as it is).
    void InstanceMarked(const std::string& OldFileName, const TInstance& Instance);
    // A file of the run was deleted again (replaced by a later file of the run).
    void FileRemoved(const std::string& FileName);
    // A report written (with the bytes Content, when given; else the file is read for its digest).
    void ReportWritten(const std::string& FileName);
    void ReportWritten(const std::string& FileName, const std::string& Content);
    void Message(const std::string& Text);
    // Stamps how the run ended (Error: the error that ended it, "" for none) and the time since
    // construction, and writes the manifest of every folder the run started.
    void Finish(bool Stopped, bool DrawLimitPassed, const std::string& Error = "");

    // The whole run's record; the paths of its files are relative to the root.
    const TManifest& Manifest() const { return FManifest; }
    // The manifest Finish writes into the folder: the run's record with the folder's files, their
    // paths relative to the folder.
    TManifest FolderManifest(const std::string& FolderName) const;

private:
    std::string RelativePath(const std::string& FileName) const;
    TManifestFile& Entry(const std::string& RelativePath);
    void Erase(const std::string& RelativePath);
    void RecordInstance(const std::string& Path, const TInstance& Instance, TManifestFileKind Kind, std::string Sha256);
    void RecordReport(const std::string& Path, std::string Sha256);

    std::string FRoot;
    std::string FRootWithSlash;
    std::filesystem::path FAbsoluteRoot;  // made absolute and normal once
    std::filesystem::path FWorkingDirectory;
    TManifest FManifest;
    std::vector<std::string> FFolders;
    std::unordered_map<std::string, std::size_t> FPositions;  // path -> position in FManifest.Files
    std::chrono::steady_clock::time_point FStart;
};

}  // namespace orbench
