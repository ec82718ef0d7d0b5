#include "TableText.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "NumberFormat.h"

namespace orbench {

std::string CsvField(const std::string& Text)
{
    if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
    std::string Quoted = "\"";
    for (const char Ch : Text) {
        if (Ch == '"') Quoted += '"';
        Quoted += Ch;
    }
    Quoted += '"';
    return Quoted;
}

void DropNegativeZero(std::string& Number)
{
    if (Number.empty() || Number[0] != '-') return;
    if (Number.find_first_not_of("0.,", 1) == std::string::npos) Number.erase(0, 1);
}

std::string FormatFixedData(double Value, int Decimals)
{
    std::string Text = FormatFixed(Value, Decimals);
    DropNegativeZero(Text);
    return Text;
}

void AppendFixed9(std::string& Out, double Value)
{
#ifdef __SIZEOF_INT128__
    __extension__ using TUInt128 = unsigned __int128;
    if (std::fabs(Value) < 1e9) {  // also false for non-numbers
        // |Value| = M * 2^-K exactly, with M below 2^53 and K at least 23 (|Value| < 2^30).
        const auto Bits = std::bit_cast<std::uint64_t>(std::fabs(Value));
        const auto BiasedExponent = static_cast<int>(Bits >> 52);
        const std::uint64_t Mantissa = Bits & ((std::uint64_t{1} << 52) - 1);
        const std::uint64_t M = BiasedExponent == 0 ? Mantissa : Mantissa | (std::uint64_t{1} << 52);
        const int K = BiasedExponent == 0 ? 1074 : 1075 - BiasedExponent;
        // Value * 10^9 = M * 10^9 * 2^-K, below 2^83: rounded to the nearest integer, ties to even,
        // as the correctly rounded decimal conversion does.
        std::uint64_t Rounded = 0;
        if (K < 100) {
            const TUInt128 Product = static_cast<TUInt128>(M) * 1000000000u;
            TUInt128 Quotient = Product >> K;
            const TUInt128 Remainder = Product - (Quotient << K);
            const TUInt128 Half = static_cast<TUInt128>(1) << (K - 1);
            if (Remainder > Half || (Remainder == Half && (Quotient & 1) != 0)) ++Quotient;
            Rounded = static_cast<std::uint64_t>(Quotient);
        }
        char Text[32];
        char* Start = Text + sizeof Text;
        auto Decimals = static_cast<std::uint32_t>(Rounded % 1000000000u);
        for (int Digit = 0; Digit < 9; ++Digit, Decimals /= 10) *--Start = static_cast<char>('0' + Decimals % 10);
        *--Start = '.';
        std::uint64_t Units = Rounded / 1000000000u;
        do {
            *--Start = static_cast<char>('0' + Units % 10);
            Units /= 10;
        } while (Units != 0);
        if (Value < 0 && Rounded != 0) *--Start = '-';
        Out.append(Start, static_cast<std::size_t>(Text + sizeof Text - Start));
        return;
    }
#endif
    Out += FormatFixedData(Value, 9);
}

}  // namespace orbench
