#pragma once

// Realised surgery durations: sampling each distribution kind and tables of duration scenarios
// for instances.
//
// Every sample takes exactly one uniform draw U from the given generator and returns the inverse
// distribution function at U' = U + 2^-33, the midpoint of the generator's step of width 2^-32.
// U' lies strictly inside (0, 1), so a draw of exactly 0 yields a finite duration (the normal
// kinds would otherwise give minus infinity), and the 2^32 possible values of U' lie
// symmetrically about 1/2: the shift removes the downward bias of U (mean 1/2 - 2^-33) instead
// of adding one. Inverse functions are monotone in U, so one seed gives one sequence of
// durations and types with nearby parameters get nearby samples from the same draw.
//
// Each kind is sampled as its mean and variance are defined (parameters in UnitOfParameters,
// results in minutes; the cached Expected and Variance are not read, the parameters are):
//  - Normal: mean P1, standard deviation P2. No truncation: a wide normal can give durations
//    below 0, as its moments imply.
//  - LogNormal: exp(P1 + P2 Z), Z standard normal. ThreeParameterLognormal: P3 + exp(P1 + P2 Z).
//  - Weibull: shape P1, scale P2.
//  - Uniform: between P1 and P2.
//  - Gamma: the moments read P2 two ways (mean P1 P2 takes it as a scale, variance P1 / P2^2 as a
//    rate), so no single gamma(P1, P2) reading has both. The sample comes from the gamma
//    distribution with that mean m and variance v: shape m^2 / v = P1 P2^4 and scale v / m =
//    1 / P2^3. Its mean and variance are then exactly Expected and Variance; with P2 = 1 both
//    readings agree and this is gamma(P1, 1).
//  - Poisson: a Poisson count with mean P1 (in the unit of the parameters). P2 is, as for
//    Empirical, a stated standard deviation that only the variance reads; a Poisson variable's
//    variance is its mean, so samples have variance P1 and match Variance when P2^2 = P1.
//  - Empirical: the points of EmpiricalDistrData with their probabilities, taken in ascending
//    order of Value for the inverse function. The probabilities must add up to 1 (within 1e-6)
//    so that the samples have the mean Expected; P2 is not used.
//  - NoDistribution (and any unknown kind) has no distribution and is refused.

#include <iosfwd>
#include <string>
#include <vector>

#include "Distribution.h"
#include "UniformGenerator.h"

namespace orbench {

class TInstance;

// Throws EOrbenchError, saying why, when D cannot be sampled: no distribution, parameters
// outside the kind's range, or durations that are not finite even at the extreme draws.
void CheckSampleable(const TDistribution& D);

// One sampled duration in minutes, from one draw of Random. Throws EOrbenchError (without
// drawing) when the kind has no distribution or the parameters are out of range, and when the
// result is not a finite number.
double SampleDuration(const TDistribution& D, TUniformGenerator& Random);

// The header line of the scenario table, without its line end.
extern const char* const DurationScenarioHeader;

// The duration scenarios of Instances as CSV: the header, then one line per instance, scenario
// and surgery, in that order (instances as given, scenarios 1..NumScenarios, surgeries in list
// order), each holding the instance's FileName (quoted when it needs to be), the surgery ID, the
// surgery type's ID, the scenario number and the sampled duration in minutes (fixed, 9 decimals,
// '.'). The surgery ID is the surgery's 1-based position in the instance, which is its number
// in the instance file ("SurgNr"): unlike the identifier the model hands out, it does not depend
// on what else was read before. Lines end with LineEnd. Draws are taken in the order of the
// lines, one per line.
// Every surgery type is checked first; a type that cannot be sampled throws EOrbenchError naming
// the instance file, the surgery and the surgery type, before anything is written or drawn.
// NumScenarios below 1 is refused the same way.
void WriteDurationScenarios(std::ostream& Out, const std::vector<const TInstance*>& Instances, int NumScenarios,
                            TUniformGenerator& Random, const std::string& LineEnd);
std::string DurationScenarioTable(const std::vector<const TInstance*>& Instances, int NumScenarios,
                                  TUniformGenerator& Random, const std::string& LineEnd);

}  // namespace orbench
