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

// Throws EOrbenchError "FILE: File does not exist!" or "FILE: not a regular file (...)" unless
// FileName names a regular file (a link to one counts).
void RequireRegularInputFile(const std::string& FileName);

// Appends Line and CR LF.
void AppendLine(std::string& Content, const std::string& Line);

// Creates or replaces FileName with Content. The content goes to a temporary file beside it that
// then takes its name, so a failed write never leaves a half-written file. Throws EOutputError
// ("FILE: reason").
void WriteTextFile(const std::string& FileName, const std::string& Content);

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
