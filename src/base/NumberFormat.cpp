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

constexpr char DigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
    "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
    "888990919293949596979899";

// Writes the Count lowest decimal digits of Value (leading zeros included) backwards, ending before
// p; returns where they begin. Four digits at a time, each group split into two pairs that do not
// wait on each other.
inline char* PutDigits(char* p, unsigned long long Value, int Count)
{
    for (; Count >= 4; Count -= 4) {
        const unsigned Four = static_cast<unsigned>(Value % 10000);
        Value /= 10000;
        const unsigned Low = (Four % 100) * 2;
        const unsigned High = (Four / 100) * 2;
        p -= 4;
        p[0] = DigitPairs[High];
        p[1] = DigitPairs[High + 1];
        p[2] = DigitPairs[Low];
        p[3] = DigitPairs[Low + 1];
    }
    for (; Count >= 2; Count -= 2) {
        const unsigned Two = static_cast<unsigned>(Value % 100) * 2;
        Value /= 100;
        *--p = DigitPairs[Two + 1];
        *--p = DigitPairs[Two];
    }
    if (Count == 1) *--p = static_cast<char>('0' + Value % 10);
    return p;
}

// Fixed notation for the common case of data files: a finite value below 2^53 in size with at most
// 9 decimals. The value (a 53-bit whole number times a power of two) times 10^Decimals is rounded to
// a whole number exactly, half to even, in 128-bit arithmetic: the same digits as std::to_chars
// gives, without its general machinery. The text is written backwards, ending before End (there
// must be room for FastFixedLength characters); returns where it begins, or nullptr for the other
// cases.
constexpr int FastFixedLength = 1 + 16 + 1 + 9;  // sign, integer digits below 2^53, point, decimals

char* FastFixed(double Value, int Decimals, char* End)
{
    if (Decimals < 0 || Decimals > 9 || !std::isfinite(Value) || std::fabs(Value) >= 9007199254740992.0) return nullptr;
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
    static constexpr unsigned long long Powers[] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};
    const unsigned long long Scale = Powers[Decimals];
    const TWide Scaled = static_cast<TWide>(Mantissa) * Scale;  // below 2^83
    TWide Rounded = Scaled;                                     // round(|Value| * 10^Decimals)
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
    char* p = Decimals == 9 ? PutDigits(End, Whole, 9) : PutDigits(End, Whole, Decimals);  // the usual case unrolled
    if (Decimals > 0) *--p = '.';
    if (IntegerPart < 10) {
        *--p = static_cast<char>('0' + IntegerPart);
    } else {
        int IntegerDigits = 2;
        for (unsigned long long Rest = IntegerPart / 100; Rest != 0; Rest /= 10) ++IntegerDigits;
        p = PutDigits(p, IntegerPart, IntegerDigits);
    }
    if (std::signbit(Value) && Rounded != 0) *--p = '-';  // a value that prints as zero has no sign
    return p;
}

}  // namespace

void AppendFixed(std::string& Text, double Value, int Decimals)
{
    char Buffer[FastFixedLength];
    char* const End = Buffer + sizeof Buffer;
    if (const char* Begin = FastFixed(Value, Decimals, End))
        Text.append(Begin, static_cast<std::size_t>(End - Begin));
    else
        Text += ToChars(Value, std::chars_format::fixed, Decimals);
}

void AppendFixedFields(std::string& Text, std::initializer_list<double> Values, int Decimals, char Separator)
{
    // Written backwards from the last value, and appended at once when every value takes the fast way.
    constexpr std::size_t MaxFields = 8;
    char Buffer[MaxFields * (FastFixedLength + 1)];
    char* const End = Buffer + sizeof Buffer;
    char* p = End;
    bool Fast = Values.size() <= MaxFields;
    for (auto It = Values.end(); Fast && It != Values.begin();) {
        p = FastFixed(*--It, Decimals, p);
        if (p == nullptr)
            Fast = false;
        else
            *--p = Separator;
    }
    if (Fast) {
        Text.append(p, End);
        return;
    }
    for (const double Value : Values) {
        Text += Separator;
        AppendFixed(Text, Value, Decimals);
    }
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
