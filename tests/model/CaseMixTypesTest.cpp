#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "Model.h"

namespace orbench {
namespace {

// A normal surgery type with mean and standard deviation in minutes.
TSurgeryType* AddType(TCaseMix& CM, double Mean, double Sd, double Frequency)
{
    auto D = std::make_unique<TDistribution>(CM.Data->GenerateObjectID.GetUniqueID());
    D->DistributionType = dNormal, D->P1 = Mean, D->P2 = Sd;
    D->CalculateExpected(), D->CalculateVariance();
    auto& T = CM.SurgeryTypes.emplace_back(std::make_unique<TSurgeryType>(CM.Data, &CM, std::move(D)));
    T->RelFrequency = Frequency;
    return T.get();
}

const std::set<int> At03_08 = {0, 1, 5, 7, 9, 10, 13, 16};
const std::set<int> At07_02 = {0, 4, 6, 8, 11, 12, 13, 16};

TEST(CaseMixTypes, PointMembershipIncludingBoundaryLines)
{
    struct TCase {
        double X, Y;
        std::set<int> Members;
    };
    const TCase Cases[] = {
        {0.5, 0.5, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 16}},
        {0.3, 0.8, At03_08},
        {0.7, 0.2, At07_02},
        {0.25, 0.75, {0, 1, 5, 7, 9, 10, 13, 15, 16}},    // on Y = 1 - X and the band edges
        {0.3, 0.3, {0, 3, 5, 8, 9, 11, 13, 14, 15, 16}},  // on Y = X and on X + Y = 0.6
    };
    for (const TCase& C : Cases)
        for (int T : {-2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 100, 110})
            EXPECT_EQ(IsPointOfCaseMixType(T, C.X, C.Y), C.Members.count(T) == 1)
                << "type " << T << " at (" << C.X << ", " << C.Y << ")";
}

TEST(CaseMixTypes, SurgeryTypeLiesWhereItsMeanAndVariationPutIt)
{
    TData Data;
    TCaseMix CM(&Data, 0, 480);
    TSurgeryType* Upper = AddType(CM, 144, 115.2, 1);  // X = 144 / 480 = 0.3, Y = 0.8
    TSurgeryType* Lower = AddType(CM, 336, 67.2, 1);   // X = 0.7, Y = 0.2
    for (int T = 0; T <= 17; ++T) {
        EXPECT_EQ(Upper->IsCaseMixType(T), At03_08.count(T) == 1) << T;
        EXPECT_EQ(Lower->IsCaseMixType(T), At07_02.count(T) == 1) << T;
    }
    EXPECT_TRUE(Upper->IsCaseMixType(-1));
    for (int T : {-2, 100, 105, 110, 111}) EXPECT_FALSE(Upper->IsCaseMixType(T)) << T;
    CM.CaseMixType = 105;  // -1 and 100..110 test the case mix's own type
    EXPECT_TRUE(Upper->IsCaseMixType(105));
    EXPECT_FALSE(Upper->IsCaseMixType(104));
    EXPECT_FALSE(Upper->IsCaseMixType(-1));
    CM.CapacityORinMinutes = 800;  // 336 / 800 = 0.42
    EXPECT_TRUE(Lower->IsCaseMixType(5));
    EXPECT_FALSE(Lower->IsCaseMixType(6));
}

TEST(CaseMixTypes, AuxiliaryListRenormalisesSelectedFrequencies)
{
    TData Data;
    TCaseMix CM(&Data, 0, 480);
    TSurgeryType* A = AddType(CM, 120, 12, 0.5);  // X = 0.25
    TSurgeryType* B = AddType(CM, 360, 36, 0.3);  // X = 0.75
    TSurgeryType* C = AddType(CM, 192, 19, 0.2);  // X = 0.4
    using TList = std::vector<TSurgeryType*>;
    CM.FillAuxSurgeryTypeList(5);
    ASSERT_EQ(CM.AuxSurgeryTypes, (TList{A, C}));
    EXPECT_DOUBLE_EQ(A->AuxRelFrequency, 0.5 / 0.7);
    EXPECT_DOUBLE_EQ(C->AuxRelFrequency, 0.2 / 0.7);
    EXPECT_EQ(A->RelFrequency, 0.5);

    CM.FillAuxSurgeryTypeList(6);  // a refill replaces the list
    ASSERT_EQ(CM.AuxSurgeryTypes, TList{B});
    EXPECT_DOUBLE_EQ(B->AuxRelFrequency, 1.0);

    CM.FillAuxSurgeryTypeList(0);
    ASSERT_EQ(CM.AuxSurgeryTypes, (TList{A, B, C}));
    for (TSurgeryType* T : CM.AuxSurgeryTypes) EXPECT_DOUBLE_EQ(T->AuxRelFrequency, T->RelFrequency);

    CM.FillAuxSurgeryTypeList(17);
    EXPECT_TRUE(CM.AuxSurgeryTypes.empty());

    A->RelFrequency = C->RelFrequency = 0;  // selected, but nothing to draw by
    CM.FillAuxSurgeryTypeList(5);
    EXPECT_TRUE(CM.AuxSurgeryTypes.empty());
    EXPECT_EQ(CM.DrawSurgeryTypeFromAuxSurgeryTypes(), nullptr);
    EXPECT_EQ(Data.Random.State(), TUniformGenerator::DefaultSeed);  // nothing was drawn
}

}  // namespace
}  // namespace orbench
