#pragma once

#include <initializer_list>
#include <string>

namespace orbench {

// The decimal separator of the user's locale: one setting of the program, taken from the
// environment at start-up and settable ('.' or ',').
char DecimalSeparator();
void SetDecimalSeparator(char Separator);

// The separator of the locale named by the environment: the first non-empty of LC_ALL, LC_NUMERIC
// and LANG; unset, "C", "C.*" and "POSIX" give '.'; another name gives that locale's decimal point
// when the locale is installed (and is '.' or ','), else '.'.
char DetectLocaleDecimalSeparator();

// Data files: fixed notation with Decimals digits and '.' whatever the locale (FormatFixed(0.85, 9)
// is "0.850000000").
std::string FormatFixed(double Value, int Decimals);
// The same appended to Text.
void AppendFixed(std::string& Text, double Value, int Decimals);
// Appends Separator and the fixed text of each value, in order (the fields of a data line).
void AppendFixedFields(std::string& Text, std::initializer_list<double> Values, int Decimals, char Separator);

// Shown to the user: fixed notation with the locale's separator, as "%0.4f" would.
std::string FormatFixedLocale(double Value, int Decimals);

// Names, file names and lists: the general format with up to 15 significant digits, no trailing
// zeros, and the locale's separator (0.85 gives "0.85" or "0,85").
std::string FormatGeneral(double Value);

}  // namespace orbench
