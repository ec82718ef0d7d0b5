#include "InstanceStats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TableText.h"

namespace orbench {

namespace {

constexpr const char* SummaryLabel = "all instances";

using TMembership = std::array<bool, NumCaseMixTypes>;

// Region membership, worked out once per surgery type.
class TMembershipCache {
public:
    const TMembership& Of(const TSurgeryType& Type)
    {
        auto [It, Inserted] = FCache.try_emplace(&Type);
        if (Inserted)
            for (int t = 0; t < NumCaseMixTypes; ++t) It->second[static_cast<std::size_t>(t)] = Type.IsCaseMixType(t);
        return It->second;
    }

private:
    std::map<const TSurgeryType*, TMembership> FCache;
};

std::vector<std::string> Cells(const TInstanceStatsRow& Row, bool Csv)
{
    const auto Decimal = [Csv](double Value, int PeopleDecimals) {
        return Csv ? FormatFixedData(Value, 9) : FormatFixedLocale(Value, PeopleDecimals);
    };
    std::vector<std::string> Result = {Csv ? CsvField(Row.FileName) : Row.FileName,
                                       std::to_string(Row.NumberOfORs),
                                       Decimal(Row.DesiredLoad, 4),
                                       Decimal(Row.Load, 4),
                                       std::to_string(Row.NumberOfSurgeries),
                                       std::to_string(Row.NumberOfSurgeryTypes),
                                       Decimal(Row.CenterX, 4),
                                       Decimal(Row.CenterY, 4),
                                       Decimal(Row.MeanExpectedMinutes, 1),
                                       Decimal(Row.MaxExpectedMinutes, 1)};
    for (const std::int64_t Count : Row.RegionCounts) Result.push_back(std::to_string(Count));
    return Result;
}

std::vector<std::string> Header(bool Csv)
{
    std::vector<std::string> Result =
        Csv ? std::vector<std::string>{"file",
                                       "or_days",
                                       "desired_load",
                                       "load",
                                       "surgeries",
                                       "surgery_types",
                                       "center_x",
                                       "center_y",
                                       "mean_expected_minutes",
                                       "max_expected_minutes"}
            : std::vector<std::string>{"file", "OR-days", "desired load", "load",   "surgeries", "types",
                                       "X",    "Y",       "mean min",     "max min"};
    for (int t = 0; t < NumCaseMixTypes; ++t) Result.push_back((Csv ? "type_" : "T") + std::to_string(t));
    return Result;
}

std::vector<std::vector<std::string>> AllLines(const TInstanceStats& Stats, bool Csv)
{
    std::vector<std::vector<std::string>> Lines = {Header(Csv)};
    for (const TInstanceStatsRow& Row : Stats.Rows) Lines.push_back(Cells(Row, Csv));
    Lines.push_back(Cells(Stats.Summary, Csv));
    return Lines;
}

}  // namespace

TInstanceStats ComputeInstanceStats(const std::vector<const TInstance*>& Instances)
{
    TInstanceStats Stats;
    TInstanceStatsRow& All = Stats.Summary;
    All.FileName = SummaryLabel;
    TMembershipCache Membership;
    std::set<const TSurgeryType*> AllTypes;
    double SumDesiredLoad = 0, SumLoad = 0, SumX = 0, SumY = 0, SumExpected = 0;
    for (const TInstance* Instance : Instances) {
        TInstanceStatsRow& Row = Stats.Rows.emplace_back();
        Row.FileName = Instance->FileName;
        Row.NumberOfORs = Instance->NumberOfORs;
        Row.DesiredLoad = Instance->DesiredLoad;
        Row.Load = Instance->Load;
        Row.NumberOfSurgeries = static_cast<std::int64_t>(Instance->Surgeries.size());
        if (!std::isfinite(Row.DesiredLoad) || !std::isfinite(Row.Load))
            throw EOrbenchError(Row.FileName + ": its load is not a finite number");
        Instance->CenterOfMass(Row.CenterX, Row.CenterY);
        std::set<const TSurgeryType*> Types;
        double SumMinutes = 0;
        for (const auto& Surgery : Instance->Surgeries) {
            const TSurgeryType& Type = *Surgery->SurgeryType;
            Types.insert(&Type);
            const double Minutes = Type.Distribution->Expected * MinutesPerDay;
            SumMinutes += Minutes;
            Row.MaxExpectedMinutes = std::max(Row.MaxExpectedMinutes, Minutes);
            SumX += Type.Xvalue;
            SumY += Type.Yvalue;
            const TMembership& In = Membership.Of(Type);
            for (std::size_t t = 0; t < In.size(); ++t) Row.RegionCounts[t] += In[t] ? 1 : 0;
        }
        Row.NumberOfSurgeryTypes = static_cast<int>(Types.size());
        if (Row.NumberOfSurgeries > 0)
            Row.MeanExpectedMinutes = SumMinutes / static_cast<double>(Row.NumberOfSurgeries);

        AllTypes.insert(Types.begin(), Types.end());
        All.NumberOfORs += Row.NumberOfORs;
        All.NumberOfSurgeries += Row.NumberOfSurgeries;
        SumDesiredLoad += Row.DesiredLoad;
        SumLoad += Row.Load;
        SumExpected += SumMinutes;
        if (!std::isfinite(SumDesiredLoad) || !std::isfinite(SumLoad))
            throw EOrbenchError(Row.FileName +
                                ": with this file the loads of the set add up to more than the largest "
                                "number; its mean cannot be given");
        All.MaxExpectedMinutes = std::max(All.MaxExpectedMinutes, Row.MaxExpectedMinutes);
        for (std::size_t t = 0; t < Row.RegionCounts.size(); ++t) All.RegionCounts[t] += Row.RegionCounts[t];
    }
    All.NumberOfSurgeryTypes = static_cast<int>(AllTypes.size());
    if (!Instances.empty()) {
        All.DesiredLoad = SumDesiredLoad / static_cast<double>(Instances.size());
        All.Load = SumLoad / static_cast<double>(Instances.size());
    }
    if (All.NumberOfSurgeries > 0) {
        const double Surgeries = static_cast<double>(All.NumberOfSurgeries);
        All.CenterX = SumX / Surgeries;
        All.CenterY = SumY / Surgeries;
        All.MeanExpectedMinutes = SumExpected / Surgeries;
    }
    return Stats;
}

std::string InstanceStatsTable(const TInstanceStats& Stats, const std::string& LineEnd)
{
    const std::vector<std::vector<std::string>> Lines = AllLines(Stats, false);
    std::vector<std::size_t> Widths(Lines.front().size(), 0);
    for (const auto& Line : Lines)
        for (std::size_t c = 0; c < Line.size(); ++c) Widths[c] = std::max(Widths[c], Line[c].size());
    std::string Result;
    for (const auto& Line : Lines) {
        for (std::size_t c = 0; c < Line.size(); ++c) {
            const std::string Padding(Widths[c] - Line[c].size(), ' ');
            if (c == 0)
                Result += Line[c] + Padding;
            else
                Result += "  " + Padding + Line[c];
        }
        Result += LineEnd;
    }
    return Result;
}

std::string InstanceStatsCsv(const TInstanceStats& Stats, const std::string& LineEnd)
{
    std::string Result;
    for (const auto& Line : AllLines(Stats, true)) {
        for (std::size_t c = 0; c < Line.size(); ++c) {
            if (c > 0) Result += ',';
            Result += Line[c];
        }
        Result += LineEnd;
    }
    return Result;
}

}  // namespace orbench
