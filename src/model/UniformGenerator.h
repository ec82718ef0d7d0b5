#pragma once

#include <cstdint>

namespace orbench {

// The program's one uniform pseudo-random sequence: a linear congruential generator
// s := s * 134775813 + 1 (mod 2^32), returning s / 2^32 in [0, 1).
class TUniformGenerator {
public:
    static constexpr std::uint32_t DefaultSeed = 12345;

    explicit TUniformGenerator(std::uint32_t Seed = DefaultSeed) : FState(Seed) {}

    void Seed(std::uint32_t Value) { FState = Value; }
    std::uint32_t State() const { return FState; }

    double Draw()
    {
        FState = FState * 134775813u + 1u;
        return static_cast<double>(FState) * (1.0 / 4294967296.0);
    }

private:
    std::uint32_t FState;
};

}  // namespace orbench
