#pragma once

#include <array>

namespace orbench {

// The correctly rounded sum of a sequence of doubles, whatever their order: the running sum is
// kept exactly as a short list of non-overlapping partials (Shewchuk's algorithm), rounded once
// (half to even) when the value is read. A zero sum reads as +0, never -0. Non-finite terms make
// the sum their plain sum (inf or nan).
class TExactSum {
public:
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
    // Non-overlapping partials whose exponents lie at least 53 apart: at most about 40 for the
    // whole range of doubles.
    static constexpr int MaxPartials = 64;
    std::array<double, MaxPartials> FPartials{};
    int FCount = 0;
    double FSpecial = 0;  // plain sum of the non-finite terms
    bool FHasSpecial = false;
};

}  // namespace orbench
