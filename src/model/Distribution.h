#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BlockPool.h"

namespace orbench {

enum DistributionTp : std::uint8_t {
    dNoDistribution = 0,
    dNormal = 1,
    dLogNormal = 2,
    dThreeParameterLognormal = 3,
    dWeibull = 4,
    dUniform = 5,
    dGamma = 6,
    dPoisson = 7,
    dEmpirical = 8,
};

enum TTimeUnitTp : std::uint8_t { uMins = 0, uDays = 1 };

constexpr double MinutesPerDay = 1440.0;

struct TEmpiricalDistribution {
    double Probability = 0;
    double Value = 0;
};
using TEmpiricalDistributionArray = std::vector<TEmpiricalDistribution>;

// The duration distribution of a surgery type. Parameters are in UnitOfParameters; the cached mean
// Expected is always in days and Variance in days squared.
class TDistribution : public TPooled<TDistribution> {
public:
    explicit TDistribution(int ObjectID);

    int ID;
    DistributionTp DistributionType = dNoDistribution;
    double P1 = 0;
    double P2 = 0;
    double P3 = 0;
    double MinValue = -2147483647.0;
    double MaxValue = 2147483647.0;
    TTimeUnitTp UnitOfParameters = uMins;
    double Expected = 0;
    double Variance = 0;
    double FromTime = 0;
    double ToTime = 1.0;
    TEmpiricalDistributionArray EmpiricalDistrData;

    // Compute and store the mean (days) / variance (days squared). False when the computation
    // failed for the lognormal and Weibull kinds; the cached field then keeps its value.
    bool CalculateExpected();
    bool CalculateVariance();
    // Refreshes Variance and returns its square root (days).
    double CalculateStdDev();
    // Whether every intermediate of the mean's (or the variance's) formula is a finite number.
    bool IntermediatesFinite(bool ForVariance) const;
    // Refreshes Expected and Variance and returns the standard deviation over the mean.
    double CalculateCoefVar();
    // The mean of EmpiricalDistrData in days.
    double ExpectedEmpirical() const;
};

DistributionTp StrToDistributionType(const std::string& Text);
std::string DistributionTypeToStr(DistributionTp Kind);
double ConvertDuration(TTimeUnitTp FromUnit, TTimeUnitTp ToUnit, double X);

// What is wrong with the parameters of D for its kind, or "" when nothing is: a standard deviation
// (P2 of Normal, the two lognormal kinds, Poisson, Empirical and NoDistribution) below 0, and a
// Weibull or Gamma parameter of 0 or less (their moments divide by them or need them positive).
std::string ParameterProblem(const TDistribution& D);

}  // namespace orbench
