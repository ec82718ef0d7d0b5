#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbench::cli {

constexpr int ExitSuccess = 0;
constexpr int ExitBadInput = 1;
constexpr int ExitDrawLimit = 3;

// Bad usage or bad input: the message goes to stderr and the program ends with exit code 1.
class ECliError : public std::runtime_error {
public:
    explicit ECliError(const std::string& Message) : std::runtime_error(Message) {}
};

struct TOptionDef {
    std::string Name;  // with its leading "--"
    bool TakesValue;
};

// The command line split into the command, its options and its positional arguments. Common
// options may stand before or after the command name; "--name=value" and "--name value" both work.
class TParsedArgs {
public:
    std::string Command;
    std::vector<std::string> Positionals;

    bool Has(const std::string& Name) const { return FOptions.count(Name) != 0; }
    // The last value given, or Default when the option is absent.
    std::string Value(const std::string& Name, const std::string& Default = "") const;
    // Every value given, in order.
    std::vector<std::string> Values(const std::string& Name) const;
    // The value of a required option.
    std::string Required(const std::string& Name) const;

    void Add(const std::string& Name, const std::string& Value) { FOptions[Name].push_back(Value); }

private:
    std::map<std::string, std::vector<std::string>> FOptions;
};

const std::vector<TOptionDef>& CommonOptions();

// First pass: the command name (empty when none) with the common options before it.
// Second pass (Parse): everything, with the command's own options known.
std::string FindCommand(const std::vector<std::string>& Args);
TParsedArgs Parse(const std::vector<std::string>& Args, const std::vector<TOptionDef>& CommandOptions);

// Numbers on the command line are always written with '.'.
double ParseDouble(const std::string& Text, const std::string& What);
int ParseInt(const std::string& Text, const std::string& What);
// Any integer, reduced modulo 2^32.
std::uint32_t ParseSeed(const std::string& Text);
// Comma-separated numbers; an empty text gives an empty list.
std::vector<double> ParseDoubleList(const std::string& Text, const std::string& What);

}  // namespace orbench::cli
