#include "Distribution.h"

#include <cmath>
#include <initializer_list>

#include "TextUtils.h"

namespace orbench {

namespace {

struct TKindText {
    const char* Text;
    DistributionTp Kind;
};

// In table order: the first text equal to the lowered input names the kind.
constexpr TKindText KindTexts[] = {
    {"normal", dNormal},
    {"dnormal", dNormal},
    {"lognormal", dLogNormal},
    {"dlognormal", dLogNormal},
    {"3parameterlognormal", dThreeParameterLognormal},
    {"d3parameterlognormal", dThreeParameterLognormal},
    {"threeparameterlognormal", dThreeParameterLognormal},
    {"dthreeparameterlognormal", dThreeParameterLognormal},
    {"weibull", dWeibull},
    {"dweibull", dWeibull},
    {"uniform", dUniform},
    {"duniform", dUniform},
    {"gamma", dGamma},
    {"dgamma", dGamma},
    {"poisson", dPoisson},
    {"dpoisson", dPoisson},
    {"empirical", dEmpirical},
    {"dempirical", dEmpirical},
};

bool MayFail(DistributionTp Kind) { return Kind == dLogNormal || Kind == dThreeParameterLognormal || Kind == dWeibull; }

}  // namespace

TDistribution::TDistribution(int ObjectID) : ID(ObjectID) {}

bool TDistribution::IntermediatesFinite(bool ForVariance) const
{
    if (!MayFail(DistributionType)) return true;  // there an overflow reaches the result itself
    const auto Finite = [](std::initializer_list<double> Values) {
        for (const double Value : Values)
            if (!std::isfinite(Value)) return false;
        return true;
    };
    if (DistributionType == dWeibull) {
        const double Shape = ForVariance ? 1 + 2 / P1 : 1 + 1 / P1;
        return Finite({Shape, std::tgamma(Shape), ForVariance ? P2 * P2 : P2});
    }
    // The lognormal kinds: exp(P1 + P2^2 / 2) and (exp(P2^2) - 1) exp(2 P1 + P2^2).
    const double S = P2 * P2;
    return ForVariance ? Finite({S, std::exp(S), 2 * P1, 2 * P1 + S, std::exp(2 * P1 + S)})
                       : Finite({S, P1 + S / 2, std::exp(P1 + S / 2)});
}

bool TDistribution::CalculateExpected()
{
    if (DistributionType == dEmpirical) {
        Expected = ExpectedEmpirical();
        return true;
    }
    // Every intermediate of the formula must be finite too: exp(-inf) = 0 would hide an overflow.
    if (!IntermediatesFinite(false)) return false;
    double m = 0;
    switch (DistributionType) {
        case dNoDistribution:
        case dNormal:
        case dPoisson: m = P1; break;
        case dLogNormal: m = std::exp(P1 + P2 * P2 / 2); break;
        case dThreeParameterLognormal: m = std::exp(P1 + P2 * P2 / 2) + P3; break;
        case dWeibull: m = P2 * std::tgamma(1 + 1 / P1); break;
        case dUniform: m = (P1 + P2) / 2; break;
        case dGamma: m = P1 * P2; break;
        case dEmpirical: break;
    }
    // Overflow, division by zero, a pole of the gamma function or an argument outside the domain
    // all end in an infinite or undefined result.
    if (MayFail(DistributionType) && !std::isfinite(m)) return false;
    Expected = ConvertDuration(UnitOfParameters, uDays, m);
    return true;
}

bool TDistribution::CalculateVariance()
{
    if (!IntermediatesFinite(true)) return false;
    double v = 0;
    switch (DistributionType) {
        case dNoDistribution:
        case dNormal:
        case dPoisson:
        case dEmpirical: v = P2 * P2; break;
        case dLogNormal:
        case dThreeParameterLognormal: v = (std::exp(P2 * P2) - 1) * std::exp(2 * P1 + P2 * P2); break;
        case dWeibull: {
            if (Expected == 0) CalculateExpected();
            const double m = ConvertDuration(uDays, UnitOfParameters, Expected);
            v = P2 * P2 * std::tgamma(1 + 2 / P1) - m * m;
            break;
        }
        case dUniform: v = (P2 - P1) * (P2 - P1) / 12; break;
        case dGamma: v = P1 / (P2 * P2); break;
    }
    if (MayFail(DistributionType) && !std::isfinite(v)) return false;
    Variance = ConvertDuration(UnitOfParameters, uDays, ConvertDuration(UnitOfParameters, uDays, v));
    return true;
}

double TDistribution::CalculateStdDev()
{
    CalculateVariance();
    return std::sqrt(Variance);
}

double TDistribution::CalculateCoefVar()
{
    CalculateExpected();
    const double StdDev = CalculateStdDev();
    return StdDev / Expected;
}

double TDistribution::ExpectedEmpirical() const
{
    double Sum = 0;
    for (const TEmpiricalDistribution& Point : EmpiricalDistrData) Sum += Point.Probability * Point.Value;
    return ConvertDuration(UnitOfParameters, uDays, Sum);
}

DistributionTp StrToDistributionType(const std::string& Text)
{
    const std::string Lowered = LowerCaseAscii(Text);
    for (const TKindText& Entry : KindTexts)
        if (Lowered == Entry.Text) return Entry.Kind;
    return dNoDistribution;
}

std::string DistributionTypeToStr(DistributionTp Kind)
{
    switch (Kind) {
        case dNoDistribution: return "NoDistribution";
        case dNormal: return "Normal";
        case dLogNormal: return "LogNormal";
        case dThreeParameterLognormal: return "ThreeParameterLognormal";
        case dWeibull: return "Weibull";
        case dUniform: return "Uniform";
        case dGamma: return "Gamma";
        case dPoisson: return "Poisson";
        case dEmpirical: return "Empirical";
    }
    return "";
}

double ConvertDuration(TTimeUnitTp FromUnit, TTimeUnitTp ToUnit, double X)
{
    if (FromUnit == ToUnit) return X;
    if (FromUnit == uDays) return X * MinutesPerDay;
    return X / MinutesPerDay;
}

std::string ParameterProblem(const TDistribution& D)
{
    switch (D.DistributionType) {
        case dWeibull:
            if (!(D.P1 > 0)) return "P1 (the shape) must be greater than 0";
            if (!(D.P2 > 0)) return "P2 (the scale) must be greater than 0";
            return "";
        case dGamma:
            if (!(D.P1 > 0)) return "P1 (the shape) must be greater than 0";
            if (!(D.P2 > 0)) return "P2 must be greater than 0";
            return "";
        case dUniform: return "";
        default:
            if (D.P2 < 0) return "P2 (a standard deviation) must not be negative";
            return "";
    }
}

}  // namespace orbench
