#include "OutputFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "FileUtils.h"
#include "Manifest.h"

namespace fs = std::filesystem;

namespace orbench {

namespace {

bool StartsWith(const std::string& Text, const std::string& Prefix) { return Text.rfind(Prefix, 0) == 0; }

bool EndsWith(const std::string& Text, const std::string& Suffix)
{
    return Text.size() >= Suffix.size() && Text.compare(Text.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
}

// ordays_ * _load_ * .txt, each * possibly empty.
bool IsInstanceFileName(const std::string& Name)
{
    const std::string Prefix = "ordays_", Middle = "_load_", Suffix = ".txt";
    if (!StartsWith(Name, Prefix) || !EndsWith(Name, Suffix)) return false;
    const std::size_t Pos = Name.find(Middle, Prefix.size());
    return Pos != std::string::npos && Pos + Middle.size() + Suffix.size() <= Name.size();
}

bool IsTag(const std::string& Text)
{
    return !Text.empty() &&
           std::all_of(Text.begin(), Text.end(), [](char Ch) { return std::isalnum(static_cast<unsigned char>(Ch)); });
}

// The name a temporary file stands for, from ".<name>.<tag>.part~" or "<name>.part~"; empty when
// FileName is no such name.
std::string TemporaryFor(const std::string& FileName)
{
    const std::string Suffix = ".part~";
    if (!EndsWith(FileName, Suffix)) return "";
    const std::string Stem = FileName.substr(0, FileName.size() - Suffix.size());
    if (!StartsWith(Stem, ".")) return Stem;
    const std::size_t Dot = Stem.rfind('.');
    if (Dot == 0 || !IsTag(Stem.substr(Dot + 1))) return "";
    return Stem.substr(1, Dot - 1);
}

// The name without its REMOVE_ prefixes (a run marks a file once; a file marked again by hand or by
// an earlier version still belongs to a run).
std::string WithoutMarks(const std::string& Name)
{
    std::size_t At = 0;
    while (Name.compare(At, 7, "REMOVE_") == 0) At += 7;
    return Name.substr(At);
}

}  // namespace

TRunFileKind ClassifyRunFile(const std::string& FileName)
{
    const std::string Target = TemporaryFor(FileName);
    if (!Target.empty()) {
        // A very long name is cut in the temporary name; its beginning tells the kind then.
        const std::string Unmarked = WithoutMarks(Target);
        const bool Cut =
            Target.size() == MaxTemporaryBaseLength &&
            (StartsWith(Unmarked, "ordays_") || StartsWith(Target, "overlap_") || StartsWith(Target, "proximity_"));
        const TRunFileKind Kind = ClassifyRunFile(Target);
        return Cut || (Kind != TRunFileKind::rfOther && Kind != TRunFileKind::rfTemporary) ? TRunFileKind::rfTemporary
                                                                                           : TRunFileKind::rfOther;
    }
    if (IsInstanceFileName(FileName)) return TRunFileKind::rfInstance;
    if (StartsWith(FileName, "REMOVE_") && IsInstanceFileName(WithoutMarks(FileName)))
        return TRunFileKind::rfMarkedInstance;
    if (!EndsWith(FileName, ".txt")) return TRunFileKind::rfOther;
    if (StartsWith(FileName, "overlap_")) return TRunFileKind::rfOverlapReport;
    if (StartsWith(FileName, "proximity_")) return TRunFileKind::rfProximityReport;
    return TRunFileKind::rfOther;
}

std::vector<std::string> ListRunFiles(const std::string& DirName)
{
    std::vector<std::string> Names;
    std::error_code Ec;
    if (!fs::is_directory(DirName, Ec)) return Names;
    fs::directory_iterator It(DirName, Ec);
    for (; !Ec && It != fs::directory_iterator(); It.increment(Ec)) {
        std::error_code EntryEc;
        const fs::file_status Status = It->symlink_status(EntryEc);
        if (EntryEc == std::errc::no_such_file_or_directory) continue;  // gone meanwhile (another run's temporary file)
        if (EntryEc) {
            Ec = EntryEc;
            break;
        }
        if (!fs::is_regular_file(Status) && !fs::is_symlink(Status)) continue;
        std::string Name = It->path().filename().string();
        if (ClassifyRunFile(Name) != TRunFileKind::rfOther) Names.push_back(std::move(Name));
    }
    if (Ec) throw EOutputError(DirName + ": " + Ec.message());
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::vector<std::string> ListEarlierRunFiles(const std::string& DirName)
{
    std::vector<std::string> Names = ListRunFiles(DirName);
    if (PathExists(IncludeTrailingPathDelimiter(DirName) + ManifestFileName)) {
        Names.push_back(ManifestFileName);
        std::sort(Names.begin(), Names.end());
    }
    return Names;
}

namespace {

std::string EarlierRunListing(const std::vector<TEarlierRunFolder>& Folders)
{
    std::string Text;
    for (const TEarlierRunFolder& Folder : Folders)
        Text += (Text.empty() ? "" : "; ") + Folder.Directory + " already holds " +
                std::to_string(Folder.Files.size()) + " file(s) of an earlier run (such as " +
                (Folder.Files.empty() ? std::string() : Folder.Files.front()) + ")";
    return Text;
}

}  // namespace

EEarlierRunFiles::EEarlierRunFiles(std::vector<TEarlierRunFolder> AFolders)
    : EOrbenchError(EarlierRunListing(AFolders) + "; a new run would mix its files with them."),
      Folders(std::move(AFolders))
{}

std::string EEarlierRunFiles::Listing() const { return EarlierRunListing(Folders); }

void PrepareRunDirectories(const std::vector<std::string>& DirNames, bool Overwrite)
{
    std::vector<TEarlierRunFolder> Found;
    for (const std::string& DirName : DirNames) {
        std::vector<std::string> Files = ListEarlierRunFiles(DirName);
        if (!Files.empty()) Found.push_back({DirName, std::move(Files)});
    }
    if (Found.empty()) return;
    if (!Overwrite) throw EEarlierRunFiles(std::move(Found));
    for (const TEarlierRunFolder& Folder : Found) {
        for (const std::string& Name : Folder.Files) {
            const fs::path Path = fs::path(Folder.Directory) / Name;
            std::error_code Ec;
            if (!fs::remove(Path, Ec) && Ec) throw EOutputError(Path.string() + ": " + Ec.message());
        }
    }
}

ERunInProgress::ERunInProgress(const std::string& AFolder)
    : EOrbenchError("The folder " + AFolder +
                    " is being written by another run; wait for it to end (or choose "
                    "another output folder)."),
      Folder(AFolder)
{}

namespace {

// The byte of a case-mix name in the lock file: FNV-1a, kept to positive offsets.
off_t LockOffset(const std::string& Name)
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const char Ch : Name) {
        Hash ^= static_cast<unsigned char>(Ch);
        Hash *= 1099511628211ull;
    }
    return static_cast<off_t>(Hash >> 2);
}

}  // namespace

TRunLocks::TRunLocks(const std::string& BaseDirectory, const std::vector<std::string>& CaseMixNames)
{
    const std::string Base = BaseDirectory.empty() ? "./" : IncludeTrailingPathDelimiter(BaseDirectory);
    ForceDirectories(Base);
    const std::string LockFile = Base + RunLockFileName;
    FFd = ::open(LockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (FFd < 0) throw EOutputError(LockFile + ": " + std::strerror(errno));
    for (const std::string& Name : CaseMixNames) {
        struct flock Lock {};
        Lock.l_type = F_WRLCK;
        Lock.l_whence = SEEK_SET;
        Lock.l_start = LockOffset(Name);
        Lock.l_len = 1;
        if (::fcntl(FFd, F_OFD_SETLK, &Lock) == 0) continue;
        const int Error = errno;
        ::close(FFd);
        if (Error == EAGAIN || Error == EACCES) throw ERunInProgress(IncludeTrailingPathDelimiter(Base + Name));
        throw EOutputError(LockFile + ": " + std::strerror(Error));
    }
}

TRunLocks::~TRunLocks() { ::close(FFd); }

}  // namespace orbench
