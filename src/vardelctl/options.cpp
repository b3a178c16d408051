#include "vardelctl/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "drive/lun_type.h"
#include "vardelctl/command_line_parser.h"
#include "vardelctl/suggestion.h"

namespace vardel::cli {
namespace {

constexpr char kHelpCommand[] = "help";

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

bool IsLongOption(const std::string& argument) {
    return argument.size() > 2 && argument.rfind("--", 0) == 0;
}

bool IsCommand(const std::string& word) {
    return std::find(kCommandNames.begin(), kCommandNames.end(), word) != kCommandNames.end();
}

bool IsJson(const std::string& argument) {
    return argument == "--json" || argument == "-j";
}

// The options that take the next word as their value.
bool TakesValue(const std::string& argument) {
    return argument == "--device" || argument == "-d" || argument == "--lun0" ||
           argument == "--lun1";
}

// Where the command's name stands among the arguments (their count when it is missing): the
// first word that is neither an option nor an option's value. A bare --emulate takes the next word
// as its file unless that word is a command's name.
std::size_t CommandWordAt(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& argument = args[i];
        if (argument == "--device" || argument == "-d") {
            ++i;
        } else if (argument == "--emulate") {
            if (i + 1 < args.size() && !IsOption(args[i + 1]) && !IsCommand(args[i + 1]) &&
                args[i + 1] != kHelpCommand) {
                ++i;
            }
        } else if (!IsOption(argument)) {
            return i;
        }
    }
    return args.size();
}

// The long options the command line may hold, each once: the global ones (--version too, which a
// parser holds only for a help) and the command's own.
std::vector<std::string> KnownOptions(const CLI::App& /*app*/, const CLI::App* command) {
    std::vector<std::string> names(std::begin(kGlobalOptionNames), std::end(kGlobalOptionNames));
    if (command == nullptr) return names;
    for (const CLI::Option* option : command->get_options()) {
        for (const std::string& name : option->get_lnames()) {
            if (std::find(names.begin(), names.end(), "--" + name) == names.end()) {
                names.push_back("--" + name);
            }
        }
    }
    return names;
}

// Whether the global options or the command's take the long option `name` ("--json").
bool IsGlobalOption(const std::string& name) {
    return std::find(std::begin(kGlobalOptionNames), std::end(kGlobalOptionNames), name) !=
           std::end(kGlobalOptionNames);
}

// The global options' names are checked first: asking the parser costs more.
bool Knows(const CLI::App& app, const CLI::App* command, const std::string& name) {
    return IsGlobalOption(name) || app.get_option_no_throw(name) != nullptr ||
           (command != nullptr && command->get_option_no_throw(name) != nullptr);
}

// The first long option of the line that neither the global options nor the command take, or
// nullptr: the words after "--" are no options.
const std::string* UnknownOption(const std::vector<std::string>& args, const CLI::App& app,
                                 const CLI::App* command) {
    for (const std::string& argument : args) {
        if (argument == "--") break;
        if (!IsLongOption(argument)) continue;
        if (!Knows(app, command, argument.substr(0, argument.find('=')))) return &argument;
    }
    return nullptr;
}

// What the user typed for the word args[at] ("-n" for a "--dry-run" spelt out of "-jn"); the word
// itself once the line was reshaped.
const std::string& TypedAs(const std::vector<std::string>& args,
                           const std::vector<std::string>& typed, std::size_t at) {
    return typed.size() == args.size() && at < typed.size() ? typed[at] : args[at];
}

// `unknown option "--lun0" for set; did you mean "write --lun0"?`: the option as typed
// (`typedWord`: "-n" where the parser reads "--dry-run"), the command it was given to, and the
// option meant.
std::string UnknownOptionText(const std::string& argument, const std::string& typedWord,
                              const CLI::App& app, const CLI::App* command) {
    const std::string name = argument.substr(0, argument.find('='));
    std::string text = "unknown option " + Quoted(typedWord.substr(0, typedWord.find('=')));
    if (command != nullptr) text += " for " + command->get_name();
    // set switches one LUN; write's row options set both.
    if (command != nullptr && command->get_name() == "set" &&
        (name == "--lun0" || name == "--lun1")) {
        return text + "; did you mean " + Quoted("write " + name) + "?";
    }
    return text + DidYouMean(name, KnownOptions(app, command));
}

// A word of an example line: in double quotes where it holds a space, as both a POSIX shell and
// Windows' command line take it.
std::string ExampleWord(const std::string& word) {
    return !word.empty() && word.find_first_of(" \t") == std::string::npos ? word : Quoted(word);
}

// `-n set lun0 fixed`: a command's own option before the command, which the parser would call an
// argument not expected. Said with the word as typed, and the command's words with it after them.
std::string MisplacedOptionText(const std::vector<std::string>& args,
                                const std::vector<std::string>& typed, std::size_t at,
                                std::size_t commandAt) {
    const std::string& word = TypedAs(args, typed, at);
    // `--lun0 fixed write`: the option's value goes with it.
    const bool valueToo = TakesValue(args[at]) && at + 1 < commandAt;
    std::string example;
    for (std::size_t i = commandAt; i < args.size(); ++i) {
        example += ExampleWord(TypedAs(args, typed, i)) + " ";
    }
    example += ExampleWord(word);
    if (valueToo) example += " " + ExampleWord(TypedAs(args, typed, at + 1));
    return Quoted(word) + " is an option of " + args[commandAt] +
           " and goes after the command: " + example;
}

std::string NoCommandText(const std::vector<std::string>& args) {
    std::string text =
        "no command given; the commands are status, set, write, list, backup, "
        "restore, history and undo";
    // `--emulate stauts`: the slip was taken for the scenario file.
    const auto emulate = std::find(args.begin(), args.end(), "--emulate");
    if (emulate != args.end() && emulate + 1 != args.end()) {
        const std::string close = ClosestWord(*(emulate + 1), kCommandNames);
        if (!close.empty()) {
            text += "; " + Quoted(*(emulate + 1)) +
                    " was taken for --emulate's scenario "
                    "file: did you mean the command " +
                    Quoted(close) + "?";
        }
    }
    return text;
}

// The parser's complaint in the user's terms, with a suggestion where a word was mistyped.
std::string Explain(const CLI::ParseError& error, const CLI::App& app, const CLI::App* command,
                    const std::vector<std::string>& args) {
    const std::string where = command != nullptr ? " for " + command->get_name() : "";
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::vector<std::string> known = KnownOptions(app, command);
        for (const std::string& argument : args) {
            if (argument == "--") break;
            if (!IsOption(argument) || argument.rfind("--", 0) != 0) continue;
            const std::string name = argument.substr(0, argument.find('='));
            if (std::find(known.begin(), known.end(), name) != known.end()) continue;
            return "unknown option " + Quoted(name) + where + DidYouMean(name, known);
        }
        return std::string(error.what());
    }
    if (command == nullptr && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        return NoCommandText(args);
    }
    return std::string(error.what());
}

ParseResult Shown(ParseEnd end, bool json, const std::string& text) {
    ParseResult result;
    result.end = end;
    result.json = json;
    result.text = text;
    return result;
}

ParseResult RefuseUsage(bool json, const std::string& text, const std::string& help) {
    ParseResult result;
    result.end = ParseEnd::Usage;
    result.json = json;
    result.text = text;
    result.tryHelp = help;
    return result;
}

// Where the command's own words stand: the words after it that are neither options nor their
// values.
std::vector<std::size_t> SetWordsAt(const std::vector<std::string>& args, std::size_t commandAt) {
    std::vector<std::size_t> at;
    bool optionsEnded = false;
    for (std::size_t i = commandAt + 1; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && IsOption(args[i])) {
            if (TakesValue(args[i])) ++i;
        } else {
            at.push_back(i);
        }
    }
    return at;
}

// A command's words missing or too many, said as the parser says it: found here, the refusal costs
// no exception. Empty when the count is right, or when the line holds what only the parser reads
// (a bare --emulate after the command, "--", a short option the line still holds).
std::string PositionalCountProblem(const std::vector<std::string>& args, std::size_t commandAt,
                                   const CLI::App& command) {
    for (std::size_t i = commandAt + 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--" || word == "--emulate") return std::string();
        if (IsOption(word) && !IsLongOption(word)) {
            return std::string();
        }
    }
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional()) names.push_back(option->get_name());
    }
    const std::vector<std::size_t> at = SetWordsAt(args, commandAt);
    if (at.size() < names.size()) return names[at.size()] + " is required";
    if (at.size() == names.size()) return std::string();
    std::string extras;
    for (std::size_t i = at.size(); i-- > names.size();) {
        if (!extras.empty()) extras += ' ';
        extras += args[at[i]];
    }
    return (at.size() - names.size() > 1 ? "The following arguments were not expected: "
                                         : "The following argument was not expected: ") +
           extras;
}

// `set lun 0 fixed`: "lun" and its number are one word.
void JoinSplitRow(std::vector<std::string>& args, std::size_t commandAt) {
    const std::vector<std::size_t> at = SetWordsAt(args, commandAt);
    if (at.size() < 2 || CLI::detail::to_lower(args[at[0]]) != "lun") return;
    const std::string& number = args[at[1]];
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return;
    }
    args[at[0]] += " " + number;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(at[1]));
}

// A word of set that the parser would refuse, said as it would say it: found here, the refusal
// costs no exception. Empty when both words are sound or missing.
std::string SetWordProblem(const std::vector<std::string>& args, std::size_t commandAt) {
    const std::vector<std::size_t> at = SetWordsAt(args, commandAt);
    if (!at.empty() && RowWord(args[at[0]]).empty()) return RowWordProblem(args[at[0]]);
    if (at.size() > 1 && TypeWord(args[at[1]]).empty()) return TypeWordProblem(args[at[1]]);
    return std::string();
}

// Only a plain file can be a scenario: a folder of the command's name (the one `backup --all`
// made) is no rival to the command.
bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

// `--emulate status` where a file "status" is here as well: either may be meant.
std::string EmulateWordProblem(const std::vector<std::string>& args, std::size_t commandAt) {
    if (commandAt == 0 || commandAt >= args.size() || args[commandAt - 1] != "--emulate") {
        return std::string();
    }
    const std::string& word = args[commandAt];
    if (!IsRegularFile(word)) return std::string();
    return Quoted(word) +
           " after --emulate is both a command and a file here: give --emulate=" + word +
           " for the file's scenario, or vardelctl " + word + " --emulate for the built-in drive";
}

// --version alone, with or without --json, is answered before anything else is looked at.
bool VersionAlone(const std::vector<std::string>& args) {
    if (args.size() != 1 && args.size() != 2) return false;
    const auto version = std::find(args.begin(), args.end(), "--version");
    const bool json = std::find_if(args.begin(), args.end(), IsJson) != args.end();
    return version != args.end() && args.size() == (json ? 2u : 1u);
}

bool HoldsJson(const std::vector<std::string>& args) {
    return std::find_if(args.begin(), args.end(), IsJson) != args.end();
}

// The command line as the parse reads it: short options spelt out, with the words as typed beside
// them, and what the whole line asks for.
struct Line {
    std::vector<std::string> args;
    std::vector<std::string> typed;
    // A usage error still answers in JSON when JSON was asked for, wherever the parse stopped.
    bool json = false;
    bool helpOrVersion = false;
    ShortNames shortNames = ShortNames::SpeltOut;
    std::size_t commandAt = 0;
};

Line ReadLine(std::vector<std::string> args) {
    Line line;
    line.args = std::move(args);
    // `help` may be the help command: a line that may show a help keeps the short options.
    line.helpOrVersion =
        std::any_of(line.args.begin(), line.args.end(), [](const std::string& word) {
            return word == "--help" || word == "-h" || word == "--version" || word == kHelpCommand;
        });
    SpellOutShortOptions(line.args, &line.typed);
    line.json = HoldsJson(line.args);
    // Only a help lists the short options; the parse takes them spelt out.
    line.shortNames = line.helpOrVersion ? ShortNames::Held : ShortNames::SpeltOut;
    line.commandAt = CommandWordAt(line.args);
    return line;
}

// An option before the command that none takes is named as it would be after the command,
// before its value is taken for the command's name (`--devcie E status`).
std::optional<ParseResult> RefuseOptionBeforeCommand(const Line& line, Options& options) {
    const std::vector<std::string>& args = line.args;
    for (std::size_t i = 0; i < line.commandAt && i < args.size(); ++i) {
        if (!IsLongOption(args[i])) continue;
        const std::string name = args[i].substr(0, args[i].find('='));
        if (IsGlobalOption(name)) continue;
        // The command where it stands, else the first command's name (`--lun0 fixed write`).
        const auto named = line.commandAt < args.size() && IsCommand(args[line.commandAt])
                               ? args.begin() + static_cast<std::ptrdiff_t>(line.commandAt)
                               : std::find_if(args.begin(), args.end(), IsCommand);
        const std::string command = named != args.end() ? *named : std::string();
        // Without a command, no command's options are asked for: their names are enough.
        CommandLineParser parser(options, command,
                                 command.empty() ? CommandParts::Summary : CommandParts::Whole,
                                 line.shortNames);
        const CLI::App* commandApp = command.empty() ? nullptr : parser.app.get_subcommand(command);
        const std::string help =
            command.empty() ? "vardelctl --help" : "vardelctl " + command + " --help";
        if (Knows(parser.app, nullptr, name)) continue;
        if (Knows(parser.app, commandApp, name)) {
            // A line that asks for a help gets it, wherever its options stand.
            if (line.helpOrVersion) continue;
            const auto namedAt = static_cast<std::size_t>(named - args.begin());
            return RefuseUsage(line.json, MisplacedOptionText(args, line.typed, i, namedAt), help);
        }
        return RefuseUsage(
            line.json,
            UnknownOptionText(args[i], TypedAs(args, line.typed, i), parser.app, commandApp), help);
    }
    return std::nullopt;
}

// `help` and `help COMMAND` are --help and `COMMAND --help`; any other word where the command
// stands is an unknown command.
std::optional<ParseResult> TakeCommandWord(Line& line) {
    std::vector<std::string>& args = line.args;
    const std::size_t commandAt = line.commandAt;
    if (commandAt < args.size() && args[commandAt] == kHelpCommand) {
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(commandAt));
        std::size_t helpAt = commandAt;
        if (commandAt < args.size() && !IsOption(args[commandAt])) {
            const std::string& topic = args[commandAt];
            if (!IsCommand(topic)) {
                return RefuseUsage(
                    line.json,
                    "help: unknown command " + Quoted(topic) + DidYouMean(topic, kCommandNames),
                    "vardelctl --help");
            }
            helpAt = commandAt + 1;
        }
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(helpAt), "--help");
    } else if (commandAt < args.size() && !IsCommand(args[commandAt])) {
        std::vector<std::string> words = kCommandNames;
        words.push_back(kHelpCommand);
        return RefuseUsage(
            line.json,
            "unknown command " + Quoted(args[commandAt]) + DidYouMean(args[commandAt], words),
            "vardelctl --help");
    }
    return std::nullopt;
}

// The words of the line but --json: what it asks for.
std::vector<std::string> AskedWords(const Line& line) {
    std::vector<std::string> asked;
    for (const std::string& argument : line.args) {
        if (!IsJson(argument)) asked.push_back(argument);
    }
    return asked;
}

bool HelpAsked(const std::vector<std::string>& asked) {
    return !asked.empty() && (asked.back() == "--help" || asked.back() == "-h");
}

// --version or --help alone, with or without --json, needs no parse: the parser would end it
// with an exception, and the first one a static program throws costs more than a whole command
// (the unwinder sorts its tables). --version needs no parser at all. The usage errors that are
// common are found without the parser too, which would throw.
std::optional<ParseResult> AnswerWithoutParser(const Line& line,
                                               const std::vector<std::string>& asked) {
    if (asked.size() == 1 && asked[0] == "--version") {
        return Shown(ParseEnd::Version, line.json, kVersionText);
    }
    if (HelpAsked(asked) && asked.size() == 1) {
        return Shown(ParseEnd::Help, line.json, MainHelpText());
    }
    if (!line.helpOrVersion && line.commandAt >= line.args.size()) {
        return RefuseUsage(line.json, NoCommandText(line.args), "vardelctl --help");
    }
    const std::string emulateProblem = EmulateWordProblem(line.args, line.commandAt);
    if (!emulateProblem.empty()) return RefuseUsage(line.json, emulateProblem, "vardelctl --help");
    return std::nullopt;
}

// Only the command the line names, unless the line may need the others: the main help lists
// them, and a second command's name makes the parser's own complaint. Empty for all of them.
std::string OnlyCommand(const Line& line) {
    const std::vector<std::string>& args = line.args;
    if (line.commandAt < args.size() && IsCommand(args[line.commandAt]) &&
        std::count_if(args.begin(), args.end(),
                      [](const std::string& word) { return IsCommand(word); }) == 1) {
        return args[line.commandAt];
    }
    return std::string();
}

// An unknown option or a command's words amiss, refused before the parser would throw.
std::optional<ParseResult> RefuseBeforeParse(const Line& line, CLI::App& app,
                                             const std::string& only) {
    if (only.empty() || line.helpOrVersion) return std::nullopt;
    const CLI::App* command = app.get_subcommand(only);
    const std::string help = "vardelctl " + only + " --help";
    const std::string* unknown = UnknownOption(line.args, app, command);
    if (unknown != nullptr) {
        const auto at = static_cast<std::size_t>(unknown - line.args.data());
        return RefuseUsage(
            line.json,
            UnknownOptionText(*unknown, TypedAs(line.args, line.typed, at), app, command), help);
    }
    if (only == "set") {
        const std::string problem = SetWordProblem(line.args, line.commandAt);
        if (!problem.empty()) return RefuseUsage(line.json, problem, help);
    }
    const std::string problem = PositionalCountProblem(line.args, line.commandAt, *command);
    if (!problem.empty()) return RefuseUsage(line.json, problem, help);
    return std::nullopt;
}

// The parser's exception as the parse's end: a help or the version it showed, or a usage error.
ParseResult EndedByParser(const CLI::ParseError& error, CLI::App& app, const Line& line) {
    if (error.get_exit_code() == 0) {
        ParseResult shown;
        shown.end = dynamic_cast<const CLI::CallForVersion*>(&error) != nullptr ? ParseEnd::Version
                                                                                : ParseEnd::Help;
        shown.json = line.json;
        std::ostringstream text;
        app.exit(error, text, text);
        shown.text = text.str();
        return shown;
    }
    const std::vector<CLI::App*> commands = app.get_subcommands();
    const CLI::App* command = commands.empty() ? nullptr : commands.front();
    const std::string help =
        command != nullptr ? "vardelctl " + command->get_name() + " --help" : "vardelctl --help";
    return RefuseUsage(line.json, Explain(error, app, command, line.args), help);
}

// What the parser read, into the options it did not bind itself.
void TakeParsed(CommandLineParser& parser, Options& options) {
    CLI::App& app = parser.app;
    options.emulate = parser.emulate->count() > 0;
    if (!parser.row.empty()) {  // set
        options.row = RowWord(parser.row) == "lun1" ? LunRow::Lun1 : LunRow::Lun0;
        options.type = TypeWord(parser.type) == "fixed" ? kLunTypeFixedDisk : kLunTypeRemovable;
    }
    options.deviceGiven = app.count("--device") > 0;
    const std::pair<const char*, Verb> verbs[] = {
        {"status", Verb::Status},   {"set", Verb::Set},       {"write", Verb::Write},
        {"list", Verb::List},       {"backup", Verb::Backup}, {"restore", Verb::Restore},
        {"history", Verb::History}, {"undo", Verb::Undo}};
    const std::string chosen = app.get_subcommands().front()->get_name();
    for (const auto& [name, verb] : verbs) {
        if (chosen == name) options.verb = verb;
    }
}

}  // namespace

ParseResult ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (VersionAlone(args)) return Shown(ParseEnd::Version, HoldsJson(args), kVersionText);
    Line line = ReadLine(std::move(args));
    if (auto refused = RefuseOptionBeforeCommand(line, options)) return *refused;
    if (auto refused = TakeCommandWord(line)) return *refused;
    const std::vector<std::string> asked = AskedWords(line);
    if (auto answered = AnswerWithoutParser(line, asked)) return *answered;

    const std::string only = OnlyCommand(line);
    if (only == "set") JoinSplitRow(line.args, line.commandAt);
    CommandLineParser parser(options, only, CommandParts::Whole, line.shortNames);
    CLI::App& app = parser.app;
    if (HelpAsked(asked) && asked.size() == 2 && IsCommand(asked[0])) {
        return Shown(ParseEnd::Help, line.json, app.get_subcommand(asked[0])->help(app.get_name()));
    }
    if (auto refused = RefuseBeforeParse(line, app, only)) return *refused;
    try {
        std::vector<std::string> reversed(line.args.rbegin(), line.args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return EndedByParser(error, app, line);
    }
    TakeParsed(parser, options);
    ParseResult result;
    result.json = line.json;
    return result;
}

}  // namespace vardel::cli
