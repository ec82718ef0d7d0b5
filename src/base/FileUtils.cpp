#include "FileUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OrbenchError.h"
#include "TextUtils.h"

namespace fs = std::filesystem;

namespace orbench {

namespace {

constexpr int TemporaryNameAttempts = 100;
constexpr std::size_t TagLength = 12;

// What a file's mode stands for when it is no regular file.
const char* ModeKindText(mode_t Mode)
{
    return S_ISDIR(Mode)    ? "a directory"
           : S_ISLNK(Mode)  ? "a symbolic link"
           : S_ISFIFO(Mode) ? "a fifo"
           : S_ISCHR(Mode)  ? "a character device"
           : S_ISBLK(Mode)  ? "a block device"
           : S_ISSOCK(Mode) ? "a socket"
                            : "not a file";
}

// NonRegularFileKind of Name in the folder Dir (AT_FDCWD: Name is a path).
std::string NonRegularFileKindAt(int Dir, const std::string& Name)
{
    struct stat Status {};
    if (::fstatat(Dir, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(Status.st_mode)) return "";
    return ModeKindText(Status.st_mode);
}

// RenameOverRegularFile for the names From and To in the folder Dir (AT_FDCWD: paths).
bool RenameOverRegularFileAt(int Dir, const std::string& From, const std::string& To, std::string& Reason)
{
    // Onto nothing: one step that replaces nothing, whatever appears at To meanwhile. Where the file
    // system cannot promise that, or something is there, only a regular file is replaced.
    if (::renameat2(Dir, From.c_str(), Dir, To.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) {
        Reason = std::strerror(errno);
        return false;
    }
    const std::string Kind = NonRegularFileKindAt(Dir, To);
    if (!Kind.empty()) {
        Reason = "the target is " + Kind;
        return false;
    }
    if (::renameat(Dir, From.c_str(), Dir, To.c_str()) == 0) return true;
    Reason = std::strerror(errno);
    return false;
}

// WriteFileStreamed of the file Name in the folder Dir (AT_FDCWD: Name is a path); errors name
// the file as ShownFolder followed by Name.
void WriteFileStreamedAt(int Dir, const std::string& Name, const std::string& ShownFolder,
                         const std::function<void(const TWriteSink& Put)>& Write,
                         const std::function<std::string()>& NextTag);

// Twelve letters and digits from the system's random source (never from the program's seeded
// generator, whose sequence the instances depend on).
std::string RandomTag()
{
    static const char Chars[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    thread_local std::mt19937_64 Engine = [] {
        std::random_device Device;
        std::seed_seq Seed{Device(), Device(), Device(), Device()};
        return std::mt19937_64(Seed);
    }();
    std::uniform_int_distribution<std::size_t> Pick(0, sizeof Chars - 2);
    std::string Tag(TagLength, '0');
    for (char& Ch : Tag) Ch = Chars[Pick(Engine)];
    return Tag;
}

// Writes all of the Size bytes to the open file Fd; 0 or the error number.
int WriteAll(int Fd, const char* Data, std::size_t Size)
{
    std::size_t Left = Size;
    while (Left > 0) {
        const ssize_t Written = ::write(Fd, Data, Left);
        if (Written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        Data += Written;
        Left -= static_cast<std::size_t>(Written);
    }
    return 0;
}

}  // namespace

void RequireRegularInputFile(const std::string& FileName)
{
    struct stat Status {};
    if (::stat(FileName.c_str(), &Status) != 0) throw EOrbenchError(FileName + ": File does not exist!");
    if (S_ISREG(Status.st_mode)) return;
    throw EOrbenchError(FileName + ": not a regular file (" + ModeKindText(Status.st_mode) + ")");
}

std::string NonRegularFileKind(const std::string& Path) { return NonRegularFileKindAt(AT_FDCWD, Path); }

void ForEachTextFileLine(const std::string& FileName, const TLineEvent& OnLine, const TBytesReadEvent& OnBytes)
{
    RequireRegularInputFile(FileName);
    std::ifstream In(FileName, std::ios::binary);
    if (!In) throw EOrbenchError(FileName + ": cannot be opened: " + std::strerror(errno));

    std::string Line;
    int LineNumber = 1;
    bool AfterCR = false;  // an LF right after a CR belongs to that line end
    char Buffer[1 << 16];
    for (;;) {
        In.read(Buffer, sizeof Buffer);
        const std::streamsize Count = In.gcount();
        if (Count <= 0) break;
        if (OnBytes) OnBytes(Buffer, static_cast<std::size_t>(Count));
        for (std::streamsize i = 0; i < Count; ++i) {
            const char Ch = Buffer[i];
            if (Ch == '\n' && AfterCR) {
                AfterCR = false;
                continue;
            }
            AfterCR = Ch == '\r';
            if (Ch == '\n' || Ch == '\r') {
                if (!OnLine(Line, LineNumber++)) return;
                Line.clear();
                continue;
            }
            if (Line.size() >= MaxInputLineLength)
                throw FileLineError(FileName, LineNumber,
                                    "the line is longer than " + std::to_string(MaxInputLineLength) + " bytes (1 MB)");
            Line += Ch;
        }
    }
    if (In.bad()) throw EOrbenchError(FileName + ": cannot be read");
    if (!Line.empty()) OnLine(Line, LineNumber);
}

std::vector<std::string> ReadTextFileLines(const std::string& FileName, const TBytesReadEvent& OnBytes)
{
    std::vector<std::string> Lines;
    ForEachTextFileLine(
        FileName,
        [&Lines](const std::string& Line, int) {
            Lines.push_back(Line);
            return true;
        },
        OnBytes);
    return Lines;
}

void AppendLine(std::string& Content, const std::string& Line)
{
    Content += Line;
    Content += "\r\n";
}

std::string TemporaryFileName(const std::string& FileName, const std::string& Tag)
{
    const std::size_t Slash = FileName.rfind('/');
    const std::size_t Start = Slash == std::string::npos ? 0 : Slash + 1;
    const std::size_t Base = std::min(FileName.size() - Start, MaxTemporaryBaseLength);
    std::string Name;
    Name.reserve(Start + Base + Tag.size() + 8);
    Name.append(FileName, 0, Start);
    Name += '.';
    Name.append(FileName, Start, Base);
    Name += '.';
    Name += Tag;
    Name += ".part~";
    return Name;
}

void WriteTextFile(const std::string& FileName, const std::string& Content)
{
    WriteTextFile(FileName, Content, RandomTag);
}

void WriteTextFile(const std::string& FileName, const std::string& Content, const std::function<std::string()>& NextTag)
{
    WriteFileStreamed(
        FileName, [&Content](const TWriteSink& Put) { Put(Content.data(), Content.size()); }, NextTag);
}

void WriteFileStreamed(const std::string& FileName, const std::function<void(const TWriteSink& Put)>& Write)
{
    WriteFileStreamed(FileName, Write, RandomTag);
}

void WriteFileStreamed(const std::string& FileName, const std::function<void(const TWriteSink& Put)>& Write,
                       const std::function<std::string()>& NextTag)
{
    WriteFileStreamedAt(AT_FDCWD, FileName, "", Write, NextTag);
}

namespace {

void WriteFileStreamedAt(int Dir, const std::string& Name, const std::string& ShownFolder,
                         const std::function<void(const TWriteSink& Put)>& Write,
                         const std::function<std::string()>& NextTag)
{
    if (Name.empty()) throw EOutputError("the name of the file to write is empty");
    const std::string Shown = ShownFolder + Name;
    // O_EXCL with O_CREAT never opens what is already there, a link included; the writer takes
    // another name then.
    std::string TempName;
    int Fd = -1;
    for (int Attempt = 0; Fd < 0; ++Attempt) {
        if (Attempt == TemporaryNameAttempts) throw EOutputError(Shown + ": no unused temporary name found beside it");
        TempName = TemporaryFileName(Name, NextTag());
        Fd = ::openat(Dir, TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Fd < 0 && errno != EEXIST) throw EOutputError(Shown + ": " + std::strerror(errno));
    }
    // Whatever ends the writing early (a write error, the writer's own exception) removes the
    // temporary file and leaves the target as it was.
    try {
        Write([Fd, &Shown](const char* Bytes, std::size_t Size) {
            if (const int Errno = WriteAll(Fd, Bytes, Size); Errno != 0)
                throw EOutputError(Shown + ": " + std::strerror(Errno));
        });
    } catch (...) {
        ::close(Fd);
        ::unlinkat(Dir, TempName.c_str(), 0);
        throw;
    }
    if (::close(Fd) != 0) {
        const int Errno = errno;
        ::unlinkat(Dir, TempName.c_str(), 0);
        throw EOutputError(Shown + ": " + std::strerror(Errno));
    }
    std::string Reason;
    if (!RenameOverRegularFileAt(Dir, TempName, Name, Reason)) {
        ::unlinkat(Dir, TempName.c_str(), 0);
        throw EOutputError(
            Shown + ": " +
            (Reason.starts_with("the target is ") ? "not a regular file (" + Reason.substr(14) + ")" : Reason));
    }
}

}  // namespace

bool RenameOverRegularFile(const std::string& From, const std::string& To, std::string& Reason)
{
    return RenameOverRegularFileAt(AT_FDCWD, From, To, Reason);
}

TOutputFolder::TOutputFolder(const std::string& DirName)
    : FPath(IncludeTrailingPathDelimiter(DirName)), FDir(::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    // A folder that cannot be opened (one without read permission) is written to by its path.
    if (FDir < 0) FPrefix = FPath;
}

TOutputFolder::~TOutputFolder()
{
    if (FDir >= 0) ::close(FDir);
}

void TOutputFolder::WriteTextFile(const std::string& Name, const std::string& Content) const
{
    const auto Put = [&Content](const TWriteSink& Sink) { Sink(Content.data(), Content.size()); };
    if (FPrefix.empty())
        WriteFileStreamedAt(FDir, Name, FPath, Put, RandomTag);
    else
        WriteFileStreamedAt(AT_FDCWD, FPrefix + Name, "", Put, RandomTag);
}

bool TOutputFolder::RenameOverRegularFile(const std::string& From, const std::string& To, std::string& Reason) const
{
    if (FPrefix.empty()) return RenameOverRegularFileAt(FDir, From, To, Reason);
    return RenameOverRegularFileAt(AT_FDCWD, FPrefix + From, FPrefix + To, Reason);
}

TFileBelow OpenRegularFileBelow(int RootFd, const std::string& RelativePath)
{
    TFileBelow Result;
    int Dir = RootFd;
    std::size_t Start = 0;
    const auto CloseDir = [&Dir, RootFd] {
        if (Dir != RootFd) ::close(Dir);
    };
    for (std::size_t Slash; (Slash = RelativePath.find('/', Start)) != std::string::npos; Start = Slash + 1) {
        const std::string Step = RelativePath.substr(Start, Slash - Start);
        struct stat Status {};
        const bool Found = ::fstatat(Dir, Step.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!Found || !S_ISDIR(Status.st_mode)) {
            Result.Kind = !Found ? "missing"
                                 : std::string(ModeKindText(Status.st_mode)) + " on the way (" +
                                       RelativePath.substr(0, Slash) + ")";
            CloseDir();
            return Result;
        }
        const int Next = ::openat(Dir, Step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (Next < 0) {
            Result.Kind = "not a folder on the way (" + RelativePath.substr(0, Slash) + ")";
            CloseDir();
            return Result;
        }
        CloseDir();
        Dir = Next;
    }
    const std::string Name = RelativePath.substr(Start);
    struct stat Status {};
    if (::fstatat(Dir, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0) {
        Result.Kind = "missing";
    } else if (!S_ISREG(Status.st_mode)) {
        Result.Kind = ModeKindText(Status.st_mode);
    } else {
        // O_NONBLOCK: should a fifo have taken the file's place since, opening it does not wait.
        Result.Fd = ::openat(Dir, Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat Opened {};
        if (Result.Fd >= 0 && (::fstat(Result.Fd, &Opened) != 0 || !S_ISREG(Opened.st_mode))) {
            ::close(Result.Fd);
            Result.Fd = -1;
            Result.Kind = ModeKindText(Opened.st_mode);
        } else if (Result.Fd < 0) {
            const std::string Reason = std::strerror(errno);
            CloseDir();
            throw EOrbenchError(RelativePath + ": " + Reason);
        }
    }
    CloseDir();
    return Result;
}

int ReadFdInChunks(int Fd, const std::function<void(const char* Bytes, std::size_t Size)>& Take)
{
    char Buffer[65536];
    for (;;) {
        const ssize_t Read = ::read(Fd, Buffer, sizeof Buffer);
        if (Read == 0) break;
        if (Read < 0) {
            if (errno == EINTR) continue;
            const int Error = errno;
            ::close(Fd);
            return Error;
        }
        Take(Buffer, static_cast<std::size_t>(Read));
    }
    ::close(Fd);
    return 0;
}

std::string ReadAllFromFd(int Fd, const std::string& Source)
{
    std::string Content;
    const int Error =
        ReadFdInChunks(Fd, [&Content](const char* Bytes, std::size_t Size) { Content.append(Bytes, Size); });
    if (Error != 0) throw EOrbenchError(Source + ": " + std::strerror(Error));
    return Content;
}

void TOutputFolder::RemoveRegularFile(const std::string& Name) const
{
    const int At = FPrefix.empty() ? FDir : AT_FDCWD;
    const std::string Path = FPrefix + Name;
    struct stat Status {};
    if (::fstatat(At, Path.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(Status.st_mode)) return;
    if (::unlinkat(At, Path.c_str(), 0) != 0) throw EOutputError(FPath + Name + ": " + std::strerror(errno));
}

bool FileExists(const std::string& FileName)
{
    std::error_code Ec;
    return fs::exists(FileName, Ec) && !fs::is_directory(FileName, Ec);
}

bool PathExists(const std::string& Path)
{
    std::error_code Ec;
    return fs::exists(fs::symlink_status(Path, Ec));
}

bool DirectoryExists(const std::string& DirName)
{
    std::error_code Ec;
    return fs::is_directory(DirName, Ec);
}

void ForceDirectories(const std::string& DirName)
{
    if (DirName.empty() || DirectoryExists(DirName)) return;
    std::error_code Ec;
    fs::create_directories(DirName, Ec);
    if (Ec || !DirectoryExists(DirName))
        throw EOutputError(DirName + ": " + (Ec ? Ec.message() : std::string("cannot be created as a folder")));
}

std::string IncludeTrailingPathDelimiter(const std::string& DirName)
{
    if (!DirName.empty() && DirName.back() == '/') return DirName;
    return DirName + "/";
}

std::string FileNameWithoutExtension(const std::string& FileName)
{
    const std::size_t Slash = FileName.rfind('/');
    std::string Name = Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    const std::size_t Dot = Name.rfind('.');
    if (Dot != std::string::npos) Name.erase(Dot);
    return Name;
}

bool IsUsableFolderName(const std::string& Name)
{
    if (Name.empty() || Name == "." || Name == "..") return false;
    return std::none_of(Name.begin(), Name.end(), [](char Ch) {
        const unsigned char C = static_cast<unsigned char>(Ch);
        return C == '/' || C < 0x20 || C == 0x7f;
    });
}

std::string ExecutableDirectory()
{
    std::error_code Ec;
    const fs::path Exe = fs::read_symlink("/proc/self/exe", Ec);
    if (Ec) return IncludeTrailingPathDelimiter(fs::current_path(Ec).string());
    return IncludeTrailingPathDelimiter(Exe.parent_path().string());
}

std::vector<std::string> ListCaseMixFiles(const std::string& DirName)
{
    std::vector<std::string> Names;
    std::error_code Ec;
    for (fs::directory_iterator It(DirName, Ec), End; !Ec && It != End; It.increment(Ec)) {
        const std::string Name = It->path().filename().string();
        if (Name.empty() || Name[0] == '.') continue;
        if (!It->is_regular_file(Ec)) continue;
        if (Name.size() < 4 || Name.compare(Name.size() - 4, 4, ".txt") != 0) continue;
        Names.push_back(Name);
    }
    std::stable_sort(Names.begin(), Names.end(), [](const std::string& A, const std::string& B) {
        const std::string La = LowerCaseAscii(A);
        const std::string Lb = LowerCaseAscii(B);
        return La != Lb ? La < Lb : A < B;
    });
    for (std::string& Name : Names) Name = IncludeTrailingPathDelimiter(DirName) + Name;
    return Names;
}

}  // namespace orbench
