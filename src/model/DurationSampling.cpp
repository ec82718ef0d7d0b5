#include "DurationSampling.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <boost/math/distributions/weibull.hpp>

#include "Model.h"
#include "OrbenchError.h"
#include "Sha256.h"
#include "TableText.h"

namespace orbench {

namespace {

// Double precision throughout (no internal long double), so results do not depend on the
// platform's long double; errors are thrown and turned into EOrbenchError below.
using TPolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
using TNormal = boost::math::normal_distribution<double, TPolicy>;

constexpr double HalfStep = 1.0 / 8589934592.0;        // 2^-33, half a step of the 32-bit generator
constexpr double GridStep = 1.0 / 4503599627370496.0;  // 2^-52, the step of the scenario numbers U
constexpr double LowestU = GridStep / 2;
constexpr double HighestU = 1 - GridStep / 2;
constexpr double EmpiricalTolerance = 1e-6;
// Counts are stepped one by one around a first guess; above this, steps of 1 no longer change a
// double.
constexpr double LargestPoissonMean = 1e15;
// A truncation that cuts off more than this share of a type's mass is worth a warning.
constexpr double NotableCut = 0.01;

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
        case dUniform: Finite({D.P1, D.P2}); return;
        case dThreeParameterLognormal: Finite({D.P1, D.P2, D.P3}); return;
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
            Finite({D.P1, D.P2});
            if (D.P2 != 0)
                Refuse(D,
                       "it states a standard deviation P2 but no kind of distribution (only P2 = 0, the fixed "
                       "duration P1, can be sampled)");
            return;
    }
    Refuse(D, "the kind has no distribution");
}

double StandardNormalQuantile(double U) { return boost::math::quantile(TNormal(0, 1), U); }

// The z with P(Z > z) = Q for a standard normal Z.
double UpperNormalQuantile(double Q) { return boost::math::quantile(boost::math::complement(TNormal(0, 1), Q)); }

// P(Z > z) for a standard normal Z.
double UpperNormalTail(double Z) { return boost::math::cdf(boost::math::complement(TNormal(0, 1), Z)); }

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

std::string Number(double Value)
{
    char Text[40];
    std::snprintf(Text, sizeof Text, "%.6g", Value);
    return Text;
}

}  // namespace

TDurationSampler::TDurationSampler(const TDistribution& D) : FD(D)
{
    CheckParameters(D);
    const double Spread = std::fabs(D.P2);
    // A truncated normal part: the mass of Z above Z0, or a refusal when there is none.
    const auto TruncateAt = [this, &D](double Z0) {
        FZ0 = Z0;
        FAbove = UpperNormalTail(Z0);
        if (!(FAbove > 0)) Refuse(D, "it has no durations above 0");
        FCut = boost::math::cdf(TNormal(0, 1), Z0);
    };
    const auto RefuseBelowZero = [&D](double Fixed) {
        if (Fixed < 0) Refuse(D, "its fixed duration is below 0");
    };
    double Mean = 0;  // in the unit of the parameters
    try {
        switch (D.DistributionType) {
            case dNormal:
                if (Spread == 0) {
                    RefuseBelowZero(D.P1);
                    Mean = D.P1;
                    break;
                }
                TruncateAt(-D.P1 / Spread);
                Mean = D.P1 + Spread * boost::math::pdf(TNormal(0, 1), FZ0) / FAbove;
                break;
            case dLogNormal: Mean = std::exp(D.P1 + Spread * Spread / 2); break;
            case dThreeParameterLognormal:
                if (D.P3 >= 0) {
                    Mean = D.P3 + std::exp(D.P1 + Spread * Spread / 2);
                } else if (Spread == 0) {
                    RefuseBelowZero(D.P3 + std::exp(D.P1));
                    Mean = D.P3 + std::exp(D.P1);
                } else {
                    TruncateAt((std::log(-D.P3) - D.P1) / Spread);
                    Mean = D.P3 + std::exp(D.P1 + Spread * Spread / 2) * UpperNormalTail(FZ0 - Spread) / FAbove;
                }
                break;
            case dWeibull: Mean = D.P2 * std::tgamma(1 + 1 / D.P1); break;
            case dUniform: {
                const double Low = std::min(D.P1, D.P2), High = std::max(D.P1, D.P2);
                if (High < 0 || (High == 0 && Low < 0)) Refuse(D, "it has no durations above 0");
                if (Low < 0) {
                    FCut = -Low / (High - Low);
                    FAbove = High / (High - Low);
                }
                Mean = (std::max(Low, 0.0) + High) / 2;
                break;
            }
            case dGamma:
            case dPoisson: Mean = D.P1 * (D.DistributionType == dGamma ? D.P2 : 1); break;
            case dEmpirical: {
                double All = 0, Sum = 0;
                for (const TEmpiricalDistribution& Point : D.EmpiricalDistrData) {
                    if (Point.Probability <= 0) continue;
                    All += Point.Probability;
                    if (Point.Value < 0) continue;
                    FPoints.push_back(Point);
                    FPointsTotal += Point.Probability;
                    Sum += Point.Probability * Point.Value;
                }
                if (FPoints.empty()) Refuse(D, "it has no durations above 0");
                std::stable_sort(
                    FPoints.begin(), FPoints.end(),
                    [](const TEmpiricalDistribution& A, const TEmpiricalDistribution& B) { return A.Value < B.Value; });
                FCut = (All - FPointsTotal) / All;
                FAbove = FPointsTotal / All;
                Mean = Sum / FPointsTotal;
                break;
            }
            case dNoDistribution:
                RefuseBelowZero(D.P1);
                Mean = D.P1;
                break;
        }
    } catch (const EOrbenchError&) {
        throw;
    } catch (const std::exception& E) {
        Refuse(D, E.what());
    }
    FDrawnMean = ConvertDuration(D.UnitOfParameters, uMins, Mean);
    // The inverse functions are monotone, so the extreme values of U bound every sample.
    At(LowestU);
    At(HighestU);
}

double TDurationSampler::Raw(double U) const
{
    const double Spread = std::fabs(FD.P2);
    switch (FD.DistributionType) {
        case dNormal:
            if (Spread == 0) return FD.P1;
            if (FCut == 0) return FD.P1 + Spread * StandardNormalQuantile(U);
            return FD.P1 + Spread * UpperNormalQuantile((1 - U) * FAbove);
        case dLogNormal: return std::exp(FD.P1 + Spread * StandardNormalQuantile(U));
        case dThreeParameterLognormal:
            if (Spread == 0) return FD.P3 + std::exp(FD.P1);
            if (FCut == 0) return FD.P3 + std::exp(FD.P1 + Spread * StandardNormalQuantile(U));
            return FD.P3 + std::exp(FD.P1 + Spread * UpperNormalQuantile((1 - U) * FAbove));
        case dWeibull:
            return boost::math::quantile(boost::math::weibull_distribution<double, TPolicy>(FD.P1, FD.P2), U);
        case dUniform: {
            const double Low = std::min(FD.P1, FD.P2), High = std::max(FD.P1, FD.P2);
            return Low >= 0 ? Low + (High - Low) * U : High * U;
        }
        case dGamma: {
            const double Mean = FD.P1 * FD.P2;
            const double Variance = FD.P1 / (FD.P2 * FD.P2);
            const boost::math::gamma_distribution<double, TPolicy> Gamma(Mean * Mean / Variance, Variance / Mean);
            return boost::math::quantile(Gamma, U);
        }
        case dPoisson: return PoissonQuantile(FD.P1, U);
        case dEmpirical: {
            // The value whose cumulated probability (points in ascending order of value) first
            // exceeds U.
            const double Target = U * FPointsTotal;
            double Cumulated = 0;
            for (const TEmpiricalDistribution& Point : FPoints) {
                Cumulated += Point.Probability;
                if (Target < Cumulated) return Point.Value;
            }
            return FPoints.back().Value;  // rounding left the target at the very top
        }
        case dNoDistribution: return FD.P1;
    }
    Refuse(FD, "the kind has no distribution");
}

double TDurationSampler::At(double U) const
{
    double Minutes = 0;
    try {
        Minutes = ConvertDuration(FD.UnitOfParameters, uMins, Raw(U));
    } catch (const EOrbenchError&) {
        throw;
    } catch (const std::exception& E) {
        Refuse(FD, E.what());
    }
    if (!std::isfinite(Minutes)) Refuse(FD, "its durations are not finite numbers");
    return std::max(0.0, Minutes);  // rounding at the truncation point never gives a value below 0
}

void CheckSampleable(const TDistribution& D) { TDurationSampler Check(D); }

double SampleDuration(const TDistribution& D, TUniformGenerator& Random)
{
    const TDurationSampler Sampler(D);
    return Sampler.At(Random.Draw() + HalfStep);
}

namespace {

// SplitMix64's step: the golden-ratio increment, then the finaliser.
std::uint64_t Mix(std::uint64_t X)
{
    std::uint64_t Z = X + 0x9E3779B97F4A7C15ull;
    Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
    Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
    return Z ^ (Z >> 31);
}

std::uint64_t SurgeryLane(std::uint32_t Seed, std::uint64_t InstanceKey, std::uint64_t Surgery)
{
    return Mix(Mix(InstanceKey ^ Mix(Seed)) ^ Mix(Surgery));
}

double LaneUniform(std::uint64_t Lane, std::uint64_t Scenario)
{
    const std::uint64_t Bits = Mix(Lane ^ Mix(Scenario));
    return (static_cast<double>(Bits >> 12) + 0.5) * GridStep;
}

// The samplers of the surgery types of the instances, each made once; throws EOrbenchError naming
// the instance file, the surgery and its type for the first one that cannot be sampled.
using TSamplers = std::unordered_map<const TDistribution*, TDurationSampler>;

TSamplers PrepareSamplers(const std::vector<const TInstance*>& Instances)
{
    TSamplers Samplers;
    for (const TInstance* Instance : Instances) {
        int Number = 0;
        for (const auto& Surgery : Instance->Surgeries) {
            ++Number;
            const TDistribution* D = Surgery->SurgeryType->Distribution.get();
            if (Samplers.count(D) != 0) continue;
            try {
                Samplers.emplace(D, TDurationSampler(*D));
            } catch (const EOrbenchError& E) {
                throw EOrbenchError(Instance->FileName + ": surgery " + std::to_string(Number) + " of surgery type " +
                                    std::to_string(Surgery->SurgeryType->ID) + ": " + E.what());
            }
        }
    }
    return Samplers;
}

// One instance's samplers and lanes, surgery by surgery.
struct TInstanceStreams {
    std::vector<const TDurationSampler*> Samplers;
    std::vector<std::uint64_t> Lanes;
};

TInstanceStreams Streams(const TInstance& Instance, const TSamplers& Samplers, std::uint32_t Seed)
{
    TInstanceStreams S;
    const std::uint64_t Key = InstanceStreamKey(Instance);
    std::uint64_t Number = 0;
    for (const auto& Surgery : Instance.Surgeries) {
        S.Samplers.push_back(&Samplers.at(Surgery->SurgeryType->Distribution.get()));
        S.Lanes.push_back(SurgeryLane(Seed, Key, ++Number));
    }
    return S;
}

void RequireScenarios(int NumScenarios)
{
    if (NumScenarios < 1)
        throw EOrbenchError("The number of scenarios must be at least 1, not " + std::to_string(NumScenarios) + ".");
}

}  // namespace

void CheckSampleable(const std::vector<const TInstance*>& Instances) { PrepareSamplers(Instances); }

std::uint64_t InstanceStreamKey(const TInstance& Instance)
{
    return std::stoull(Sha256Hex(Instance.FileText()).substr(0, 16), nullptr, 16);
}

double ScenarioUniform(std::uint32_t Seed, std::uint64_t InstanceKey, std::uint64_t Surgery, std::uint64_t Scenario)
{
    return LaneUniform(SurgeryLane(Seed, InstanceKey, Surgery), Scenario);
}

std::vector<std::vector<double>> InstanceScenarios(const TInstance& Instance, int NumScenarios, std::uint32_t Seed)
{
    RequireScenarios(NumScenarios);
    const TSamplers Samplers = PrepareSamplers({&Instance});
    const TInstanceStreams S = Streams(Instance, Samplers, Seed);
    std::vector<std::vector<double>> Values(S.Lanes.size(),
                                            std::vector<double>(static_cast<std::size_t>(NumScenarios)));
    for (std::size_t i = 0; i < S.Lanes.size(); ++i)
        for (int k = 1; k <= NumScenarios; ++k)
            Values[i][static_cast<std::size_t>(k - 1)] =
                S.Samplers[i]->At(LaneUniform(S.Lanes[i], static_cast<std::uint64_t>(k)));
    return Values;
}

const char* const DurationScenarioHeader = "instance_file,surgery_id,surgery_type_id,scenario,duration_minutes";

void WriteDurationScenarios(std::ostream& Out, const std::vector<const TInstance*>& Instances, int NumScenarios,
                            std::uint32_t Seed, TScenarioFormat Format, const std::string& LineEnd)
{
    RequireScenarios(NumScenarios);
    const TSamplers Samplers = PrepareSamplers(Instances);

    constexpr std::size_t FlushSize = 1 << 20;
    std::string Buffer;
    Buffer.reserve(FlushSize + 4096);
    const auto Flush = [&Out, &Buffer] {
        Out.write(Buffer.data(), static_cast<std::streamsize>(Buffer.size()));
        if (!Out) throw EOrbenchError("The duration scenarios could not be written.");
        Buffer.clear();
    };
    if (Format == TScenarioFormat::sfLong) {
        Buffer += DurationScenarioHeader;
    } else {
        Buffer += "instance_file,surgery_id,surgery_type_id";
        for (int k = 1; k <= NumScenarios; ++k) Buffer += ",scenario_" + std::to_string(k);
    }
    Buffer += LineEnd;
    for (const TInstance* Instance : Instances) {
        const TInstanceStreams S = Streams(*Instance, Samplers, Seed);
        // "file,surgery,type," of every surgery of the instance, made once.
        const std::string FileField = CsvField(Instance->FileName) + ",";
        std::vector<std::string> Prefixes;
        Prefixes.reserve(Instance->Surgeries.size());
        for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i)
            Prefixes.push_back(FileField + std::to_string(i + 1) + "," +
                               std::to_string(Instance->Surgeries[i]->SurgeryType->ID) + ",");
        if (Format == TScenarioFormat::sfLong) {
            for (int k = 1; k <= NumScenarios; ++k) {
                const std::string ScenarioField = std::to_string(k) + ",";
                for (std::size_t i = 0; i < S.Lanes.size(); ++i) {
                    Buffer += Prefixes[i];
                    Buffer += ScenarioField;
                    AppendFixed9(Buffer, S.Samplers[i]->At(LaneUniform(S.Lanes[i], static_cast<std::uint64_t>(k))));
                    Buffer += LineEnd;
                    if (Buffer.size() >= FlushSize) Flush();
                }
            }
            continue;
        }
        for (std::size_t i = 0; i < S.Lanes.size(); ++i) {
            Buffer.append(Prefixes[i], 0, Prefixes[i].size() - 1);
            for (int k = 1; k <= NumScenarios; ++k) {
                Buffer += ',';
                AppendFixed9(Buffer, S.Samplers[i]->At(LaneUniform(S.Lanes[i], static_cast<std::uint64_t>(k))));
                if (Buffer.size() >= FlushSize) Flush();
            }
            Buffer += LineEnd;
        }
    }
    Flush();
}

std::string DurationScenarioTable(const std::vector<const TInstance*>& Instances, int NumScenarios, std::uint32_t Seed,
                                  TScenarioFormat Format, const std::string& LineEnd)
{
    std::ostringstream Out;
    WriteDurationScenarios(Out, Instances, NumScenarios, Seed, Format, LineEnd);
    return std::move(Out).str();
}

std::vector<std::string> SamplingWarnings(const TCaseMix& CaseMix, const std::vector<const TInstance*>& Instances)
{
    std::set<const TSurgeryType*> Used;
    for (const TInstance* Instance : Instances)
        for (const auto& Surgery : Instance->Surgeries) Used.insert(Surgery->SurgeryType);
    const auto Named = [](const TSurgeryType& Type) {
        const TDistribution& D = *Type.Distribution;
        return "surgery type " + std::to_string(Type.ID) + " (" + KindName(D) + ", P1 " + Number(D.P1) + ", P2 " +
               Number(D.P2) + (D.DistributionType == dThreeParameterLognormal ? ", P3 " + Number(D.P3) : "") + ")";
    };
    std::vector<std::string> Warnings;
    for (const auto& Type : CaseMix.SurgeryTypes) {
        if (Used.count(Type.get()) == 0) continue;
        const TDistribution& D = *Type->Distribution;
        const auto Minutes = [&D](double Value) { return Number(ConvertDuration(D.UnitOfParameters, uMins, Value)); };
        try {
            const TDurationSampler Sampler(D);
            if (Sampler.CutShare() > NotableCut) {
                char Share[32];
                std::snprintf(Share, sizeof Share, "%.2f %%", 100 * Sampler.CutShare());
                Warnings.push_back(Named(*Type) + ": " + Share +
                                   " of its distribution lies below 0 and is cut off; the durations drawn have the "
                                   "mean " +
                                   Number(Sampler.DrawnMean()) + " minutes, not the stated " +
                                   Number(Type->Distribution->Expected * 1440) + " minutes");
            }
        } catch (const EOrbenchError&) {
            continue;  // refused, naming the surgery, when the scenarios are written
        }
        if (D.DistributionType == dGamma && D.P2 != 1)
            Warnings.push_back(Named(*Type) +
                               ": no gamma distribution has both its mean P1*P2 (P2 a scale) and its "
                               "variance P1/P2^2 (P2 a rate); the durations drawn have the stated mean " +
                               Minutes(D.P1 * D.P2) + " and standard deviation " + Minutes(std::sqrt(D.P1) / D.P2) +
                               " minutes (shape P1 and scale P2 would give the standard deviation " +
                               Minutes(std::sqrt(D.P1) * D.P2) + " minutes)");
        if (D.DistributionType == dPoisson && !(std::fabs(D.P2 * D.P2 - D.P1) <= 1e-9 * std::max(1.0, D.P1)))
            Warnings.push_back(Named(*Type) +
                               ": a Poisson count's variance is its mean; the durations drawn have the "
                               "mean " +
                               Minutes(D.P1) + " and standard deviation " + Minutes(std::sqrt(D.P1)) +
                               " minutes, not the stated standard deviation " + Minutes(D.P2) + " minutes");
    }
    // Types of different kinds with the same parameters: the instance reader finds the first.
    std::map<std::tuple<double, double, double>, const TSurgeryType*> First;
    for (const auto& Type : CaseMix.SurgeryTypes) {
        const TDistribution& D = *Type->Distribution;
        const auto [Found, New] = First.try_emplace(std::make_tuple(D.P1, D.P2, D.P3), Type.get());
        if (New || Found->second->Distribution->DistributionType == D.DistributionType) continue;
        const TSurgeryType& Earlier = *Found->second;
        Warnings.push_back("surgery types " + std::to_string(Earlier.ID) + " (" + KindName(*Earlier.Distribution) +
                           ") and " + std::to_string(Type->ID) + " (" + KindName(D) +
                           ") have the same P1, P2 and P3 (" + Number(D.P1) + ", " + Number(D.P2) + ", " +
                           Number(D.P3) + "): surgeries of type " + std::to_string(Type->ID) +
                           " in an instance file are read as type " + std::to_string(Earlier.ID));
    }
    return Warnings;
}

}  // namespace orbench
