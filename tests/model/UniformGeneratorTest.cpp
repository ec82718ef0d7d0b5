// The program's one uniform generator: its sequence is part of every file it makes.
#include <gtest/gtest.h>

#include <cstdint>

#include "UniformGenerator.h"

namespace orbench {
namespace {

TEST(UniformGenerator, SequenceFromTheDefaultSeed)
{
    const std::uint64_t S1 = (12345ull * 134775813ull + 1) % (1ull << 32);
    const std::uint64_t S2 = (S1 * 134775813ull + 1) % (1ull << 32);
    TUniformGenerator Random;
    const double First = Random.Draw();
    EXPECT_EQ(First, static_cast<double>(S1) / 4294967296.0);
    EXPECT_NEAR(First, 0.38535, 5e-6);
    EXPECT_EQ(Random.Draw(), static_cast<double>(S2) / 4294967296.0);
    Random.Seed(12345);  // the same seed restarts the same sequence
    EXPECT_EQ(Random.Draw(), First);
}

TEST(UniformGenerator, StateWrapsAroundAndStaysBelowOne)
{
    TUniformGenerator Random(4294967295u);
    const std::uint64_t Next = (1ull << 32) - 134775813ull + 1;  // (2^32 - 1) * a + 1 = 1 - a (mod 2^32)
    const double U = Random.Draw();
    EXPECT_EQ(Random.State(), Next);
    EXPECT_EQ(U, static_cast<double>(Next) / 4294967296.0);
    EXPECT_LT(U, 1.0);
}

}  // namespace
}  // namespace orbench
