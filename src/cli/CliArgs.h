#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbench::cli {

constexpr int ExitSuccess = 0;
constexpr int ExitBadInput = 1;
constexpr int ExitOutputError = 2;
constexpr int ExitIncomplete = 3;
constexpr int ExitInterrupted = 130;

// Bad usage or bad input: the message goes to stderr and the program ends with exit code 1.
class ECliError : public std::runtime_error {
public:
    explicit ECliError(const std::string& Message) : std::runtime_error(Message) {}
};

// One option of a command as its help shows it.
struct TOptionDef {
    std::string Name;   // with its leading "--"
    std::string Value;  // the placeholder of its value (N, FILE, ...); empty for a switch
    std::string Meaning;
    std::string Default;  // shown as "(default: ...)"; empty for none
};

struct TCommandDef {
    std::string Name;
    std::string Usage;  // the usage line after "orbench-cli "
    std::string Summary;
    std::vector<TOptionDef> Options;
    std::string Positional;  // placeholder of the positional arguments; empty for none
    std::string PositionalMeaning;
    bool PositionalList = false;  // any number of them, else exactly one
};

// The common options, accepted before and after the command name.
const std::vector<TOptionDef>& CommonOptions();

// The command line split into the command, its options and its positional arguments. A value
// given twice: the last one counts (Values gives them all, in order).
class TParsedArgs {
public:
    std::string Command;
    std::vector<std::string> Positionals;
    // Set for --help, help COMMAND and --version: the text to print on stdout (exit 0).
    std::string HelpText;

    bool Has(const std::string& Name) const { return FOptions.count(Name) != 0; }
    // The last value given, or Default when the option is absent.
    std::string Value(const std::string& Name, const std::string& Default = "") const;
    std::vector<std::string> Values(const std::string& Name) const;
    // The value of a required option.
    std::string Required(const std::string& Name) const;

    void Add(const std::string& Name, const std::string& Value) { FOptions[Name].push_back(Value); }

private:
    std::map<std::string, std::vector<std::string>> FOptions;
};

// Parses the arguments after the program name: "--name value" and "--name=value"; common options
// before or after the command name; "orbench-cli --help", "help COMMAND", "COMMAND --help" and
// "--version" fill HelpText. Throws ECliError on an unknown command or option, a missing value or
// a surplus argument.
TParsedArgs ParseCommandLine(const std::vector<std::string>& Args, const std::vector<TCommandDef>& Commands,
                             const std::string& Version);

// Numbers on the command line are always written with '.'; the messages name the option and the
// value.
double ParseDouble(const std::string& Text, const std::string& Option);
int ParseInt(const std::string& Text, const std::string& Option);
// Any integer, reduced modulo 2^32.
std::uint32_t ParseSeed(const std::string& Text);
// Comma-separated pieces; an empty text gives an empty list.
std::vector<std::string> SplitList(const std::string& Text);

}  // namespace orbench::cli
