#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <set>
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
#include "Sha256.h"
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
        Distance = std::max(
            {Distance, std::fabs(static_cast<double>(i) / N - Below), std::fabs(static_cast<double>(j) / N - Cdf(x))});
        i = j;
    }
    return Distance;
}

TEST(DurationSampling, EveryKindMatchesItsMomentsAndDistribution)
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
        {MakeDistribution(dThreeParameterLognormal, 3.5, 0.5, 30),
         [&](double x) { return x <= 30 ? 0 : cdf(Shifted, x - 30); }},
        {MakeDistribution(dWeibull, 1.5, 80),
         [](double x) { return x <= 0 ? 0 : 1 - std::exp(-std::pow(x / 80, 1.5)); }},
        {MakeDistribution(dUniform, 40, 160), [](double x) { return std::clamp((x - 40) / 120, 0.0, 1.0); }},
        {MakeDistribution(dGamma, 200, 0.5), [&](double x) { return x <= 0 ? 0 : cdf(Gamma, x); }},
        {MakeDistribution(dPoisson, 60, std::sqrt(60.0)),
         [&](double x) { return x < 0 ? 0 : cdf(Poisson, std::floor(x)); }},
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

TEST(DurationSampling, RefusesWhatCannotBeSampledWithoutDrawing)
{
    TDistribution NoPoints = MakeDistribution(dEmpirical, 0, 0);
    TDistribution ShortSum = MakeDistribution(dEmpirical, 0, 0);
    ShortSum.EmpiricalDistrData = {{0.5, 60}, {0.4, 90}};
    TDistribution NegativeProbability = MakeDistribution(dEmpirical, 0, 0);
    NegativeProbability.EmpiricalDistrData = {{1.5, 60}, {-0.5, 90}};
    TDistribution AllBelowZero = MakeDistribution(dEmpirical, 0, 0);
    AllBelowZero.EmpiricalDistrData = {{0.5, -60}, {0.5, -1}};
    TDistribution Unknown = MakeDistribution(dNormal, 60, 10);
    Unknown.DistributionType = static_cast<DistributionTp>(9);
    // Parameters out of range, no durations above 0, and durations that overflow (everywhere, or
    // only in the upper tail) are all refused before the draw.
    const TDistribution Cases[] = {
        MakeDistribution(dNoDistribution, 60, 10),  // a spread without a kind
        MakeDistribution(dNoDistribution, -5, 0),   // a fixed duration below 0
        Unknown,
        MakeDistribution(dWeibull, 0, 30),
        MakeDistribution(dWeibull, 2, -1),
        MakeDistribution(dGamma, 2, 0),
        MakeDistribution(dGamma, -2, 3),
        MakeDistribution(dPoisson, -1, 1),
        MakeDistribution(dPoisson, 1e16, 1),
        MakeDistribution(dNormal, std::nan(""), 1),
        MakeDistribution(dNormal, -1e6, 1),  // no mass above 0
        MakeDistribution(dNormal, -10, 0),
        MakeDistribution(dUniform, -20, -5),
        MakeDistribution(dThreeParameterLognormal, 1, 0, -60),
        NoPoints,
        ShortSum,
        NegativeProbability,
        AllBelowZero,
        MakeDistribution(dLogNormal, 800, 1),
        MakeDistribution(dThreeParameterLognormal, 600, 20, 5),
    };
    for (const TDistribution& D : Cases) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType) + " P1=" + std::to_string(D.P1));
        EXPECT_THROW(CheckSampleable(D), EOrbenchError);
        TUniformGenerator Random(12345);
        EXPECT_THROW(SampleDuration(D, Random), EOrbenchError);
        EXPECT_EQ(Random.State(), 12345u);
    }
}

// A kind that can go below 0 is drawn from its distribution truncated at 0: never a negative
// duration, the truncated mean, and the share cut off; a fixed duration gives its constant.
TEST(DurationSampling, TruncatedAtZeroAndFixedDurations)
{
    constexpr int N = 100000;
    const boost::math::normal_distribution<> Standard(0, 1);
    TDistribution Empirical = MakeDistribution(dEmpirical, 0, 0);
    Empirical.EmpiricalDistrData = {{0.25, -30}, {0.5, 60}, {0.25, 100}};
    const double Alpha = -30.0 / 40;                                                   // Normal(30, 40) below 0
    const double SurvivesLog = cdf(complement(Standard, (std::log(10.0) - 3) / 0.8));  // 3PLN: exp(3 + 0.8 Z) >= 10
    const struct {
        TDistribution D;
        double Cut, Mean;
    } Cases[] = {
        {MakeDistribution(dNormal, 30, 40), cdf(Standard, Alpha),
         30 + 40 * pdf(Standard, Alpha) / cdf(complement(Standard, Alpha))},
        {MakeDistribution(dUniform, -30, 90), 0.25, 45},
        {MakeDistribution(dThreeParameterLognormal, 3, 0.8, -10), 1 - SurvivesLog,
         -10 + std::exp(3 + 0.32) * cdf(complement(Standard, (std::log(10.0) - 3) / 0.8 - 0.8)) / SurvivesLog},
        {Empirical, 0.25, (0.5 * 60 + 0.25 * 100) / 0.75},
        {MakeDistribution(dNoDistribution, 75, 0), 0, 75},
        {MakeDistribution(dNormal, 75, 0), 0, 75},
    };
    for (const auto& [D, Cut, Mean] : Cases) {
        SCOPED_TRACE(DistributionTypeToStr(D.DistributionType));
        const TDurationSampler Sampler(D);
        EXPECT_NEAR(Sampler.CutShare(), Cut, 1e-12);
        EXPECT_NEAR(Sampler.DrawnMean(), Mean, 1e-9 * Mean);
        double Sum = 0, Lowest = 1e300;
        for (int k = 1; k <= N; ++k) {
            const double Minutes = Sampler.At(ScenarioUniform(12345, 99, 1, static_cast<std::uint64_t>(k)));
            Sum += Minutes;
            Lowest = std::min(Lowest, Minutes);
        }
        EXPECT_GE(Lowest, 0);
        EXPECT_NEAR(Sum / N, Mean, 0.01 * Mean);
        if (Cut == 0 && D.P2 == 0) {
            EXPECT_EQ(Lowest, Mean);
        }
    }
}

class DurationScenario : public ::testing::Test {
protected:
    DurationScenario() : CM(&Data, 0, 480)
    {
        CM.Name = "CM";
        Data.GenerateObjectID.LastID = 40;  // model identifiers differ from positions and type IDs
        Types.push_back(AddType(7, MakeDistribution(dNormal, 90, 20)));
        Types.push_back(AddType(3, MakeDistribution(dLogNormal, 4, 0.5)));
        Types.push_back(AddType(11, MakeDistribution(dUniform, 30, 50)));
        A = Add("ordays_1_load_0.8_0.txt", {Types[0], Types[1], Types[0]});
        B = Add("odd,\"name\".txt", {Types[2], Types[1]});
        C = Add("c.txt", {Types[2], Types[2], Types[0], Types[1]});
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

    // (file, surgery, scenario) -> the duration's text, from a long table.
    static std::map<std::string, std::string> Values(const std::string& Table)
    {
        std::map<std::string, std::string> Result;
        std::istringstream In(Table);
        std::string Line;
        std::getline(In, Line);
        while (std::getline(In, Line)) {
            const std::size_t Last = Line.rfind(','), Scenario = Line.rfind(',', Last - 1);
            const std::size_t Type = Line.rfind(',', Scenario - 1);
            Result[Line.substr(0, Type) + "," + Line.substr(Scenario + 1, Last - Scenario - 1)] = Line.substr(Last + 1);
        }
        return Result;
    }

    TData Data;
    TCaseMix CM;
    std::vector<TSurgeryType*> Types;
    TInstance* A;
    TInstance* B;
    TInstance* C;
};

TEST_F(DurationScenario, RowsInInstanceScenarioSurgeryOrderFromTheStreamRule)
{
    const std::string Table = DurationScenarioTable({A, B}, 3, 12345, TScenarioFormat::sfLong, "\r\n");
    EXPECT_NE(Table, DurationScenarioTable({A, B}, 3, 54321, TScenarioFormat::sfLong, "\r\n"));
    std::string Expected = std::string(DurationScenarioHeader) + "\r\n";
    std::string Wide = "instance_file,surgery_id,surgery_type_id,scenario_1,scenario_2,scenario_3\n";
    for (const auto& [Instance, Field] : {std::pair{A, std::string("ordays_1_load_0.8_0.txt")},
                                          std::pair{B, std::string("\"odd,\"\"name\"\".txt\"")}}) {
        const std::uint64_t Key = InstanceStreamKey(*Instance);
        EXPECT_EQ(Key, std::stoull(Sha256Hex(Instance->FileText()).substr(0, 16), nullptr, 16));
        for (int Scenario = 1; Scenario <= 3; ++Scenario)
            for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i) {
                const TSurgeryType& T = *Instance->Surgeries[i]->SurgeryType;
                const double U = ScenarioUniform(12345, Key, i + 1, static_cast<std::uint64_t>(Scenario));
                Expected += Field + "," + std::to_string(i + 1) + "," + std::to_string(T.ID) + "," +
                            std::to_string(Scenario) + "," + FormatFixed(TDurationSampler(*T.Distribution).At(U), 9) +
                            "\r\n";
            }
        const auto Matrix = InstanceScenarios(*Instance, 3, 12345);
        for (std::size_t i = 0; i < Instance->Surgeries.size(); ++i) {
            Wide += Field + "," + std::to_string(i + 1) + "," + std::to_string(Instance->Surgeries[i]->SurgeryType->ID);
            for (const double Minutes : Matrix[i]) Wide += "," + FormatFixed(Minutes, 9);
            Wide += "\n";
        }
    }
    EXPECT_EQ(Table, Expected);
    EXPECT_EQ(DurationScenarioTable({A, B}, 3, 12345, TScenarioFormat::sfWide, "\n"), Wide);
    std::string WithLf = Table;
    WithLf.erase(std::remove(WithLf.begin(), WithLf.end(), '\r'), WithLf.end());
    EXPECT_EQ(DurationScenarioTable({A, B}, 3, 12345, TScenarioFormat::sfLong, "\n"), WithLf);
}

// Every value depends only on (seed, instance content, surgery, scenario): other files, their
// order, a file given twice and more scenarios leave it as it is.
TEST_F(DurationScenario, ValuesDoNotDependOnOrderRepetitionOtherFilesOrTheNumberOfScenarios)
{
    const auto Table = [this](const std::vector<const TInstance*>& Instances, int Scenarios) {
        return Values(DurationScenarioTable(Instances, Scenarios, 12345, TScenarioFormat::sfLong, "\n"));
    };
    const auto Reference = Table({A, B}, 4);
    for (const auto& Other : {Table({B, A}, 4), Table({C, A, B, A}, 4), Table({A, B}, 9), Table({B, C, A}, 6)})
        for (const auto& [Key, Value] : Reference) EXPECT_EQ(Other.at(Key), Value) << Key;
    // Every surgery and scenario gets its own value.
    std::set<std::string> Distinct;
    for (const auto& [Key, Value] : Table({A, B, C}, 50)) Distinct.insert(Value);
    EXPECT_EQ(Distinct.size(), 50u * 9);
}

TEST_F(DurationScenario, RefusalNamesTheSurgeryTypeBeforeAnythingIsWritten)
{
    Types[1]->Distribution->DistributionType = dNoDistribution;
    for (const int Scenarios : {1, 0}) {
        std::ostringstream Out;
        try {
            WriteDurationScenarios(Out, {A, B}, Scenarios, 12345, TScenarioFormat::sfLong, "\n");
            ADD_FAILURE() << "not refused";
        } catch (const EOrbenchError& E) {
            if (Scenarios == 1) {
                const std::string Message = E.what();
                EXPECT_NE(Message.find("ordays_1_load_0.8_0.txt: surgery 2 of surgery type 3: "), std::string::npos)
                    << Message;
            }
        }
        EXPECT_TRUE(Out.str().empty());
    }
}

TEST_F(DurationScenario, WarningsNameEachTypeThatIsNotDrawnAsItReads)
{
    TSurgeryType* Truncated = AddType(20, MakeDistribution(dNormal, 30, 40));
    TSurgeryType* BarelyCut = AddType(21, MakeDistribution(dNormal, 60, 25));  // 0.8 % below 0
    TSurgeryType* Gamma = AddType(22, MakeDistribution(dGamma, 4, 25));
    TSurgeryType* Gamma1 = AddType(23, MakeDistribution(dGamma, 4, 1));
    TSurgeryType* Poisson = AddType(24, MakeDistribution(dPoisson, 90, 25));
    TSurgeryType* Poisson30 = AddType(25, MakeDistribution(dPoisson, 900, 30));
    AddType(26, MakeDistribution(dUniform, 90, 20));  // the parameters of Types[0], another kind
    AddType(27, MakeDistribution(dNormal, 90, 20));   // the same kind: read the same way
    const TInstance* I = Add("w.txt", {Truncated, BarelyCut, Gamma, Gamma1, Poisson, Poisson30});
    const std::vector<std::string> Warnings = SamplingWarnings(CM, {I});
    ASSERT_EQ(Warnings.size(), 4u);
    EXPECT_EQ(Warnings[0],
              "surgery type 20 (Normal, P1 30, P2 40): 22.66 % of its distribution lies below 0 and is "
              "cut off; the durations drawn have the mean 45.5753 minutes, not the stated 30 minutes");
    EXPECT_EQ(Warnings[1],
              "surgery type 22 (Gamma, P1 4, P2 25): no gamma distribution has both its mean P1*P2 (P2 a "
              "scale) and its variance P1/P2^2 (P2 a rate); the durations drawn have the stated mean 100 "
              "and standard deviation 0.08 minutes (shape P1 and scale P2 would give the standard deviation "
              "50 minutes)");
    EXPECT_EQ(Warnings[2],
              "surgery type 24 (Poisson, P1 90, P2 25): a Poisson count's variance is its mean; the "
              "durations drawn have the mean 90 and standard deviation 9.48683 minutes, not the stated "
              "standard deviation 25 minutes");
    EXPECT_EQ(Warnings[3],
              "surgery types 7 (Normal) and 26 (Uniform) have the same P1, P2 and P3 (90, 20, 0): "
              "surgeries of type 26 in an instance file are read as type 7");
    EXPECT_EQ(SamplingWarnings(CM, {A}), std::vector<std::string>{Warnings[3]});  // only the instances' types
}

TEST(TableText, FixedNumbersAndCsvFields)
{
    // Exact ties (2^-10 * 10^9 = 976562.5) round to even, as the general conversion does; a value
    // that rounds to zero never keeps its sign.
    const struct {
        double Value;
        const char* Text;
    } Cases[] = {
        {0.0009765625, "0.000976562"},
        {0.0029296875, "0.002929688"},
        {-0.0, "0.000000000"},
        {-4e-10, "0.000000000"},
        {-7.25, "-7.250000000"},
        {999999999.5, "999999999.500000000"},
        {1e12 + 0.5, "1000000000000.500000000"},
        {5e-324, "0.000000000"},
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
