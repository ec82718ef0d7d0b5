#include "TableText.h"

#include "NumberFormat.h"

namespace orbench {

std::string CsvField(const std::string& Text)
{
    if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
    std::string Quoted = "\"";
    for (const char Ch : Text) {
        if (Ch == '"') Quoted += '"';
        Quoted += Ch;
    }
    Quoted += '"';
    return Quoted;
}

void DropNegativeZero(std::string& Number)
{
    if (Number.empty() || Number[0] != '-') return;
    if (Number.find_first_not_of("0.,", 1) == std::string::npos) Number.erase(0, 1);
}

std::string FormatFixedData(double Value, int Decimals)
{
    std::string Text = FormatFixed(Value, Decimals);
    DropNegativeZero(Text);
    return Text;
}

}  // namespace orbench
