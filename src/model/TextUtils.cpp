#include "TextUtils.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <system_error>

#include "NumberFormat.h"

namespace orbench {

namespace {

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

char LowerAscii(char Ch) { return (Ch >= 'A' && Ch <= 'Z') ? static_cast<char>(Ch - 'A' + 'a') : Ch; }

}  // namespace

std::string LowerCaseAscii(std::string Text)
{
    for (char& Ch : Text) Ch = LowerAscii(Ch);
    return Text;
}

bool TryTextToFloat(const std::string& Text, double& Value)
{
    return TryTextToFloatWith(Text, DecimalSeparator(), Value);
}

bool TryTextToFloatWith(const std::string& Text, char Separator, double& Value)
{
    Value = 0;
    std::size_t Begin = 0;
    std::size_t End = Text.size();
    while (Begin < End && Text[Begin] == ' ') ++Begin;
    while (End > Begin && Text[End - 1] == ' ') --End;

    // Rebuild the number in the form std::from_chars reads ('.' as separator, no '+').
    std::string Plain;
    std::size_t i = Begin;
    if (i < End && (Text[i] == '+' || Text[i] == '-')) {
        if (Text[i] == '-') Plain += '-';
        ++i;
    }
    int MantissaDigits = 0;
    while (i < End && IsDigit(Text[i])) {
        Plain += Text[i++];
        ++MantissaDigits;
    }
    if (i < End && Text[i] == Separator) {
        Plain += '.';
        ++i;
        while (i < End && IsDigit(Text[i])) {
            Plain += Text[i++];
            ++MantissaDigits;
        }
    }
    if (MantissaDigits == 0) return false;
    if (i < End && (Text[i] == 'e' || Text[i] == 'E')) {
        Plain += 'e';
        ++i;
        if (i < End && (Text[i] == '+' || Text[i] == '-')) {
            if (Text[i] == '-') Plain += '-';
            ++i;
        }
        int ExponentDigits = 0;
        while (i < End && IsDigit(Text[i])) {
            Plain += Text[i++];
            ++ExponentDigits;
        }
        if (ExponentDigits == 0) return false;
    }
    if (i != End) return false;

    double Parsed = 0;
    const std::from_chars_result Result = std::from_chars(Plain.data(), Plain.data() + Plain.size(), Parsed);
    if (Result.ec != std::errc() || Result.ptr != Plain.data() + Plain.size()) return false;
    Value = Parsed;
    return true;
}

bool TryTextToInt(const std::string& Text, int& Value)
{
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ') ++i;
    bool Negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) Negative = Text[i++] == '-';
    if (i == Text.size()) return false;
    long long Magnitude = 0;
    for (; i < Text.size(); ++i) {
        if (!IsDigit(Text[i])) return false;
        Magnitude = Magnitude * 10 + (Text[i] - '0');
        if (Magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
    const long long Signed = Negative ? -Magnitude : Magnitude;
    if (Signed > INT_MAX || Signed < INT_MIN) return false;
    Value = static_cast<int>(Signed);
    return true;
}

std::string ReplaceAllText(const std::string& Search, const std::string& Replacement, const std::string& Text)
{
    if (Search.empty()) return Text;
    const std::string LoweredSearch = LowerCaseAscii(Search);
    std::string Result;
    Result.reserve(Text.size());
    std::size_t i = 0;
    while (i < Text.size()) {
        bool Match = i + LoweredSearch.size() <= Text.size();
        for (std::size_t k = 0; Match && k < LoweredSearch.size(); ++k)
            Match = LowerAscii(Text[i + k]) == LoweredSearch[k];
        if (Match) {
            Result += Replacement;
            i += LoweredSearch.size();
        } else {
            Result += Text[i++];
        }
    }
    return Result;
}

std::string NormalizeDecimalSeparator(const std::string& Text)
{
    if (DecimalSeparator() == '.') return ReplaceAllText(",", ".", Text);
    return ReplaceAllText(".", ",", Text);
}

void SplitToStringList(const std::string& Text, char Delimiter, std::vector<std::string>& List)
{
    std::size_t Start = 0;
    for (;;) {
        const std::size_t Pos = Text.find(Delimiter, Start);
        if (Pos == std::string::npos) break;
        List.push_back(Text.substr(Start, Pos - Start));
        Start = Pos + 1;
    }
    List.push_back(Text.substr(Start));
}

}  // namespace orbench
