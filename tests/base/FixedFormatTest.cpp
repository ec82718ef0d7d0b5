#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "NumberFormat.h"

namespace orbench {
namespace {

std::string Reference(double Value, int Decimals)
{
    char Buffer[400];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::fixed, Decimals);
    std::string Text(Buffer, Result.ptr);
    // No output holds a negative zero: a value that prints as zero prints without its sign.
    if (Text[0] == '-' && Text.find_first_of("123456789") == std::string::npos) Text.erase(0, 1);
    return Text;
}

// Fixed notation gives exactly the digits of std::to_chars: exact halfway cases round to even,
// signs stay except on a value that prints as zero, and values beyond the fast path's range take the general one.
TEST(FixedFormat, SameDigitsAsToChars)
{
    const double Cases[] = {0.0,
                            -0.0,
                            0.5,
                            1.5,
                            2.5,
                            -2.5,
                            0.0009765625,
                            0.125,
                            0.375,
                            1e-10,
                            -1e-10,
                            0.1,
                            5e-10,
                            15e-10,
                            123.4567890125,
                            4503599627370495.5,
                            9007199254740991.0,
                            9007199254740992.0,
                            1e300,
                            std::ldexp(1.0, -1074),
                            1.0 / 3};
    for (const double Value : Cases)
        for (int Decimals = 0; Decimals <= 11; ++Decimals)
            EXPECT_EQ(FormatFixed(Value, Decimals), Reference(Value, Decimals)) << Value << " " << Decimals;

    std::mt19937_64 Rng(3);
    for (int k = 0; k < 200000; ++k) {
        double Value = 0;
        if (k % 3 == 0) {
            const std::uint64_t Bits = Rng();
            std::memcpy(&Value, &Bits, sizeof Value);
            if (!std::isfinite(Value)) continue;
        } else if (k % 3 == 1) {
            Value = static_cast<double>(static_cast<long long>(Rng() % 2000001) - 1000000) / 4096;  // many exact halves
        } else {
            Value = std::ldexp(static_cast<double>(Rng() % 1000000007), static_cast<int>(Rng() % 80) - 60);
        }
        const int Decimals = static_cast<int>(Rng() % 10);
        ASSERT_EQ(FormatFixed(Value, Decimals), Reference(Value, Decimals)) << Value << " " << Decimals;
    }

    // The fields of a data line: the separator before each value, also where one takes the general way.
    for (const double Middle : {-0.0, 123.4567890125, -1e300}) {
        std::string Line = "7";
        AppendFixedFields(Line, {0.5, Middle, 1.0 / 3}, 9, '\t');
        EXPECT_EQ(Line, "7\t0.500000000\t" + Reference(Middle, 9) + "\t" + Reference(1.0 / 3, 9));
    }
}

}  // namespace
}  // namespace orbench
