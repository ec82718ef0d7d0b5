#pragma once

// Realised surgery durations: sampling each distribution kind, and tables of duration scenarios for
// instances whose values depend only on the surgery they belong to.
//
// The stream rule. The duration of surgery s (its 1-based number in the instance file) in scenario
// k (1-based) of an instance, under the seed S, is the inverse distribution function of its
// surgery type at one number U in (0, 1) that is a pure function of (S, the instance's content, s,
// k):
//   Key   = the first 16 hexadecimal digits of the SHA-256 of the instance file's text as the
//           program writes it (TInstance::FileText: CR LF line ends, numbers with 9 decimals; the
//           capacity line is that of the case mix as read), read as an unsigned 64-bit number
//   Lane  = Mix(Mix(Key ^ Mix(S)) ^ Mix(s))
//   Bits  = Mix(Lane ^ Mix(k))
//   U     = ((Bits >> 12) + 1/2) / 2^52
// where Mix is SplitMix64's step (add 0x9E3779B97F4A7C15, then the finaliser of Steele, Lea and
// Flood, "Fast splittable pseudorandom number generators", OOPSLA 2014, with Vigna's constants).
// Adding, removing, reordering or repeating instance files, or asking for more scenarios, leaves
// every existing (instance, surgery, scenario) value unchanged; two instances of the same content
// have the same values. U lies on the midpoints of a grid of 2^52 steps, symmetric about 1/2.
//
// Each kind is sampled as its mean and variance are defined (parameters in UnitOfParameters,
// results in minutes; the cached Expected and Variance are not read, the parameters are), and no
// duration is ever below 0: a kind that can go below 0 is drawn from its distribution truncated
// at 0, by the inverse distribution function on [F(0), 1] (no rejection, one U per value).
//  - Normal: mean P1, standard deviation |P2|, truncated at 0. P2 = 0: the fixed duration P1.
//  - LogNormal: exp(P1 + |P2| Z), Z standard normal.
//  - ThreeParameterLognormal: P3 + exp(P1 + |P2| Z), truncated at 0 when P3 < 0.
//  - Weibull: shape P1, scale P2.
//  - Uniform: between P1 and P2, truncated at 0 when the lower bound is below 0.
//  - Gamma: the moments read P2 two ways (mean P1 P2 takes it as a scale, variance P1 / P2^2 as a
//    rate), so no single gamma(P1, P2) reading has both. The sample comes from the gamma
//    distribution with that mean m and variance v: shape m^2 / v = P1 P2^4 and scale v / m =
//    1 / P2^3. With P2 = 1 both readings agree and this is gamma(P1, 1); otherwise a warning says
//    which mean and standard deviation are drawn.
//  - Poisson: a Poisson count with mean P1 (in the unit of the parameters). P2 is a stated
//    standard deviation that only the variance reads; a Poisson variable's variance is its mean,
//    so the samples match the stated variance only when P2^2 = P1 (a warning says so otherwise).
//  - Empirical: the points of EmpiricalDistrData with their probabilities, taken in ascending
//    order of Value; points below 0 are cut off. The probabilities must add up to 1 (within 1e-6);
//    P2 is not used.
//  - NoDistribution with P2 = 0: the fixed duration P1. With another P2 (a spread without a kind
//    of distribution), and any unknown kind, it is refused.
// A fixed duration below 0, and a distribution with no mass above 0, are refused.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "Distribution.h"
#include "UniformGenerator.h"

namespace orbench {

class TCaseMix;
class TInstance;

// A distribution prepared for sampling: its parameters checked once, the truncation at 0 worked
// out. Throws EOrbenchError, saying why, when D cannot be sampled: no distribution, parameters
// outside the kind's range, no durations above 0, or durations that are not finite even at the
// extreme values of U.
class TDurationSampler {
public:
    explicit TDurationSampler(const TDistribution& D);

    // The duration in minutes at U in (0, 1); never below 0.
    double At(double U) const;
    // The share of the distribution's mass below 0 that the truncation cuts off.
    double CutShare() const { return FCut; }
    // The mean of the durations drawn (after the truncation), in minutes.
    double DrawnMean() const { return FDrawnMean; }

private:
    double Raw(double U) const;

    TDistribution FD;
    std::vector<TEmpiricalDistribution> FPoints;  // Empirical: the points kept, by value
    double FPointsTotal = 0;
    double FCut = 0;
    double FAbove = 1;  // the mass at or above 0 (1 - FCut, computed directly)
    double FZ0 = 0;     // ThreeParameterLognormal: the Z below which durations are below 0
    double FDrawnMean = 0;
};

// Throws EOrbenchError, saying why, when D cannot be sampled.
void CheckSampleable(const TDistribution& D);
// The same for every surgery of the instances, naming the instance file, the surgery and its type.
void CheckSampleable(const std::vector<const TInstance*>& Instances);

// One sampled duration in minutes from one draw U of Random, at U + 2^-33 (the midpoint of the
// generator's step). Throws EOrbenchError (without drawing) when D cannot be sampled.
double SampleDuration(const TDistribution& D, TUniformGenerator& Random);

// The stream rule above: the key of an instance, and U of (seed, key, surgery, scenario).
std::uint64_t InstanceStreamKey(const TInstance& Instance);
double ScenarioUniform(std::uint32_t Seed, std::uint64_t InstanceKey, std::uint64_t Surgery, std::uint64_t Scenario);

// The durations of one instance: row s - 1 for surgery s, column k - 1 for scenario k.
std::vector<std::vector<double>> InstanceScenarios(const TInstance& Instance, int NumScenarios, std::uint32_t Seed);

// long: one line per instance, scenario and surgery; wide: one line per instance and surgery with
// one column per scenario.
enum class TScenarioFormat { sfLong, sfWide };

// The header line of the long table, without its line end.
extern const char* const DurationScenarioHeader;

// The duration scenarios of Instances as CSV. Long: the header, then one line per instance,
// scenario and surgery, in that order (instances as given, scenarios 1..NumScenarios, surgeries in
// list order), each holding the instance's FileName (quoted when it needs to be), the surgery's
// number, the surgery type's ID, the scenario number and the duration in minutes (fixed, 9
// decimals, '.'). Wide: the header "instance_file,surgery_id,surgery_type_id,scenario_1,...",
// then one line per instance and surgery with the durations of scenarios 1..NumScenarios. The
// surgery's number is its 1-based position in the instance, its number in the instance file
// ("SurgNr"). Lines end with LineEnd.
// Every surgery type is checked first; a type that cannot be sampled throws EOrbenchError naming
// the instance file, the surgery and the surgery type, before anything is written. NumScenarios
// below 1 is refused the same way.
void WriteDurationScenarios(std::ostream& Out, const std::vector<const TInstance*>& Instances, int NumScenarios,
                            std::uint32_t Seed, TScenarioFormat Format, const std::string& LineEnd);
std::string DurationScenarioTable(const std::vector<const TInstance*>& Instances, int NumScenarios, std::uint32_t Seed,
                                  TScenarioFormat Format, const std::string& LineEnd);

// What a user of the scenarios should know, one line per surgery type (without a line end): a
// type of the instances that loses more than 1 % of its mass to the truncation at 0 (the share
// and the mean drawn), a Gamma type with P2 other than 1 and a Poisson type with P2^2 other than
// P1 (the mean and standard deviation drawn), and every pair of types of the case mix of
// different kinds with the same P1, P2 and P3 (an instance file's surgeries of the second are read
// as the first). Types that cannot be sampled are left to WriteDurationScenarios.
std::vector<std::string> SamplingWarnings(const TCaseMix& CaseMix, const std::vector<const TInstance*>& Instances);

}  // namespace orbench
