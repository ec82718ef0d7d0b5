#pragma once

#include <array>
#include <cstddef>

namespace orbench {

// The correctly rounded sum of a sequence of doubles, whatever their order: the running sum is
// kept exactly as a short list of non-overlapping partials (Shewchuk's algorithm), rounded once
// (half to even) when the value is read. A zero sum reads as +0, never -0. Non-finite terms make
// the sum their plain sum (inf or nan).
class TExactSum {
public:
    TExactSum() = default;
    TExactSum(const TExactSum& Other) { *this = Other; }
    TExactSum& operator=(const TExactSum& Other);

    void Clear()
    {
        FCount = 0;
        FSpecial = 0;
        FHasSpecial = false;
    }
    void Add(double Term);
    // Adds Count * Value exactly (as the two parts of the product).
    void AddMultiple(int Count, double Value);
    // Adds every partial of another sum: the result is exactly the sum of both term sequences.
    void Add(const TExactSum& Other);
    double Value() const;

private:
    // Non-overlapping partials, each below half an ulp of the next: their exponents lie at least
    // 53 apart, so the whole range of doubles holds at most about 40 of them.
    static constexpr int MaxPartials = 48;
    std::array<double, MaxPartials> FPartials;
    int FCount = 0;
    double FSpecial = 0;  // plain sum of the non-finite terms
    bool FHasSpecial = false;
};

// Exact sums of non-negative values in fixed point: each value a whole multiple of 2^Exponent held
// in 128 bits, so that sums of products by counts are plain integer arithmetic. Used where every
// value of an analysis fits one common scale; TExactSum otherwise.
__extension__ typedef unsigned __int128 TWideInt;

// Marks values that have no fixed-point form.
constexpr int NoFixedExponent = -2147483647 - 1;

// The common exponent for a set of values: each value, a whole multiple of 2^Exponent, then takes
// at most 127 - HeadroomBits bits. NoFixedExponent when some value is negative or not finite, or
// when they span too wide a range.
int FixedExponentFor(const double* Values, std::size_t Count, int HeadroomBits);
// Value (a multiple of 2^Exponent, as FixedExponentFor ensures) as a whole number of 2^Exponent.
TWideInt ToFixed(double Value, int Exponent);
// Sum * 2^Exponent rounded to the nearest double (ties to even); never -0.
double FixedToDouble(TWideInt Sum, int Exponent);

}  // namespace orbench
