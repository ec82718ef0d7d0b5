#include "TestHelpers.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace orbench::testing {

TTempDir::TTempDir()
{
    std::string Pattern = (fs::temp_directory_path() / "orbench-test.XXXXXX").string();
    if (mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    FPath = Pattern;
}

TTempDir::~TTempDir()
{
    std::error_code Ec;
    fs::remove_all(FPath, Ec);
}

std::string TTempDir::File(const std::string& Name) const { return FPath + "/" + Name; }

std::vector<std::string> TRecordingNotifier::Texts() const
{
    std::vector<std::string> Result;
    for (const auto& Message : Messages) Result.push_back(Message.second);
    return Result;
}

void WriteLines(const std::string& FileName, const std::vector<std::string>& Lines)
{
    std::ofstream Out(FileName, std::ios::binary);
    for (const std::string& Line : Lines) Out << Line << "\r\n";
}

std::string ReadAll(const std::string& FileName)
{
    std::ifstream In(FileName, std::ios::binary);
    std::ostringstream Buffer;
    Buffer << In.rdbuf();
    return Buffer.str();
}

TDistribution MakeDistribution(DistributionTp Kind, double P1, double P2, double P3, TTimeUnitTp Unit)
{
    TDistribution D(0);
    D.DistributionType = Kind;
    D.P1 = P1;
    D.P2 = P2;
    D.P3 = P3;
    D.UnitOfParameters = Unit;
    return D;
}

std::vector<std::string> InstanceFileLines(const std::string& CaseMix, const std::string& ORdays,
                                           const std::string& DesiredLoad, const std::string& Load,
                                           const std::string& Capacity, const std::vector<std::string>& Surgeries)
{
    std::vector<std::string> Lines = {"# INSTANCE CHARACTERISTICS",
                                      "999999\tInstance number",
                                      CaseMix + "\tcase mix name",
                                      ORdays + "\tnumber of OR-days",
                                      DesiredLoad + "\tdesired load",
                                      Load + "\tload",
                                      Capacity + "\tCapacity OR-days in minutes",
                                      "",
                                      "# SURGERIES",
                                      "SurgNr\tP1\tP2\tP3"};
    for (std::size_t i = 0; i < Surgeries.size(); ++i) Lines.push_back(std::to_string(i + 1) + "\t" + Surgeries[i]);
    return Lines;
}

}  // namespace orbench::testing
