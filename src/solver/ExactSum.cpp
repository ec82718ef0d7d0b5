#include "ExactSum.h"

#include <cmath>

namespace orbench {

void TExactSum::Add(double Term)
{
    if (!std::isfinite(Term)) {
        FSpecial += Term;
        FHasSpecial = true;
        return;
    }
    double x = Term;
    int Kept = 0;
    for (int k = 0; k < FCount; ++k) {
        double y = FPartials[static_cast<std::size_t>(k)];
        if (std::fabs(x) < std::fabs(y)) {
            const double t = x;
            x = y;
            y = t;
        }
        const double Hi = x + y;
        const double Lo = y - (Hi - x);
        if (Lo != 0) FPartials[static_cast<std::size_t>(Kept++)] = Lo;
        x = Hi;
    }
    if (!std::isfinite(x)) {  // the exact sum left the range of doubles
        FSpecial += x;
        FHasSpecial = true;
        FCount = Kept;
        return;
    }
    FPartials[static_cast<std::size_t>(Kept++)] = x;
    FCount = Kept;
}

void TExactSum::AddMultiple(int Count, double Value)
{
    if (Count == 1) {
        Add(Value);
        return;
    }
    const double c = static_cast<double>(Count);
    const double Product = c * Value;
    Add(Product);
    if (std::isfinite(Product)) Add(std::fma(c, Value, -Product));
}

void TExactSum::Add(const TExactSum& Other)
{
    for (int k = 0; k < Other.FCount; ++k) Add(Other.FPartials[static_cast<std::size_t>(k)]);
    if (Other.FHasSpecial) {
        FSpecial += Other.FSpecial;
        FHasSpecial = true;
    }
}

double TExactSum::Value() const
{
    if (FHasSpecial) return FSpecial;
    int n = FCount;
    if (n == 0) return 0;
    double Hi = FPartials[static_cast<std::size_t>(--n)];
    double Lo = 0;
    while (n > 0) {
        const double x = Hi;
        const double y = FPartials[static_cast<std::size_t>(--n)];
        Hi = x + y;
        Lo = y - (Hi - x);
        if (Lo != 0) break;
    }
    // Rounding half to even across several partials: when the rest below Lo points the same way
    // as Lo, the true sum lies beyond the halfway point that Hi + Lo rounded to.
    if (n > 0 && ((Lo < 0 && FPartials[static_cast<std::size_t>(n - 1)] < 0) ||
                  (Lo > 0 && FPartials[static_cast<std::size_t>(n - 1)] > 0))) {
        const double y = Lo * 2;
        const double x = Hi + y;
        if (y == x - Hi) Hi = x;
    }
    return Hi == 0 ? 0.0 : Hi;
}

}  // namespace orbench
