#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "InstanceFill.h"
#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::TLcg;

// Multiples of 45 minutes give exact workloads (45 / 1440 = 1/32 day).
TSurgeryType* AddType(TCaseMix& CM, double MeanMin, double Frequency)
{
    auto D = std::make_unique<TDistribution>(CM.Data->GenerateObjectID.GetUniqueID());
    D->DistributionType = dNormal, D->P1 = MeanMin, D->P2 = MeanMin / 5;
    D->CalculateExpected(), D->CalculateVariance();
    auto& T = CM.SurgeryTypes.emplace_back(std::make_unique<TSurgeryType>(CM.Data, &CM, std::move(D)));
    T->RelFrequency = Frequency;
    return T.get();
}

struct TRecordingObserver : TFillObserver {
    explicit TRecordingObserver(const TCaseMix& CM) : CaseMix(CM) {}
    void InstanceAdded(int Index) override
    {
        Added.push_back(Index);
        EXPECT_EQ(CaseMix.Instances.Count(), Index + 1);
        EXPECT_TRUE(CaseMix.Instances[Index]->Surgeries.empty());
    }
    void ProcessEvents() override
    {
        std::size_t Accepted = 0;
        for (const TInstance* Inst : CaseMix.Instances) Accepted += Inst->Surgeries.size();
        AcceptedAtEvents.push_back(Accepted);
    }
    const TCaseMix& CaseMix;
    std::vector<int> Added;
    std::vector<std::size_t> AcceptedAtEvents;
};

// A fresh model with one empty case mix of 480-minute OR-days.
class InstanceFill : public ::testing::Test {
protected:
    TData Data;
    TCaseMix CM{&Data, 0, 480};
};

TEST_F(InstanceFill, InstanceEndsAtItsTargetOrAfterFiveOvershoots)
{
    AddType(CM, 90, 1);
    // 1 * 0.5 * 450 = 225 minutes: 90 and 180 fit, then five draws would reach 270.
    ASSERT_TRUE(GenerateAndAddInstances(CM, 0, 1, 1, 450, 0.5));
    ASSERT_EQ(CM.Instances.Count(), 1);
    const TInstance& Inst = *CM.Instances[0];
    EXPECT_EQ(Inst.Surgeries.size(), 2u);
    EXPECT_EQ(Inst.Load, 180.0 / 450);
    EXPECT_EQ(Inst.DesiredLoad, 0.5);
    EXPECT_EQ(Inst.NumberOfORs, 1);
    EXPECT_EQ(Inst.Name + Inst.FileName, "");
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(7).S);

    // 2 * 0.5 * 360 = 360 minutes are reached exactly by four surgeries: no overshoot is drawn.
    ASSERT_TRUE(GenerateAndAddInstances(CM, 0, 1, 2, 360, 0.5));
    EXPECT_EQ(CM.Instances[1]->Surgeries.size(), 4u);
    EXPECT_EQ(CM.Instances[1]->Load, 0.5);
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(11).S);
}

TEST_F(InstanceFill, OvershootsAreCountedOverTheWholeInstance)
{
    TSurgeryType* T[] = {AddType(CM, 180, 0.5), AddType(CM, 45, 0.5)};
    const double Minutes[] = {180, 45};
    const double T3 = 3 * 0.9 * 470;  // n * L * c minutes for each of the instances
    ASSERT_TRUE(GenerateAndAddInstances(CM, 0, 4, 3, 470, 0.9));
    ASSERT_EQ(CM.Instances.Count(), 4);
    TLcg Lcg;
    for (const TInstance* Inst : CM.Instances) {
        std::vector<TSurgeryType*> Accepted;
        double W = 0;
        for (int R = 0; R < 5 && W < T3;) {
            const int I = Lcg.U() < 0.5 ? 0 : 1;
            if (W + Minutes[I] > T3)
                ++R;
            else
                W += Minutes[I], Accepted.push_back(T[I]);
        }
        ASSERT_EQ(Inst->Surgeries.size(), Accepted.size());
        for (std::size_t I = 0; I < Accepted.size(); ++I) EXPECT_EQ(Inst->Surgeries[I]->SurgeryType, Accepted[I]);
        EXPECT_EQ(Inst->Load, W / (3 * 470.0));
    }
    EXPECT_EQ(Data.Random.State(), Lcg.S);
}

TEST_F(InstanceFill, InstancesAreAppendedAndEventsFollowAcceptedSurgeries)
{
    AddType(CM, 45, 1);
    CM.CreateAndAddInstance(0, 0.5, 1);
    CM.CreateAndAddInstance(0, 0.5, 1);
    TRecordingObserver Observer(CM);
    // 330 minutes: 7 surgeries (315) and five overshoots, so 7 accepted of 12 draws per instance.
    ASSERT_TRUE(GenerateAndAddInstances(CM, 0, 30, 1, 330, 1.0, &Observer));
    ASSERT_EQ(CM.Instances.Count(), 32);
    std::vector<int> Expected;
    for (int I = 2; I < 32; ++I) Expected.push_back(I);
    EXPECT_EQ(Observer.Added, Expected);
    EXPECT_EQ(Observer.AcceptedAtEvents, (std::vector<std::size_t>{100, 200}));
    EXPECT_EQ(CM.Instances[31]->Surgeries.size(), 7u);
}

TEST_F(InstanceFill, EmptyCaseMixTypeShowsMessageAndKeepsTheEmptyInstance)
{
    testing::TRecordingNotifier Notifier;
    Data.Notifier = &Notifier;
    AddType(CM, 360, 1);  // X = 0.75 only
    TRecordingObserver Observer(CM);
    for (int K : {0, -1}) EXPECT_TRUE(GenerateAndAddInstances(CM, 5, K, 1, 480, 0.8, &Observer));
    EXPECT_EQ(CM.Instances.Count(), 0);  // no count: nothing at all, not even the message
    EXPECT_TRUE(Notifier.Messages.empty());
    EXPECT_FALSE(GenerateAndAddInstances(CM, 5, 3, 1, 480, 0.8, &Observer));
    EXPECT_EQ(Notifier.Texts(), std::vector<std::string>{"This instance has no surgery types. Exiting."});
    ASSERT_EQ(CM.Instances.Count(), 1);
    EXPECT_EQ(Observer.Added, std::vector<int>{0});
    EXPECT_EQ(Data.Random.State(), 12345u);
    CM.SurgeryTypes[0]->RelFrequency = 0;  // a member, but nothing to draw by
    EXPECT_FALSE(GenerateAndAddInstances(CM, 6, 1, 1, 480, 0.8));
    EXPECT_EQ(Notifier.Messages.size(), 2u);
    EXPECT_EQ(CM.Instances.Count(), 2);
}

TEST_F(InstanceFill, AnInstanceThatWouldPassAMillionSurgeriesStopsTheLoop)
{
    CM.Name = "tiny";
    AddType(CM, 1e-300, 1);  // adding it no longer changes the workload: the loop alone would never end
    try {
        GenerateAndAddInstances(CM, 0, 2, 1, 480, 0.8);
        ADD_FAILURE() << "no error";
    } catch (const EOrbenchError& Error) {
        EXPECT_NE(std::string(Error.what()).find("Case mix tiny: an instance would hold more than 1000000 surgeries"),
                  std::string::npos)
            << Error.what();
    }
    ASSERT_EQ(CM.Instances.Count(), 1);  // the instance being filled stays, empty
    EXPECT_TRUE(CM.Instances[0]->Surgeries.empty());
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(1000001).S);  // stopped at the surgery that passed the limit
}

TEST_F(InstanceFill, RefusesNonPositiveCapacityAndORdays)
{
    AddType(CM, 90, 1);
    EXPECT_THROW(GenerateAndAddInstances(CM, 0, 1, 0, 480, 0.8), EOrbenchError);
    EXPECT_THROW(GenerateAndAddInstances(CM, 0, 1, 1, 0, 0.8), EOrbenchError);
    EXPECT_THROW(GenerateAndAddInstances(CM, 0, 1, 1, -480, 0.8), EOrbenchError);
}

}  // namespace
}  // namespace orbench
