#include "vardelctl/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>
#include <sstream>
#include <vector>

#include "drive/lun_type.h"
#include "vardelctl/suggestion.h"

namespace vardel::cli {
namespace {

const std::vector<std::string> kCommandNames = {"status", "set",     "write",   "list",
                                                "backup", "restore", "history", "undo"};
constexpr char kHelpCommand[] = "help";

constexpr char kDescription[] =
    "Shows and switches the type (Removable or Fixed Disk) of the two LUNs of the attached\n"
    "drive, and keeps a backup of its configuration block. Every change is kept in a journal\n"
    "first, so that `undo` can put it back. `vardelctl help COMMAND` tells more of a command.";

constexpr char kExamples[] =
    "Examples:\n"
    "  vardelctl --emulate status            try it on the built-in emulated drive\n"
    "  vardelctl list                        the drives: serials, letters, /dev nodes\n"
    "  vardelctl backup drive.json           before the first change: the way back\n"
    "  vardelctl set lun0 fixed --dry-run    what the change would write; writes nothing\n"
    "  vardelctl set lun0 fixed              the change; then replug the drive\n"
    "  vardelctl --device /dev/sdb status    one of several drives: serial, letter or node\n"
    "  vardelctl set lun1 removable --all    every attached drive, one after the other\n"
    "  vardelctl restore drive.json          shows the bytes it would change, then asks\n"
    "  vardelctl history                     the changes kept in the journal\n"
    "  vardelctl undo                        puts back what the drive's last change replaced\n"
    "  vardelctl --json status               one JSON object on stdout, for scripts\n";

// Shows an optional value glued to its option, as it is typed: --emulate[=FILE].
class ToolHelp : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string text = option->get_option_text();
        if (text.rfind("[=", 0) == 0) return text;
        return CLI::Formatter::make_option_opts(option);
    }
};

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
}

bool IsCommand(const std::string& word) {
    return std::find(kCommandNames.begin(), kCommandNames.end(), word) != kCommandNames.end();
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& words) {
    const std::string close = ClosestWord(typed, words);
    return close.empty() ? "" : "; did you mean " + Quoted(close) + "?";
}

// Where the command's name stands among the arguments (their count when it is missing): the
// first word that is neither an option nor an option's value. A bare --emulate takes the next word
// as its file unless that word is a command's name.
std::size_t CommandWordAt(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& argument = args[i];
        if (argument == "--device") {
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

// One word of a small set, in any case, with a suggestion for a slip.
CLI::Validator OneOf(const std::vector<std::string>& words) {
    return CLI::Validator(
        [words](std::string& value) -> std::string {
            const std::string lower = CLI::detail::to_lower(value);
            if (std::find(words.begin(), words.end(), lower) != words.end()) return "";
            return Quoted(value) + " is not " + words[0] + " or " + words[1] +
                   DidYouMean(lower, words);
        },
        "");
}

// The long options the command line may hold: the global ones and the command's own.
std::vector<std::string> KnownOptions(const CLI::App& app, const CLI::App* command) {
    std::vector<std::string> names;
    for (const CLI::App* owner : {&app, command}) {
        if (owner == nullptr) continue;
        for (const CLI::Option* option : owner->get_options()) {
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        }
    }
    return names;
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
    return std::string(error.what());
}

ParseResult RefuseUsage(bool json, const std::string& text, const std::string& help) {
    ParseResult result;
    result.end = ParseEnd::Usage;
    result.json = json;
    result.text = text;
    result.tryHelp = help;
    return result;
}

}  // namespace

ParseResult ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // A usage error still answers in JSON when JSON was asked for, wherever the parse stopped.
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();

    // `help` and `help COMMAND` are --help and `COMMAND --help`.
    const std::size_t commandAt = CommandWordAt(args);
    if (commandAt < args.size() && args[commandAt] == kHelpCommand) {
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(commandAt));
        std::size_t helpAt = commandAt;
        if (commandAt < args.size() && !IsOption(args[commandAt])) {
            const std::string& topic = args[commandAt];
            if (!IsCommand(topic)) {
                return RefuseUsage(
                    json, "help: unknown command " + Quoted(topic) + DidYouMean(topic, kCommandNames),
                    "vardelctl --help");
            }
            helpAt = commandAt + 1;
        }
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(helpAt), "--help");
    } else if (commandAt < args.size() && !IsCommand(args[commandAt])) {
        return RefuseUsage(json,
                           "unknown command " + Quoted(args[commandAt]) +
                               DidYouMean(args[commandAt], kCommandNames),
                           "vardelctl --help");
    }

    CLI::App app{kDescription, "vardelctl"};
    auto layout = std::make_shared<ToolHelp>();
    layout->label("SUBCOMMAND", "COMMAND");
    app.formatter(layout);
    app.footer(std::string(kExamples) + "\n" + kExitCodeHelp);
    app.set_version_flag("--version", "vardelctl " VARDEL_VERSION);
    app.require_subcommand(1, 1);
    // The global options may also follow the command.
    app.fallthrough();

    app.add_flag("--json", options.json, "Machine-readable output on stdout (one JSON object)");
    app.add_option("--device", options.device,
                   "Only this drive: its whole serial (see list), letter (E:) or node (/dev/sdb)")
        ->type_name("DEVICE");
    app.add_flag("--no-journal", options.noJournal,
                 "Change the drive without saving the block as read to the journal first");
    CLI::Option* emulate =
        app.add_option("--emulate", options.scenarioFile,
                       "Run on the built-in emulated drive, or on a scenario FILE's machine")
            ->expected(0, 1)
            ->option_text("[=FILE]");

    CLI::App* status = app.add_subcommand("status", "Show the type of both LUNs");
    status->add_flag("--all", options.all, "On every attached drive, one after the other");
    CLI::App* set = app.add_subcommand("set", "Switch one LUN: set lun0|lun1 removable|fixed");
    set->footer("Example: vardelctl set lun0 fixed --dry-run");
    std::string row;
    std::string type;
    set->add_option("lun", row, "lun0 or lun1")
        ->required()
        ->type_name("lun0|lun1")
        ->check(OneOf({"lun0", "lun1"}));
    set->add_option("type", type, "removable or fixed")
        ->required()
        ->type_name("removable|fixed")
        ->check(OneOf({"removable", "fixed"}));
    set->add_flag("--dry-run", options.dryRun,
                  "Read and show what would be written; write nothing");
    set->add_flag("--all", options.all, "On every attached drive, one after the other");
    CLI::App* write = app.add_subcommand(
        "write", "Write both type bytes from the rows' texts, as the window's Write does");
    write->footer("Example: vardelctl write --lun0 fixed --lun1 removable");
    write
        ->add_option("--lun0", options.lun0Text,
                     "Row Lun0's text: removable, fixed, \"Removable\", \"Fixed Disk\" or a "
                     "hexadecimal byte")
        ->type_name("TEXT");
    write
        ->add_option("--lun1", options.lun1Text,
                     "Row Lun1's text: removable, fixed, \"Removable\", \"Fixed Disk\" or a "
                     "hexadecimal byte")
        ->type_name("TEXT");
    write->add_flag("--dry-run", options.dryRun,
                    "Read and show what would be written; write nothing");
    write->add_flag("--all", options.all, "On every attached drive, one after the other");
    app.add_subcommand("list", "Show every drive that discovery finds");
    CLI::App* backup =
        app.add_subcommand("backup", "Save both blocks of the drive to a JSON file; only reads");
    backup->footer(
        "Examples: vardelctl backup drive.json\n"
        "          vardelctl backup --all backups    one file per drive");
    backup
        ->add_option("file", options.file,
                     "The backup file to write; - for standard output; with --all, a folder")
        ->required()
        ->type_name("FILE");
    backup->add_flag("--force", options.force, "Replace the file if it exists");
    backup->add_flag("--all", options.all,
                     "Every attached drive into the folder given, one file per drive");
    CLI::App* restore =
        app.add_subcommand("restore", "Write a backed-up configuration block onto the same drive");
    restore->footer("Example: vardelctl restore drive.json --dry-run");
    restore->add_option("file", options.file, "A file written by backup")
        ->required()
        ->type_name("FILE");
    restore->add_flag("--yes", options.yes, "Do not ask first");
    restore->add_flag("--allow-no-serial", options.allowNoSerial,
                      "Restore onto a drive without serial from a backup without serial (nothing "
                      "shows that they are one drive)");
    restore->add_flag("--dry-run", options.dryRun,
                      "Read and show the bytes that would change; write nothing");

    CLI::App* history = app.add_subcommand(
        "history", "List the changes kept in the journal: time, drive, rows before and after");
    history->footer(
        "The journal: one file per drive in $XDG_STATE_HOME/vardel/journal (else\n"
        "~/.local/state/vardel/journal; on Windows %LOCALAPPDATA%\\Vardel\\journal), the\n"
        "emulated machines' in emulated/ below it; the newest 20 changes of each drive.\n"
        "VARDEL_JOURNAL, when set, names another folder.\n"
        "Example: vardelctl history --device VD0000000001");
    CLI::App* undo = app.add_subcommand(
        "undo", "Put back the block that the drive's last change replaced, from the journal");
    undo->footer("Example: vardelctl undo --dry-run");
    undo->add_flag("--yes", options.yes, "Do not ask first");
    undo->add_flag("--allow-no-serial", options.allowNoSerial,
                   "Undo on a drive without serial (nothing shows that it is the drive changed)");
    undo->add_flag("--dry-run", options.dryRun,
                   "Read and show the bytes that would change; write nothing");
    undo->add_flag("--all", options.all, "Not taken: undo works on one drive");

    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        command->group("Commands");
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            ParseResult shown;
            shown.end = dynamic_cast<const CLI::CallForVersion*>(&error) != nullptr
                            ? ParseEnd::Version
                            : ParseEnd::Help;
            shown.json = json;
            std::ostringstream text;
            app.exit(error, text, text);
            shown.text = text.str();
            return shown;
        }
        const std::vector<CLI::App*> commands = app.get_subcommands();
        const CLI::App* command = commands.empty() ? nullptr : commands.front();
        const std::string help = command != nullptr ? "vardelctl " + command->get_name() + " --help"
                                                    : "vardelctl --help";
        return RefuseUsage(json, Explain(error, app, command, args), help);
    }

    options.emulate = emulate->count() > 0;
    options.row = CLI::detail::to_lower(row) == "lun1" ? LunRow::Lun1 : LunRow::Lun0;
    options.type = CLI::detail::to_lower(type) == "fixed" ? kLunTypeFixedDisk : kLunTypeRemovable;
    options.deviceGiven = app.count("--device") > 0;
    const std::pair<const char*, Verb> verbs[] = {
        {"status", Verb::Status},   {"set", Verb::Set},       {"write", Verb::Write},
        {"list", Verb::List},       {"backup", Verb::Backup}, {"restore", Verb::Restore},
        {"history", Verb::History}, {"undo", Verb::Undo}};
    for (const auto& [name, verb] : verbs) {
        if (app.get_subcommand(name)->parsed()) options.verb = verb;
    }
    ParseResult result;
    result.json = json;
    return result;
}

}  // namespace vardel::cli
