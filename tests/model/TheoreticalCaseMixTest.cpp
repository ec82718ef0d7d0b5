#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "Model.h"
#include "OrbenchError.h"

namespace orbench {
namespace {

struct TLcg {
    std::uint32_t S = 12345;
    double U()
    {
        S = S * 134775813u + 1u;
        return S / 4294967296.0;
    }
};

// Three-parameter lognormal in minutes with mean X * c, coefficient of variation Y, shift u * 0.75 * mean.
void ExpectPointDistribution(const TDistribution& D, double X, double Y, double c, double u)
{
    const double Mu = X * c, Shift = u * 0.75 * Mu, M = Mu - Shift, Q = (Y * Mu) * (Y * Mu) / (M * M) + 1;
    EXPECT_EQ(D.DistributionType, dThreeParameterLognormal);
    EXPECT_EQ(D.UnitOfParameters, uMins);
    EXPECT_NEAR(D.P3, Shift, 1e-9);
    EXPECT_NEAR(D.P2, std::sqrt(std::log(Q)), 1e-9);
    EXPECT_NEAR(D.P1, std::log(M) - 0.5 * std::log(Q), 1e-9);
    EXPECT_NEAR(D.Expected * 1440 / c, X, 1e-9);
    TDistribution Copy = D;
    EXPECT_NEAR(Copy.CalculateCoefVar(), Y, 1e-9);
}

TEST(TheoreticalCaseMix, PointWithoutShiftGivesPlainLognormal)
{
    TData Data;
    std::uint32_t Inverse = 134775813u;  // Newton steps for the inverse modulo 2^32
    for (int I = 0; I < 5; ++I) Inverse *= 2u - 134775813u * Inverse;
    Data.Random.Seed(0u - Inverse);  // the next draw is exactly 0
    Data.GenerateAndAddTheoreticalCaseMix("P", 0.5, 0.5, 0.2, 0.2, 0.1, 0.1, 480, 1);
    ASSERT_EQ(Data.CaseMixes.size(), 1u);
    const TCaseMix& CM = *Data.CaseMixes[0];
    EXPECT_EQ(CM.Name + "|" + CM.FileName + "|" + std::to_string(CM.CaseMixType), "P||0");
    ASSERT_EQ(CM.SurgeryTypes.size(), 1u);
    const TSurgeryType& T = *CM.SurgeryTypes[0];
    EXPECT_EQ(T.Distribution->P3, 0.0);
    EXPECT_NEAR(T.Distribution->P2, std::sqrt(std::log(1.04)), 1e-12);
    EXPECT_NEAR(T.Distribution->P1, std::log(240.0) - 0.5 * std::log(1.04), 1e-12);
    ExpectPointDistribution(*T.Distribution, 0.5, 0.2, 480, 0);
    EXPECT_EQ(T.Xvalue, 0.5);
    EXPECT_EQ(T.Yvalue, 0.2);
    EXPECT_EQ(T.CaseMix, &CM);
    EXPECT_EQ(T.RelFrequency, 1.0);
}

TEST(TheoreticalCaseMix, TypesOfOnePointDifferOnlyInTheirShift)
{
    TData Data;
    Data.GenerateAndAddTheoreticalCaseMix("Three", 0.5, 0.5, 0.5, 0.5, 0.1, 0.1, 480, 3);
    const auto& Types = Data.CaseMixes[0]->SurgeryTypes;
    ASSERT_EQ(Types.size(), 3u);
    TLcg Lcg;
    for (const auto& T : Types) {
        ExpectPointDistribution(*T->Distribution, 0.5, 0.5, 480, Lcg.U());
        EXPECT_DOUBLE_EQ(T->RelFrequency, 1.0 / 3);
        EXPECT_EQ(T->ID, T->Distribution->ID + 1);  // distribution first, then the type
    }
}

TEST(TheoreticalCaseMix, MainWindowGridHas9900EquallyFrequentTypes)
{
    TData Data;
    Data.GenerateAndAddTheoreticalCaseMix("Grid", 0.01, 1, 0, 1, 0.01, 0.01, 480, 1);
    const auto& Types = Data.CaseMixes[0]->SurgeryTypes;
    ASSERT_EQ(Types.size(), 9900u);
    // Columns by X, then Y, as running sums of the steps; one draw per type.
    std::size_t I = 0;
    TLcg Lcg;
    for (double X = 0.01; X <= 1; X += 0.01)
        for (double Y = 0; Y <= 1 && I < Types.size(); Y += 0.01, ++I, Lcg.U()) {
            ASSERT_EQ(Types[I]->Xvalue, X);
            ASSERT_EQ(Types[I]->Yvalue, Y);
            ASSERT_NEAR(Types[I]->Distribution->Expected, X * 480 / 1440, 1e-12);
            ASSERT_NEAR(Types[I]->RelFrequency, 1.0 / 9900, 1e-15);
        }
    EXPECT_EQ(I, 9900u);
    EXPECT_LT(Types.back()->Xvalue, 1.0);
    EXPECT_LT(Types.back()->Yvalue, 1.0);
    EXPECT_EQ(Data.Random.State(), Lcg.S);
}

TEST(TheoreticalCaseMix, GridLinesAndRefusedSteps)
{
    TData Data;
    Data.GenerateAndAddTheoreticalCaseMix("Cols", 0.1, 0.3, 0.5, 0.5, 0.1, 0.1, 480, 1);
    const auto& Types = Data.CaseMixes[0]->SurgeryTypes;
    ASSERT_EQ(Types.size(), 2u);  // 0.1 + 0.1 + 0.1 > 0.3
    EXPECT_EQ(Types[0]->Xvalue, 0.1);
    EXPECT_EQ(Types[1]->Xvalue, 0.2);
    Data.GenerateAndAddTheoreticalCaseMix("None", 0.1, 0.3, 0.5, 0.5, 0.1, 0.1, 480, 0);
    EXPECT_TRUE(Data.CaseMixes.back()->SurgeryTypes.empty());
    EXPECT_THROW(Data.GenerateAndAddTheoreticalCaseMix("S", 0.1, 0.3, 0, 1, 0, 0.1, 480, 1), EOrbenchError);
    EXPECT_THROW(Data.GenerateAndAddTheoreticalCaseMix("S", 0.1, 0.3, 0, 1, 0.1, -0.1, 480, 1), EOrbenchError);
}

TEST(TheoreticalCaseMix, TypesOnTheFlyLieAtRandomPointsOfTheRegion)
{
    for (int Type : {12, 1}) {
        TData Data;
        TCaseMix CM(&Data, Type, 600);
        TLcg Lcg;
        for (int I = 0; I < 50; ++I) {
            double X, Y;  // X then Y, until the point lies in the region
            do {
                X = Lcg.U();
                Y = Lcg.U();
            } while (Type == 12 ? !(Y < X) : !(Y >= 0.5 && X <= 0.5));
            TSurgeryType* T = CM.GenerateAndDrawRandomSurgeryType();
            ASSERT_EQ(CM.SurgeryTypes.size(), static_cast<std::size_t>(I + 1));
            ASSERT_EQ(T, CM.SurgeryTypes.back().get());
            EXPECT_EQ(T->CaseMix, nullptr);
            EXPECT_EQ(T->RelFrequency, 0.0);
            EXPECT_EQ(T->Xvalue + T->Yvalue, 0.0);
            ExpectPointDistribution(*T->Distribution, X, Y, 600, Lcg.U());
        }
        EXPECT_EQ(Data.Random.State(), Lcg.S);
    }
    {
        // A point with X exactly 0 (mean 0) is drawn again, both coordinates, in every region.
        TData Zero;
        std::uint32_t Inverse = 134775813u;
        for (int I = 0; I < 5; ++I) Inverse *= 2u - 134775813u * Inverse;
        Zero.Random.Seed(0u - Inverse);  // the next draw is exactly 0
        TLcg Lcg{0u - Inverse};
        TCaseMix CM(&Zero, 0, 480);
        double X = 0, Y = 0;
        CM.DrawRandomCoordinate(X, Y);
        Lcg.U(), Lcg.U();
        EXPECT_EQ(X, Lcg.U());
        EXPECT_EQ(Y, Lcg.U());
        EXPECT_GT(X, 0.0);
    }
    TData Data;
    for (int Type : {17, -1, 100}) {  // no point would ever qualify
        TCaseMix CM(&Data, Type, 480);
        double X = 0, Y = 0;
        EXPECT_THROW(CM.DrawRandomCoordinate(X, Y), EOrbenchError) << Type;
    }
}

}  // namespace
}  // namespace orbench
