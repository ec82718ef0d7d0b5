#include "DurationSampling.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <boost/math/distributions/weibull.hpp>

#include "Model.h"
#include "OrbenchError.h"
#include "TableText.h"

namespace orbench {

namespace {

// Double precision throughout (no internal long double), so results do not depend on the
// platform's long double; errors are thrown and turned into EOrbenchError below.
using TPolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

constexpr double HalfStep = 1.0 / 8589934592.0;  // 2^-33
constexpr double LowestProbability = HalfStep;
constexpr double HighestProbability = 1.0 - HalfStep;
constexpr double EmpiricalTolerance = 1e-6;
// Counts are stepped one by one around a first guess; above this, steps of 1 no longer change a
// double.
constexpr double LargestPoissonMean = 1e15;

std::string KindName(const TDistribution& D)
{
    const std::string Name = DistributionTypeToStr(D.DistributionType);
    return Name.empty() ? "kind " + std::to_string(static_cast<int>(D.DistributionType)) : Name;
}

[[noreturn]] void Refuse(const TDistribution& D, const std::string& Why)
{
    throw EOrbenchError("a " + KindName(D) + " duration cannot be sampled: " + Why);
}

double EmpiricalTotal(const TDistribution& D)
{
    double Total = 0;
    for (const TEmpiricalDistribution& Point : D.EmpiricalDistrData) Total += Point.Probability;
    return Total;
}

// Refuses a kind without distribution and parameters outside the kind's range.
void CheckParameters(const TDistribution& D)
{
    const auto Finite = [&D](std::initializer_list<double> Values) {
        for (const double V : Values)
            if (!std::isfinite(V)) Refuse(D, "its parameters are not all finite numbers");
    };
    switch (D.DistributionType) {
    case dNormal:
    case dLogNormal:
    case dUniform:
        Finite({D.P1, D.P2});
        return;
    case dThreeParameterLognormal:
        Finite({D.P1, D.P2, D.P3});
        return;
    case dWeibull:
        Finite({D.P1, D.P2});
        if (!(D.P1 > 0 && D.P2 > 0)) Refuse(D, "the shape P1 and the scale P2 must be greater than 0");
        return;
    case dGamma: {
        Finite({D.P1, D.P2});
        if (!(D.P1 > 0 && D.P2 > 0)) Refuse(D, "P1 and P2 must be greater than 0");
        const double Mean = D.P1 * D.P2;
        const double Variance = D.P1 / (D.P2 * D.P2);
        const double Shape = Mean * Mean / Variance;
        const double Scale = Variance / Mean;
        if (!(std::isfinite(Shape) && std::isfinite(Scale) && Shape > 0 && Scale > 0))
            Refuse(D, "its mean and variance give no gamma distribution");
        return;
    }
    case dPoisson:
        Finite({D.P1});
        if (D.P1 < 0) Refuse(D, "the mean P1 must not be negative");
        if (D.P1 > LargestPoissonMean) Refuse(D, "the mean P1 is too large for a count");
        return;
    case dEmpirical: {
        if (D.EmpiricalDistrData.empty()) Refuse(D, "it has no points");
        for (const TEmpiricalDistribution& Point : D.EmpiricalDistrData)
            if (!std::isfinite(Point.Value) || !std::isfinite(Point.Probability) || Point.Probability < 0)
                Refuse(D, "its points need finite values and probabilities of at least 0");
        if (!(std::fabs(EmpiricalTotal(D) - 1) <= EmpiricalTolerance))
            Refuse(D, "the probabilities of its points do not add up to 1");
        return;
    }
    case dNoDistribution:
        break;
    }
    Refuse(D, "the kind has no distribution");
}

double StandardNormalQuantile(double U)
{
    return boost::math::quantile(boost::math::normal_distribution<double, TPolicy>(0, 1), U);
}

// The least k with P(N <= k) >= U for a Poisson count N of the given mean: a normal guess,
// corrected step by step against the distribution function.
double PoissonQuantile(double Mean, double U)
{
    if (Mean == 0) return 0;
    const boost::math::poisson_distribution<double, TPolicy> Poisson(Mean);
    double K = std::max(0.0, std::floor(Mean + std::sqrt(Mean) * StandardNormalQuantile(U)));
    while (boost::math::cdf(Poisson, K) < U) K += 1;
    while (K > 0 && boost::math::cdf(Poisson, K - 1) >= U) K -= 1;
    return K;
}

// The value whose cumulated probability (points in ascending order of value) first exceeds U.
double EmpiricalQuantile(const TDistribution& D, double U)
{
    std::vector<TEmpiricalDistribution> Points = D.EmpiricalDistrData;
    using TPoint = TEmpiricalDistribution;
    const auto ByValue = [](const TPoint& A, const TPoint& B) { return A.Value < B.Value; };
    std::stable_sort(Points.begin(), Points.end(), ByValue);
    const double Target = U * EmpiricalTotal(D);
    double Cumulated = 0;
    const TEmpiricalDistribution* Last = nullptr;
    for (const TEmpiricalDistribution& Point : Points) {
        if (Point.Probability <= 0) continue;
        Cumulated += Point.Probability;
        Last = &Point;
        if (Target < Cumulated) return Point.Value;
    }
    return Last->Value;  // rounding left the target at the very top
}

// The inverse distribution function at U in (0, 1), in the unit of the parameters.
double Quantile(const TDistribution& D, double U)
{
    switch (D.DistributionType) {
    case dNormal:
        return D.P1 + D.P2 * StandardNormalQuantile(U);
    case dLogNormal:
        return std::exp(D.P1 + D.P2 * StandardNormalQuantile(U));
    case dThreeParameterLognormal:
        return D.P3 + std::exp(D.P1 + D.P2 * StandardNormalQuantile(U));
    case dWeibull:
        return boost::math::quantile(boost::math::weibull_distribution<double, TPolicy>(D.P1, D.P2), U);
    case dUniform:
        return D.P1 + (D.P2 - D.P1) * U;
    case dGamma: {
        const double Mean = D.P1 * D.P2;
        const double Variance = D.P1 / (D.P2 * D.P2);
        const boost::math::gamma_distribution<double, TPolicy> Gamma(Mean * Mean / Variance, Variance / Mean);
        return boost::math::quantile(Gamma, U);
    }
    case dPoisson:
        return PoissonQuantile(D.P1, U);
    case dEmpirical:
        return EmpiricalQuantile(D, U);
    case dNoDistribution:
        break;
    }
    Refuse(D, "the kind has no distribution");
}

// The duration in minutes at U' (parameters already checked).
double DurationAt(const TDistribution& D, double U)
{
    double Minutes = 0;
    try {
        Minutes = ConvertDuration(D.UnitOfParameters, uMins, Quantile(D, U));
    } catch (const EOrbenchError&) {
        throw;
    } catch (const std::exception& E) {
        Refuse(D, E.what());
    }
    if (!std::isfinite(Minutes)) Refuse(D, "its durations are not finite numbers");
    return Minutes;
}

}  // namespace

void CheckSampleable(const TDistribution& D)
{
    CheckParameters(D);
    // The inverse functions are monotone, so the extreme draws bound every sample.
    DurationAt(D, LowestProbability);
    DurationAt(D, HighestProbability);
}

double SampleDuration(const TDistribution& D, TUniformGenerator& Random)
{
    CheckParameters(D);
    return DurationAt(D, Random.Draw() + HalfStep);
}

const char* const DurationScenarioHeader = "instance_file,surgery_id,surgery_type_id,scenario,duration_minutes";

void WriteDurationScenarios(std::ostream& Out, const std::vector<const TInstance*>& Instances, int NumScenarios,
                            TUniformGenerator& Random, const std::string& LineEnd)
{
    if (NumScenarios < 1)
        throw EOrbenchError("The number of scenarios must be at least 1, not " + std::to_string(NumScenarios) + ".");
    for (const TInstance* Instance : Instances) {
        int Number = 0;
        for (const auto& Surgery : Instance->Surgeries) {
            ++Number;
            try {
                CheckSampleable(*Surgery->SurgeryType->Distribution);
            } catch (const EOrbenchError& E) {
                throw EOrbenchError(Instance->FileName + ": surgery " + std::to_string(Number) + " of surgery type " +
                                    std::to_string(Surgery->SurgeryType->ID) + ": " + E.what());
            }
        }
    }

    constexpr std::size_t FlushSize = 1 << 20;
    std::string Buffer;
    Buffer.reserve(FlushSize + 4096);
    const auto Flush = [&Out, &Buffer] {
        Out.write(Buffer.data(), static_cast<std::streamsize>(Buffer.size()));
        if (!Out) throw EOrbenchError("The duration scenarios could not be written.");
        Buffer.clear();
    };
    Buffer += DurationScenarioHeader;
    Buffer += LineEnd;
    for (const TInstance* Instance : Instances) {
        // "file,surgery,type," of every surgery of the instance, made once.
        const std::string FileField = CsvField(Instance->FileName) + ",";
        std::vector<std::string> Prefixes;
        Prefixes.reserve(Instance->Surgeries.size());
        for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i)
            Prefixes.push_back(FileField + std::to_string(i + 1) + "," +
                               std::to_string(Instance->Surgeries[i]->SurgeryType->ID) + ",");
        for (int Scenario = 1; Scenario <= NumScenarios; ++Scenario) {
            const std::string ScenarioField = std::to_string(Scenario) + ",";
            for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i) {
                const TDistribution& D = *Instance->Surgeries[i]->SurgeryType->Distribution;
                Buffer += Prefixes[i];
                Buffer += ScenarioField;
                AppendFixed9(Buffer, DurationAt(D, Random.Draw() + HalfStep));
                Buffer += LineEnd;
                if (Buffer.size() >= FlushSize) Flush();
            }
        }
    }
    Flush();
}

std::string DurationScenarioTable(const std::vector<const TInstance*>& Instances, int NumScenarios,
                                  TUniformGenerator& Random, const std::string& LineEnd)
{
    std::ostringstream Out;
    WriteDurationScenarios(Out, Instances, NumScenarios, Random, LineEnd);
    return std::move(Out).str();
}

}  // namespace orbench
