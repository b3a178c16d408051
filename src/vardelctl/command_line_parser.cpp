#include "vardelctl/command_line_parser.h"

#include <algorithm>
#include <memory>

#include "vardelctl/exit_codes.h"
#include "vardelctl/suggestion.h"

namespace vardel::cli {

const std::vector<std::string> kCommandNames = {"status", "set",     "write",   "list",
                                                "backup", "restore", "history", "undo"};
const char* const kGlobalOptionNames[8] = {"--json",    "--device",  "--no-journal", "--direct",
                                           "--service", "--emulate", "--help",       "--version"};
const char kVersionText[] = "vardelctl " VARDEL_VERSION "\n";

namespace {

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

// A global option as the parser takes it and as the help lists it.
struct GlobalOption {
    const char* names;
    const char* shown;  // the help's left column
    const char* description;
};

// The parser's own help and version flags, as it describes them.
constexpr GlobalOption kHelp = {"-h,--help", "-h,--help", "Print this help message and exit"};
constexpr GlobalOption kVersion = {"--version", "--version",
                                   "Display program version information and exit"};
constexpr GlobalOption kJson = {"--json", "-j,--json",
                                "Machine-readable output on stdout (one JSON object)"};
constexpr GlobalOption kDevice = {
    "--device", "-d,--device DEVICE",
    "Only this drive: its whole serial (see list), letter (E:) or node (/dev/sdb)"};
constexpr GlobalOption kNoJournal = {
    "--no-journal", "--no-journal",
    "Change the drive without saving the block as read to the journal first"};
constexpr GlobalOption kDirect = {
    "--direct", "--direct",
    "Reach the drive directly, not through the drive service (the default as root)"};
constexpr GlobalOption kService = {
    "--service", "--service", "Go through the drive service (the default without root on Linux)"};
constexpr GlobalOption kEmulate = {
    "--emulate", "--emulate[=FILE]",
    "Run on the built-in emulated drive, or on a scenario FILE's machine"};

// Shows an optional value glued to its option, as it is typed: --emulate[=FILE].
class ToolHelp : public CLI::Formatter {
  public:
    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string text = option->get_option_text();
        if (text.rfind("[=", 0) == 0) return text;
        return CLI::Formatter::make_option_opts(option);
    }
};

// The word in lower case, its spaces dropped at both ends and each run of them inside made one.
std::string Folded(const std::string& typed) {
    std::string folded;
    for (const char c : CLI::detail::to_lower(typed)) {
        if (c != ' ' && c != '\t') {
            folded += c;
        } else if (!folded.empty() && folded.back() != ' ') {
            folded += ' ';
        }
    }
    if (!folded.empty() && folded.back() == ' ') folded.pop_back();
    return folded;
}

// The suggestion comes from `words` and what else the word may be (the tool's own "Fixed Disk").
std::string NotOneOf(const std::string& typed, const std::vector<std::string>& words) {
    std::vector<std::string> meant = words;
    if (words[1] == "fixed") meant.push_back("Fixed Disk");
    return Quoted(typed) + " is not " + words[0] + " or " + words[1] +
           DidYouMean(CLI::detail::to_lower(typed), meant);
}

// Made where they are needed: a global would cost every run its set-up.
std::vector<std::string> RowWords() {
    return {"lun0", "lun1"};
}

std::vector<std::string> TypeWords() {
    return {"removable", "fixed"};
}

// Takes a word that `canonical` knows; the value stays as typed.
CLI::Validator OneOf(std::string (*canonical)(const std::string&),
                     const std::vector<std::string>& words) {
    return CLI::Validator(
        [canonical, words](std::string& value) -> std::string {
            return canonical(value).empty() ? NotOneOf(value, words) : std::string();
        },
        "");
}

void AddStatus(CLI::App& command, CommandLineParser& /*parser*/, Options& options) {
    command.add_flag("--all", options.all, "On every attached drive, one after the other");
}

void AddSet(CLI::App& command, CommandLineParser& parser, Options& options) {
    command.footer("Example: vardelctl set lun0 fixed --dry-run");
    command.add_option("lun", parser.row, "lun0 or lun1")
        ->required()
        ->type_name("lun0|lun1")
        ->check(OneOf(RowWord, RowWords()));
    command.add_option("type", parser.type, "removable or fixed")
        ->required()
        ->type_name("removable|fixed")
        ->check(OneOf(TypeWord, TypeWords()));
    command.add_flag(parser.Names("-n", "--dry-run"), options.dryRun,
                     "Read and show what would be written; write nothing");
    command.add_flag("--all", options.all, "On every attached drive, one after the other");
}

void AddWrite(CLI::App& command, CommandLineParser& parser, Options& options) {
    command.footer("Example: vardelctl write --lun0 fixed --lun1 removable");
    command
        .add_option("--lun0", options.lun0Text,
                    "Row Lun0's text: removable, fixed, \"Removable\", \"Fixed Disk\" or a "
                    "hexadecimal byte")
        ->type_name("TEXT");
    command
        .add_option("--lun1", options.lun1Text,
                    "Row Lun1's text: removable, fixed, \"Removable\", \"Fixed Disk\" or a "
                    "hexadecimal byte")
        ->type_name("TEXT");
    command.add_flag(parser.Names("-n", "--dry-run"), options.dryRun,
                     "Read and show what would be written; write nothing");
    command.add_flag("--all", options.all, "On every attached drive, one after the other");
}

// list has no options of its own.
void AddList(CLI::App& /*command*/, CommandLineParser& /*parser*/, Options& /*options*/) {}

void AddBackup(CLI::App& command, CommandLineParser& /*parser*/, Options& options) {
    command.footer(
        "Examples: vardelctl backup drive.json\n"
        "          vardelctl backup --all backups    one file per drive");
    command
        .add_option("file", options.file,
                    "The backup file to write; - for standard output; with --all, a folder")
        ->required()
        ->type_name("FILE");
    command.add_flag("--force", options.force, "Replace the file if it exists");
    command.add_flag("--all", options.all,
                     "Every attached drive into the folder given, one file per drive");
}

void AddRestore(CLI::App& command, CommandLineParser& parser, Options& options) {
    command.footer("Example: vardelctl restore drive.json --dry-run");
    command.add_option("file", options.file, "A file written by backup")
        ->required()
        ->type_name("FILE");
    command.add_flag("--yes", options.yes, "Do not ask first");
    command.add_flag("--allow-no-serial", options.allowNoSerial,
                     "Restore onto a drive without serial from a backup without serial (nothing "
                     "shows that they are one drive)");
    command.add_flag(parser.Names("-n", "--dry-run"), options.dryRun,
                     "Read and show the bytes that would change; write nothing");
}

void AddHistory(CLI::App& command, CommandLineParser& /*parser*/, Options& /*options*/) {
    command.footer(
        "The journal: one file per drive in $XDG_STATE_HOME/vardel/journal (else\n"
        "~/.local/state/vardel/journal; on Windows %LOCALAPPDATA%\\Vardel\\journal), the\n"
        "emulated machines' in emulated/ below it; the newest 20 changes of each drive.\n"
        "VARDEL_JOURNAL, when set, names another folder.\n"
        "Example: vardelctl history --device VD0000000001");
}

void AddUndo(CLI::App& command, CommandLineParser& parser, Options& options) {
    command.footer("Example: vardelctl undo --dry-run");
    command.add_flag("--yes", options.yes, "Do not ask first");
    command.add_flag("--allow-no-serial", options.allowNoSerial,
                     "Undo on a drive without serial (nothing shows that it is the drive changed)");
    command.add_flag("--replugged", options.replugged,
                     "Undo a change made where no attached drive sits now: this drive, replugged "
                     "since (its SCSI address was another then)");
    command.add_flag(parser.Names("-n", "--dry-run"), options.dryRun,
                     "Read and show the bytes that would change; write nothing");
    command.add_flag("--all", options.all, "Not taken: undo works on one drive");
}

using OptionsAdder = void (*)(CLI::App& command, CommandLineParser& parser, Options& options);

struct Command {
    const char* summary;  // the line the main help shows
    OptionsAdder addOptions;
};

// In kCommandNames' order.
const Command kCommands[] = {
    {"Show the type of both LUNs", AddStatus},
    {"Switch one LUN: set lun0|lun1 removable|fixed", AddSet},
    {"Write both type bytes from the rows' texts, as the window's Write does", AddWrite},
    {"Show every drive that discovery finds", AddList},
    {"Save both blocks of the drive to a JSON file; only reads", AddBackup},
    {"Write a backed-up configuration block onto the same drive", AddRestore},
    {"List the changes kept in the journal: time, drive, rows before and after", AddHistory},
    {"Put back the block that the drive's last change replaced, from the journal", AddUndo},
};

// One line of the help's tables: the name in a column of 30, then what it is.
void AddHelpLine(std::string& text, const char* name, const char* description) {
    constexpr std::size_t kColumn = 30;
    std::string line = std::string("  ") + name;
    if (line.size() < kColumn) line.append(kColumn - line.size(), ' ');
    text += line + description + "\n";
}

}  // namespace

std::string MainHelpText() {
    std::string text =
        std::string(kDescription) + "\nUsage: vardelctl [OPTIONS] COMMAND\n\nOptions:\n";
    for (const GlobalOption* option :
         {&kHelp, &kVersion, &kJson, &kDevice, &kNoJournal, &kDirect, &kService, &kEmulate}) {
        AddHelpLine(text, option->shown, option->description);
    }
    text += "\nCommands:\n";
    for (std::size_t i = 0; i < kCommandNames.size(); ++i) {
        AddHelpLine(text, kCommandNames[i].c_str(), kCommands[i].summary);
    }
    return text + "\n" + kExamples + "\n" + kExitCodeHelp + "\n";
}

std::string RowWord(const std::string& typed) {
    std::string word = Folded(typed);
    word.erase(std::remove(word.begin(), word.end(), ' '), word.end());
    if (word == "0" || word == "1") word = "lun" + word;
    return word == "lun0" || word == "lun1" ? word : std::string();
}

std::string TypeWord(const std::string& typed) {
    const std::string word = Folded(typed);
    if (word == "removable") return word;
    if (word == "fixed" || word == "fixed disk") return "fixed";
    return std::string();
}

std::string RowWordProblem(const std::string& typed) {
    return "lun: " + NotOneOf(typed, RowWords());
}

std::string TypeWordProblem(const std::string& typed) {
    return "type: " + NotOneOf(typed, TypeWords());
}

void SpellOutShortOptions(std::vector<std::string>& args, std::vector<std::string>* typed) {
    if (typed != nullptr) *typed = args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string word = args[i];
        if (word == "--") return;
        if (word.size() < 2 || word[0] != '-' || word[1] == '-') continue;
        // As getopt reads a bundle: -j and -n stand alone, and -d takes the rest of the word as
        // its value ("-jdE"), or the next word when nothing follows it ("-jd E").
        std::vector<std::string> spelt;
        std::vector<std::string> shortForms;
        bool ours = true;
        for (std::size_t at = 1; at < word.size() && ours; ++at) {
            if (word[at] == 'j' || word[at] == 'n') {
                spelt.push_back(word[at] == 'j' ? "--json" : "--dry-run");
                shortForms.push_back(std::string("-") + word[at]);
            } else if (word[at] == 'd') {
                const std::string value = word.substr(at + 1);
                spelt.push_back(value.empty() ? "--device" : "--device=" + value);
                shortForms.push_back("-d" + value);
                break;
            } else {
                ours = false;
            }
        }
        if (!ours) continue;
        const auto at = static_cast<std::ptrdiff_t>(i);
        args.erase(args.begin() + at);
        args.insert(args.begin() + at, spelt.begin(), spelt.end());
        if (typed != nullptr) {
            typed->erase(typed->begin() + at);
            typed->insert(typed->begin() + at, shortForms.begin(), shortForms.end());
        }
        i += spelt.size() - 1;
    }
}

std::string CommandLineParser::Names(const char* shortName, const char* longName) const {
    return shortNames ? std::string(shortName) + "," + longName : std::string(longName);
}

CommandLineParser::CommandLineParser(Options& options, const std::string& only, CommandParts parts,
                                     ShortNames shortNamesHeld)
    : app(kDescription, "vardelctl"), shortNames(shortNamesHeld == ShortNames::Held) {
    // What only a help or --version shows is set up only for them: each part costs every run.
    if (shortNames) {
        auto layout = std::make_shared<ToolHelp>();
        layout->label("SUBCOMMAND", "COMMAND");
        app.formatter(layout);
        app.footer(std::string(kExamples) + "\n" + kExitCodeHelp);
        app.set_version_flag("--version", "vardelctl " VARDEL_VERSION);
    }
    app.require_subcommand(1, 1);
    // Options are "--" words on every system: a path that starts with "/" (a folder under Wine,
    // a node named to --device) is an argument, never a Windows-style "/option".
    app.allow_windows_style_options(false);
    // The global options may also follow the command.
    app.fallthrough();

    app.add_flag(Names("-j", kJson.names), options.json, kJson.description);
    app.add_option(Names("-d", kDevice.names), options.device, kDevice.description)
        ->type_name("DEVICE");
    app.add_flag(kNoJournal.names, options.noJournal, kNoJournal.description);
    app.add_flag(kDirect.names, options.direct, kDirect.description);
    app.add_flag(kService.names, options.service, kService.description);
    emulate = app.add_option(kEmulate.names, options.scenarioFile, kEmulate.description)
                  ->expected(0, 1)
                  ->option_text("[=FILE]");

    for (std::size_t i = 0; i < kCommandNames.size(); ++i) {
        if (!only.empty() && only != kCommandNames[i]) continue;
        CLI::App* command = app.add_subcommand(kCommandNames[i], kCommands[i].summary);
        if (parts == CommandParts::Whole) kCommands[i].addOptions(*command, *this, options);
    }
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        command->group("Commands");
    }
}

}  // namespace vardel::cli
