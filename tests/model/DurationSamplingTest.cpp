#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/poisson.hpp>

#include "DurationSampling.h"
#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TableText.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::MakeDistribution;

// The generator state whose next draw returns Next / 2^32.
std::uint32_t StateBefore(std::uint32_t Next)
{
    constexpr std::uint32_t A = 134775813u;
    std::uint32_t Inverse = A;  // Newton's iteration for the inverse of an odd number mod 2^32
    for (int i = 0; i < 5; ++i) Inverse *= 2u - A * Inverse;
    return (Next - 1u) * Inverse;
}

// Kolmogorov-Smirnov distance between the samples and Cdf, for continuous and step functions
// alike: at every distinct sample value x both F_n(x) against F(x) and F_n(x-) against F(x-).
double KsDistance(std::vector<double> Samples, const std::function<double(double)>& Cdf)
{
    std::sort(Samples.begin(), Samples.end());
    const double N = static_cast<double>(Samples.size());
    double Distance = 0;
    for (std::size_t i = 0; i < Samples.size();) {
        std::size_t j = i;
        while (j < Samples.size() && Samples[j] == Samples[i]) ++j;
        const double x = Samples[i];
        const double Below = Cdf(std::nextafter(x, -std::numeric_limits<double>::infinity()));
        Distance = std::max({Distance, std::fabs(static_cast<double>(i) / N - Below),
                             std::fabs(static_cast<double>(j) / N - Cdf(x))});
        i = j;
    }
    return Distance;
}

TEST(DurationSamplingTest, EveryKindMatchesItsMomentsAndDistribution)
{
    constexpr int N = 200000;
    TDistribution Empirical = MakeDistribution(dEmpirical, 0, std::sqrt(1116.0));  // sd of the points below
    Empirical.EmpiricalDistrData = {{0.5, 60}, {0.2, 30}, {0.3, 120}};
    const boost::math::normal_distribution<> Normal(100, 30);
    const boost::math::lognormal_distribution<> LogNormal(4.5, 0.4);
    const boost::math::lognormal_distribution<> Shifted(3.5, 0.5);
    const boost::math::lognormal_distribution<> LogNormalDays(std::log(0.0625), 0.3);
    const boost::math::poisson_distribution<> Poisson(60);
    // Moment-matched gamma of P1 = 200, P2 = 0.5: mean 100, variance 800, so shape 12.5, scale 8.
    const boost::math::gamma_distribution<> Gamma(12.5, 8);
    const struct {
        TDistribution D;
        std::function<double(double)> Cdf;
    } Cases[] = {
        {MakeDistribution(dNormal, 100, 30), [&](double x) { return cdf(Normal, x); }},
        {MakeDistribution(dLogNormal, 4.5, 0.4), [&](double x) { return x <= 0 ? 0 : cdf(LogNormal, x); }},
        {MakeDistribution(dLogNormal, std::log(0.0625), 0.3, 0, uDays),
         [&](double x) { return x <= 0 ? 0 : cdf(LogNormalDays, x / 1440); }},
        {MakeDistribution(dThreeParameterLognormal, 3.5, 0.5, 30), [&](double x) { return x <= 30 ? 0 : cdf(Shifted, x - 30); }},
        {MakeDistribution(dWeibull, 1.5, 80), [](double x) { return x <= 0 ? 0 : 1 - std::exp(-std::pow(x / 80, 1.5)); }},
        {MakeDistribution(dUniform, 40, 160), [](double x) { return std::clamp((x - 40) / 120, 0.0, 1.0); }},
        {MakeDistribution(dGamma, 200, 0.5), [&](double x) { return x <= 0 ? 0 : cdf(Gamma, x); }},
        {MakeDistribution(dPoisson, 60, std::sqrt(60.0)), [&](double x) { return x < 0 ? 0 : cdf(Poisson, std::floor(x)); }},
        {Empirical, [](double x) { return (x >= 30 ? 0.2 : 0) + (x >= 60 ? 0.5 : 0) + (x >= 120 ? 0.3 : 0); }},
    };
    for (auto [D, Cdf] : Cases) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType) + (D.UnitOfParameters == uDays ? " (days)" : ""));
        ASSERT_TRUE(D.CalculateExpected());
        ASSERT_TRUE(D.CalculateVariance());
        const double Mean = D.Expected * 1440;
        const double StdDev = std::sqrt(D.Variance) * 1440;

        TUniformGenerator Random(12345);
        std::vector<double> Samples;
        double Sum = 0;
        for (int i = 0; i < N; ++i) Sum += Samples.emplace_back(SampleDuration(D, Random));
        double SquaredDeviations = 0;
        for (const double x : Samples) SquaredDeviations += (x - Sum / N) * (x - Sum / N);
        EXPECT_NEAR(Sum / N, Mean, 0.01 * Mean);
        EXPECT_NEAR(std::sqrt(SquaredDeviations / (N - 1)), StdDev, 0.01 * StdDev);
        EXPECT_LT(KsDistance(Samples, Cdf), 0.01);

        // One draw per sample.
        TUniformGenerator Reference(12345);
        for (int i = 0; i < N; ++i) Reference.Draw();
        EXPECT_EQ(Random.State(), Reference.State());

        // The extreme draws, exactly 0 and the largest, give finite durations in order.
        Random.Seed(StateBefore(0));
        const double Lowest = SampleDuration(D, Random);
        Random.Seed(StateBefore(0xFFFFFFFFu));
        const double Highest = SampleDuration(D, Random);
        EXPECT_TRUE(std::isfinite(Lowest) && std::isfinite(Highest));
        EXPECT_LE(Lowest, *std::min_element(Samples.begin(), Samples.end()));
        EXPECT_GE(Highest, *std::max_element(Samples.begin(), Samples.end()));
    }
}

TEST(DurationSamplingTest, RefusesWhatCannotBeSampledWithoutDrawing)
{
    TDistribution NoPoints = MakeDistribution(dEmpirical, 0, 0);
    TDistribution ShortSum = MakeDistribution(dEmpirical, 0, 0);
    ShortSum.EmpiricalDistrData = {{0.5, 60}, {0.4, 90}};
    TDistribution NegativeProbability = MakeDistribution(dEmpirical, 0, 0);
    NegativeProbability.EmpiricalDistrData = {{1.5, 60}, {-0.5, 90}};
    TDistribution Unknown = MakeDistribution(dNormal, 60, 10);
    Unknown.DistributionType = static_cast<DistributionTp>(9);
    // Parameters out of range are refused before the draw; durations that overflow after it
    // (everywhere, or, for the last case, only in the upper tail, which CheckSampleable finds).
    enum { Parameters, Always, Tail };
    const struct {
        TDistribution D;
        int Failure;
    } Cases[] = {
        {MakeDistribution(dNoDistribution, 60, 10), Parameters},
        {Unknown, Parameters},
        {MakeDistribution(dWeibull, 0, 30), Parameters},
        {MakeDistribution(dWeibull, 2, -1), Parameters},
        {MakeDistribution(dGamma, 2, 0), Parameters},
        {MakeDistribution(dGamma, -2, 3), Parameters},
        {MakeDistribution(dPoisson, -1, 1), Parameters},
        {MakeDistribution(dPoisson, 1e16, 1), Parameters},
        {MakeDistribution(dNormal, std::nan(""), 1), Parameters},
        {NoPoints, Parameters},
        {ShortSum, Parameters},
        {NegativeProbability, Parameters},
        {MakeDistribution(dLogNormal, 800, 1), Always},
        {MakeDistribution(dThreeParameterLognormal, 600, 20, 5), Tail},
    };
    for (const auto& [D, Failure] : Cases) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType) + " P1=" + std::to_string(D.P1));
        EXPECT_THROW(CheckSampleable(D), EOrbenchError);
        TUniformGenerator Random(12345);
        if (Failure == Tail) {
            EXPECT_TRUE(std::isfinite(SampleDuration(D, Random)));
            continue;
        }
        EXPECT_THROW(SampleDuration(D, Random), EOrbenchError);
        EXPECT_EQ(Random.State() == 12345u, Failure == Parameters);
    }
}

class DurationScenarioTest : public ::testing::Test {
protected:
    DurationScenarioTest() : CM(&Data, 0, 480)
    {
        CM.Name = "CM";
        Data.GenerateObjectID.LastID = 40;  // model identifiers differ from positions and type IDs
        Types.push_back(AddType(7, MakeDistribution(dNormal, 90, 20)));
        Types.push_back(AddType(3, MakeDistribution(dLogNormal, 4, 0.5)));
        Types.push_back(AddType(11, MakeDistribution(dUniform, 30, 50)));
        A = Add("ordays_1_load_0.8_0.txt", {Types[0], Types[1], Types[0]});
        B = Add("odd,\"name\".txt", {Types[2], Types[1]});
    }

    TSurgeryType* AddType(int ID, const TDistribution& Shape)
    {
        auto D = std::make_unique<TDistribution>(Shape);
        D->CalculateExpected();
        auto& T = CM.SurgeryTypes.emplace_back(std::make_unique<TSurgeryType>(&Data, &CM, std::move(D)));
        T->ID = ID;
        return T.get();
    }

    TInstance* Add(const std::string& FileName, const std::vector<TSurgeryType*>& Surgeries)
    {
        TInstance* I = CM.CreateAndAddInstance(0.8, 0.8, 1);
        I->FileName = FileName;
        for (TSurgeryType* T : Surgeries) I->Surgeries.push_back(std::make_unique<TSurgery>(T, &Data));
        return I;
    }

    std::string Table(std::uint32_t Seed, int Scenarios, const std::string& LineEnd)
    {
        TUniformGenerator Random(Seed);
        return DurationScenarioTable({A, B}, Scenarios, Random, LineEnd);
    }

    TData Data;
    TCaseMix CM;
    std::vector<TSurgeryType*> Types;
    TInstance* A;
    TInstance* B;
};

TEST_F(DurationScenarioTest, RowsInInstanceScenarioSurgeryOrderWithOneDrawEach)
{
    const std::string Table1 = Table(12345, 3, "\r\n");
    EXPECT_EQ(Table1, Table(12345, 3, "\r\n"));
    EXPECT_NE(Table1, Table(54321, 3, "\r\n"));

    std::string Expected = std::string(DurationScenarioHeader) + "\r\n";
    TUniformGenerator Reference(12345);
    for (const auto& [Instance, Field] : {std::pair{A, std::string("ordays_1_load_0.8_0.txt")},
                                          std::pair{B, std::string("\"odd,\"\"name\"\".txt\"")}})
        for (int Scenario = 1; Scenario <= 3; ++Scenario)
            for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i) {
                const TSurgeryType& T = *Instance->Surgeries[i]->SurgeryType;
                const double Minutes = SampleDuration(*T.Distribution, Reference);
                Expected += Field + "," + std::to_string(i + 1) + "," + std::to_string(T.ID) + "," +
                            std::to_string(Scenario) + "," + FormatFixed(Minutes, 9) + "\r\n";
            }
    EXPECT_EQ(Table1, Expected);

    std::string WithLf = Table1;
    WithLf.erase(std::remove(WithLf.begin(), WithLf.end(), '\r'), WithLf.end());
    EXPECT_EQ(Table(12345, 3, "\n"), WithLf);
}

TEST_F(DurationScenarioTest, RefusalNamesTheSurgeryTypeBeforeAnythingIsWritten)
{
    Types[1]->Distribution->DistributionType = dNoDistribution;
    for (const int Scenarios : {1, 0}) {
        TUniformGenerator Random(12345);
        std::ostringstream Out;
        try {
            WriteDurationScenarios(Out, {A, B}, Scenarios, Random, "\n");
            ADD_FAILURE() << "not refused";
        } catch (const EOrbenchError& E) {
            if (Scenarios == 1) {
                const std::string Message = E.what();
                EXPECT_NE(Message.find("ordays_1_load_0.8_0.txt: surgery 2 of surgery type 3: "), std::string::npos)
                    << Message;
            }
        }
        EXPECT_TRUE(Out.str().empty());
        EXPECT_EQ(Random.State(), 12345u);
    }
}

TEST(TableTextTest, FixedNumbersAndCsvFields)
{
    // Exact ties (2^-10 * 10^9 = 976562.5) round to even, as the general conversion does; a value
    // that rounds to zero never keeps its sign.
    const struct {
        double Value;
        const char* Text;
    } Cases[] = {
        {0.0009765625, "0.000976562"}, {0.0029296875, "0.002929688"}, {-0.0, "0.000000000"},
        {-4e-10, "0.000000000"},       {-7.25, "-7.250000000"},       {999999999.5, "999999999.500000000"},
        {1e12 + 0.5, "1000000000000.500000000"}, {5e-324, "0.000000000"},
    };
    for (const auto& [Value, Text] : Cases) {
        std::string Appended = "x";
        AppendFixed9(Appended, Value);
        EXPECT_EQ(Appended, std::string("x") + Text);
        EXPECT_EQ(FormatFixedData(Value, 9), Text);
    }
    TUniformGenerator Random(7);
    for (int i = 0; i < 100000; ++i) {
        const double Value = (Random.Draw() - 0.5) * std::ldexp(1.0, static_cast<int>(Random.Draw() * 60) - 20);
        std::string Appended;
        AppendFixed9(Appended, Value);
        ASSERT_EQ(Appended, FormatFixedData(Value, 9)) << Value;
    }
    EXPECT_EQ(CsvField("plain.txt"), "plain.txt");
    EXPECT_EQ(CsvField("a,b \"c\"\r\n"), "\"a,b \"\"c\"\"\r\n\"");
}

}  // namespace
}  // namespace orbench
