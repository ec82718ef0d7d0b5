#pragma once

// Statistics of a set of instances for describing a benchmark set: one row per instance and a
// last row over the whole set, as aligned columns for people or as CSV.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Model.h"

namespace orbench {

// Counts are 64-bit: the summary row adds them up over the set (two instances of 2^31 - 1 OR-days).
struct TInstanceStatsRow {
    std::string FileName;
    std::int64_t NumberOfORs = 0;
    double DesiredLoad = 0;
    double Load = 0;  // as the instance holds it (for a read instance: as its file states it)
    std::int64_t NumberOfSurgeries = 0;
    int NumberOfSurgeryTypes = 0;  // distinct surgery types among the surgeries
    double CenterX = 0;            // centre of mass in the plane (TInstance::CenterOfMass)
    double CenterY = 0;
    double MeanExpectedMinutes = 0;  // mean over the surgeries of the expected duration
    double MaxExpectedMinutes = 0;
    // Surgeries whose type lies in the region of case-mix type t (TSurgeryType::IsCaseMixType);
    // regions overlap, and type 0 counts every surgery.
    std::array<std::int64_t, NumCaseMixTypes> RegionCounts{};
};

struct TInstanceStats {
    std::vector<TInstanceStatsRow> Rows;
    // The whole set, labelled "all instances": totals of OR-days, surgeries and region counts;
    // the means over the instances of the desired load and the load; the distinct surgery types
    // of the whole set; the centre of mass and the mean expected duration over all surgeries of
    // the set, and its largest expected duration. Zero for an empty set.
    TInstanceStatsRow Summary;
};

// One row per instance, in the given order, named by the instance's FileName. Throws
// EOrbenchError for a surgery type that belongs to no case mix (region membership needs the
// capacity), and, naming the file, for a load that is not finite or loads whose sum over the set
// is not (no output holds "inf").
TInstanceStats ComputeInstanceStats(const std::vector<const TInstance*>& Instances);

// Aligned columns for people: file name left, numbers right, two blanks between columns; loads,
// X and Y with 4 decimals and durations with 1, in the user's decimal separator. Headers: file,
// OR-days, desired load, load, surgeries, types, X, Y, mean min, max min, T0 .. T16.
std::string InstanceStatsTable(const TInstanceStats& Stats, const std::string& LineEnd);

// CSV with the header file, or_days, desired_load, load, surgeries, surgery_types, center_x,
// center_y, mean_expected_minutes, max_expected_minutes, type_0 .. type_16; numbers with '.' and
// 9 decimals like the data files.
std::string InstanceStatsCsv(const TInstanceStats& Stats, const std::string& LineEnd);

}  // namespace orbench
