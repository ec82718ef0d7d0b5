#include "TextUtils.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <system_error>

#include "NumberFormat.h"

namespace orbench {

namespace {

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

char LowerAscii(char Ch) { return (Ch >= 'A' && Ch <= 'Z') ? static_cast<char>(Ch - 'A' + 'a') : Ch; }

// A number text outside the range of std::from_chars: one that underflows reads as its
// correctly rounded subnormal or zero value, one that overflows is refused. Read with the "C"
// locale, whatever the process locale is (the desktop program sets the user's).
bool ReadOutOfRange(const std::string& Plain, double& Value)
{
    static const locale_t CLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (CLocale == static_cast<locale_t>(nullptr)) return false;
    errno = 0;
    const double Parsed = strtod_l(Plain.c_str(), nullptr, CLocale);
    if (!std::isfinite(Parsed)) return false;
    Value = Parsed;
    return true;
}

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
    if (Result.ec == std::errc::result_out_of_range) return ReadOutOfRange(Plain, Value);
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

std::string ShortenForMessage(const std::string& Text, std::size_t MaxLength)
{
    static const char Hex[] = "0123456789abcdef";
    std::string Result;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const unsigned char Ch = static_cast<unsigned char>(Text[i]);
        std::string Piece;
        switch (Ch) {
            case '\t': Piece = "\\t"; break;
            case '\r': Piece = "\\r"; break;
            case '\n': Piece = "\\n"; break;
            default:
                if (Ch < 0x20 || Ch == 0x7f)
                    Piece = std::string("\\x") + Hex[Ch >> 4] + Hex[Ch & 15];
                else
                    Piece = static_cast<char>(Ch);
        }
        if (Result.size() + Piece.size() > MaxLength) {
            // Never end inside a multi-byte (UTF-8) character.
            std::size_t Lead = Result.size();
            while (Lead > 0 && (static_cast<unsigned char>(Result[Lead - 1]) & 0xc0) == 0x80) --Lead;
            if (Lead > 0) {
                const unsigned char First = static_cast<unsigned char>(Result[Lead - 1]);
                const std::size_t Length = First >= 0xf0 ? 4 : First >= 0xe0 ? 3 : First >= 0xc0 ? 2 : 1;
                if (Result.size() - (Lead - 1) < Length) Result.erase(Lead - 1);
            }
            return Result + "...";
        }
        Result += Piece;
    }
    return Result;
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
