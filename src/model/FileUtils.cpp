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

void RequireRegularInputFile(const std::string& FileName)
{
    std::error_code Ec;
    const fs::file_status Status = fs::status(FileName, Ec);
    if (!fs::exists(Status)) throw EOrbenchError(FileName + ": File does not exist!");
    if (fs::is_regular_file(Status)) return;
    const char* What = fs::is_directory(Status)       ? "a directory"
                       : fs::is_fifo(Status)          ? "a fifo"
                       : fs::is_character_file(Status) ? "a character device"
                       : fs::is_block_file(Status)     ? "a block device"
                       : fs::is_socket(Status)         ? "a socket"
                                                       : "not a file";
    throw EOrbenchError(FileName + ": not a regular file (" + What + ")");
}

std::vector<std::string> ReadTextFileLines(const std::string& FileName, const TBytesReadEvent& OnBytes)
{
    RequireRegularInputFile(FileName);
    std::ifstream In(FileName, std::ios::binary);
    if (!In) throw EOrbenchError(FileName + ": cannot be opened: " + std::strerror(errno));

    std::vector<std::string> Lines;
    std::string Line;
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
                Lines.push_back(std::move(Line));
                Line.clear();
                continue;
            }
            if (Line.size() >= MaxInputLineLength)
                throw FileLineError(FileName, static_cast<int>(Lines.size()) + 1,
                                    "the line is longer than " + std::to_string(MaxInputLineLength) + " bytes (1 MB)");
            Line += Ch;
        }
    }
    if (In.bad()) throw EOrbenchError(FileName + ": cannot be read");
    if (!Line.empty()) Lines.push_back(std::move(Line));
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
    if (File == nullptr) throw EOutputError(FileName + ": " + std::strerror(errno));
    const bool Written = std::fwrite(Content.data(), 1, Content.size(), File) == Content.size();
    const int WriteErrno = errno;
    const bool Closed = std::fclose(File) == 0;
    if (!Written || !Closed) {
        const int Errno = Written ? errno : WriteErrno;
        std::remove(TempName.c_str());
        throw EOutputError(FileName + ": " + std::strerror(Errno));
    }
    if (std::rename(TempName.c_str(), FileName.c_str()) != 0) {
        const int Errno = errno;
        std::remove(TempName.c_str());
        throw EOutputError(FileName + ": " + std::strerror(Errno));
    }
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
