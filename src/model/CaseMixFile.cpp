// Reading and writing case mix files: a header line, then per surgery type
// ID, DistributionType, P1, P2, P3, Frequency separated by TABs.
#include <cmath>

#include "FileUtils.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TextUtils.h"

namespace orbench {

namespace {

const char* const FieldNames[] = {"ID", "DistributionType", "P1", "P2", "P3", "Frequency"};

double ReadNumberField(const std::vector<std::string>& Fields, std::size_t Index, const std::string& FileNm,
                       int LineNumber)
{
    double Value = 0;
    if (!TryTextToFloat(NormalizeDecimalSeparator(Fields[Index]), Value))
        throw FileLineError(FileNm, LineNumber,
                            std::string(FieldNames[Index]) + " \"" + Fields[Index] + "\" is not a number");
    return Value;
}

}  // namespace

void TData::ReadAndAddCaseMix(const std::string& FileNm, double CapacityORinMinutes)
{
    if (!FileExists(FileNm)) {
        Notify(TMessageKind::mError, "File does not exist!");
        return;
    }
    RequirePositiveCapacity(CapacityORinMinutes);
    const std::vector<std::string> Lines = ReadTextFileLines(FileNm);

    // Built aside and appended only when the whole file was read.
    auto CaseMix = std::make_unique<TCaseMix>(this, 0, CapacityORinMinutes);
    for (std::size_t LineIndex = 1; LineIndex < Lines.size(); ++LineIndex) {
        const std::string& Line = Lines[LineIndex];
        const int LineNumber = static_cast<int>(LineIndex) + 1;
        if (Line.empty()) continue;
        std::vector<std::string> Fields;
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
        Distribution->CalculateExpected();
        Distribution->CalculateVariance();

        auto Type = std::make_unique<TSurgeryType>(this, CaseMix.get(), std::move(Distribution));
        const double Expected = Type->Distribution->Expected;
        if (Expected == 0 || !std::isfinite(Expected))
            throw FileLineError(FileNm, LineNumber,
                                "the surgery type has no usable mean duration (" + FormatGeneral(Expected * 1440) +
                                    " minutes), so its coefficient of variation is undefined");
        Type->Xvalue = 1440 * Expected / CapacityORinMinutes;
        Type->Yvalue = Type->Distribution->CalculateStdDev() / Expected;
        if (!std::isfinite(Type->Yvalue))
            throw FileLineError(FileNm, LineNumber, "the surgery type has no finite standard deviation");
        int FileID = 0;
        if (TryTextToInt(Fields[0], FileID)) Type->ID = FileID;
        Type->RelFrequency = Fields.size() >= 6 ? ReadNumberField(Fields, 5, FileNm, LineNumber) : 1;
        CaseMix->SurgeryTypes.push_back(std::move(Type));
    }
    CaseMix->FileName = FileNm;
    CaseMix->Name = FileNameWithoutExtension(FileNm);
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
