#include "BatchSettings.h"

#include <cmath>
#include <cstdio>

#include "NumberFormat.h"

namespace orbench {

namespace {

struct TFieldName {
    TBatchField Field;
    const char* Name;
};
constexpr TFieldName FieldNames[] = {
    {TBatchField::bfNumORdays, "number of OR-days"},
    {TBatchField::bfLoads, "load"},
    {TBatchField::bfDeviation, "maximum deviation from load"},
    {TBatchField::bfEpsilon, "epsilon"},
    {TBatchField::bfMaxDraws, "draw limit"},
    {TBatchField::bfCapacity, "OR-day capacity"},
};

void Require(bool Condition, TBatchField Field, double Value, const char* Reason)
{
    if (!Condition) throw EBatchSettingError(Field, Value, Reason);
}

void RequireFinite(TBatchField Field, double Value)
{
    Require(std::isfinite(Value), Field, Value, "must be a finite number");
}

}  // namespace

const char* BatchFieldName(TBatchField Field)
{
    for (const TFieldName& Entry : FieldNames)
        if (Entry.Field == Field) return Entry.Name;
    return "";
}

EBatchSettingError::EBatchSettingError(TBatchField AField, double ANumber, std::string AReason)
    : EOrbenchError("The " + std::string(BatchFieldName(AField)) + " " + FormatGeneral(ANumber) + " " + AReason + "."),
      Field(AField),
      Number(ANumber),
      Value(FormatGeneral(ANumber)),
      Reason(std::move(AReason))
{}

void CheckBatchSettings(const TBatchSettings& Settings, bool Theoretical)
{
    for (const int NumORdays : Settings.NumORdays)
        Require(NumORdays >= 1, TBatchField::bfNumORdays, NumORdays, "must be at least 1");
    for (const double Load : Settings.Loads) {
        RequireFinite(TBatchField::bfLoads, Load);
        Require(Load > 0, TBatchField::bfLoads, Load, "must be greater than 0");
    }
    RequireFinite(TBatchField::bfDeviation, Settings.MaxAbsDeviationFromLoad);
    Require(Settings.MaxAbsDeviationFromLoad > 0, TBatchField::bfDeviation, Settings.MaxAbsDeviationFromLoad,
            "must be greater than 0");
    RequireFinite(TBatchField::bfEpsilon, Settings.EpsilonDist);
    Require(Settings.EpsilonDist >= 0, TBatchField::bfEpsilon, Settings.EpsilonDist, "must not be negative");
    Require(Settings.MaxDraws >= 1, TBatchField::bfMaxDraws, Settings.MaxDraws, "must be at least 1");
    if (!Theoretical) return;
    RequireFinite(TBatchField::bfCapacity, Settings.CapacityORinMinutes);
    Require(Settings.CapacityORinMinutes > 0, TBatchField::bfCapacity, Settings.CapacityORinMinutes,
            "must be greater than 0");
    try {
        RequireFinitePointTypes(Settings.CapacityORinMinutes, SmallestDrawnX);
    } catch (const EOrbenchError&) {
        Require(false, TBatchField::bfCapacity, Settings.CapacityORinMinutes,
                "gives surgery types whose distribution parameters are not finite numbers (too small or too large)");
    }
}

std::string DefaultNumORdaysText()
{
    std::string Text;
    for (const int NumORdays : TBatchSettings().NumORdays) {
        if (!Text.empty()) Text += ',';
        Text += std::to_string(NumORdays);
    }
    return Text;
}

std::string DefaultLoadsText()
{
    std::string Text;
    for (const double Load : TBatchSettings().Loads) {
        if (!Text.empty()) Text += ',';
        Text += FormatFixed(Load, 2);
    }
    return Text;
}

std::string FormatDefaultLoad(double Load) { return FormatFixedLocale(Load, 2); }

std::string FormatOptionNumber(double Value)
{
    char Text[40];
    std::snprintf(Text, sizeof Text, "%.15g", Value);
    return Text;
}

}  // namespace orbench
