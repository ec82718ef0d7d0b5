#pragma once

#include <string>
#include <vector>

namespace orbench {

// The lines of a text file, without their line ends (CR LF or LF). A last line without a line end
// counts; a final line end does not start another line. Throws EOrbenchError when the file
// cannot be read.
std::vector<std::string> ReadTextFileLines(const std::string& FileName);

// Appends Line and CR LF.
void AppendLine(std::string& Content, const std::string& Line);

// Creates or replaces FileName with Content. The content goes to a temporary file beside it that
// then takes its name, so a failed write never leaves a half-written file. Throws EOrbenchError.
void WriteTextFile(const std::string& FileName, const std::string& Content);

// An existing file (not a directory).
bool FileExists(const std::string& FileName);
bool DirectoryExists(const std::string& DirName);
// Creates a directory with its missing parents; throws EOrbenchError when that fails.
void ForceDirectories(const std::string& DirName);
// Dir with a '/' at its end.
std::string IncludeTrailingPathDelimiter(const std::string& DirName);

// The file name without its directory ('/' or '\') and with its extension (from the last '.')
// removed: /data/general.week.txt gives general.week.
std::string FileNameWithoutExtension(const std::string& FileName);

// The directory of the running executable, with a trailing '/'.
std::string ExecutableDirectory();

// The case mix files of a directory in reading order: ordinary, not hidden files whose names end
// exactly in ".txt" (lower case), sorted ascending by name ignoring letter case; full paths.
std::vector<std::string> ListCaseMixFiles(const std::string& DirName);

}  // namespace orbench
