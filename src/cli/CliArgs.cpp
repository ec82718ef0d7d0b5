#include "CliArgs.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

#include "TextUtils.h"

namespace orbench::cli {

namespace {

const char* const CommonGroup = "Common options";

// Prints the usage line of a command as its definition gives it.
class TFormatter : public CLI::Formatter {
public:
    std::map<std::string, std::string> Usages;

    std::string make_usage(const CLI::App* App, std::string Name) const override
    {
        const auto It = Usages.find(App->get_name());
        if (It == Usages.end()) return CLI::Formatter::make_usage(App, Name);
        return "Usage: orbench-cli " + It->second + "\n";
    }
};

void AddOption(CLI::App& App, const TOptionDef& Def, const std::string& Group)
{
    const std::string Description = Def.Meaning + (Def.Default.empty() ? "" : " (default: " + Def.Default + ")");
    CLI::Option* Option = Def.Value.empty() ? App.add_flag(Def.Name, Description)->disable_flag_override()
                                            : App.add_option(Def.Name, Description)->type_name(Def.Value);
    Option->group(Group);
}

// An option followed by another option's name took that name as its value: its own value is
// missing ("generate --casemix --ordays 10").
void CheckMissingValues(const CLI::App& App)
{
    for (const CLI::Option* Option : App.get_options()) {
        if (Option->get_positional() || Option->get_type_size() == 0) continue;
        for (const std::string& Result : Option->results()) {
            if (Result.rfind("--", 0) != 0) continue;
            const std::string Name = Result.substr(0, Result.find('='));
            const auto Known = [&Name](const CLI::App* In) {
                return In != nullptr && In->get_option_no_throw(Name) != nullptr;
            };
            if (Known(&App) || Known(App.get_parent()) || Name == "--help" || Name == "--version")
                throw ECliError(Option->get_name() + ": missing value");
        }
    }
}

std::string Lowered(std::string Text)
{
    if (!Text.empty() && Text[0] >= 'A' && Text[0] <= 'Z') Text[0] = static_cast<char>(Text[0] - 'A' + 'a');
    return Text;
}

// CLI11's message in the program's words.
std::string Translate(const CLI::ParseError& Error, const CLI::App& App, const CLI::App* Command)
{
    const std::string What = Error.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&Error) != nullptr && What.rfind("--", 0) == 0 &&
        What.find(" missing") != std::string::npos)
        return What.substr(0, What.find(':')) + ": missing value";
    if (dynamic_cast<const CLI::ExtrasError*>(&Error) != nullptr) {
        if (Command == nullptr) {
            const std::vector<std::string> Rest = App.remaining();
            if (!Rest.empty() && Rest.front().rfind("-", 0) != 0)
                return "unknown command " + Rest.front() + " (orbench-cli --help lists the commands)";
            return Lowered(What);
        }
        return Command->get_name() + ": " + Lowered(What);
    }
    return Command == nullptr ? Lowered(What) : Command->get_name() + ": " + Lowered(What);
}

void CollectOptions(const CLI::App& App, TParsedArgs& Result)
{
    for (const CLI::Option* Option : App.get_options()) {
        if (Option->count() == 0 || Option->get_name() == "--help" || Option->get_name() == "--version") continue;
        for (const std::string& Value : Option->results()) {
            if (Option->get_positional())
                Result.Positionals.push_back(Value);
            else
                Result.Add(Option->get_name(), Value);
        }
    }
}

}  // namespace

const std::vector<TOptionDef>& CommonOptions()
{
    static const std::vector<TOptionDef> Options = {
        {"--capacity", "MIN", "OR-day capacity in minutes, greater than 0", "480"},
        {"--seed", "N", "seed of the uniform generator; any integer, taken modulo 2^32", "12345"},
        {"--decimal-separator", "C",
         "'.' or ',': the decimal separator of names, file names and of the numbers read from files",
         "from the locale (LC_ALL, else LC_NUMERIC, else LANG); '.' when unset, C or POSIX"},
    };
    return Options;
}

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
    if (!Has(Name)) throw ECliError(Command + " needs " + Name + " (orbench-cli help " + Command + ")");
    return Value(Name);
}

TParsedArgs ParseCommandLine(const std::vector<std::string>& Args, const std::vector<TCommandDef>& Commands,
                             const std::string& Version)
{
    CLI::App App("orbench-cli " + Version +
                     ": generates operating-room scheduling benchmark instances from case mixes, measures their "
                     "overlap and selects least-overlapping subsets.",
                 "orbench-cli");
    auto Formatter = std::make_shared<TFormatter>();
    Formatter->column_width(34);
    Formatter->label("Subcommands", "Commands");
    Formatter->label("SUBCOMMAND", "COMMAND");
    App.formatter(Formatter);
    App.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    App.set_help_flag("-h,--help", "print this help and exit");
    App.set_version_flag("--version", "orbench-cli " + Version, "print the version and exit");
    App.require_subcommand(0, 1);
    App.footer(
        "orbench-cli help COMMAND (or orbench-cli COMMAND --help) prints the options of a command.\n"
        "Exit codes: 0 success, 1 bad usage or input, 2 an output could not be written or memory ran out,\n"
        "3 the run did not do all that was asked (draw limit passed, selection refused; verify: files do not\n"
        "match the manifest), 130 Ctrl-C.");
    for (const TOptionDef& Def : CommonOptions()) AddOption(App, Def, CommonGroup);

    std::vector<CLI::App*> Subcommands;
    for (const TCommandDef& Def : Commands) {
        CLI::App* Sub = App.add_subcommand(Def.Name, Def.Summary);
        Formatter->Usages[Def.Name] = Def.Usage;
        if (!Def.Positional.empty()) {
            CLI::Option* Positional = Sub->add_option(Def.Positional, Def.PositionalMeaning);
            if (Def.PositionalList)
                Positional->expected(1, CLI::detail::expected_max_vector_size)->allow_extra_args(true);
        }
        for (const TOptionDef& Option : Def.Options) AddOption(*Sub, Option, "Options");
        for (const TOptionDef& Option : CommonOptions()) AddOption(*Sub, Option, CommonGroup);
        Subcommands.push_back(Sub);
    }
    CLI::App* Help = App.add_subcommand("help", "print the usage of a command with its options and defaults");
    Formatter->Usages["help"] = "help COMMAND";
    Help->add_option("COMMAND", "the command");

    const auto Chosen = [&]() -> CLI::App* {
        for (CLI::App* Sub : Subcommands)
            if (App.got_subcommand(Sub)) return Sub;
        return App.got_subcommand(Help) ? Help : nullptr;
    };
    TParsedArgs Result;
    std::vector<std::string> Reversed(Args.rbegin(), Args.rend());
    try {
        App.parse(Reversed);
    } catch (const CLI::CallForHelp&) {
        CLI::App* Sub = Chosen();
        Result.HelpText = Sub == nullptr ? App.help() : Sub->help("orbench-cli");
        return Result;
    } catch (const CLI::CallForVersion& Call) {
        Result.HelpText = std::string(Call.what()) + "\n";
        return Result;
    } catch (const CLI::ParseError& Error) {
        CLI::App* Sub = Chosen();
        if (Sub != nullptr) CheckMissingValues(*Sub);
        CheckMissingValues(App);
        throw ECliError(Translate(Error, App, Sub));
    }
    CLI::App* Sub = Chosen();
    if (Sub == nullptr) throw ECliError("no command given (orbench-cli --help lists the commands)");
    CheckMissingValues(*Sub);
    CheckMissingValues(App);
    if (Sub == Help) {
        const CLI::Option* Named = Help->get_option("COMMAND");
        const std::string Name = Named->count() > 0 ? Named->results().back() : "";
        if (Name.empty()) {
            Result.HelpText = App.help();
            return Result;
        }
        const auto It = std::find_if(Subcommands.begin(), Subcommands.end(),
                                     [&Name](const CLI::App* Candidate) { return Candidate->get_name() == Name; });
        if (It == Subcommands.end()) throw ECliError("help: unknown command " + ShortenForMessage(Name));
        Result.HelpText = (*It)->help("orbench-cli");
        return Result;
    }
    Result.Command = Sub->get_name();
    CollectOptions(App, Result);  // before the command name: earlier, so a value after it wins
    CollectOptions(*Sub, Result);
    return Result;
}

double ParseDouble(const std::string& Text, const std::string& Option)
{
    double Value = 0;
    if (Text.find(',') != std::string::npos || !TryTextToFloatWith(Text, '.', Value))
        throw ECliError(Option + " " + ShortenForMessage(Text) + ": not a finite number written with '.'");
    return Value;
}

int ParseInt(const std::string& Text, const std::string& Option)
{
    int Value = 0;
    if (TryTextToInt(Text, Value)) return Value;
    std::size_t i = Text.find_first_not_of(' ');
    if (i != std::string::npos && (Text[i] == '+' || Text[i] == '-')) ++i;
    const bool Digits = i < Text.size() && Text.find_first_not_of("0123456789", i) == std::string::npos;
    throw ECliError(Option + " " + ShortenForMessage(Text) +
                    (Digits ? ": out of range (-2147483648 to 2147483647)" : ": not an integer"));
}

std::uint32_t ParseSeed(const std::string& Text)
{
    std::size_t i = 0;
    bool Negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) Negative = Text[i++] == '-';
    if (i == Text.size()) throw ECliError("--seed " + ShortenForMessage(Text) + ": not an integer");
    std::uint32_t Value = 0;
    for (; i < Text.size(); ++i) {
        if (Text[i] < '0' || Text[i] > '9') throw ECliError("--seed " + ShortenForMessage(Text) + ": not an integer");
        Value = Value * 10u + static_cast<std::uint32_t>(Text[i] - '0');  // wraps modulo 2^32
    }
    return Negative ? 0u - Value : Value;
}

std::vector<std::string> SplitList(const std::string& Text)
{
    std::vector<std::string> Pieces;
    if (!Text.empty()) SplitToStringList(Text, ',', Pieces);
    return Pieces;
}

}  // namespace orbench::cli
