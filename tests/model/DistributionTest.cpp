#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "Distribution.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::MakeDistribution;

constexpr double Day = 1440.0;

TEST(Distribution, MomentsOfEveryKindInDays)
{
    TDistribution Empirical = MakeDistribution(dEmpirical, 0, 6);
    Empirical.EmpiricalDistrData = {{0.25, 60}, {0.5, 120}};  // probabilities need not add up to 1
    const struct {
        TDistribution D;
        double Mean, Var;
    } Cases[] = {
        {MakeDistribution(dNoDistribution, 7, 2), 7 / Day, 4 / (Day * Day)},
        {MakeDistribution(dNormal, 0.5, 0.1, 0, uDays), 0.5, 0.01},
        {MakeDistribution(dLogNormal, std::log(60.0), 0), 60 / Day, 0},
        {MakeDistribution(dLogNormal, 0, 1, 0, uDays), std::exp(0.5), (std::exp(1.0) - 1) * std::exp(1.0)},
        {MakeDistribution(dThreeParameterLognormal, std::log(60.0), 0, 15), 75 / Day, 0},
        {MakeDistribution(dWeibull, 1, 30), 30 / Day, 900 / (Day * Day)},  // Gamma(2) = 1, Gamma(3) = 2
        {MakeDistribution(dWeibull, 2, 1, 0, uDays), std::sqrt(std::numbers::pi) / 2, 1 - std::numbers::pi / 4},
        {MakeDistribution(dUniform, 10, 20), 15 / Day, (100.0 / 12) / (Day * Day)},
        {MakeDistribution(dGamma, 2, 3, 0, uDays), 6, 2.0 / 9},  // the variance reads P2 as a rate
        {MakeDistribution(dPoisson, 50, 5), 50 / Day, 25 / (Day * Day)},
        {MakeDistribution(dEmpirical, 0, 6), 0, 36 / (Day * Day)},  // no points
        {Empirical, 75 / Day, 36 / (Day * Day)},
    };
    for (auto [D, Mean, Var] : Cases) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType) + " P1=" + std::to_string(D.P1));
        EXPECT_TRUE(D.CalculateExpected());
        EXPECT_TRUE(D.CalculateVariance());
        EXPECT_NEAR(D.Expected, Mean, 1e-13 * std::max(1.0, Mean));
        EXPECT_NEAR(D.Variance, Var, 1e-13 * std::max(1.0, Var));
    }
}

TEST(Distribution, StdDevAndCoefVarRefreshTheCache)
{
    TDistribution D = MakeDistribution(dUniform, 10, 20);
    EXPECT_DOUBLE_EQ(D.CalculateStdDev(), std::sqrt(100.0 / 12) / Day);
    EXPECT_DOUBLE_EQ(D.Variance, 100.0 / 12 / (Day * Day));
    D.P2 = 30;  // mean 20, variance 400 / 12
    EXPECT_DOUBLE_EQ(D.CalculateCoefVar(), std::sqrt(400.0 / 12) / 20);
    EXPECT_DOUBLE_EQ(D.Expected, 20 / Day);
}

TEST(Distribution, FailedMomentsReturnFalseAndKeepTheCachedValue)
{
    for (TDistribution D :
         {MakeDistribution(dWeibull, 0, 30), MakeDistribution(dWeibull, -1, 30), MakeDistribution(dLogNormal, 800, 1),
          MakeDistribution(dThreeParameterLognormal, 800, 1, 15), MakeDistribution(dLogNormal, 0, 40)}) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType) + " P1=" + std::to_string(D.P1));
        D.Expected = 0.25;
        D.Variance = 0.125;
        EXPECT_FALSE(D.CalculateExpected());
        EXPECT_EQ(D.Expected, 0.25);
        EXPECT_FALSE(D.CalculateVariance());
        EXPECT_EQ(D.Variance, 0.125);
    }
}

TEST(Distribution, WeibullVarianceUsesTheStoredMean)
{
    TDistribution Fresh = MakeDistribution(dWeibull, 1, 30);  // Expected is 0: the mean is computed first
    ASSERT_TRUE(Fresh.CalculateVariance());
    EXPECT_DOUBLE_EQ(Fresh.Expected, 30 / Day);
    EXPECT_DOUBLE_EQ(Fresh.Variance, 900 / (Day * Day));

    TDistribution Stale = MakeDistribution(dWeibull, 1, 30);
    ASSERT_TRUE(Stale.CalculateExpected());
    Stale.P2 = 60;  // with the stale mean 30: 3600 * Gamma(3) - 30^2
    ASSERT_TRUE(Stale.CalculateVariance());
    EXPECT_DOUBLE_EQ(Stale.Variance, 6300 / (Day * Day));
}

TEST(Distribution, KindTextsBothWays)
{
    for (const char* Text : {"LogNormal", "LOGNORMAL", "dLogNormal"})
        EXPECT_EQ(StrToDistributionType(Text), dLogNormal);
    EXPECT_EQ(StrToDistributionType(" LogNormal"), dNoDistribution);
    EXPECT_EQ(StrToDistributionType("3ParameterLognormal"), dThreeParameterLognormal);
    EXPECT_EQ(StrToDistributionType("DWEIBULL"), dWeibull);
    EXPECT_EQ(StrToDistributionType("Beta"), dNoDistribution);
    const char* const Written[] = {"NoDistribution", "Normal",  "LogNormal", "ThreeParameterLognormal",
                                   "Weibull",        "Uniform", "Gamma",     "Poisson",
                                   "Empirical"};
    for (int K = 0; K <= 8; ++K) {
        const auto Kind = static_cast<DistributionTp>(K);
        EXPECT_EQ(DistributionTypeToStr(Kind), Written[K]);
        EXPECT_EQ(StrToDistributionType(DistributionTypeToStr(Kind)), Kind);
    }
    EXPECT_EQ(DistributionTypeToStr(static_cast<DistributionTp>(9)), "");
}

TEST(Distribution, ConvertDuration)
{
    EXPECT_EQ(ConvertDuration(uDays, uMins, 0.0625), 90);
    EXPECT_EQ(ConvertDuration(uMins, uDays, 90), 0.0625);
    EXPECT_EQ(ConvertDuration(uDays, uDays, 0.3), 0.3);
}

}  // namespace
}  // namespace orbench
