#pragma once

#include <string>
#include <vector>

namespace orbench {

// Text to a number with the locale's decimal separator: optional blanks, an optional sign, digits
// with at most one separator, an optional exponent, optional blanks. An empty or unparseable text
// gives Value 0 and false. No ',' / '.' exchange is made here. A text whose value underflows reads
// as its subnormal or zero value; one that overflows is not a number.
bool TryTextToFloat(const std::string& Text, double& Value);
// The same with a given decimal separator instead of the locale's.
bool TryTextToFloatWith(const std::string& Text, char Separator, double& Value);

// The whole text as a decimal 32-bit integer (leading blanks and a sign allowed). Value is
// meaningful only when the result is true.
bool TryTextToInt(const std::string& Text, int& Value);

// Replaces every occurrence of Search (ASCII letters compared case-insensitively) from left to
// right; inserted text is never searched again.
std::string ReplaceAllText(const std::string& Search, const std::string& Replacement, const std::string& Text);

// With the separator '.', every ',' becomes '.'; with ',', every '.' becomes ','.
std::string NormalizeDecimalSeparator(const std::string& Text);

// Appends to List the pieces of Text between occurrences of Delimiter; the rest after the last
// delimiter is always appended, also when it is empty.
void SplitToStringList(const std::string& Text, char Delimiter, std::vector<std::string>& List);

// A text echoed into a message: control characters shown escaped (\t, \r, \n, \xNN) and cut
// after MaxLength characters, then "...".
std::string ShortenForMessage(const std::string& Text, std::size_t MaxLength = 60);

// ASCII lower case.
std::string LowerCaseAscii(std::string Text);

}  // namespace orbench
