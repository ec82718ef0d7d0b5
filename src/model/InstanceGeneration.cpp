// Drawing surgeries and the generator of instances for a list of target loads.
#include <algorithm>
#include <cmath>

#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"

namespace orbench {

namespace {

constexpr int OnTheFlyTuningMisses = 100;

// Roulette selection: the first type whose running sum of frequencies exceeds one uniform draw.
// When rounding leaves the sum below the draw, the last type with a positive frequency is taken.
template <typename TList, typename TFrequency>
TSurgeryType* Roulette(const TList& List, TFrequency Frequency, TUniformGenerator& Random)
{
    if (List.empty()) return nullptr;
    const double u = Random.Draw();
    double Sum = 0;
    TSurgeryType* LastPositive = nullptr;
    for (const auto& Item : List) {
        TSurgeryType* Type = &*Item;
        const double F = Frequency(*Type);
        Sum += F;
        if (Sum > u) return Type;
        if (F > 0) LastPositive = Type;
    }
    return LastPositive;
}

}  // namespace

void RequireSurgeryTypesToDraw(TCaseMix& CaseMix, int CaseMixType)
{
    CaseMix.FillAuxSurgeryTypeList(CaseMixType);
    if (CaseMix.AuxSurgeryTypes.empty())
        throw EOrbenchError("case mix " + CaseMix.Name + " has no surgery types of case-mix type " +
                            std::to_string(CaseMixType));
}

void RequireTypeOfPositiveFrequency(const TCaseMix& CaseMix)
{
    if (std::none_of(CaseMix.SurgeryTypes.begin(), CaseMix.SurgeryTypes.end(),
                     [](const auto& Type) { return Type->RelFrequency > 0; }))
        throw EOrbenchError("case mix " + CaseMix.Name + " has no surgery type with a positive frequency");
}

void TooManySurgeries(const std::string& CaseMixName, double CapacityORinMinutes)
{
    throw EOrbenchError(
        "Case mix " + CaseMixName + ": an instance would hold more than " + std::to_string(MaxSurgeriesPerInstance) +
        " surgeries; the mean durations of its surgery types are too small for the OR-day capacity of " +
        FormatGeneral(CapacityORinMinutes) + " minutes.");
}

TDrawLimitCause DrawLimitCause(const TCaseMix& CaseMix, int CaseMixType, int NumORdays, const DArray& Loads,
                               double MaxAbsDeviationFromLoad, std::string& Explanation)
{
    double Frequencies = 0, WeightedExpected = 0, Shortest = 0;
    bool Any = false;
    for (const auto& Type : CaseMix.SurgeryTypes) {
        if (!Type->IsCaseMixType(CaseMixType) || !(Type->RelFrequency > 0)) continue;
        Frequencies += Type->RelFrequency;
        WeightedExpected += Type->RelFrequency * Type->Distribution->Expected;
        Shortest = Any ? std::min(Shortest, Type->Distribution->Expected) : Type->Distribution->Expected;
        Any = true;
    }
    if (!Any || Loads.empty() || NumORdays <= 0) return TDrawLimitCause::dcDraws;
    const double Capacity = CaseMix.CapacityORinMinutes;
    const double Lowest = *std::min_element(Loads.begin(), Loads.end());
    const double Highest = *std::max_element(Loads.begin(), Loads.end());
    const double ShortestAdds = (1440 / Capacity) * Shortest / NumORdays;
    if (ShortestAdds > Highest + MaxAbsDeviationFromLoad) {
        Explanation = "the surgeries of case mix " + CaseMix.Name + " are too long for the OR-day capacity of " +
                      FormatGeneral(Capacity) + " minutes: even the shortest adds a load of " +
                      FormatGeneral(ShortestAdds) + " to an instance of " + std::to_string(NumORdays) +
                      " OR-days, more than the largest load " + FormatGeneral(Highest) + " plus the deviation " +
                      FormatGeneral(MaxAbsDeviationFromLoad) + ", so more draws would not help";
        return TDrawLimitCause::dcSurgeriesTooLong;
    }
    const double MeanAdds = (1440 / Capacity) * (WeightedExpected / Frequencies) / NumORdays;
    const double Needed = (Lowest - MaxAbsDeviationFromLoad) / MeanAdds;
    if (Needed > static_cast<double>(MaxSurgeriesPerInstance)) {
        Explanation = "the mean durations of case mix " + CaseMix.Name + " are too small for the OR-day capacity of " +
                      FormatGeneral(Capacity) + " minutes: an instance of " + std::to_string(NumORdays) +
                      " OR-days at load " + FormatGeneral(Lowest) + " needs about " +
                      FormatGeneral(std::round(Needed)) + " surgeries, more than the " +
                      std::to_string(MaxSurgeriesPerInstance) + " an instance may hold, so more draws would not help";
        return TDrawLimitCause::dcTooManySurgeries;
    }
    return TDrawLimitCause::dcDraws;
}

TSurgeryType* TCaseMix::DrawSurgeryType()
{
    return Roulette(
        SurgeryTypes, [](const TSurgeryType& T) { return T.RelFrequency; }, Data->Random);
}

TSurgeryType* TCaseMix::DrawSurgeryTypeFromAuxSurgeryTypes()
{
    return Roulette(
        AuxSurgeryTypes, [](const TSurgeryType& T) { return T.AuxRelFrequency; }, Data->Random);
}

TSurgery* TInstance::DrawSurgeryTypeAndAddSurgery(bool UseAuxSurgeryTypes, bool AddSurgery,
                                                  bool GenerateSurgeryTypesOnTheFly)
{
    TSurgeryType* Type = GenerateSurgeryTypesOnTheFly ? CaseMix->GenerateAndDrawRandomSurgeryType()
                         : UseAuxSurgeryTypes         ? CaseMix->DrawSurgeryTypeFromAuxSurgeryTypes()
                                                      : CaseMix->DrawSurgeryType();
    if (Type == nullptr)
        throw EOrbenchError("No surgery type can be drawn from case mix " + CaseMix->Name +
                            ": it has none, or their frequencies do not add up to a positive number.");
    auto Surgery = std::make_unique<TSurgery>(Type, Data);
    if (!AddSurgery) return Surgery.release();
    Surgeries.push_back(std::move(Surgery));
    return Surgeries.back().get();
}

void TCaseMix::TuneLoad(TInstance& Candidate, double TargetLoad, int NumORdays, bool GenerateSurgTypesOnTheFly)
{
    const int N = GenerateSurgTypesOnTheFly ? OnTheFlyTuningMisses : static_cast<int>(SurgeryTypes.size());
    const bool BuildOnlyKept = GenerateSurgTypesOnTheFly && !KeepTypesOfDiscardedDraws;
    const auto Closer = [&Candidate, TargetLoad](double d) {
        return std::fabs(Candidate.Load + d - TargetLoad) < std::fabs(Candidate.Load - TargetLoad);
    };
    const auto Keep = [&](std::unique_ptr<TSurgery> Surgery, double d) {
        if (Candidate.Surgeries.size() == MaxSurgeriesPerInstance) TooManySurgeries(Name, CapacityORinMinutes);
        Candidate.Surgeries.push_back(std::move(Surgery));
        Candidate.Load += d;
    };
    int k = 0;
    while (k < N) {
        if (BuildOnlyKept) {
            if (!(Candidate.Load < TargetLoad)) {
                // At or above the target no draw is kept: it adds d >= 0 (or NaN), and since rounding
                // is monotonic |Load + d - L| >= |Load - L| holds in floating point as well. The
                // remaining misses are drawn for their random numbers and identifiers alone.
                for (; k < N; ++k) SkipGeneratedDraw();
                break;
            }
            // The draw as DrawSurgeryTypeAndAddSurgery makes it, with the type and the surgery built
            // only when kept; a discarded one still uses up their identifiers.
            const TDistribution Distribution = DrawRandomDistribution();
            const double d = (1440 / CapacityORinMinutes) * Distribution.Expected / NumORdays;
            if (!Closer(d)) {
                Data->GenerateObjectID.GetUniqueID();
                Data->GenerateObjectID.GetUniqueID();
                ++k;
                continue;
            }
            TSurgeryType* Type = AddGeneratedSurgeryType(Distribution);
            Keep(std::make_unique<TSurgery>(Type, Data), d);
            k = 0;
            continue;
        }
        std::unique_ptr<TSurgery> Surgery(
            Candidate.DrawSurgeryTypeAndAddSurgery(true, false, GenerateSurgTypesOnTheFly));
        const double d = (1440 / CapacityORinMinutes) * Surgery->SurgeryType->Distribution->Expected / NumORdays;
        if (Closer(d)) {
            Keep(std::move(Surgery), d);
            k = 0;
        } else {
            ++k;
        }
    }
}

bool TCaseMix::GenerateInstances(const DArray& LoadList, int DrawnCaseMixType, int NumInstancesPerLoad, int NumORdays,
                                 double MaxAbsDeviationFromLoad, bool SaveInstances, const std::string& DirName,
                                 bool GenerateSurgTypesOnTheFly, const TInstanceFinishedEvent& OnInstanceFinished,
                                 int MaxDraws)
{
    RequirePositiveCapacity(CapacityORinMinutes);
    if (NumORdays <= 0)
        throw EOrbenchError("The number of OR-days must be greater than 0 (it is " + std::to_string(NumORdays) + ").");
    bool Result = true;
    if (!GenerateSurgTypesOnTheFly) {
        FillAuxSurgeryTypeList(DrawnCaseMixType);
        if (AuxSurgeryTypes.empty()) return true;
    }

    std::vector<int> Counter(LoadList.size(), 0);
    std::size_t Unfinished = 0;
    for (std::size_t j = 0; j < LoadList.size(); ++j)
        if (Counter[j] < NumInstancesPerLoad) ++Unfinished;
    double UpperLimit = 0;
    for (double Load : LoadList) UpperLimit = std::max(UpperLimit, Load + MaxAbsDeviationFromLoad);

    std::unique_ptr<TInstance> Candidate;
    int Draws = 0;
    for (;;) {
        if (!Candidate) Candidate = std::make_unique<TInstance>(Data, this, 0, 0, NumORdays);
        if (Candidate->Surgeries.size() == MaxSurgeriesPerInstance) TooManySurgeries(Name, CapacityORinMinutes);
        const TSurgery* Surgery = Candidate->DrawSurgeryTypeAndAddSurgery(true, true, GenerateSurgTypesOnTheFly);
        Candidate->Load += (1440 / CapacityORinMinutes) * Surgery->SurgeryType->Distribution->Expected / NumORdays;

        std::size_t j = 0;
        while (j < LoadList.size() && !(Counter[j] < NumInstancesPerLoad &&
                                        std::fabs(Candidate->Load - LoadList[j]) < MaxAbsDeviationFromLoad))
            ++j;
        if (j < LoadList.size()) {
            TuneLoad(*Candidate, LoadList[j], NumORdays, GenerateSurgTypesOnTheFly);
            TInstance* Instance = Candidate.release();
            Instances.Add(Instance);
            Instance->DesiredLoad = LoadList[j];
            if (++Counter[j] == NumInstancesPerLoad) --Unfinished;
            Instance->Name = "ordays_" + std::to_string(NumORdays) + "_load_" + FormatGeneral(LoadList[j]) + "_" +
                             std::to_string(Counter[j]);
            Instance->FileName = DirName + Instance->Name + ".txt";
            if (SaveInstances) Instance->SaveInstance();
            if (OnInstanceFinished) OnInstanceFinished(*Instance);
        } else if (Candidate->Load > UpperLimit) {
            // Start over: an emptied candidate is a new one, and keeps its memory.
            Candidate->Surgeries.clear();
            Candidate->Load = 0;
        }

        ++Draws;
        if (Draws > MaxDraws) {
            Result = false;
            break;
        }
        if (Unfinished == 0) break;
    }
    return Result;
}

}  // namespace orbench
