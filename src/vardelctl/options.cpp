#include "vardelctl/options.h"

#include <CLI/CLI.hpp>

#include "drive/lun_type.h"
#include "vardelctl/report.h"

namespace vardel::cli {
namespace {

constexpr char kDescription[] =
    "Shows and switches the type (Removable or Fixed Disk) of the two LUNs of the attached\n"
    "drive, and keeps a backup of its configuration block. Exit codes: 0 success; 1 the drive\n"
    "refused or did not confirm; 2 no drive, several drives or unknown error; 64 usage.";

}  // namespace

int ParseOptions(int argc, char** argv, Options& options, std::ostream& out, std::ostream& err) {
    CLI::App app{kDescription, "vardelctl"};
    app.set_version_flag("--version", "vardelctl " VARDEL_VERSION);
    app.require_subcommand(1, 1);
    // The global options may also follow the command.
    app.fallthrough();

    app.add_flag("--json", options.json, "Machine-readable output on stdout (one JSON object)");
    app.add_option("--device", options.device,
                   "Work only on the drive with this serial (as `list` shows it)");
    CLI::Option* emulate =
        app.add_option("--emulate", options.scenarioFile,
                       "Run on an emulated drive: the built-in machine, or --emulate=FILE, a "
                       "scenario file that receives the drive's new state")
            ->expected(0, 1);

    CLI::App* status = app.add_subcommand("status", "Show the type of both LUNs");
    CLI::App* set = app.add_subcommand("set", "Switch one LUN: set lun0|lun1 removable|fixed");
    std::string row;
    std::string type;
    set->add_option("lun", row, "lun0 or lun1")
        ->required()
        ->check(CLI::IsMember({"lun0", "lun1"}, CLI::ignore_case));
    set->add_option("type", type, "removable or fixed")
        ->required()
        ->check(CLI::IsMember({"removable", "fixed"}, CLI::ignore_case));
    CLI::App* write = app.add_subcommand(
        "write", "Write both type bytes from the rows' texts, as the window's Write does");
    write->add_option("--lun0", options.lun0Text,
                      "Row Lun0's text: \"Removable\", \"Fixed Disk\" or hexadecimal");
    write->add_option("--lun1", options.lun1Text,
                      "Row Lun1's text: \"Removable\", \"Fixed Disk\" or hexadecimal");
    CLI::App* list = app.add_subcommand("list", "Show every drive that discovery finds");
    CLI::App* backup =
        app.add_subcommand("backup", "Save both blocks of the drive to a JSON file; only reads");
    backup->add_option("file", options.file, "The backup file to write; - for standard output")
        ->required();
    backup->add_flag("--force", options.force, "Replace the file if it exists");
    CLI::App* restore =
        app.add_subcommand("restore", "Write a backed-up configuration block onto the same drive");
    restore->add_option("file", options.file, "A file written by backup")->required();
    restore->add_flag("--yes", options.yes, "Do not ask first");
    restore->add_flag("--allow-no-serial", options.allowNoSerial,
                      "Restore onto a drive without serial from a backup without serial (nothing "
                      "shows that they are one drive)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // A usage error still answers in JSON when JSON was asked for, wherever the parse stopped.
        bool json = false;
        for (int i = 1; i < argc; ++i) json |= std::string(argv[i]) == "--json";
        if (error.get_exit_code() != 0 && json) {
            options.json = true;
            return ReportProblem(options, kExitUsage, error.what(), out, err);
        }
        return app.exit(error, out, err) == 0 ? kExitSuccess : kExitUsage;
    }

    options.emulate = emulate->count() > 0;
    options.row = CLI::detail::to_lower(row) == "lun1" ? LunRow::Lun1 : LunRow::Lun0;
    options.type = CLI::detail::to_lower(type) == "fixed" ? kLunTypeFixedDisk : kLunTypeRemovable;
    options.deviceGiven = app.count("--device") > 0;
    const std::pair<CLI::App*, Verb> verbs[] = {{status, Verb::Status}, {set, Verb::Set},
                                                {write, Verb::Write},   {list, Verb::List},
                                                {backup, Verb::Backup}, {restore, Verb::Restore}};
    for (const auto& [command, verb] : verbs) {
        if (command->parsed()) options.verb = verb;
    }
    return -1;
}

}  // namespace vardel::cli
