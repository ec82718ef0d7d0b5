#pragma once

#include <string>
#include <vector>

namespace orbench {

// The entries an integer range adds: from, from + by, ... while not above to. Nothing when a
// field is not an integer, when by is 0 or less, or when the range would exceed MaxRangeEntries.
std::vector<std::string> IntegerRangeEntries(const std::string& From, const std::string& To, const std::string& By);

// The entries a decimal range adds (fields read through NormalizeDecimalSeparator): from,
// from + by, from + 2 by, ... while not above to, formatted in the general format. When to - from
// is a whole multiple of by, to itself is the last entry whatever binary rounding does. Nothing
// when a field does not convert, when by is 0 or less, or beyond MaxRangeEntries.
std::vector<std::string> DecimalRangeEntries(const std::string& From, const std::string& To, const std::string& By);

constexpr std::size_t MaxRangeEntries = 100000;

// Why a range cannot be added ("" when it can): a field that is no (whole) number, a step of 0 or
// less, more than MaxRangeEntries entries. A range whose from lies beyond its to is no problem: it
// adds nothing.
std::string IntegerRangeProblem(const std::string& From, const std::string& To, const std::string& By);
std::string DecimalRangeProblem(const std::string& From, const std::string& To, const std::string& By);

// Numeric sort, written back in normal form (integers in decimal, decimals in the general
// format with the locale's separator); the "double entries" forms also drop entries equal to the
// one before. Throws EOrbenchError on an entry that is not a number.
std::vector<std::string> SortIntegerEntries(const std::vector<std::string>& Entries);
std::vector<std::string> RemoveDoubleIntegerEntries(const std::vector<std::string>& Entries);
std::vector<std::string> SortDecimalEntries(const std::vector<std::string>& Entries);
std::vector<std::string> RemoveDoubleDecimalEntries(const std::vector<std::string>& Entries);

// A decimal list entry read as the batch reads it (NormalizeDecimalSeparator, then the locale).
bool TryReadDecimalEntry(const std::string& Text, double& Value);

}  // namespace orbench
