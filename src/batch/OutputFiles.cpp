#include "OutputFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "FileUtils.h"

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

}  // namespace

TRunFileKind ClassifyRunFile(const std::string& FileName)
{
    const std::string Target = TemporaryFor(FileName);
    if (!Target.empty()) {
        // A very long name is cut in the temporary name; its beginning tells the kind then.
        const bool Cut = Target.size() == MaxTemporaryBaseLength &&
                         (StartsWith(Target, "ordays_") || StartsWith(Target, "REMOVE_ordays_") ||
                          StartsWith(Target, "overlap_") || StartsWith(Target, "proximity_"));
        const TRunFileKind Kind = ClassifyRunFile(Target);
        return Cut || (Kind != TRunFileKind::rfOther && Kind != TRunFileKind::rfTemporary) ? TRunFileKind::rfTemporary
                                                                                           : TRunFileKind::rfOther;
    }
    if (IsInstanceFileName(FileName)) return TRunFileKind::rfInstance;
    if (StartsWith(FileName, "REMOVE_") && IsInstanceFileName(FileName.substr(7))) return TRunFileKind::rfMarkedInstance;
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
        const fs::file_status Status = It->symlink_status(Ec);
        if (Ec) break;
        if (!fs::is_regular_file(Status) && !fs::is_symlink(Status)) continue;
        std::string Name = It->path().filename().string();
        if (ClassifyRunFile(Name) != TRunFileKind::rfOther) Names.push_back(std::move(Name));
    }
    if (Ec) throw EOutputError(DirName + ": " + Ec.message());
    std::sort(Names.begin(), Names.end());
    return Names;
}

EEarlierRunFiles::EEarlierRunFiles(const std::string& ADirectory, const std::vector<std::string>& AFiles)
    : EOrbenchError("The folder " + ADirectory + " already holds " + std::to_string(AFiles.size()) +
                    " file(s) of an earlier run (such as " + (AFiles.empty() ? std::string() : AFiles.front()) +
                    "); a new run would mix its files with them."),
      Directory(ADirectory),
      Files(AFiles)
{
}

void PrepareRunDirectories(const std::vector<std::string>& DirNames, bool Overwrite)
{
    std::vector<std::vector<std::string>> Found;
    for (const std::string& DirName : DirNames) {
        Found.push_back(ListRunFiles(DirName));
        if (!Overwrite && !Found.back().empty()) throw EEarlierRunFiles(DirName, Found.back());
    }
    for (std::size_t d = 0; d < DirNames.size(); ++d) {
        for (const std::string& Name : Found[d]) {
            const fs::path Path = fs::path(DirNames[d]) / Name;
            std::error_code Ec;
            if (!fs::remove(Path, Ec) && Ec) throw EOutputError(Path.string() + ": " + Ec.message());
        }
    }
}

}  // namespace orbench
