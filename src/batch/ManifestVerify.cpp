#include "ManifestVerify.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FileUtils.h"
#include "Manifest.h"
#include "OrbenchError.h"
#include "OutputFiles.h"
#include "Sha256.h"

namespace fs = std::filesystem;

namespace orbench {

bool IsRunFilePath(const std::string& RelativePath)
{
    return ClassifyRunFile(fs::path(RelativePath).filename().string()) != TRunFileKind::rfOther;
}

namespace {

// The folders below Root (with a trailing '/', "" for Root itself) that hold a manifest: Root, then
// its folders in the order of their names. A folder that is a link is not one of them.
std::vector<std::string> ManifestFolders(const std::string& Root)
{
    std::vector<std::string> Folders;
    if (PathExists(Root + ManifestFileName)) Folders.push_back("");
    std::vector<std::string> Below;
    std::error_code Ec;
    for (fs::directory_iterator It(Root, Ec), End; !Ec && It != End; It.increment(Ec)) {
        std::error_code EntryEc;
        if (!fs::is_directory(It->symlink_status(EntryEc))) continue;
        const std::string Name = It->path().filename().string();
        if (PathExists(Root + Name + "/" + ManifestFileName)) Below.push_back(Name + "/");
    }
    if (Ec) throw EOrbenchError("Cannot list the directory \"" + Root + "\": " + Ec.message());
    std::sort(Below.begin(), Below.end());
    Folders.insert(Folders.end(), Below.begin(), Below.end());
    return Folders;
}

class TDirectory {
public:
    explicit TDirectory(const std::string& Path) : FFd(::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (FFd < 0) throw EOrbenchError(Path + ": " + std::strerror(errno));
    }
    ~TDirectory() { ::close(FFd); }
    TDirectory(const TDirectory&) = delete;
    TDirectory& operator=(const TDirectory&) = delete;
    int Fd() const { return FFd; }

private:
    int FFd;
};

}  // namespace

TVerification VerifyManifest(const std::string& RootDirectory, const TRunFileTest& IsRunFile)
{
    const std::string Root = IncludeTrailingPathDelimiter(RootDirectory);
    if (!DirectoryExists(Root)) throw EOrbenchError(RootDirectory + ": File does not exist!");
    const std::vector<std::string> Folders = ManifestFolders(Root);
    if (Folders.empty()) throw EOrbenchError(RootDirectory + ": no " + ManifestFileName + " in it or in its folders");
    const TDirectory RootDir(Root);
    TVerification Result;
    std::set<std::string> Listed;
    for (const std::string& Folder : Folders) {
        const std::string Source = Root + Folder + ManifestFileName;
        const TFileBelow ManifestFile = OpenRegularFileBelow(RootDir.Fd(), Folder + ManifestFileName);
        if (!ManifestFile.Kind.empty())
            throw EOrbenchError(Source + ": not a regular file (" + ManifestFile.Kind + ")");
        const TManifest Manifest = ManifestFromJson(ReadAllFromFd(ManifestFile.Fd, Source), Source);
        ++Result.NumManifests;
        for (const TManifestFile& F : Manifest.Files) {
            const std::string Path = Folder + F.Path;
            ++Result.NumListed;
            Listed.insert(Path);
            const TFileBelow File = OpenRegularFileBelow(RootDir.Fd(), Path);
            if (File.Kind == "missing")
                Result.Missing.push_back(Path);
            else if (!File.Kind.empty())
                Result.NotRegular.push_back(Path + " (" + File.Kind + ")");
            else if (Sha256HexOfFd(File.Fd, Root + Path) != F.Sha256)
                Result.Changed.push_back(Path);
        }
    }
    // The tree, without following links: a link that could stand for files of a run (by its name,
    // or leading to a folder) is reported itself.
    fs::path RootPath = fs::path(RootDirectory).lexically_normal();
    if (!RootPath.has_filename()) RootPath = RootPath.parent_path();  // a trailing '/'
    std::error_code Ec;
    for (fs::recursive_directory_iterator It(RootDirectory, Ec), End; !Ec && It != End; It.increment(Ec)) {
        std::error_code EntryEc;
        const fs::file_status Status = It->symlink_status(EntryEc);
        const std::string Path = It->path().lexically_normal().lexically_relative(RootPath).generic_string();
        if (It->path().filename() == ManifestFileName || Listed.count(Path) != 0) continue;
        if (fs::is_symlink(Status)) {
            if (IsRunFile(Path) || fs::is_directory(It->status(EntryEc)))
                Result.Unlisted.push_back(Path + " (a symbolic link)");
            continue;
        }
        if (fs::is_regular_file(Status) && IsRunFile(Path)) Result.Unlisted.push_back(Path);
    }
    if (Ec) throw EOrbenchError("Cannot list the directory \"" + RootDirectory + "\": " + Ec.message());
    std::sort(Result.Unlisted.begin(), Result.Unlisted.end());
    return Result;
}

}  // namespace orbench
