#include "CliArgs.h"

#include <algorithm>

#include "TextUtils.h"

namespace orbench::cli {

namespace {

const TOptionDef* FindDef(const std::string& Name, const std::vector<TOptionDef>& Defs)
{
    for (const TOptionDef& Def : Defs)
        if (Def.Name == Name) return &Def;
    return nullptr;
}

// Takes the option at Args[i] (and its value), advancing i; false when it is not one of Defs.
bool TakeOption(const std::vector<std::string>& Args, std::size_t& i, const std::vector<TOptionDef>& Defs,
                TParsedArgs* Result)
{
    std::string Name = Args[i];
    std::string Value;
    bool HasInlineValue = false;
    const std::size_t Equals = Name.find('=');
    if (Equals != std::string::npos) {
        Value = Name.substr(Equals + 1);
        Name.erase(Equals);
        HasInlineValue = true;
    }
    const TOptionDef* Def = FindDef(Name, Defs);
    if (Def == nullptr) return false;
    if (Def->TakesValue) {
        if (!HasInlineValue) {
            if (i + 1 >= Args.size()) throw ECliError("option " + Name + " needs a value");
            Value = Args[++i];
        }
    } else if (HasInlineValue) {
        throw ECliError("option " + Name + " takes no value");
    }
    if (Result != nullptr) Result->Add(Name, Value);
    ++i;
    return true;
}

bool LooksLikeOption(const std::string& Arg) { return Arg.size() > 2 && Arg.compare(0, 2, "--") == 0; }

}  // namespace

std::string TParsedArgs::Value(const std::string& Name, const std::string& Default) const
{
    const auto It = FOptions.find(Name);
    return It == FOptions.end() ? Default : It->second.back();
}

std::vector<std::string> TParsedArgs::Values(const std::string& Name) const
{
    const auto It = FOptions.find(Name);
    return It == FOptions.end() ? std::vector<std::string>{} : It->second;
}

std::string TParsedArgs::Required(const std::string& Name) const
{
    if (!Has(Name)) throw ECliError(Command + " needs " + Name);
    return Value(Name);
}

const std::vector<TOptionDef>& CommonOptions()
{
    static const std::vector<TOptionDef> Options = {
        {"--capacity", true},
        {"--seed", true},
        {"--decimal-separator", true},
    };
    return Options;
}

std::string FindCommand(const std::vector<std::string>& Args)
{
    std::size_t i = 0;
    while (i < Args.size() && LooksLikeOption(Args[i]))
        if (!TakeOption(Args, i, CommonOptions(), nullptr)) return "";
    return i < Args.size() ? Args[i] : "";
}

TParsedArgs Parse(const std::vector<std::string>& Args, const std::vector<TOptionDef>& CommandOptions)
{
    std::vector<TOptionDef> All = CommonOptions();
    All.insert(All.end(), CommandOptions.begin(), CommandOptions.end());
    TParsedArgs Result;
    std::size_t i = 0;
    while (i < Args.size()) {
        if (LooksLikeOption(Args[i])) {
            if (!TakeOption(Args, i, All, &Result)) {
                const std::string Name = Args[i].substr(0, Args[i].find('='));
                throw ECliError("unknown option " + Name + (Result.Command.empty() ? "" : " for " + Result.Command));
            }
        } else if (Result.Command.empty()) {
            Result.Command = Args[i++];
        } else {
            Result.Positionals.push_back(Args[i++]);
        }
    }
    return Result;
}

double ParseDouble(const std::string& Text, const std::string& What)
{
    double Value = 0;
    if (Text.find(',') != std::string::npos || !TryTextToFloatWith(Text, '.', Value))
        throw ECliError(What + ": \"" + Text + "\" is not a number (write decimals with '.')");
    return Value;
}

int ParseInt(const std::string& Text, const std::string& What)
{
    int Value = 0;
    if (!TryTextToInt(Text, Value)) throw ECliError(What + ": \"" + Text + "\" is not an integer");
    return Value;
}

std::uint32_t ParseSeed(const std::string& Text)
{
    std::size_t i = 0;
    bool Negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) Negative = Text[i++] == '-';
    if (i == Text.size()) throw ECliError("--seed: \"" + Text + "\" is not an integer");
    std::uint32_t Value = 0;
    for (; i < Text.size(); ++i) {
        if (Text[i] < '0' || Text[i] > '9') throw ECliError("--seed: \"" + Text + "\" is not an integer");
        Value = Value * 10u + static_cast<std::uint32_t>(Text[i] - '0');  // wraps modulo 2^32
    }
    return Negative ? 0u - Value : Value;
}

std::vector<double> ParseDoubleList(const std::string& Text, const std::string& What)
{
    std::vector<double> Values;
    if (Text.empty()) return Values;
    std::vector<std::string> Pieces;
    SplitToStringList(Text, ',', Pieces);
    for (const std::string& Piece : Pieces) Values.push_back(ParseDouble(Piece, What));
    return Values;
}

}  // namespace orbench::cli
