// Case mixes made from points of the plane: a grid over a rectangle, or one new surgery type at a
// random point of a case-mix type's region for every draw.
#include <cmath>

#include "Model.h"
#include "NumberFormat.h"
#include "OrbenchError.h"

namespace orbench {

namespace {

// A three-parameter lognormal whose mean is X * c minutes and whose coefficient of variation is
// Y, with the shift u * 0.75 * mean; its Expected is computed, its Variance is left to the caller.
void SetDistributionFromPoint(TDistribution& D, double X, double Y, double CapacityORinMinutes, double u)
{
    const double Mu = X * CapacityORinMinutes;
    const double Sigma = Y * Mu;
    D.P3 = u * 0.75 * Mu;
    const double m = Mu - D.P3;
    const double q = Sigma * Sigma / (m * m) + 1;
    const double LogQ = std::log(q);  // the same value both times, computed once
    D.P2 = std::sqrt(LogQ);
    D.P1 = std::log(m) - 0.5 * LogQ;
    D.DistributionType = dThreeParameterLognormal;
    D.UnitOfParameters = uMins;
    D.CalculateExpected();
}

// The message of a capacity at which types made from points have parameters that are not finite.
[[noreturn]] void RefusePointTypeCapacity(double CapacityORinMinutes)
{
    throw EOrbenchError("The OR-day capacity of " + FormatGeneral(CapacityORinMinutes) +
                        " minutes gives surgery types made from points of the plane whose distribution parameters "
                        "are not finite numbers (the capacity is too small or too large).");
}

}  // namespace

void RequireFinitePointTypes(double CapacityORinMinutes, double SmallestX)
{
    RequirePositiveCapacity(CapacityORinMinutes);
    // The parameters are finite at every point when they are at the corners: the squares of the
    // mean and spread are the first to underflow (the smallest X) or overflow (X = 1).
    for (const double X : {SmallestX, 1.0})
        for (const double Y : {0.0, 1.0})
            for (const double u : {0.0, 1.0}) {
                TDistribution D(-1);
                SetDistributionFromPoint(D, X, Y, CapacityORinMinutes, u);
                if (!std::isfinite(D.P1) || !std::isfinite(D.P2) || !std::isfinite(D.P3) ||
                    !std::isfinite(D.Expected) || !D.CalculateVariance() || !std::isfinite(D.Variance) ||
                    !(D.Expected > 0))
                    RefusePointTypeCapacity(CapacityORinMinutes);
            }
}

void TData::GenerateAndAddTheoreticalCaseMix(const std::string& CaseMixName, double MinX, double MaxX, double MinY,
                                             double MaxY, double StepX, double StepY, double CapacityORinMinutes,
                                             int NumSurgeryTypesPerGridPoint)
{
    RequirePositiveCapacity(CapacityORinMinutes);
    if (!(StepX > 0) || !(StepY > 0))
        throw EOrbenchError("The grid steps of a theoretical case mix must be greater than 0.");
    RequireFinitePointTypes(CapacityORinMinutes, MinX);
    CaseMixes.push_back(std::make_unique<TCaseMix>(this, 0, CapacityORinMinutes));
    TCaseMix* CaseMix = CaseMixes.back().get();
    CaseMix->Name = CaseMixName;
    for (double X = MinX; X <= MaxX; X += StepX) {
        for (double Y = MinY; Y <= MaxY; Y += StepY) {
            for (int k = 0; k < NumSurgeryTypesPerGridPoint; ++k) {
                auto Distribution = std::make_unique<TDistribution>(GenerateObjectID.GetUniqueID());
                SetDistributionFromPoint(*Distribution, X, Y, CapacityORinMinutes, Random.Draw());
                Distribution->CalculateVariance();
                auto Type = std::make_unique<TSurgeryType>(this, CaseMix, std::move(Distribution));
                Type->RelFrequency = 1;
                Type->Xvalue = X;
                Type->Yvalue = Y;
                CaseMix->SurgeryTypes.push_back(std::move(Type));
            }
        }
    }
    CaseMix->CalculateRelativeSurgeryTypeFrequencies();
}

void TCaseMix::DrawRandomCoordinate(double& X, double& Y)
{
    if (CaseMixType < 0 || CaseMixType >= NumCaseMixTypes)
        throw EOrbenchError("Surgery types can be generated only for the case-mix types 0 to 16 (case mix " + Name +
                            " has type " + std::to_string(CaseMixType) + ").");
    // X = 0 would give a mean of 0 and no distribution (the logarithm of 0).
    do {
        X = Data->Random.Draw();
        Y = Data->Random.Draw();
    } while (!IsPointOfCaseMixType(CaseMixType, X, Y) || X == 0);
}

TDistribution TCaseMix::DrawRandomDistribution()
{
    RequirePositiveCapacity(CapacityORinMinutes);
    double X = 0;
    double Y = 0;
    DrawRandomCoordinate(X, Y);
    const double u = Data->Random.Draw();
    TDistribution Distribution(Data->GenerateObjectID.GetUniqueID());
    SetDistributionFromPoint(Distribution, X, Y, CapacityORinMinutes, u);
    if (!std::isfinite(Distribution.P1) || !std::isfinite(Distribution.P2))
        RefusePointTypeCapacity(CapacityORinMinutes);
    return Distribution;
}

void TCaseMix::SkipGeneratedDraw()
{
    double X = 0;
    double Y = 0;
    DrawRandomCoordinate(X, Y);
    Data->Random.Draw();                                                              // the shift
    for (int Object = 0; Object < 3; ++Object) Data->GenerateObjectID.GetUniqueID();  // distribution, type, surgery
}

TSurgeryType* TCaseMix::AddGeneratedSurgeryType(const TDistribution& Distribution)
{
    auto Kept = std::make_unique<TDistribution>(Distribution);
    Kept->CalculateVariance();
    SurgeryTypes.push_back(std::make_unique<TSurgeryType>(Data, nullptr, std::move(Kept)));
    return SurgeryTypes.back().get();
}

TSurgeryType* TCaseMix::GenerateAndDrawRandomSurgeryType() { return AddGeneratedSurgeryType(DrawRandomDistribution()); }

}  // namespace orbench
