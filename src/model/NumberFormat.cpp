#include "NumberFormat.h"

#include <atomic>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
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

namespace {

// Fixed notation for the common case of data files: a finite value below 2^53 in size with at most
// 9 decimals. The value (a 53-bit whole number times a power of two) times 10^Decimals is rounded to
// a whole number exactly, half to even, in 128-bit arithmetic: the same digits as std::to_chars
// gives, without its general machinery. False for the other cases.
bool FastFixed(double Value, int Decimals, std::string& Text)  // appends to Text
{
    if (Decimals < 0 || Decimals > 9 || !std::isfinite(Value) || std::fabs(Value) >= 9007199254740992.0) return false;
    __extension__ typedef unsigned __int128 TWide;
    // |Value| = Mantissa * 2^Exponent with Exponent <= 0, read from the bits.
    const auto Bits = std::bit_cast<unsigned long long>(Value);
    const int Biased = static_cast<int>(Bits >> 52 & 0x7FF);
    unsigned long long Mantissa = Bits & ((1ULL << 52) - 1);
    int Exponent = -1074;
    if (Biased != 0) {
        Mantissa |= 1ULL << 52;
        Exponent = Biased - 1075;
    }
    static constexpr unsigned long long Powers[] = {1,         10,         100,         1000,        10000,
                                                    100000,    1000000,    10000000,    100000000,   1000000000};
    const unsigned long long Scale = Powers[Decimals];
    const TWide Scaled = static_cast<TWide>(Mantissa) * Scale;  // below 2^83
    TWide Rounded = Scaled;  // round(|Value| * 10^Decimals)
    if (Exponent < -100) {
        Rounded = 0;  // below half of the last decimal
    } else if (Exponent < 0) {
        const int Shift = -Exponent;
        const TWide Quotient = Scaled >> Shift;
        const TWide Rest = Scaled - (Quotient << Shift);
        const TWide Half = static_cast<TWide>(1) << (Shift - 1);
        Rounded = Quotient + ((Rest > Half || (Rest == Half && (Quotient & 1) != 0)) ? 1 : 0);
    }
    // The integer part is at most 2^53; below 2^64 the division is a plain one.
    unsigned long long IntegerPart = 0;
    unsigned long long Whole = 0;  // the decimals
    if (Rounded >> 64 == 0) {
        const auto Small = static_cast<unsigned long long>(Rounded);
        IntegerPart = Decimals == 9 ? Small / 1000000000 : Small / Scale;  // the usual case, by a constant
        Whole = Small - IntegerPart * Scale;
    } else {
        IntegerPart = static_cast<unsigned long long>(Rounded / Scale);
        Whole = static_cast<unsigned long long>(Rounded - static_cast<TWide>(IntegerPart) * Scale);
    }
    // Digits from the right, two at a time where they come in pairs.
    static constexpr char Pairs[] = "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
                                    "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
                                    "888990919293949596979899";
    char Buffer[64];
    char* End = Buffer + sizeof Buffer;
    char* p = End;
    int d = 0;
    for (; d + 2 <= Decimals; d += 2) {
        const std::size_t Two = static_cast<std::size_t>(Whole % 100) * 2;
        Whole /= 100;
        *--p = Pairs[Two + 1];
        *--p = Pairs[Two];
    }
    if (d < Decimals) *--p = static_cast<char>('0' + Whole % 10);
    if (Decimals > 0) *--p = '.';
    while (IntegerPart >= 100) {
        const std::size_t Two = static_cast<std::size_t>(IntegerPart % 100) * 2;
        IntegerPart /= 100;
        *--p = Pairs[Two + 1];
        *--p = Pairs[Two];
    }
    if (IntegerPart >= 10) {
        *--p = Pairs[IntegerPart * 2 + 1];
        *--p = Pairs[IntegerPart * 2];
    } else {
        *--p = static_cast<char>('0' + IntegerPart);
    }
    if (std::signbit(Value) && Rounded != 0) *--p = '-';  // a value that prints as zero has no sign
    Text.append(p, End);
    return true;
}

}  // namespace

void AppendFixed(std::string& Text, double Value, int Decimals)
{
    if (!FastFixed(Value, Decimals, Text)) Text += ToChars(Value, std::chars_format::fixed, Decimals);
}

std::string FormatFixed(double Value, int Decimals)
{
    std::string Text;
    AppendFixed(Text, Value, Decimals);
    return Text;
}

std::string FormatFixedLocale(double Value, int Decimals)
{
    return WithSeparator(FormatFixed(Value, Decimals), DecimalSeparator());
}

std::string FormatGeneral(double Value)
{
    return WithSeparator(ToChars(Value, std::chars_format::general, 15), DecimalSeparator());
}

}  // namespace orbench
