#include "NumberFormat.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <system_error>

namespace orbench {

namespace {

std::atomic<char> TheDecimalSeparator{'.'};

// A value that prints as zero prints without a sign: -0 and -1e-12 with nine decimals both give
// 0.000000000.
std::string ToChars(double Value, std::chars_format Format, int Precision)
{
    char Buffer[400];
    const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, Format, Precision);
    if (Result.ec != std::errc()) return "";
    std::string Text(Buffer, Result.ptr);
    if (!Text.empty() && Text[0] == '-') {
        const std::size_t Mantissa = Text.find_first_of("eE");
        if (Text.find_first_of("123456789") >= Mantissa && Text.find_first_of("0123456789") != std::string::npos)
            Text.erase(0, 1);
    }
    return Text;
}

std::string WithSeparator(std::string Text, char Separator)
{
    if (Separator != '.')
        for (char& Ch : Text)
            if (Ch == '.') Ch = Separator;
    return Text;
}

}  // namespace

char DecimalSeparator() { return TheDecimalSeparator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char Separator)
{
    TheDecimalSeparator.store(Separator == ',' ? ',' : '.', std::memory_order_relaxed);
}

char DetectLocaleDecimalSeparator()
{
    std::string Name;
    for (const char* Variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* Value = std::getenv(Variable);
        if (Value != nullptr && *Value != '\0') {
            Name = Value;
            break;
        }
    }
    if (Name.empty() || Name == "C" || Name.rfind("C.", 0) == 0 || Name == "POSIX") return '.';
    locale_t Locale = newlocale(LC_NUMERIC_MASK, Name.c_str(), static_cast<locale_t>(nullptr));
    if (Locale == static_cast<locale_t>(nullptr)) return '.';
    const char* Point = nl_langinfo_l(RADIXCHAR, Locale);
    const char Separator = (Point != nullptr && Point[0] == ',' && Point[1] == '\0') ? ',' : '.';
    freelocale(Locale);
    return Separator;
}

std::string FormatFixed(double Value, int Decimals) { return ToChars(Value, std::chars_format::fixed, Decimals); }

std::string FormatFixedLocale(double Value, int Decimals)
{
    return WithSeparator(FormatFixed(Value, Decimals), DecimalSeparator());
}

std::string FormatGeneral(double Value)
{
    return WithSeparator(ToChars(Value, std::chars_format::general, 15), DecimalSeparator());
}

}  // namespace orbench
