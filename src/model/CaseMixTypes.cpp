// The 17 case-mix types: regions of the unit square of X (mean duration over OR-day capacity)
// against Y (coefficient of variation), and the auxiliary list of one type's surgery types.
#include "Model.h"
#include "OrbenchError.h"

namespace orbench {

bool IsPointOfCaseMixType(int CaseMixType, double X, double Y)
{
    switch (CaseMixType) {
        case 0: return true;
        case 1: return Y >= 0.5 && X <= 0.5;
        case 2: return Y >= 0.5 && X >= 0.5;
        case 3: return Y <= 0.5 && X <= 0.5;
        case 4: return Y <= 0.5 && X >= 0.5;
        case 5: return X <= 0.5;
        case 6: return X >= 0.5;
        case 7: return Y >= 0.5;
        case 8: return Y <= 0.5;
        case 9: return Y >= X;
        case 10: return Y >= 1 - X;
        case 11: return Y < 1 - X;
        case 12: return Y < X;
        case 13: return X + Y >= 0.6 && X + Y <= 1.4;
        case 14: return Y - X <= 0.4 && X - Y <= 0.4;
        case 15: return Y >= 0.25 && Y <= 0.75;
        case 16: return X >= 0.25 && X <= 0.75;
        default: return false;
    }
}

bool TSurgeryType::IsCaseMixType(int CaseMixType) const
{
    if (CaseMix == nullptr)
        throw EOrbenchError(
            "A surgery type generated while drawing belongs to no case mix; "
            "its case-mix type cannot be tested.");
    const double E = Distribution->Expected;
    const double X = E / (CaseMix->CapacityORinMinutes / 1440);
    const double Y = Distribution->CalculateStdDev() / E;
    if (CaseMixType == -1) return CaseMix->CaseMixType < 100;
    if (CaseMixType >= 100 && CaseMixType <= 110) return CaseMix->CaseMixType == CaseMixType;
    return IsPointOfCaseMixType(CaseMixType, X, Y);
}

void TCaseMix::FillAuxSurgeryTypeList(int WithCaseMixTp)
{
    AuxSurgeryTypes.clear();
    double Sum = 0;
    for (const auto& Type : SurgeryTypes) {
        if (Type->IsCaseMixType(WithCaseMixTp)) {
            AuxSurgeryTypes.push_back(Type.get());
            Sum += Type->RelFrequency;
        }
    }
    // Frequencies that add up to 0 cannot be drawn from: such a list counts as empty.
    if (Sum == 0) {
        AuxSurgeryTypes.clear();
        return;
    }
    for (TSurgeryType* Type : AuxSurgeryTypes) Type->AuxRelFrequency = Type->RelFrequency / Sum;
}

}  // namespace orbench
