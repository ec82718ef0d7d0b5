// Exact sums of doubles: the sums behind every overlap value.
//
// Problem. The sum of a sequence of doubles (expected durations, and products of a duration by a
// count), rounded once to the nearest double, ties to even: the same value whatever the order of
// the terms, so that an overlap does not depend on the grouping, the threads or the engine.
//
// Algorithm (TExactSum). The running sum is kept exactly as a list of non-overlapping partials of
// increasing magnitude. A term is added by Shewchuk's Grow-Expansion with zero elimination
// (Shewchuk 1997, "Adaptive Precision Floating-Point Arithmetic and Fast Robust Geometric
// Predicates"), in the form of Python's math.fsum: the term is carried up the list by Fast-Two-Sum
// (Dekker 1971), each step keeping its rounding error as a partial unless it is zero. The value is
// read as math.fsum reads it: the partials summed from the largest down until a step is inexact,
// then corrected when that step's error is exactly half an ulp and the partials below point the
// same way, so that a sum just past a tie rounds away from it. Count * Value is added exactly as
// the rounded product and its error, the error found by Dekker's product with Veltkamp's split
// (Dekker 1971, "A floating-point technique for extending the available precision") or, near the
// ends of the range, by a fused multiply-add.
//
// Why it is exact. Fast-Two-Sum of x and y with |x| >= |y| gives Hi + Lo == x + y exactly, so the
// partials always sum exactly to the terms so far; as they do not overlap, the first inexact step
// from the top rounds correctly, except at a tie, which the sign of the partials below breaks.
//
// Fixed point (FixedExponentFor, ToFixed, FixedToDouble). When all values of an analysis are
// finite, non-negative and span few enough bits, each is a whole multiple of 2^Exponent (the
// smallest unit in the last place among them) that fits 127 - HeadroomBits bits: sums of products
// by counts are then plain 128-bit integer sums, exact as long as the headroom holds, and
// FixedToDouble rounds the result once, half to even.
//
// Cost. TExactSum: Add and Value O(p) for p partials (few for terms within some decades of each
// other; see FPartials for the limit), memory 48 doubles per sum. Fixed point: O(1) per term
// and per reading, FixedExponentFor O(n) for n values.
//
// See docs/engines.md, "Exact sums".

#pragma once

#include <array>
#include <cstddef>
#include <vector>

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
        FMore.clear();
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
    // Non-overlapping partials by increasing magnitude. Terms within some decades of each other need
    // few, held in FPartials; terms whose exponents span most of the range of doubles can need more
    // (up to some two thousand), and then all of them move to FMore for the rest of the sum.
    static constexpr int MaxPartials = 48;
    double* Partials() { return FMore.empty() ? FPartials.data() : FMore.data(); }
    const double* Partials() const { return FMore.empty() ? FPartials.data() : FMore.data(); }
    std::array<double, MaxPartials> FPartials;
    std::vector<double> FMore;
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
