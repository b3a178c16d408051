#include "vardelctl/tool.h"

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

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

// What the window could hold in a row: nothing (right after start), one of the two words, or a
// text with a hexadecimal digit for the Write command to read.
bool IsRowText(const std::string& text) {
    std::string trimmed = text;
    TrimSpaces(trimmed);
    if (text.empty() || trimmed == kRemovableText || trimmed == kFixedDiskText) return true;
    return text.find_first_of("0123456789abcdefABCDEF") != std::string::npos;
}

// Asks on the terminal; only "y" or "yes" goes on.
bool UserAgrees(const std::string& question, std::istream& in, std::ostream& out) {
    out << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(in, answer);
    TrimSpaces(answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

// Runs the command over the watched platform and reports; returns the exit code.
int RunCommand(const Options& options, AccessWatch& platform, const DeviceKey* device,
               RunNotes notes, const std::optional<RestoreSource>& restore, bool machine,
               std::ostream& out, std::ostream& err) {
    CommandState state;
    ConsoleWindow window(state, options.lun0Text, options.lun1Text);
    CommandContext context{platform, state, window, device};
    CommandOutcome outcome;
    switch (options.verb) {
        case Verb::Status:
            outcome = ReadStatus(context);
            break;
        case Verb::Set: {
            // The binding of the window's button for the same change.
            const bool lun0 = options.row == LunRow::Lun0;
            const bool fixed = options.type == kLunTypeFixedDisk;
            outcome =
                SetLunMode(context, fixed ? (lun0 ? kLun0FixedBinding : kLun1FixedBinding)
                                          : (lun0 ? kLun0RemovableBinding : kLun1RemovableBinding));
            break;
        }
        case Verb::Write:
            outcome = WriteRaw(context);
            break;
        case Verb::List: {
            DeviceListing listing;
            const OutcomeCode code = ListDevices(platform, device, listing);
            DiskDescriptions disks(static_cast<std::size_t>(listing.recorded),
                                   std::vector<DiskDescription>(kLunSlotsPerDevice));
            for (int j = 0; machine && j < listing.recorded; ++j) {
                for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
                    const char letter = listing.devices[j].lunSlots[lun];
                    if (letter != 0) DescribeMachineDisk(letter, disks[j][lun]);
                }
            }
            notes.noRights = platform.SawNoRights();
            ReportListing(options, code, listing, disks, notes, out, err);
            const OutcomeCode shown =
                code == OutcomeCode::Done && listing.count == 0 ? OutcomeCode::NoDrive : code;
            return ExitCodeOf(shown);
        }
        case Verb::Backup: {
            BlockBackup backup;
            outcome = BackupBlocks(platform, state, device, backup);
            if (outcome.code == OutcomeCode::Done) {
                try {
                    WriteBackupFile(options.file, backup);
                } catch (const BackupFileError& error) {
                    return ReportProblem(options, kExitNoSingleDrive, error.what(), out, err);
                }
            }
            break;
        }
        case Verb::Restore:
            outcome = RestoreConfigBlock(platform, state, device, restore->info, restore->key);
            break;
    }
    notes.noRights = platform.SawNoRights();
    ReportOutcome(options, outcome, notes, out, err);
    return ExitCodeOf(outcome.code);
}

}  // namespace

int RunTool(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
    // Everything that can be refused is refused before the first device command.
    if (options.verb == Verb::Write) {
        for (const std::string* text : {&options.lun0Text, &options.lun1Text}) {
            if (!IsRowText(*text)) {
                return ReportProblem(options, kExitUsage,
                                     "write: \"" + *text +
                                         "\" is no row text: give \"Removable\", \"Fixed Disk\" "
                                         "or a hexadecimal number",
                                     out, err);
            }
        }
    }
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
        if (!UserAgrees("Write the configuration block from " + options.file +
                            " onto the drive with serial " + serial + "?",
                        in, out)) {
            err << "Nothing written.\n";
            return kExitDriveRefused;
        }
    }

    AccessWatch watch(*platform, machine != nullptr ? IsNoRightsError : IsEmulatedNoRightsError);
    int exitCode = RunCommand(options, watch, device, notes, restore, machine != nullptr, out, err);

    if (scenario) {
        try {
            scenario->SaveChanges(emulatedPlatform);
        } catch (const ScenarioError& error) {
            err << error.what() << '\n';
            exitCode = kExitNoSingleDrive;
        }
    }
    return exitCode;
}

}  // namespace vardel::cli
