#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::TLcg;

namespace fs = std::filesystem;

// The state from which the next draw returns exactly Next / 2^32.
std::uint32_t StateBefore(std::uint32_t Next)
{
    std::uint32_t Inverse = 134775813u;
    for (int I = 0; I < 5; ++I) Inverse *= 2u - 134775813u * Inverse;
    return (Next - 1u) * Inverse;
}

TSurgeryType* AddType(TCaseMix& CM, double MeanMin, double Frequency)
{
    auto D = std::make_unique<TDistribution>(CM.Data->GenerateObjectID.GetUniqueID());
    D->DistributionType = dNormal, D->P1 = MeanMin, D->P2 = MeanMin / 10;
    D->CalculateExpected(), D->CalculateVariance();
    auto& T = CM.SurgeryTypes.emplace_back(std::make_unique<TSurgeryType>(CM.Data, &CM, std::move(D)));
    T->RelFrequency = Frequency;
    return T.get();
}

std::size_t FileCount(const std::string& Dir) { return std::distance(fs::directory_iterator(Dir), {}); }

// A fresh model with one empty case mix of 480-minute OR-days.
class InstanceGeneration : public ::testing::Test {
protected:
    TData Data;
    TCaseMix CM{&Data, 0, 480};
};

TEST_F(InstanceGeneration, RouletteReplaysTheUniformSequence)
{
    EXPECT_EQ(CM.DrawSurgeryType(), nullptr);  // empty list: nothing drawn
    EXPECT_EQ(Data.Random.State(), 12345u);
    TSurgeryType* T[] = {AddType(CM, 120, 0.5), AddType(CM, 360, 0.3), AddType(CM, 192, 0.2)};
    TLcg Lcg;
    for (int I = 0; I < 300; ++I) {
        const double U = Lcg.U();
        ASSERT_EQ(CM.DrawSurgeryType(), T[U < 0.5 ? 0 : U < 0.5 + 0.3 ? 1 : 2]) << I;
    }
    Data.Random.Seed(StateBefore(1u << 31));  // u = 0.5: the running sum must exceed it
    EXPECT_EQ(CM.DrawSurgeryType(), T[1]);
    CM.FillAuxSurgeryTypeList(5);  // first and third: 5/7 and 2/7
    Data.Random.Seed(StateBefore(1u << 31));
    EXPECT_EQ(CM.DrawSurgeryTypeFromAuxSurgeryTypes(), T[0]);
    Data.Random.Seed(StateBefore(3u << 30));  // u = 0.75
    EXPECT_EQ(CM.DrawSurgeryTypeFromAuxSurgeryTypes(), T[2]);
    // Frequencies adding up to less than the draw: the last type with a positive frequency, one draw.
    T[0]->RelFrequency = 0.2, T[1]->RelFrequency = 0.1, T[2]->RelFrequency = 0;
    Data.Random.Seed(StateBefore(1u << 31));
    EXPECT_EQ(CM.DrawSurgeryType(), T[1]);
    EXPECT_EQ(Data.Random.State(), 1u << 31);
}

TEST_F(InstanceGeneration, NoTargetsMeansOneDrawAndNoInstance)
{
    AddType(CM, 60, 1);
    EXPECT_TRUE(CM.GenerateInstances({}, 0, 3, 1, 0.05, false, "", false));
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(1).S);
    EXPECT_TRUE(CM.GenerateInstances({0.5}, 0, 0, 1, 0.05, false, "", false));
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(2).S);
    EXPECT_EQ(CM.Instances.Count(), 0);
}

TEST_F(InstanceGeneration, FirstOpenTargetInListOrderTakesTheCandidate)
{
    AddType(CM, 0.83 * 480, 1);  // each surgery is a load of 0.83 on one OR-day
    ASSERT_TRUE(CM.GenerateInstances({0.80, 0.85}, 0, 2, 1, 0.05, false, "d/", false));
    ASSERT_EQ(CM.Instances.Count(), 4);
    const char* Names[] = {"ordays_1_load_0.8_1", "ordays_1_load_0.8_2", "ordays_1_load_0.85_1",
                           "ordays_1_load_0.85_2"};
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(CM.Instances[I]->Name, Names[I]);
        EXPECT_EQ(CM.Instances[I]->DesiredLoad, I < 2 ? 0.80 : 0.85);
        EXPECT_EQ(CM.Instances[I]->Surgeries.size(), 1u);
    }
    CM.Instances.Clear();
    ASSERT_TRUE(CM.GenerateInstances({0.85, 0.80}, 0, 1, 1, 0.05, false, "d/", false));
    EXPECT_EQ(CM.Instances[0]->DesiredLoad, 0.85);
    EXPECT_EQ(CM.Instances[1]->DesiredLoad, 0.80);
}

// Replays the generator for one target L: roulette on the auxiliary frequencies, the load of a surgery
// ((1440 / c) * Expected) / n, candidates freed above L + D, tuning ended by as many misses in a row
// as the case mix has types. Returns whether tuning ever added a surgery.
bool ExpectReplayed(const TCaseMix& CM, double L, double D, int n)
{
    TLcg Lcg;
    auto Pick = [&] {
        const double U = Lcg.U();
        double Sum = 0;
        for (TSurgeryType* T : CM.AuxSurgeryTypes)
            if ((Sum += T->AuxRelFrequency) > U) return T;
        return CM.AuxSurgeryTypes.back();
    };
    auto Add = [&](const TSurgeryType* T) { return ((1440 / CM.CapacityORinMinutes) * T->Distribution->Expected) / n; };
    bool TuningAdded = false;
    for (const TInstance* Inst : CM.Instances) {
        std::vector<const TSurgeryType*> Drawn;
        double Load = 0;
        while (!(std::fabs(Load - L) < D)) {
            if (Load > L + D) Drawn.clear(), Load = 0;
            Drawn.push_back(Pick());
            Load += Add(Drawn.back());
        }
        const double Before = std::fabs(Load - L);
        for (std::size_t Misses = 0; Misses < CM.SurgeryTypes.size();) {
            const TSurgeryType* T = Pick();
            if (std::fabs(Load + Add(T) - L) < std::fabs(Load - L))
                Drawn.push_back(T), Load += Add(T), Misses = 0, TuningAdded = true;
            else
                ++Misses;
        }
        EXPECT_EQ(Inst->Surgeries.size(), Drawn.size());
        for (std::size_t I = 0; I < std::min(Drawn.size(), Inst->Surgeries.size()); ++I)
            EXPECT_EQ(Inst->Surgeries[I]->SurgeryType, Drawn[I]);
        EXPECT_EQ(Inst->Load, Load);
        EXPECT_LE(std::fabs(Inst->Load - L), Before);
    }
    EXPECT_EQ(CM.Data->Random.State(), Lcg.S);
    return TuningAdded;
}

TEST_F(InstanceGeneration, TuningOnlyBringsTheLoadCloserToItsTarget)
{
    AddType(CM, 121, 0.5), AddType(CM, 31, 0.5);  // loads whose sum depends on the order of operations
    ASSERT_TRUE(CM.GenerateInstances({0.8}, 0, 6, 3, 0.03, false, "", false));
    ASSERT_EQ(CM.Instances.Count(), 6);
    EXPECT_TRUE(ExpectReplayed(CM, 0.8, 0.03, 3));

    // Exact loads 3/8, 3/32 and 3/64 against 45/64: one more 3/32 from 42/64 lands as far above
    // the target as the load lies below it, which is no improvement.
    TCaseMix Exact(&Data, 0, 480);
    Data.Random.Seed(12345);
    AddType(Exact, 180, 0.5), AddType(Exact, 45, 0.25), AddType(Exact, 22.5, 0.25);
    ASSERT_TRUE(Exact.GenerateInstances({0.703125}, 0, 8, 1, 0.1, false, "", false));
    EXPECT_TRUE(ExpectReplayed(Exact, 0.703125, 0.1, 1));
}

TEST_F(InstanceGeneration, TuningStopsAfterAsManyMissesAsTheWholeCaseMixHasTypes)
{
    AddType(CM, 60, 1);  // X = 0.125: the only type of case-mix type 5
    for (int I = 0; I < 3; ++I) AddType(CM, 360, 1);
    ASSERT_TRUE(CM.GenerateInstances({0.5}, 5, 2, 1, 0.01, false, "", false));
    ASSERT_EQ(CM.Instances.Count(), 2);
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(16).S);  // per instance 4 of load 0.125, then 4 misses
    const auto& A = CM.Instances[0]->Surgeries;
    const auto& B = CM.Instances[1]->Surgeries;
    ASSERT_TRUE(A.size() == 4 && B.size() == 4);
    EXPECT_EQ(A[3]->ID - A[0]->ID, 3);
    EXPECT_EQ(B[0]->ID - A[3]->ID, 5);  // surgeries freed by tuning used up their IDs
}

TEST_F(InstanceGeneration, NamesFileNamesAndSaving)
{
    testing::TTempDir Dir;
    const std::string DirName = Dir.Path() + "/";
    AddType(CM, 408, 1);  // 0.085 of ten OR-days
    ASSERT_TRUE(CM.GenerateInstances({0.85}, 0, 1, 10, 0.01, false, DirName, false));
    EXPECT_EQ(CM.Instances[0]->Name, "ordays_10_load_0.85_1");
    EXPECT_EQ(CM.Instances[0]->FileName, DirName + "ordays_10_load_0.85_1.txt");
    EXPECT_EQ(FileCount(Dir.Path()), 0u);

    testing::TDecimalSeparatorGuard Comma(',');
    int Finished = 0;
    // The same load twice: separate counters, the same names, the second file replaces the first.
    ASSERT_TRUE(CM.GenerateInstances({0.85, 0.85}, 0, 1, 10, 0.01, true, DirName, false, [&](const TInstance& Inst) {
        ++Finished;
        EXPECT_TRUE(fs::exists(Inst.FileName));
    }));
    EXPECT_EQ(Finished, 2);
    ASSERT_EQ(CM.Instances.Count(), 3);
    EXPECT_EQ(CM.Instances[1]->Name, "ordays_10_load_0,85_1");
    EXPECT_EQ(CM.Instances[2]->Name, "ordays_10_load_0,85_1");
    EXPECT_TRUE(fs::exists(DirName + "ordays_10_load_0,85_1.txt"));
    EXPECT_EQ(FileCount(Dir.Path()), 1u);
}

TEST_F(InstanceGeneration, ZeroDeviationPassesTheDrawLimit)
{
    testing::TTempDir Dir;
    TCaseMix OnTheFly(&Data, 0, 480);
    AddType(CM, 60, 1);
    EXPECT_FALSE(CM.GenerateInstances({0.5}, 0, 1, 1, 0, true, Dir.Path() + "/", false));
    EXPECT_EQ(CM.Instances.Count(), 0);
    EXPECT_EQ(FileCount(Dir.Path()), 0u);
    EXPECT_EQ(Data.Random.State(), TLcg().Skip(100001).S);
    EXPECT_FALSE(OnTheFly.GenerateInstances({0.5}, 0, 1, 1, 0, false, "", true));
    EXPECT_EQ(OnTheFly.SurgeryTypes.size(), 100001u);  // one new type per draw
}

TEST_F(InstanceGeneration, TypesOfDiscardedDrawsCanBeLeftUnbuilt)
{
    // The same generation on the fly with and without the types of draws that tuning discards.
    TData Whole, Lean;
    TCaseMix Full(&Whole, 3, 480), Kept(&Lean, 3, 480);
    Kept.KeepTypesOfDiscardedDraws = false;
    for (TCaseMix* C : {&Full, &Kept}) ASSERT_TRUE(C->GenerateInstances({0.8, 1.0}, 0, 3, 4, 0.05, false, "", true));
    EXPECT_EQ(Lean.Random.State(), Whole.Random.State());
    EXPECT_EQ(Lean.GenerateObjectID.LastID, Whole.GenerateObjectID.LastID);
    ASSERT_EQ(Kept.Instances.Count(), Full.Instances.Count());
    std::size_t Surgeries = 0;
    for (int I = 0; I < Full.Instances.Count(); ++I) {
        const TInstance& F = *Full.Instances[I];
        const TInstance& K = *Kept.Instances[I];
        EXPECT_EQ(K.Load, F.Load);
        ASSERT_EQ(K.Surgeries.size(), F.Surgeries.size());
        Surgeries += F.Surgeries.size();
        for (std::size_t J = 0; J < F.Surgeries.size(); ++J) {
            const TSurgeryType& A = *F.Surgeries[J]->SurgeryType;
            const TSurgeryType& B = *K.Surgeries[J]->SurgeryType;
            EXPECT_EQ(K.Surgeries[J]->ID, F.Surgeries[J]->ID);
            EXPECT_EQ(B.ID, A.ID);
            EXPECT_EQ(B.Distribution->ID, A.Distribution->ID);
            for (auto Field : {&TDistribution::P1, &TDistribution::P2, &TDistribution::P3, &TDistribution::Expected,
                               &TDistribution::Variance})
                EXPECT_EQ(*B.Distribution.*Field, *A.Distribution.*Field);
        }
    }
    // Tuning discards a hundred draws or more per instance; their types are all that is missing.
    EXPECT_GE(Full.SurgeryTypes.size(), Kept.SurgeryTypes.size() + 100 * Full.Instances.Count());
    EXPECT_GE(Kept.SurgeryTypes.size(), Surgeries);
}

TEST_F(InstanceGeneration, AnInstanceThatWouldPassAMillionSurgeriesStopsTheGenerator)
{
    struct TCase {
        const char* Where;
        std::vector<double> Means;  // minutes, frequency 1 each
        double Load;
        int MaxDraws;
    };
    const TCase Cases[] = {
        // 1e-5 minutes add 2e-8 to the load: the candidate never reaches its window.
        {"main loop", {1e-5}, 0.5, 2000000},
        // 240 minutes land in the window, then tuning keeps adding surgeries of 1e-6 minutes, each a
        // little closer; a hundred misses in a row end it.
        {"tuning",
         [] {
             std::vector<double> M(100, 1e-6);
             M.push_back(240);
             return M;
         }(),
         0.51, DefaultMaxDraws},
    };
    for (const TCase& Case : Cases) {
        TData D;
        TCaseMix Tiny(&D, 0, 480);
        Tiny.Name = "tiny";
        for (const double Mean : Case.Means) AddType(Tiny, Mean, 1);
        try {
            Tiny.GenerateInstances({Case.Load}, 0, 1, 1, 0.025, false, "", false, {}, Case.MaxDraws);
            ADD_FAILURE() << Case.Where << ": no error";
        } catch (const EOrbenchError& Error) {
            EXPECT_EQ(std::string(Error.what()),
                      "Case mix tiny: an instance would hold more than 1000000 surgeries; the mean durations of its "
                      "surgery types are too small for the OR-day capacity of 480 minutes.");
        }
        EXPECT_EQ(Tiny.Instances.Count(), 0) << Case.Where;
        // The main loop stops before the draw that would add surgery 1000001.
        if (Case.MaxDraws > 1000000) {
            EXPECT_EQ(D.Random.State(), TLcg().Skip(1000000).S);
        }
    }
}

TEST_F(InstanceGeneration, RefusedArgumentsAndEmptyCaseMixType)
{
    AddType(CM, 60, 1);
    for (int N : {0, -2}) EXPECT_THROW(CM.GenerateInstances({0.5}, 0, 1, N, 0.01, false, "", false), EOrbenchError);
    for (double C : {0.0, -480.0}) {
        CM.CapacityORinMinutes = C;
        EXPECT_THROW(CM.GenerateInstances({0.5}, 0, 1, 1, 0.01, false, "", false), EOrbenchError);
    }
    CM.CapacityORinMinutes = 480;
    EXPECT_TRUE(CM.GenerateInstances({0.5}, 6, 1, 1, 0.01, false, "", false));  // no type with X >= 0.5
    EXPECT_EQ(CM.Instances.Count(), 0);
    EXPECT_EQ(Data.Random.State(), 12345u);
}

}  // namespace
}  // namespace orbench
