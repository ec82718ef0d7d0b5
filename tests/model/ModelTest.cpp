#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "Model.h"

// Freeing is observed by replacing the global allocation functions (plain malloc / free) and
// counting how many watched addresses are released.
namespace {
const void* Watched[8] = {};
int FreedWatched = 0;
void NoteFree(const void* P) noexcept
{
    for (const void*& W : Watched)
        if (P != nullptr && W == P) W = nullptr, ++FreedWatched;
}
}  // namespace
[[gnu::noinline]] void* operator new(std::size_t Size)
{
    if (void* P = std::malloc(Size == 0 ? 1 : Size)) return P;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* P) noexcept { NoteFree(P), std::free(P); }
[[gnu::noinline]] void operator delete(void* P, std::size_t) noexcept { NoteFree(P), std::free(P); }
// The nothrow forms (std::stable_sort's buffer) must come from the same heap as the deletes above.
[[gnu::noinline]] void* operator new(std::size_t Size, const std::nothrow_t&) noexcept
{
    return std::malloc(Size == 0 ? 1 : Size);
}
[[gnu::noinline]] void operator delete(void* P, const std::nothrow_t&) noexcept { NoteFree(P), std::free(P); }

namespace orbench {
namespace {

// Watches the given instances; Freed() counts those freed since.
struct TFreeCounter {
    explicit TFreeCounter(const std::vector<TInstance*>& Items)
    {
        FreedWatched = 0;
        std::copy(Items.begin(), Items.end(), Watched);
    }
    ~TFreeCounter() { std::fill(std::begin(Watched), std::end(Watched), nullptr); }
    int Freed() const { return FreedWatched; }
};

class Model : public ::testing::Test {
protected:
    TSurgeryType& AddType(double P1, double P2, double P3, double Freq = 1, double X = 0, double Y = 0)
    {
        auto D = std::make_unique<TDistribution>(Data.GenerateObjectID.GetUniqueID());
        D->P1 = P1, D->P2 = P2, D->P3 = P3;
        CM.SurgeryTypes.push_back(std::make_unique<TSurgeryType>(&Data, &CM, std::move(D)));
        TSurgeryType& Type = *CM.SurgeryTypes.back();
        Type.RelFrequency = Freq, Type.Xvalue = X, Type.Yvalue = Y;
        return Type;
    }
    std::vector<double> Frequencies()
    {
        CM.CalculateRelativeSurgeryTypeFrequencies();
        std::vector<double> Result;
        for (const auto& Type : CM.SurgeryTypes) Result.push_back(Type->RelFrequency);
        return Result;
    }

    TData Data;
    TCaseMix CM{&Data, 0, 480};
};

std::vector<int> OrsOf(const TInstanceList& List)
{
    std::vector<int> Result;
    for (const TInstance* I : List) Result.push_back(I->NumberOfORs);
    return Result;
}

TEST_F(Model, IdentifiersFollowCreationOrder)
{
    EXPECT_EQ(CM.ID, 0);
    TSurgeryType& Type = AddType(60, 6, 0);  // distribution 1, type 2
    EXPECT_EQ(Type.Distribution->ID, 1);
    EXPECT_EQ(Type.ID, 2);
    EXPECT_EQ(TSurgery(&Type, nullptr).ID, -1);
    EXPECT_EQ(TSurgery(&Type, &Data).ID, 3);  // the rootless surgery consumed nothing
    Data.GenerateObjectID.Reset();
    EXPECT_EQ(Data.GenerateObjectID.GetUniqueID(), 0);
    EXPECT_EQ(Data.GenerateObjectID.GetUniqueID(), 1);
}

TEST_F(Model, RelativeFrequenciesAreNormalisedUnlessAllZero)
{
    AddType(1, 0, 0, 0);
    AddType(2, 0, 0, 0);
    EXPECT_EQ(Frequencies(), (std::vector<double>{0, 0}));
    CM.SurgeryTypes[0]->RelFrequency = 2;
    CM.SurgeryTypes[1]->RelFrequency = 1;
    AddType(3, 0, 0, 1);
    EXPECT_EQ(Frequencies(), (std::vector<double>{0.5, 0.25, 0.25}));
}

TEST_F(Model, CenterOfMassCountsEverySurgery)
{
    TSurgeryType& A = AddType(1, 0, 0, 1, 0.2, 0.4);
    TSurgeryType& B = AddType(2, 0, 0, 1, 0.5, 0.1);
    TInstance* Instance = CM.CreateAndAddInstance(0.8, 0.8, 1);
    double X = 9, Y = 9;
    Instance->CenterOfMass(X, Y);
    EXPECT_EQ(X, 0);
    EXPECT_EQ(Y, 0);
    for (TSurgeryType* Type : {&A, &A, &B}) Instance->Surgeries.push_back(std::make_unique<TSurgery>(Type, &Data));
    Instance->CenterOfMass(X, Y);
    EXPECT_NEAR(X, 0.3, 1e-12);
    EXPECT_NEAR(Y, 0.3, 1e-12);
}

TEST_F(Model, SelectCaseMixByNameIsExactAndTakesTheFirst)
{
    for (const char* Name : {"General", "General", "Ortho"}) {
        Data.CaseMixes.push_back(std::make_unique<TCaseMix>(&Data, 0, 480));
        Data.CaseMixes.back()->Name = Name;
    }
    EXPECT_EQ(Data.SelectCaseMixByName("General"), Data.CaseMixes[0].get());
    EXPECT_EQ(Data.SelectCaseMixByName("Ortho"), Data.CaseMixes[2].get());
    EXPECT_EQ(Data.SelectCaseMixByName("general"), nullptr);
}

TEST_F(Model, FindSurgeryTypeByCharacteristicsWithin1e8)
{
    EXPECT_EQ(CM.FindSurgeryTypeByCharacteristics(0, 0, 0), nullptr);
    AddType(1, 2, 3);
    TSurgeryType& Target = AddType(60, 6, 15);
    AddType(60, 6, 15);  // same parameters: the first one wins
    EXPECT_EQ(CM.FindSurgeryTypeByCharacteristics(60 + 5e-9, 6 - 5e-9, 15 + 5e-9), &Target);
    EXPECT_EQ(CM.FindSurgeryTypeByCharacteristics(60 + 2e-8, 6, 15), nullptr);
    EXPECT_EQ(CM.FindSurgeryTypeByCharacteristics(60, 6, 15 - 2e-8), nullptr);
}

TEST(InstanceList, OwningListFreesWhatLeavesIt)
{
    std::vector<TInstance*> I;
    for (int Ors : {1, 2, 3, 4, 5, 6}) I.push_back(new TInstance(nullptr, nullptr, 0.8, 0.8, Ors));
    TFreeCounter Counter(I);
    {
        TInstanceList List;  // owning by default
        for (int k = 0; k < 4; ++k) List.Add(I[k]);
        List.Delete(0);
        EXPECT_EQ(Counter.Freed(), 1);
        EXPECT_EQ(List.Remove(I[2]), 1);
        EXPECT_EQ(Counter.Freed(), 2);
        EXPECT_EQ(List.Extract(I[1]), I[1]);
        EXPECT_EQ(Counter.Freed(), 2);
        EXPECT_EQ(OrsOf(List), (std::vector<int>{4}));
        EXPECT_EQ(I[1]->NumberOfORs, 2);  // extracted: still alive, now ours
        delete I[1];
        List.Clear();
        EXPECT_EQ(Counter.Freed(), 4);
        EXPECT_TRUE(List.Empty());
        List.Add(I[4]);
        List.Add(I[5]);
    }
    EXPECT_EQ(Counter.Freed(), 6);  // the rest went with the list
}

TEST(InstanceList, NonOwningListNeverFrees)
{
    // The instances stay ours: each leaves a list once, so a list that freed one is caught here.
    std::vector<TInstance*> I;
    for (int Ors : {5, 10, 10, 5, 7, 8}) I.push_back(new TInstance(nullptr, nullptr, 0.8, 0.8, Ors));
    TFreeCounter Counter(I);
    {
        TInstanceList List(false), Other(false);
        for (int k = 0; k < 5; ++k) List.Add(I[k]);
        List.ClearInstances(10);
        EXPECT_EQ(OrsOf(List), (std::vector<int>{5, 5, 7}));
        List.Delete(0);
        EXPECT_EQ(List.Remove(I[4]), 1);  // I[3] stays until the list goes
        Other.Add(I[5]);
        Other.Clear();
    }
    ASSERT_EQ(Counter.Freed(), 0);
    const int Ors[] = {5, 10, 10, 5, 7, 8};  // all still alive and usable
    for (std::size_t k = 0; k < I.size(); ++k) {
        EXPECT_EQ(I[k]->NumberOfORs, Ors[k]);
        delete I[k];
    }
}

TEST_F(Model, ClearInstancesRemovesOnlyThatNumberOfOrDays)
{
    std::vector<TInstance*> I;
    for (int Ors : {5, 10, 10, 5}) I.push_back(CM.CreateAndAddInstance(0.8, 0.8, Ors));
    TFreeCounter Counter({I[1], I[2]});
    CM.Instances.ClearInstances(10);
    EXPECT_EQ(Counter.Freed(), 2);
    ASSERT_EQ(CM.Instances.Count(), 2);
    EXPECT_EQ(CM.Instances[0], I[0]);
    EXPECT_EQ(CM.Instances[1], I[3]);
    CM.Instances.ClearInstances(3);  // no match: nothing changes
    EXPECT_EQ(CM.Instances.Count(), 2);
}

}  // namespace
}  // namespace orbench
