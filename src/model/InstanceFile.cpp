// Writing and reading instance files: a block of instance characteristics, then one line per
// surgery with the three parameters of its surgery type.

#include <charconv>

#include "FileUtils.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TextUtils.h"

namespace orbench {

namespace {

constexpr int FirstSurgeryLine = 11;  // 1-based
const char* const FirstLine = "# INSTANCE CHARACTERISTICS";

std::string FirstField(const std::string& Line)
{
    const std::size_t Tab = Line.find('\t');
    return Tab == std::string::npos ? Line : Line.substr(0, Tab);
}

double ReadNumber(const std::string& Text, const std::string& What, const std::string& FileNm, int LineNumber)
{
    double Value = 0;
    if (!TryTextToFloat(NormalizeDecimalSeparator(Text), Value))
        throw FileLineError(FileNm, LineNumber, What + " \"" + ShortenForMessage(Text) + "\" is not a number");
    return Value;
}

}  // namespace

std::string TInstance::FileText() const
{
    std::string Content;
    FileText(Content);
    return Content;
}

void TInstance::FileText(std::string& Content) const
{
    Content.clear();
    AppendLine(Content, "# INSTANCE CHARACTERISTICS");
    AppendLine(Content, "999999\tInstance number");
    Content += CaseMix->Name;
    Content += "\tcase mix name\r\n";
    Content += std::to_string(NumberOfORs);
    Content += "\tnumber of OR-days\r\n";
    AppendFixed(Content, DesiredLoad, 9);
    Content += "\tdesired load\r\n";
    AppendFixed(Content, Load, 9);
    Content += "\tload\r\n";
    AppendFixed(Content, CaseMix->CapacityORinMinutes, 9);
    Content += "\tCapacity OR-days in minutes\r\n";
    AppendLine(Content, "");
    AppendLine(Content, "# SURGERIES");
    AppendLine(Content, "SurgNr\tP1\tP2\tP3");
    Content.reserve(Content.size() + Surgeries.size() * 48);
    int Number = 0;
    for (const auto& Surgery : Surgeries) {
        char Digits[16];
        Content.append(Digits, std::to_chars(Digits, Digits + sizeof Digits, ++Number).ptr);
        const TDistribution& D = *Surgery->SurgeryType->Distribution;
        AppendFixedFields(Content, {D.P1, D.P2, D.P3}, 9, '\t');
        Content += "\r\n";
    }
}

void TInstance::SaveInstance() const
{
    if (FileName.empty()) throw EOrbenchError("The instance has no file name to be saved under.");
    WriteTextFile(FileName, FileText());
}

void TData::ReadAndAddInstance(const std::string& FileNm, TCaseMix*& CM)
{
    CM = nullptr;
    // Line by line: the characteristics, then (once the case mix is known) the surgeries.
    std::string Head[8];  // lines 2..7 at their own numbers
    TCaseMix* CaseMix = nullptr;
    std::unique_ptr<TInstance> Instance;
    bool NoCaseMix = false;
    std::vector<std::string> Fields;
    const auto Begin = [&] {
        if (Head[3].empty()) throw FileLineError(FileNm, 3, "the case mix name is missing");
        int NumberOfORs = 0;
        if (!TryTextToInt(Head[4], NumberOfORs))
            throw FileLineError(FileNm, 4,
                                "number of OR-days \"" + ShortenForMessage(Head[4]) + "\" is not an integer");
        if (NumberOfORs < 1)
            throw FileLineError(FileNm, 4, "number of OR-days " + std::to_string(NumberOfORs) + " is less than 1");
        const double DesiredLoad = ReadNumber(Head[5], "desired load", FileNm, 5);
        const double Load = ReadNumber(Head[6], "load", FileNm, 6);
        const double Capacity = ReadNumber(Head[7], "OR-day capacity", FileNm, 7);
        CaseMix = SelectCaseMixByName(Head[3]);
        if (CaseMix == nullptr) {
            NoCaseMix = true;
            return false;
        }
        if (CaseMix->CapacityORinMinutes != Capacity)
            Notify(TMessageKind::mWarning, "Warning: instance has different OR-day capacity than saved case mix");
        // Built aside and appended only when the whole file was read.
        Instance = std::make_unique<TInstance>(this, CaseMix, Load, DesiredLoad, NumberOfORs);
        Instance->Name = Head[2];
        return true;
    };
    int LastLine = 0;
    ForEachTextFileLine(FileNm, [&](const std::string& Line, int LineNumber) {
        LastLine = LineNumber;
        if (LineNumber == 1) {
            if (Line != FirstLine)
                throw FileLineError(FileNm, 1,
                                    "not an instance file: the first line is \"" + ShortenForMessage(Line) +
                                        "\", not \"" + FirstLine + "\"");
            return true;
        }
        if (LineNumber <= 7) {
            Head[LineNumber] = FirstField(Line);
            return LineNumber < 7 || Begin();
        }
        if (LineNumber < static_cast<int>(FirstSurgeryLine)) return true;
        Fields.clear();
        SplitToStringList(Line, '\t', Fields);
        if (Fields.size() < 4) return true;
        const double P1 = ReadNumber(Fields[1], "P1", FileNm, LineNumber);
        const double P2 = ReadNumber(Fields[2], "P2", FileNm, LineNumber);
        const double P3 = ReadNumber(Fields[3], "P3", FileNm, LineNumber);
        TSurgeryType* Type = CaseMix->FindSurgeryTypeByCharacteristics(P1, P2, P3);
        if (Type == nullptr) return true;
        // A type changed in memory since its case mix was read is held to the reader's rules too.
        if (const std::string Problem = ParameterProblem(*Type->Distribution); !Problem.empty())
            throw FileLineError(FileNm, LineNumber,
                                Problem + " (" + DistributionTypeToStr(Type->Distribution->DistributionType) + ")");
        Instance->Surgeries.push_back(std::make_unique<TSurgery>(Type, this));
        return true;
    });
    if (LastLine == 0)
        throw FileLineError(FileNm, 1,
                            "not an instance file: the first line is \"\", not \"" + std::string(FirstLine) + "\"");
    if (LastLine < 7)
        throw FileLineError(FileNm, LastLine + 1, "the file ends before the instance characteristics are complete");
    if (NoCaseMix) {
        Notify(TMessageKind::mError, "Error! Cannot find case mix with name: " + ShortenForMessage(Head[3]));
        return;
    }
    CaseMix->Instances.Add(Instance.release());
    CM = CaseMix;
}

void CheckEverySurgeryRead(const std::string& FileName, const TCaseMix& CaseMix)
{
    constexpr int FirstSurgeryLine = 11;
    std::vector<std::string> Fields;
    ForEachTextFileLine(FileName, [&](const std::string& Line, int LineNumber) {
        if (LineNumber < FirstSurgeryLine) return true;
        Fields.clear();
        SplitToStringList(Line, '\t', Fields);
        if (Fields.size() < 4) return true;
        double P[3] = {0, 0, 0};
        bool Numbers = true;  // as the reader has read them already
        for (std::size_t k = 0; k < 3; ++k)
            Numbers = Numbers && TryTextToFloat(NormalizeDecimalSeparator(Fields[k + 1]), P[k]);
        if (!Numbers || CaseMix.FindSurgeryTypeByCharacteristics(P[0], P[1], P[2]) == nullptr)
            throw FileLineError(
                FileName, LineNumber,
                "the surgery's parameters match no surgery type of case mix " + ShortenForMessage(CaseMix.Name));
        return true;
    });
}

}  // namespace orbench
