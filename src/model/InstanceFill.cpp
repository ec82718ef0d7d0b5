#include "InstanceFill.h"

#include "OrbenchError.h"

namespace orbench {

namespace {

constexpr int MaxOvershoots = 5;

// A loop whose drawable types all have a mean of 0 or less would never reach its target.
bool CanGrow(const TCaseMix& M)
{
    for (const TSurgeryType* Type : M.AuxSurgeryTypes)
        if (Type->AuxRelFrequency > 0 && Type->Distribution->Expected > 0) return true;
    return false;
}

}  // namespace

bool GenerateAndAddInstances(TCaseMix& M, int CaseMixType, int k, int n, double c, double L, TFillObserver* Observer)
{
    RequirePositiveCapacity(c);
    if (n <= 0) throw EOrbenchError("The number of OR-days must be greater than 0 (it is " + std::to_string(n) + ").");
    M.FillAuxSurgeryTypeList(CaseMixType);
    // Refused before anything is added.
    if (k > 0 && !M.AuxSurgeryTypes.empty() && n * L * c > 0 && !CanGrow(M))
        throw EOrbenchError("The surgery types of case-mix type " + std::to_string(CaseMixType) + " of case mix " +
                            M.Name + " have no positive mean duration; no instance can be filled.");
    int A = 0;
    int s = 1;
    for (int i = 0; i < k; ++i) {
        TInstance* Instance = M.CreateAndAddInstance(0, L, n);
        if (Observer != nullptr) Observer->InstanceAdded(M.Instances.Count() - 1);
        const double T = n * L * c;
        double W = 0;
        int R = 0;
        Instance->Load = 0;
        if (M.AuxSurgeryTypes.empty()) {
            M.Data->Notify(TMessageKind::mInformation, "This instance has no surgery types. Exiting.");
            return false;
        }
        while (R < MaxOvershoots && W < T) {
            TSurgery* Surgery = Instance->DrawSurgeryTypeAndAddSurgery(true, true, false);
            const double E = Surgery->SurgeryType->Distribution->Expected;
            if (W + 1440 * E > T) {
                Instance->Surgeries.pop_back();
                ++R;
            } else {
                if (Instance->Surgeries.size() > MaxSurgeriesPerInstance) {
                    // The instance stays, empty, as one of a type without surgery types does.
                    Instance->Surgeries.clear();
                    TooManySurgeries(M.Name, c);
                }
                W += 1440 * E;
                ++A;
                if (A == 100 * s) {
                    ++s;
                    if (Observer != nullptr) Observer->ProcessEvents();
                }
            }
        }
        Instance->Load = W / (n * c);
    }
    return true;
}

}  // namespace orbench
