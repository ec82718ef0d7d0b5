#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orbench {

// The longest line an input file may hold, in bytes (1 MB).
constexpr std::size_t MaxInputLineLength = 1 << 20;

// The lines of a text file, without their line ends: CR LF, LF and a lone CR each end a line. A
// last line without a line end counts; a final line end does not start another line. Throws
// EOrbenchError naming the file when it is missing, is not a regular file (a directory, device or
// fifo) or cannot be read, and naming file and line for a line longer than MaxInputLineLength.
// OnBytes, when given, sees every piece of the file's bytes as it is read, in order.
using TBytesReadEvent = std::function<void(const char* Bytes, std::size_t Size)>;
std::vector<std::string> ReadTextFileLines(const std::string& FileName, const TBytesReadEvent& OnBytes = {});
// The same line by line, without keeping them: OnLine gets each line (without its end) and its
// number (from 1) and answers whether to go on. Memory stays that of one line.
using TLineEvent = std::function<bool(const std::string& Line, int LineNumber)>;
void ForEachTextFileLine(const std::string& FileName, const TLineEvent& OnLine, const TBytesReadEvent& OnBytes = {});

// Throws EOrbenchError "FILE: File does not exist!" or "FILE: not a regular file (...)" unless
// FileName names a regular file (a link to one counts).
void RequireRegularInputFile(const std::string& FileName);

// Appends Line and CR LF.
void AppendLine(std::string& Content, const std::string& Line);

// Creates or replaces FileName with Content. The content goes to a temporary file beside it, made
// afresh under an unused name (TemporaryFileName; never through a link that is already there),
// which then takes the final name; so neither a failed write nor a killed program ever leaves a
// half-written file under that name. Only a regular file (or nothing) is replaced: a folder, link,
// device or fifo at FileName is refused and left as it is. Throws EOutputError ("FILE: reason").
void WriteTextFile(const std::string& FileName, const std::string& Content);
// The same with the random parts of the temporary names taken from NextTag, one call per attempt.
void WriteTextFile(const std::string& FileName, const std::string& Content,
                   const std::function<std::string()>& NextTag);

// The same with the content handed over in pieces: Write calls Put for each piece, in order. Put
// throws EOutputError when a piece cannot be written; whatever Write throws ends the writing, and
// the temporary file is removed, so FileName is only ever replaced by a complete file.
using TWriteSink = std::function<void(const char* Bytes, std::size_t Size)>;
void WriteFileStreamed(const std::string& FileName, const std::function<void(const TWriteSink& Put)>& Write);
void WriteFileStreamed(const std::string& FileName, const std::function<void(const TWriteSink& Put)>& Write,
                       const std::function<std::string()>& NextTag);

// The longest piece of a file name that goes into the name of its temporary file.
constexpr std::size_t MaxTemporaryBaseLength = 200;

// The temporary name of FileName with the random part Tag: ".<name>.<Tag>.part~" in its folder,
// <name> cut to its first MaxTemporaryBaseLength bytes. The writer's tags are letters and digits.
std::string TemporaryFileName(const std::string& FileName, const std::string& Tag);

// A file below a folder, reached without following a symbolic link at any step.
struct TFileBelow {
    int Fd = -1;       // open for reading (the caller closes it) when Kind is empty
    std::string Kind;  // "" for a regular file; "missing"; else what stands at the path or on the
                       // way ("a symbolic link", "a fifo", "a symbolic link on the way (one)", ...)
};
// Opens RelativePath ('/' between folders) below the folder RootFd when every step is a folder
// and the last a regular file; a fifo or device is never opened. Throws EOrbenchError on other
// failures to open.
TFileBelow OpenRegularFileBelow(int RootFd, const std::string& RelativePath);
// The whole content of an open file descriptor (closed afterwards); Source names it in errors.
std::string ReadAllFromFd(int Fd, const std::string& Source);
// Reads Fd to its end in chunks handed to Take (a read cut short by a signal is retried), then
// closes it; returns 0, or the errno of a read that failed (Fd is closed then too).
int ReadFdInChunks(int Fd, const std::function<void(const char* Bytes, std::size_t Size)>& Take);

// What stands at Path when that is neither nothing nor a regular file, such as "a directory" or
// "a symbolic link" (a link is not followed); empty otherwise.
std::string NonRegularFileKind(const std::string& Path);

// Renames From to To when To is a regular file (then replaced) or nothing; otherwise, or when the
// rename fails, false with the reason ("the target is a directory", "No such file or directory").
bool RenameOverRegularFile(const std::string& From, const std::string& To, std::string& Reason);

// A folder written to by file names: opened once, so that each file operation looks up only the
// name. Files are written and renamed with the same guarantees as WriteTextFile and
// RenameOverRegularFile; messages name the files by the folder's path and the name.
class TOutputFolder {
public:
    explicit TOutputFolder(const std::string& DirName);
    ~TOutputFolder();
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;

    // The folder's path with a trailing '/'.
    const std::string& Path() const { return FPath; }
    // Name: a file name in the folder (no '/').
    void WriteTextFile(const std::string& Name, const std::string& Content) const;
    bool RenameOverRegularFile(const std::string& From, const std::string& To, std::string& Reason) const;
    // Deletes the regular file Name (nothing else of that name); nothing when there is none.
    // Throws EOutputError when it cannot be deleted.
    void RemoveRegularFile(const std::string& Name) const;

private:
    std::string FPath;
    int FDir;
    std::string FPrefix;  // empty, or the path when the folder could not be opened
};

// An existing file (not a directory).
bool FileExists(const std::string& FileName);
// Anything at that path (a file, directory, device, ...).
bool PathExists(const std::string& Path);
bool DirectoryExists(const std::string& DirName);
// Creates a directory with its missing parents; throws EOutputError ("DIR: reason") when that
// fails.
void ForceDirectories(const std::string& DirName);
// Dir with a '/' at its end.
std::string IncludeTrailingPathDelimiter(const std::string& DirName);

// The file name without its directory (only '/' separates directories) and with its extension
// (from the last '.') removed: /data/general.week.txt gives general.week.
std::string FileNameWithoutExtension(const std::string& FileName);

// Whether Name can be used as the name of one folder: not empty, not "." or "..", and without '/'
// or control characters.
bool IsUsableFolderName(const std::string& Name);

// The directory of the running executable, with a trailing '/'.
std::string ExecutableDirectory();

// The case mix files of a directory in reading order: ordinary, not hidden files whose names end
// exactly in ".txt" (lower case), sorted ascending by name ignoring letter case; full paths.
std::vector<std::string> ListCaseMixFiles(const std::string& DirName);

}  // namespace orbench
