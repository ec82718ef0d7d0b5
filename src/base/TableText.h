#pragma once

#include <string>

namespace orbench {

// One CSV field: the text as it stands, or, when it holds a comma, a double quote, CR or LF,
// enclosed in double quotes with every double quote doubled.
std::string CsvField(const std::string& Text);

// Removes the sign of a formatted number that shows no non-zero digit ("-0.000" gives "0.000"),
// so that no output holds a negative zero.
void DropNegativeZero(std::string& Number);

// Fixed notation with Decimals digits and '.', never a negative zero.
std::string FormatFixedData(double Value, int Decimals);

// Appends FormatFixedData(Value, 9), many times faster for values below 10^9 in magnitude
// (exact integer arithmetic instead of a general decimal conversion).
void AppendFixed9(std::string& Out, double Value);

}  // namespace orbench
