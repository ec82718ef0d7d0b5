#include "ManifestVerify.h"

#include <algorithm>
#include <filesystem>
#include <set>

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
// its folders in the order of their names.
std::vector<std::string> ManifestFolders(const std::string& Root)
{
    std::vector<std::string> Folders;
    if (PathExists(Root + ManifestFileName)) Folders.push_back("");
    std::vector<std::string> Below;
    std::error_code Ec;
    for (fs::directory_iterator It(Root, Ec), End; !Ec && It != End; It.increment(Ec)) {
        std::error_code EntryEc;
        if (!It->is_directory(EntryEc)) continue;
        const std::string Name = It->path().filename().string();
        if (PathExists(Root + Name + "/" + ManifestFileName)) Below.push_back(Name + "/");
    }
    if (Ec) throw EOrbenchError("Cannot list the directory \"" + Root + "\": " + Ec.message());
    std::sort(Below.begin(), Below.end());
    Folders.insert(Folders.end(), Below.begin(), Below.end());
    return Folders;
}

}  // namespace

TVerification VerifyManifest(const std::string& RootDirectory, const TRunFileTest& IsRunFile)
{
    const std::string Root = IncludeTrailingPathDelimiter(RootDirectory);
    if (!DirectoryExists(Root)) throw EOrbenchError(RootDirectory + ": File does not exist!");
    const std::vector<std::string> Folders = ManifestFolders(Root);
    if (Folders.empty())
        throw EOrbenchError(RootDirectory + ": no " + ManifestFileName + " in it or in its folders");
    TVerification Result;
    std::set<std::string> Listed;
    for (const std::string& Folder : Folders) {
        const TManifest Manifest = ReadManifest(Root + Folder);
        ++Result.NumManifests;
        for (const TManifestFile& F : Manifest.Files) {
            const std::string Path = Folder + F.Path;
            ++Result.NumListed;
            Listed.insert(Path);
            const std::string FileName = Root + Path;
            if (!FileExists(FileName))
                Result.Missing.push_back(Path);
            else if (Sha256HexOfFile(FileName) != F.Sha256)
                Result.Changed.push_back(Path);
        }
    }
    fs::path RootPath = fs::path(RootDirectory).lexically_normal();
    if (!RootPath.has_filename()) RootPath = RootPath.parent_path();  // a trailing '/'
    std::error_code Ec;
    for (fs::recursive_directory_iterator It(RootDirectory, Ec), End; !Ec && It != End; It.increment(Ec)) {
        std::error_code EntryEc;
        if (!It->is_regular_file(EntryEc)) continue;
        const std::string Path = It->path().lexically_normal().lexically_relative(RootPath).generic_string();
        if (It->path().filename() == ManifestFileName || Listed.count(Path) != 0) continue;
        if (IsRunFile(Path)) Result.Unlisted.push_back(Path);
    }
    if (Ec) throw EOrbenchError("Cannot list the directory \"" + RootDirectory + "\": " + Ec.message());
    std::sort(Result.Unlisted.begin(), Result.Unlisted.end());
    return Result;
}

}  // namespace orbench
