#include "Model.h"

#include <algorithm>
#include <cmath>

#include "OrbenchError.h"

namespace orbench {

// ---- TInstanceList ----

TInstanceList::~TInstanceList() { Clear(); }

void TInstanceList::Release(TInstance* Instance)
{
    if (FOwnsObjects) delete Instance;
}

int TInstanceList::Add(TInstance* Instance)
{
    FItems.push_back(Instance);
    return Count() - 1;
}

void TInstanceList::Insert(int Index, TInstance* Instance)
{
    if (Index < 0 || Index > Count())
        throw EOrbenchError("Instance list index out of bounds (" + std::to_string(Index) + ")");
    FItems.insert(FItems.begin() + Index, Instance);
}

int TInstanceList::IndexOf(const TInstance* Instance) const
{
    const auto It = std::find(FItems.begin(), FItems.end(), Instance);
    return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

int TInstanceList::Remove(TInstance* Instance)
{
    const int Index = IndexOf(Instance);
    if (Index >= 0) Delete(Index);
    return Index;
}

void TInstanceList::Delete(int Index)
{
    TInstance* Instance = ExtractAt(Index);
    Release(Instance);
}

TInstance* TInstanceList::Extract(TInstance* Instance)
{
    const int Index = IndexOf(Instance);
    return Index < 0 ? nullptr : ExtractAt(Index);
}

TInstance* TInstanceList::ExtractAt(int Index)
{
    if (Index < 0 || Index >= Count())
        throw EOrbenchError("Instance list index out of bounds (" + std::to_string(Index) + ")");
    TInstance* Instance = FItems[static_cast<std::size_t>(Index)];
    FItems.erase(FItems.begin() + Index);
    return Instance;
}

void TInstanceList::Clear()
{
    std::vector<TInstance*> Items;
    Items.swap(FItems);
    for (TInstance* Instance : Items) Release(Instance);
}

void TInstanceList::RemoveInstances(std::vector<TInstance*> Which)
{
    std::sort(Which.begin(), Which.end());
    std::erase_if(FItems, [this, &Which](TInstance* Instance) {
        if (!std::binary_search(Which.begin(), Which.end(), Instance)) return false;
        Release(Instance);
        return true;
    });
}

void TInstanceList::ClearInstances(int NumOrs)
{
    std::vector<TInstance*> Kept;
    Kept.reserve(FItems.size());
    for (TInstance* Instance : FItems) {
        if (Instance->NumberOfORs == NumOrs)
            Release(Instance);
        else
            Kept.push_back(Instance);
    }
    FItems.swap(Kept);
}

// ---- TData ----

TData::TData() : Notifier(&TStderrNotifier::Instance()) {}

TData::~TData()
{
    // Case mixes go first, then the generators (declared before them).
    CaseMixes.clear();
}

TCaseMix* TData::SelectCaseMixByName(const std::string& Name) const
{
    for (const auto& CaseMix : CaseMixes)
        if (CaseMix->Name == Name) return CaseMix.get();
    return nullptr;
}

// ---- TCaseMix ----

TCaseMix::TCaseMix(TData* AData, int ACaseMixType, double ACapacityORinMinutes)
    : ID(AData->GenerateObjectID.GetUniqueID()),
      Instances(true),
      CaseMixType(ACaseMixType),
      CapacityORinMinutes(ACapacityORinMinutes),
      Data(AData)
{}

TCaseMix::~TCaseMix()
{
    // Surgeries refer to surgery types: the auxiliary list, then the instances, then the types.
    AuxSurgeryTypes.clear();
    Instances.Clear();
    SurgeryTypes.clear();
}

void TCaseMix::CalculateRelativeSurgeryTypeFrequencies()
{
    double Sum = 0;
    for (const auto& Type : SurgeryTypes) Sum += Type->RelFrequency;
    if (Sum == 0) return;
    for (const auto& Type : SurgeryTypes) Type->RelFrequency = Type->RelFrequency / Sum;
}

TInstance* TCaseMix::CreateAndAddInstance(double ALoad, double ADesiredLoad, int ANumberOfORs)
{
    auto* Instance = new TInstance(Data, this, ALoad, ADesiredLoad, ANumberOfORs);
    Instances.Add(Instance);
    return Instance;
}

TSurgeryType* TCaseMix::FindSurgeryTypeByCharacteristics(double P1, double P2, double P3) const
{
    for (const auto& Type : SurgeryTypes) {
        const TDistribution& D = *Type->Distribution;
        if (std::fabs(D.P1 - P1) < 1e-8 && std::fabs(D.P2 - P2) < 1e-8 && std::fabs(D.P3 - P3) < 1e-8)
            return Type.get();
    }
    return nullptr;
}

// ---- TSurgeryType ----

TSurgeryType::TSurgeryType(TData* AData, TCaseMix* ACaseMix, std::unique_ptr<TDistribution> ADistribution)
    : ID(AData->GenerateObjectID.GetUniqueID()), Distribution(std::move(ADistribution)), CaseMix(ACaseMix), Data(AData)
{}

TSurgeryType::~TSurgeryType()
{
    Surgeries.clear();
    Distribution.reset();
}

// ---- TSurgery ----

TSurgery::TSurgery(TSurgeryType* ASurgeryType, TData* AData)
    : ID(AData != nullptr ? AData->GenerateObjectID.GetUniqueID() : -1), SurgeryType(ASurgeryType), Data(AData)
{}

// ---- TInstance ----

TInstance::TInstance(TData* AData, TCaseMix* ACaseMix, double ALoad, double ADesiredLoad, int ANumberOfORs)
    : Load(ALoad), DesiredLoad(ADesiredLoad), NumberOfORs(ANumberOfORs), Data(AData), CaseMix(ACaseMix)
{}

void TInstance::CenterOfMass(double& X, double& Y) const
{
    X = 0;
    Y = 0;
    if (Surgeries.empty()) return;
    for (const auto& Surgery : Surgeries) {
        X += Surgery->SurgeryType->Xvalue;
        Y += Surgery->SurgeryType->Yvalue;
    }
    X = X / static_cast<double>(Surgeries.size());
    Y = Y / static_cast<double>(Surgeries.size());
}

}  // namespace orbench
