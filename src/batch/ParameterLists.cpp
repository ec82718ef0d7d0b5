#include "ParameterLists.h"

#include <algorithm>
#include <cmath>

#include "NumberFormat.h"
#include "OrbenchError.h"
#include "TextUtils.h"

namespace orbench {

namespace {

template <typename T, typename TRead, typename TWrite>
std::vector<std::string> SortEntries(const std::vector<std::string>& Entries, bool DropDoubles, TRead Read,
                                     TWrite Write)
{
    std::vector<T> Values;
    Values.reserve(Entries.size());
    for (const std::string& Entry : Entries) {
        T Value{};
        if (!Read(Entry, Value)) throw EOrbenchError("The list entry \"" + Entry + "\" is not a number.");
        Values.push_back(Value);
    }
    std::stable_sort(Values.begin(), Values.end());
    std::vector<std::string> Result;
    for (std::size_t k = 0; k < Values.size(); ++k)
        if (!DropDoubles || k == 0 || !(Values[k] == Values[k - 1])) Result.push_back(Write(Values[k]));
    return Result;
}

bool ReadInteger(const std::string& Text, int& Value) { return TryTextToInt(Text, Value); }
std::string WriteInteger(int Value) { return std::to_string(Value); }

}  // namespace

bool TryReadDecimalEntry(const std::string& Text, double& Value)
{
    return TryTextToFloat(NormalizeDecimalSeparator(Text), Value);
}

std::string IntegerRangeProblem(const std::string& From, const std::string& To, const std::string& By)
{
    int F = 0, T = 0, B = 0;
    if (!TryTextToInt(From, F) || !TryTextToInt(To, T) || !TryTextToInt(By, B))
        return "From, to and by must be whole numbers.";
    if (B <= 0) return "The step (by) must be at least 1.";
    if (F <= T && (static_cast<long long>(T) - F) / B + 1 > static_cast<long long>(MaxRangeEntries))
        return "The range would add more than " + std::to_string(MaxRangeEntries) + " entries.";
    return "";
}

std::string DecimalRangeProblem(const std::string& From, const std::string& To, const std::string& By)
{
    double F = 0, T = 0, B = 0;
    if (!TryReadDecimalEntry(From, F) || !TryReadDecimalEntry(To, T) || !TryReadDecimalEntry(By, B) ||
        !std::isfinite(F) || !std::isfinite(T) || !std::isfinite(B))
        return "From, to and by must be numbers.";
    if (!(B > 0)) return "The step (by) must be greater than 0.";
    if (F <= T && (T - F) / B + 1 > static_cast<double>(MaxRangeEntries))
        return "The range would add more than " + std::to_string(MaxRangeEntries) + " entries.";
    return "";
}

std::vector<std::string> IntegerRangeEntries(const std::string& From, const std::string& To, const std::string& By)
{
    int F = 0;
    int T = 0;
    int B = 0;
    std::vector<std::string> Entries;
    if (!TryTextToInt(From, F) || !TryTextToInt(To, T) || !TryTextToInt(By, B) || B <= 0) return Entries;
    if (F <= T && (static_cast<long long>(T) - F) / B + 1 > static_cast<long long>(MaxRangeEntries)) return Entries;
    for (long long x = F; x <= T; x += B) Entries.push_back(std::to_string(x));
    return Entries;
}

std::vector<std::string> DecimalRangeEntries(const std::string& From, const std::string& To, const std::string& By)
{
    double F = 0;
    double T = 0;
    double B = 0;
    std::vector<std::string> Entries;
    if (!TryReadDecimalEntry(From, F) || !TryReadDecimalEntry(To, T) || !TryReadDecimalEntry(By, B) || !(B > 0))
        return Entries;
    if (F > T) return Entries;
    // The number of steps that fit, with a span that is a whole multiple of the step (up to
    // rounding) counting as reaching to.
    const double Steps = (T - F) / B;
    if (!(Steps < static_cast<double>(MaxRangeEntries))) return Entries;
    double Last = std::floor(Steps);
    const double Nearest = std::round(Steps);
    const bool WholeMultiple = std::fabs(Steps - Nearest) <= 1e-9 * std::max(1.0, Nearest);
    if (WholeMultiple) Last = Nearest;
    if (Last + 1 > static_cast<double>(MaxRangeEntries)) return Entries;
    for (double k = 0; k <= Last; ++k) {
        const double Value = (WholeMultiple && k == Last) ? T : F + k * B;
        Entries.push_back(FormatGeneral(Value));
    }
    return Entries;
}

std::vector<std::string> SortIntegerEntries(const std::vector<std::string>& Entries)
{
    return SortEntries<int>(Entries, false, ReadInteger, WriteInteger);
}

std::vector<std::string> RemoveDoubleIntegerEntries(const std::vector<std::string>& Entries)
{
    return SortEntries<int>(Entries, true, ReadInteger, WriteInteger);
}

std::vector<std::string> SortDecimalEntries(const std::vector<std::string>& Entries)
{
    return SortEntries<double>(Entries, false, TryReadDecimalEntry, FormatGeneral);
}

std::vector<std::string> RemoveDoubleDecimalEntries(const std::vector<std::string>& Entries)
{
    return SortEntries<double>(Entries, true, TryReadDecimalEntry, FormatGeneral);
}

}  // namespace orbench
