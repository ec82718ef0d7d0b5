// Reading and writing case mix files: a header line, then per surgery type
// ID, DistributionType, P1, P2, P3, Frequency separated by TABs.
#include <cmath>

#include "FileUtils.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "Sha256.h"
#include "TextUtils.h"

namespace orbench {

namespace {

const char* const FieldNames[] = {"ID", "DistributionType", "P1", "P2", "P3", "Frequency"};

double ReadNumberField(const std::vector<std::string>& Fields, std::size_t Index, const std::string& FileNm,
                       int LineNumber)
{
    double Value = 0;
    if (!TryTextToFloat(NormalizeDecimalSeparator(Fields[Index]), Value))
        throw FileLineError(
            FileNm, LineNumber,
            std::string(FieldNames[Index]) + " \"" + ShortenForMessage(Fields[Index]) + "\" is not a number");
    return Value;
}

// The moments of a surgery type and the point it takes in the plane must be finite numbers, its
// mean positive: otherwise it has no place in the plane and no load can be added up with it.
void CheckSurgeryType(const TSurgeryType& Type, bool MomentsComputed, const std::string& FileNm, int LineNumber)
{
    const TDistribution& D = *Type.Distribution;
    if (const std::string Problem = ParameterProblem(D); !Problem.empty())
        throw FileLineError(FileNm, LineNumber, Problem + " (" + DistributionTypeToStr(D.DistributionType) + ")");
    if (!MomentsComputed || !std::isfinite(D.Expected) || !std::isfinite(D.Variance))
        throw FileLineError(FileNm, LineNumber,
                            "the mean or variance of the distribution is not a finite number (an overflow, or a "
                            "parameter outside its domain)");
    // The gamma variance divides by P2 squared: when the square overflows the variance would read as 0.
    if (D.DistributionType == dGamma && !std::isfinite(D.P2 * D.P2))
        throw FileLineError(FileNm, LineNumber, "the variance of the gamma distribution overflows (P2 squared)");
    if (!(D.Expected > 0))
        throw FileLineError(FileNm, LineNumber,
                            "the mean duration (" + FormatGeneral(D.Expected * 1440) +
                                " minutes) is not greater than 0, so the surgery type has no coefficient of variation");
    if (!std::isfinite(Type.Xvalue))
        throw FileLineError(FileNm, LineNumber, "the mean duration divided by the OR-day capacity overflows");
    if (!std::isfinite(Type.Yvalue))
        throw FileLineError(FileNm, LineNumber, "the coefficient of variation is not a finite number");
}

}  // namespace

void TData::ReadAndAddCaseMix(const std::string& FileNm, double CapacityORinMinutes)
{
    if (!PathExists(FileNm)) {
        Notify(TMessageKind::mError, "File does not exist!");
        return;
    }
    RequirePositiveCapacity(CapacityORinMinutes);
    // The name becomes a folder of the batch output tree and is written into instance files.
    const std::string Name = FileNameWithoutExtension(FileNm);
    if (!IsUsableFolderName(Name))
        throw EOrbenchError(FileNm + ": the case mix name \"" + ShortenForMessage(Name) +
                            "\" (the file name without its extension) cannot be used as a folder name");
    // The digest of exactly the bytes read, so that a manifest names the file version the case mix
    // came from even when the file changes afterwards.
    TSha256 Digest;
    // Built aside and appended only when the whole file was read, line by line.
    auto CaseMix = std::make_unique<TCaseMix>(this, 0, CapacityORinMinutes);
    double FrequencySum = 0;
    std::vector<std::string> Fields;
    const auto ReadLine = [&](const std::string& Line, int LineNumber) {
        if (LineNumber == 1 || Line.empty()) return true;  // the header
        Fields.clear();
        SplitToStringList(Line, '\t', Fields);
        if (Fields.size() < 5)
            throw FileLineError(FileNm, LineNumber,
                                "expected at least 5 TAB-separated fields (ID, DistributionType, P1, P2, P3), found " +
                                    std::to_string(Fields.size()));

        auto Distribution = std::make_unique<TDistribution>(GenerateObjectID.GetUniqueID());
        Distribution->DistributionType = StrToDistributionType(Fields[1]);
        Distribution->P1 = ReadNumberField(Fields, 2, FileNm, LineNumber);
        Distribution->P2 = ReadNumberField(Fields, 3, FileNm, LineNumber);
        Distribution->P3 = ReadNumberField(Fields, 4, FileNm, LineNumber);
        const bool ExpectedComputed = Distribution->CalculateExpected();
        const bool VarianceComputed = Distribution->CalculateVariance();

        auto Type = std::make_unique<TSurgeryType>(this, CaseMix.get(), std::move(Distribution));
        const double Expected = Type->Distribution->Expected;
        Type->Xvalue = 1440 * Expected / CapacityORinMinutes;
        Type->Yvalue = Type->Distribution->CalculateStdDev() / Expected;
        CheckSurgeryType(*Type, ExpectedComputed && VarianceComputed, FileNm, LineNumber);
        int FileID = 0;
        if (TryTextToInt(Fields[0], FileID)) Type->ID = FileID;
        Type->RelFrequency = Fields.size() >= 6 ? ReadNumberField(Fields, 5, FileNm, LineNumber) : 1;
        if (Type->RelFrequency < 0)
            throw FileLineError(FileNm, LineNumber, "Frequency \"" + ShortenForMessage(Fields[5]) + "\" is negative");
        FrequencySum += Type->RelFrequency;
        if (!std::isfinite(FrequencySum))
            throw FileLineError(FileNm, LineNumber, "the sum of the frequencies overflows");
        CaseMix->SurgeryTypes.push_back(std::move(Type));
        return true;
    };
    ForEachTextFileLine(FileNm, ReadLine, [&Digest](const char* Bytes, std::size_t Size) { Digest.Add(Bytes, Size); });
    CaseMix->FileName = FileNm;
    CaseMix->FileSha256 = Digest.Hex();
    CaseMix->Name = Name;
    CaseMix->CalculateRelativeSurgeryTypeFrequencies();
    CaseMixes.push_back(std::move(CaseMix));
}

void TCaseMix::WriteCaseMix(const std::string& FileNm, int WriteOnlyCaseMixType)
{
    CalculateRelativeSurgeryTypeFrequencies();
    std::string Content;
    AppendLine(Content, "ID\tDistributionType\tP1\tP2\tP3\tFrequency");
    for (const auto& Type : SurgeryTypes) {
        if (WriteOnlyCaseMixType != 0 && !Type->IsCaseMixType(WriteOnlyCaseMixType)) continue;
        const TDistribution& D = *Type->Distribution;
        AppendLine(Content, std::to_string(Type->ID) + "\t" + DistributionTypeToStr(D.DistributionType) + "\t" +
                                FormatFixed(D.P1, 9) + "\t" + FormatFixed(D.P2, 9) + "\t" + FormatFixed(D.P3, 9) +
                                "\t" + FormatFixed(Type->RelFrequency, 9));
    }
    WriteTextFile(FileNm, Content);
}

}  // namespace orbench
