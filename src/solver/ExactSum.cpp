#include "ExactSum.h"

#include <bit>
#include <cmath>

namespace orbench {

TExactSum& TExactSum::operator=(const TExactSum& Other)
{
    FCount = Other.FCount;
    FMore = Other.FMore;
    if (FMore.empty())
        for (int k = 0; k < FCount; ++k)
            FPartials[static_cast<std::size_t>(k)] = Other.FPartials[static_cast<std::size_t>(k)];
    FSpecial = Other.FSpecial;
    FHasSpecial = Other.FHasSpecial;
    return *this;
}

void TExactSum::Add(double Term)
{
    if (!std::isfinite(Term)) {
        FSpecial += Term;
        FHasSpecial = true;
        return;
    }
    // Room for one more partial: the list is full, it moves to the growing store.
    if (FCount == MaxPartials && FMore.empty()) FMore.assign(FPartials.begin(), FPartials.end());
    if (!FMore.empty() && FMore.size() <= static_cast<std::size_t>(FCount))
        FMore.resize(static_cast<std::size_t>(FCount) + 1);
    double* const P = Partials();
    double x = Term;
    int Kept = 0;
    for (int k = 0; k < FCount; ++k) {
        double y = P[k];
        if (std::fabs(x) < std::fabs(y)) {
            const double t = x;
            x = y;
            y = t;
        }
        const double Hi = x + y;
        const double Lo = y - (Hi - x);
        if (Lo != 0) P[Kept++] = Lo;
        x = Hi;
    }
    if (!std::isfinite(x)) {  // the exact sum left the range of doubles
        FSpecial += x;
        FHasSpecial = true;
        FCount = Kept;
        return;
    }
    P[Kept++] = x;
    FCount = Kept;
}

void TExactSum::AddMultiple(int Count, double Value)
{
    const double c = static_cast<double>(Count);
    const double Product = c * Value;
    // Multiplying by a power of two is exact (barring underflow, which the split below avoids too).
    if ((Count & (Count - 1)) == 0 && std::fabs(Product) >= 1e-250) {
        Add(Product);
        return;
    }
    Add(Product);
    if (!std::isfinite(Product)) return;
    double Error = 0;
    if (std::fabs(Product) >= 1e-250 && std::fabs(Product) <= 1e250) {
        // Dekker's product: both factors split into halves of 26 bits, whose products are exact.
        const auto Split = [](double a, double& Hi, double& Lo) {
            const double t = 134217729.0 * a;  // 2^27 + 1
            Hi = t - (t - a);
            Lo = a - Hi;
        };
        double cHi = 0, cLo = 0, vHi = 0, vLo = 0;
        Split(c, cHi, cLo);
        Split(Value, vHi, vLo);
        Error = ((cHi * vHi - Product) + cHi * vLo + cLo * vHi) + cLo * vLo;
    } else {
        Error = std::fma(c, Value, -Product);
    }
    Add(Error);
}

void TExactSum::Add(const TExactSum& Other)
{
    const double* const Q = Other.Partials();
    for (int k = 0; k < Other.FCount; ++k) Add(Q[k]);
    if (Other.FHasSpecial) {
        FSpecial += Other.FSpecial;
        FHasSpecial = true;
    }
}

double TExactSum::Value() const
{
    if (FHasSpecial) return FSpecial;
    const double* const P = Partials();
    int n = FCount;
    if (n == 0) return 0;
    double Hi = P[--n];
    double Lo = 0;
    while (n > 0) {
        const double x = Hi;
        const double y = P[--n];
        Hi = x + y;
        Lo = y - (Hi - x);
        if (Lo != 0) break;
    }
    // Rounding half to even across several partials: when the rest below Lo points the same way
    // as Lo, the true sum lies beyond the halfway point that Hi + Lo rounded to.
    if (n > 0 && ((Lo < 0 && P[n - 1] < 0) || (Lo > 0 && P[n - 1] > 0))) {
        const double y = Lo * 2;
        const double x = Hi + y;
        if (y == x - Hi) Hi = x;
    }
    return Hi == 0 ? 0.0 : Hi;
}

namespace {

// A finite positive double as Mantissa * 2^Exponent with a whole Mantissa below 2^53, from its bits.
void Split(double Value, unsigned long long& Mantissa, int& Exponent)
{
    const auto Bits = std::bit_cast<unsigned long long>(Value);
    const int Biased = static_cast<int>(Bits >> 52 & 0x7FF);
    Mantissa = Bits & ((1ULL << 52) - 1);
    Exponent = -1074;
    if (Biased != 0) {
        Mantissa |= 1ULL << 52;
        Exponent = Biased - 1075;
    }
}

}  // namespace

int FixedExponentFor(const double* Values, std::size_t Count, int HeadroomBits)
{
    int Lowest = 0;
    int Highest = 0;
    bool Any = false;
    for (std::size_t k = 0; k < Count; ++k) {
        const double v = Values[k];
        if (!(v >= 0) || !std::isfinite(v)) return NoFixedExponent;
        if (v == 0) continue;
        unsigned long long Mantissa = 0;
        int Low = 0;
        Split(v, Mantissa, Low);  // v = Mantissa * 2^Low, Mantissa below 2^53
        const int High = Low + 53;
        if (!Any || Low < Lowest) Lowest = Low;
        if (!Any || High > Highest) Highest = High;
        Any = true;
    }
    if (!Any) return 0;
    // Sums stay far from subnormal results, and the largest value leaves the headroom free.
    if (Lowest < -1000 || Highest - Lowest > 127 - HeadroomBits) return NoFixedExponent;
    return Lowest;
}

TWideInt ToFixed(double Value, int Exponent)
{
    if (Value == 0) return 0;
    unsigned long long Mantissa = 0;
    int Low = 0;
    Split(Value, Mantissa, Low);
    return static_cast<TWideInt>(Mantissa) << (Low - Exponent);
}

double FixedToDouble(TWideInt Sum, int Exponent)
{
    if (Sum == 0) return 0;
    const auto High = static_cast<unsigned long long>(Sum >> 64);
    const auto Low = static_cast<unsigned long long>(Sum);
    const int Bits = High != 0 ? 128 - std::countl_zero(High) : 64 - std::countl_zero(Low);
    if (Bits <= 53) return std::ldexp(static_cast<double>(static_cast<unsigned long long>(Sum)), Exponent);
    const int Shift = Bits - 53;
    unsigned long long Mantissa = static_cast<unsigned long long>(Sum >> Shift);
    const TWideInt Rest = Sum & ((static_cast<TWideInt>(1) << Shift) - 1);
    const TWideInt Half = static_cast<TWideInt>(1) << (Shift - 1);
    if (Rest > Half || (Rest == Half && (Mantissa & 1) != 0)) ++Mantissa;  // 2^53 at most: still exact
    return std::ldexp(static_cast<double>(Mantissa), Exponent + Shift);
}

}  // namespace orbench
