#include "vardelctl/tool.h"

#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "commands/block_backup.h"
#include "commands/device_listing.h"
#include "commands/lun_mode_commands.h"
#include "commands/type_text.h"
#include "frontend_common/access_watch.h"
#include "frontend_common/machine_platform.h"
#include "frontend_common/scenario.h"
#include "platform/emulated/emulated_platform.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/console_window.h"
#include "vardelctl/report.h"
#include "vardelctl/row_text_argument.h"
#include "vardelctl/serial_text.h"
#include "vardelctl/terminal.h"

namespace vardel::cli {

using frontend::AccessWatch;
using frontend::DescribeMachineDisk;
using frontend::DiskDescription;
using frontend::IsEmulatedNoRightsError;
using frontend::IsNoRightsError;
using frontend::MakeMachinePlatform;
using frontend::Scenario;
using frontend::ScenarioError;
namespace {

constexpr char kStandardOutput[] = "-";

// Asks on stderr, so that stdout keeps only the report; only "y" or "yes" goes on.
bool UserAgrees(const std::string& question, std::istream& in, std::ostream& err) {
    err << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(in, answer);
    TrimSpaces(answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

bool PathTaken(const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(std::filesystem::path(path), error).type() !=
           std::filesystem::file_type::not_found;
}

// What a command gave. It is reported only once every file it changes is safe.
struct RunResult {
    CommandOutcome outcome;
    bool isListing = false;
    OutcomeCode listingCode = OutcomeCode::Done;
    DeviceListing listing{};
    DiskDescriptions disks;
    std::unique_ptr<BlockBackup> backup;  // backup: what goes into the file
};

CommandKind KindOf(Verb verb) {
    switch (verb) {
        case Verb::Set:
            return CommandKind::SetLunMode;
        case Verb::Write:
            return CommandKind::WriteRaw;
        case Verb::Backup:
            return CommandKind::Backup;
        case Verb::Restore:
            return CommandKind::Restore;
        case Verb::Status:
        case Verb::List:
            break;
    }
    return CommandKind::ReadStatus;
}

// An empty --device names no drive: it would otherwise read as the key of every drive without
// serial. The command ends as discovery would when nothing matches, and sends nothing.
RunResult MatchNothing(const Options& options) {
    RunResult result;
    result.isListing = options.verb == Verb::List;
    result.listingCode = OutcomeCode::Done;
    result.outcome.command = KindOf(options.verb);
    result.outcome.code = OutcomeCode::NoDrive;
    if (options.verb == Verb::Set) {
        result.outcome.row = options.row;
        result.outcome.requestedType = options.type;
    }
    return result;
}

RunResult RunCommand(const Options& options, AccessWatch& platform, const DeviceKey* device,
                     const std::optional<RestoreSource>& restore, bool machine) {
    RunResult result;
    CommandState state;
    ConsoleWindow window(state, options.lun0Text, options.lun1Text);
    CommandContext context{platform, state, window, device};
    // The console's Write says done only for what the drive kept.
    context.confirmWrite = true;
    switch (options.verb) {
        case Verb::Status:
            result.outcome = ReadStatus(context);
            break;
        case Verb::Set: {
            // The binding of the window's button for the same change.
            const bool lun0 = options.row == LunRow::Lun0;
            const bool fixed = options.type == kLunTypeFixedDisk;
            result.outcome =
                SetLunMode(context, fixed ? (lun0 ? kLun0FixedBinding : kLun1FixedBinding)
                                          : (lun0 ? kLun0RemovableBinding : kLun1RemovableBinding));
            break;
        }
        case Verb::Write:
            result.outcome = WriteRaw(context);
            break;
        case Verb::List: {
            result.isListing = true;
            result.listingCode = ListDevices(platform, device, result.listing);
            result.disks.assign(static_cast<std::size_t>(result.listing.recorded),
                                std::vector<DiskDescription>(kLunSlotsPerDevice));
            for (int j = 0; machine && j < result.listing.recorded; ++j) {
                for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
                    const char letter = result.listing.devices[j].lunSlots[lun];
                    if (letter != 0) DescribeMachineDisk(letter, result.disks[j][lun]);
                }
            }
            break;
        }
        case Verb::Backup:
            result.backup = std::make_unique<BlockBackup>();
            result.outcome = BackupBlocks(platform, state, device, *result.backup);
            break;
        case Verb::Restore:
            result.outcome = RestoreConfigBlock(platform, state, device, restore->info,
                                                restore->identity, options.allowNoSerial);
            break;
    }
    return result;
}

int Report(const Options& options, const RunResult& result, const RunNotes& notes,
           std::ostream& out, std::ostream& err) {
    if (result.isListing) {
        ReportListing(options, result.listingCode, result.listing, result.disks, notes, out, err);
        const OutcomeCode shown = result.listingCode == OutcomeCode::Done && result.listing.count == 0
                                      ? OutcomeCode::NoDrive
                                      : result.listingCode;
        return ExitCodeOf(shown);
    }
    ReportOutcome(options, result.outcome, notes, out, err);
    return ExitCodeOf(result.outcome.code);
}

// Checks what can be refused before the first device command; -1 to go on.
int CheckArguments(Options& options, std::ostream& out, std::ostream& err) {
    if (options.verb == Verb::Write) {
        for (std::string* text : {&options.lun0Text, &options.lun1Text}) {
            std::string rowText;
            std::string problem;
            if (!RowTextFromArgument(*text, rowText, problem)) {
                return ReportProblem(options, kExitUsage, "write: " + problem, out, err);
            }
            *text = rowText;
        }
    }
    if (options.verb == Verb::Backup) {
        if (options.file == kStandardOutput && options.json) {
            return ReportProblem(options, kExitUsage,
                                 "backup -: standard output carries the backup, so it cannot "
                                 "carry the --json report as well; give a file",
                                 out, err);
        }
        if (options.file != kStandardOutput && !options.force && PathTaken(options.file)) {
            return ReportProblem(options, kExitUsage,
                                 options.file + ": exists; give --force to replace it", out, err);
        }
    }
    return -1;
}

}  // namespace

int RunTool(const Options& given, std::istream& in, std::ostream& out, std::ostream& err) {
    Options options = given;
    // Everything that can be refused is refused before the first device command.
    if (const int refused = CheckArguments(options, out, err); refused >= 0) return refused;

    DeviceKey deviceKey{};
    if (options.deviceGiven && !DeviceKeyFromSerialText(options.device, deviceKey)) {
        return ReportProblem(options, kExitUsage,
                             "--device: \"" + options.device + "\" is no serial", out, err);
    }
    const DeviceKey* device = options.deviceGiven ? &deviceKey : nullptr;

    RunNotes notes;
    std::optional<RestoreSource> restore;
    if (options.verb == Verb::Backup || options.verb == Verb::Restore) notes.file = options.file;
    if (options.verb == Verb::Restore) {
        try {
            restore = ReadBackupFile(options.file);
        } catch (const BackupFileError& error) {
            return ReportProblem(options, kExitUsage, error.what(), out, err);
        }
        notes.serial = restore->serial;
        if (!options.yes && !IsInteractive()) {
            return ReportProblem(options, kExitUsage,
                                 "restore writes a whole configuration block and asks first; "
                                 "without a terminal to ask on, give --yes",
                                 out, err);
        }
    }

    std::unique_ptr<Platform> machine;
    emulated::EmulatedPlatform emulatedPlatform;
    std::optional<Scenario> scenario;
    Platform* platform = &emulatedPlatform;
    if (options.emulate && !options.scenarioFile.empty()) {
        try {
            scenario = Scenario::Load(options.scenarioFile);
        } catch (const ScenarioError& error) {
            return ReportProblem(options, kExitUsage, error.what(), out, err);
        }
        scenario->SetUp(emulatedPlatform);
    } else if (options.emulate) {
        emulated::SetUpStandardMachine(emulatedPlatform);
    } else {
        machine = MakeMachinePlatform();
        if (machine == nullptr) {
            return ReportProblem(options, kExitNoSingleDrive,
                                 "This vardelctl is built without access to the machine's "
                                 "drives; try vardelctl --emulate status",
                                 out, err);
        }
        platform = machine.get();
    }

    if (restore && !options.yes) {
        const std::string serial = restore->serial.empty() ? "(none)" : restore->serial;
        std::string question = "Write the configuration block from " + options.file +
                               " onto the drive with serial " + serial + "?";
        if (restore->serial.empty()) {
            question += " Neither carries a serial: nothing shows that the backup is this "
                        "drive's.";
        }
        if (!UserAgrees(question, in, err)) return ReportDeclined(options, notes, out, err);
    }

    AccessWatch watch(*platform, machine != nullptr ? IsNoRightsError : IsEmulatedNoRightsError);
    const bool matchNothing = options.deviceGiven && options.device.empty();
    RunResult result = matchNothing ? MatchNothing(options)
                                    : RunCommand(options, watch, device, restore, machine != nullptr);
    notes.noRights = watch.SawNoRights();

    // The files first: a run whose change could not be kept says so, and nothing else.
    const bool toStandardOutput = options.file == kStandardOutput;
    if (result.backup && result.outcome.code == OutcomeCode::Done) {
        if (toStandardOutput) {
            out << BackupFileText(*result.backup) << std::flush;
        } else {
            try {
                WriteBackupFile(options.file, *result.backup, options.force);
            } catch (const BackupFileExists& error) {
                return ReportProblem(options, kExitUsage, error.what(), out, err);
            } catch (const BackupFileError& error) {
                return ReportProblem(options, kExitNoSingleDrive, error.what(), out, err);
            }
        }
    }
    if (scenario) {
        try {
            scenario->SaveChanges(emulatedPlatform);
        } catch (const ScenarioError& error) {
            return ReportProblem(options, kExitNoSingleDrive,
                                 std::string(error.what()) +
                                     "; the emulated drive's new state is lost",
                                 out, err);
        }
    }
    // With the backup on stdout, the report goes beside it to stderr.
    return Report(options, result, notes, toStandardOutput && options.verb == Verb::Backup ? err : out,
                  err);
}

}  // namespace vardel::cli
