#include "FileUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "OrbenchError.h"
#include "TextUtils.h"

namespace fs = std::filesystem;

namespace orbench {

std::vector<std::string> ReadTextFileLines(const std::string& FileName)
{
    std::ifstream In(FileName, std::ios::binary);
    if (!In || DirectoryExists(FileName))
        throw EOrbenchError("Cannot open file \"" + FileName + "\" for reading: " +
                            (DirectoryExists(FileName) ? std::string("it is a directory") : std::strerror(errno)));
    std::ostringstream Buffer;
    Buffer << In.rdbuf();
    if (In.bad()) throw EOrbenchError("Cannot read file \"" + FileName + "\"");
    const std::string Content = Buffer.str();

    std::vector<std::string> Lines;
    std::size_t Start = 0;
    while (Start < Content.size()) {
        std::size_t End = Content.find('\n', Start);
        const std::size_t Next = End == std::string::npos ? Content.size() : End + 1;
        if (End == std::string::npos) End = Content.size();
        if (End > Start && Content[End - 1] == '\r') --End;
        Lines.push_back(Content.substr(Start, End - Start));
        Start = Next;
    }
    return Lines;
}

void AppendLine(std::string& Content, const std::string& Line)
{
    Content += Line;
    Content += "\r\n";
}

void WriteTextFile(const std::string& FileName, const std::string& Content)
{
    const std::string TempName = FileName + ".part~";
    std::FILE* File = std::fopen(TempName.c_str(), "wb");
    if (File == nullptr)
        throw EOrbenchError("Cannot write file \"" + FileName + "\": " + std::strerror(errno));
    const bool Written = std::fwrite(Content.data(), 1, Content.size(), File) == Content.size();
    const int WriteErrno = errno;
    const bool Closed = std::fclose(File) == 0;
    if (!Written || !Closed) {
        const int Errno = Written ? errno : WriteErrno;
        std::remove(TempName.c_str());
        throw EOrbenchError("Cannot write file \"" + FileName + "\": " + std::strerror(Errno));
    }
    if (std::rename(TempName.c_str(), FileName.c_str()) != 0) {
        const int Errno = errno;
        std::remove(TempName.c_str());
        throw EOrbenchError("Cannot write file \"" + FileName + "\": " + std::strerror(Errno));
    }
}

bool FileExists(const std::string& FileName)
{
    std::error_code Ec;
    return fs::exists(FileName, Ec) && !fs::is_directory(FileName, Ec);
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
        throw EOrbenchError("Cannot create directory \"" + DirName + "\": " +
                            (Ec ? Ec.message() : std::string("a file of that name exists")));
}

std::string IncludeTrailingPathDelimiter(const std::string& DirName)
{
    if (!DirName.empty() && DirName.back() == '/') return DirName;
    return DirName + "/";
}

std::string FileNameWithoutExtension(const std::string& FileName)
{
    const std::size_t Slash = FileName.find_last_of("/\\");
    std::string Name = Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    const std::size_t Dot = Name.rfind('.');
    if (Dot != std::string::npos) Name.erase(Dot);
    return Name;
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
