#include "vardelctl/tool.h"

#include <cstring>

#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "commands/block_backup.h"
#include "commands/device_listing.h"
#include "commands/drive_lock.h"
#include "commands/type_text.h"
#include "files/standard_output.h"
#include "journal/drive_journal.h"
#include "journal/journal_place.h"
#include "machine/access_watch.h"
#include "machine/device_name.h"
#include "machine/machine_platform.h"
#include "platform/emulated/emulated_platform.h"
#include "scenario/scenario.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/change_text.h"
#include "vardelctl/command_run.h"
#include "vardelctl/every_drive.h"
#include "vardelctl/journal_commands.h"
#include "vardelctl/report.h"
#include "vardelctl/report_text.h"
#include "vardelctl/row_text_argument.h"
#include "vardelctl/run_steps.h"
#include "vardelctl/service_run.h"
#include "vardelctl/terminal.h"
#include "vardelctl/tool_lines.h"

namespace vardel::cli {

using frontend::AccessWatch;
using frontend::ChooseDevice;
using frontend::DescribeMachineDisk;
using frontend::DeviceChoice;
using frontend::DeviceChoiceResult;
using frontend::DeviceName;
using frontend::DiskDescriber;
using frontend::IsEmulatedNoRightsError;
using frontend::IsNoRightsError;
using frontend::MakeMachinePlatform;
using frontend::ParseDeviceName;
using frontend::Scenario;
using frontend::ScenarioBusy;
using frontend::ScenarioError;
namespace {

// set, write, restore and undo, unless they run dry.
bool MayChangeDrives(const Options& options) {
    return !options.dryRun && (options.verb == Verb::Set || options.verb == Verb::Write ||
                               options.verb == Verb::Restore || options.verb == Verb::Undo);
}

enum class PathState { Free, Taken, Unreachable };

// Whether something is at `path` (a link counts, even a dangling one). Unreachable: the system
// cannot even tell (a name too long, a folder that may not be searched), with its reason in
// `problem`; --force could not help there.
PathState LookAtPath(const std::string& path, std::string& problem) {
    std::error_code error;
    const std::filesystem::file_type type =
        std::filesystem::symlink_status(std::filesystem::path(path), error).type();
    if (type == std::filesystem::file_type::not_found) return PathState::Free;
    if (type == std::filesystem::file_type::none) {
        problem = path + ": cannot be written (" + error.message() + ")";
        return PathState::Unreachable;
    }
    return PathState::Taken;
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
    if (options.verb == Verb::Undo && options.all) {
        return ReportProblem(options, kExitUsage,
                             "undo puts back the last change of one drive, not of every drive: "
                             "give --device to choose it",
                             out, err);
    }
    if (options.all && options.deviceGiven) {
        return ReportProblem(options, kExitUsage,
                             "--all runs on every drive, --device on one: give only one of them",
                             out, err);
    }
    if (options.verb == Verb::Backup && options.all) {
        if (options.file == kStandardOutput) {
            return ReportProblem(options, kExitUsage,
                                 "backup --all writes one file per drive into a folder; give the "
                                 "folder, not -",
                                 out, err);
        }
    } else if (options.verb == Verb::Backup) {
        if (options.file == kStandardOutput && options.json) {
            return ReportProblem(options, kExitUsage,
                                 "backup -: standard output carries the backup, so it cannot "
                                 "carry the --json report as well; give a file",
                                 out, err);
        }
        std::string problem;
        const PathState state =
            options.file == kStandardOutput ? PathState::Free : LookAtPath(options.file, problem);
        if (state == PathState::Unreachable) {
            return ReportProblem(options, kExitFileNotWritten, problem, out, err);
        }
        if (state == PathState::Taken && !options.force) {
            return ReportProblem(options, kExitUsage,
                                 options.file + ": exists; give --force to replace it", out, err);
        }
    }
    return -1;
}

// What --device names, turned into the physical device discovery narrows to. -1 to go on with
// `device`, or the exit code of the report that it names no drive, or several.
int FindDevice(const Options& options, const DeviceName& name, AccessWatch& platform, bool machine,
               RunNotes& notes, PhysicalDevice& device, std::ostream& out, std::ostream& err) {
    DeviceListing listing{};
    const OutcomeCode listed = ListDevices(platform, nullptr, listing);
    notes.noRights = platform.SawNoRights();
    if (listed != OutcomeCode::Done || listing.count == 0) {
        const OutcomeCode code = listed != OutcomeCode::Done ? listed : OutcomeCode::NoDrive;
        return ReportResult(options, EndedInDiscovery(options, code), notes, out, err);
    }
    const DeviceChoice choice =
        ChooseDevice(listing, name, machine ? DiskDescriber(DescribeMachineDisk) : nullptr);
    if (choice.result == DeviceChoiceResult::Found) {
        device = choice.device;
        return -1;
    }
    return ReportDeviceChoice(
        options, listing, choice, machine,
        [machine](const DeviceListing& some) { return DescribeDisks(some, machine); }, notes, out,
        err);
}

// A restore that asks first shows what it would change: it reads the drive as it would before
// writing, and writes nothing. -1 to go on and write, or the exit code it ended with.
int AskBeforeRestore(const Options& options, AccessWatch& platform, const PhysicalDevice* device,
                     RestoreSource& restore, bool machine, RunNotes& notes, std::istream& in,
                     std::ostream& out, std::ostream& err) {
    RestoreView preview{};
    preview.dryRun = true;
    // Only reads: no journal entry.
    RunResult looked = RunCommand(options, platform, device, &restore, &preview, machine, nullptr);
    // No drive: the run itself says so, and whether --device meant another.
    if (looked.outcome.code == OutcomeCode::NoDrive) return -1;
    notes.noRights = platform.SawNoRights();
    NoteChanges(notes, preview, restore.info);
    NoteSinceChange(notes, preview, restore);
    NoteFailure(notes, looked.outcome, machine);
    // The answer is to the bytes shown: a drive that holds others by the write is not written.
    if (preview.blockRead) {
        restore.shown = true;
        std::memcpy(restore.shownBlock, preview.asRead, sizeof(restore.shownBlock));
    }
    return AskAfterLooking(options, looked, notes, restore, in, out, err);
}

// The files first: a run whose change could not be kept says so, and nothing else. -1 when the
// backup and the scenario's new state are safe.
int KeepFiles(const Options& options, const RunResult& result, std::optional<Scenario>& scenario,
              emulated::EmulatedPlatform& emulatedPlatform, std::ostream& out, std::ostream& err) {
    if (result.backup && result.outcome.code == OutcomeCode::Done) {
        if (const int lost = KeepBackup(options, *result.backup, out, err); lost >= 0) return lost;
    }
    if (scenario) {
        try {
            scenario->SaveChanges(emulatedPlatform);
        } catch (const ScenarioError& error) {
            return ReportProblem(
                options, kExitFileNotWritten,
                std::string(error.what()) + "; the emulated drive's new state is lost", out, err);
        }
    }
    return -1;
}

// --device's text as the name of a drive, checked before the route is taken; -1 to go on.
int ReadDeviceName(const Options& options, DeviceName& deviceName, std::ostream& out,
                   std::ostream& err) {
    if (options.deviceGiven && !options.device.empty() &&
        !ParseDeviceName(options.device, deviceName)) {
        return ReportProblem(
            options, kExitUsage,
            "--device: \"" + options.device + "\" is no serial, drive letter or device node", out,
            err);
    }
    if (options.verb == Verb::History && options.deviceGiven &&
        deviceName.kind != frontend::DeviceNameKind::Serial) {
        return ReportProblem(options, kExitUsage,
                             "history reads only the journal: --device takes a drive's serial "
                             "here, not a letter or node",
                             out, err);
    }
    return -1;
}

// What restore puts back comes from its file, read before any drive is; undo's comes from the
// journal later. Either asks first, so a run without a terminal must say --yes. -1 to go on.
int ReadWhatToPutBack(const Options& options, std::optional<RestoreSource>& restore,
                      RunNotes& notes, std::ostream& out, std::ostream& err) {
    if (options.verb == Verb::Undo && !options.yes && !options.dryRun && !IsInteractive()) {
        return ReportProblem(options, kExitUsage,
                             "undo writes a whole configuration block and asks first; without a "
                             "terminal to ask on, give --yes",
                             out, err);
    }
    if (options.verb == Verb::Backup || options.verb == Verb::Restore) notes.file = options.file;
    if (options.verb != Verb::Restore) return -1;
    try {
        restore = ReadBackupFile(options.file);
    } catch (const BackupFileError& error) {
        return ReportProblem(options, kExitUsage, error.what(), out, err);
    }
    notes.serial = restore->serial;
    if (!options.yes && !options.dryRun && !IsInteractive()) {
        return ReportProblem(options, kExitUsage,
                             "restore writes a whole configuration block and asks first; "
                             "without a terminal to ask on, give --yes",
                             out, err);
    }
    return -1;
}

// The drives a direct run talks to: the machine's, or emulated ones from a scenario file or the
// built-in machine.
struct DrivesAtHand {
    std::unique_ptr<Platform> machine;
    emulated::EmulatedPlatform emulated;
    std::optional<Scenario> scenario;

    Platform& Used() { return machine != nullptr ? *machine : emulated; }
};

// Sets up the drives the options name; -1 to go on, or the exit code of the report why not.
int SetUpDrives(const Options& options, DrivesAtHand& drives, RunNotes& notes, std::ostream& out,
                std::ostream& err) {
    if (options.emulate && !options.scenarioFile.empty()) {
        try {
            // The file is the emulated drives' state: a run that may change it holds it from the
            // read to the write-back, as a command holds a real drive.
            drives.scenario =
                MayChangeDrives(options)
                    ? Scenario::LoadToChange(options.scenarioFile, kDriveLockWaitMilliseconds)
                    : Scenario::Load(options.scenarioFile);
        } catch (const ScenarioBusy&) {
            return ReportResult(options, EndedInDiscovery(options, OutcomeCode::Busy), notes, out,
                                err);
        } catch (const ScenarioError& error) {
            return ReportProblem(options, kExitUsage, error.what(), out, err);
        }
        drives.scenario->SetUp(drives.emulated);
    } else if (options.emulate) {
        emulated::SetUpStandardMachine(drives.emulated);
    } else {
        drives.machine = MakeMachinePlatform();
        if (drives.machine == nullptr) {
            return ReportProblem(options, kExitNoMachineAccess,
                                 "this vardelctl is built without access to the machine's "
                                 "drives; try vardelctl --emulate status",
                                 out, err);
        }
    }
    return -1;
}

// The drive the command runs on: every drive (none chosen), the one --device names, or none at
// all where --device is empty.
struct Target {
    bool matchNothing = false;
    bool found = false;
    PhysicalDevice chosen{};

    const PhysicalDevice* Device() const { return found ? &chosen : nullptr; }
};

// An empty --device names no drive: it would otherwise read as the key of every drive without
// serial. The command then ends as discovery would when nothing matches, and sends nothing.
int ChooseTarget(const Options& options, const DeviceName& deviceName, AccessWatch& watch,
                 bool onMachine, RunNotes& notes, Target& target, std::ostream& out,
                 std::ostream& err) {
    target.matchNothing = options.deviceGiven && options.device.empty();
    if (!options.deviceGiven || target.matchNothing) return -1;
    const int ended =
        FindDevice(options, deviceName, watch, onMachine, notes, target.chosen, out, err);
    if (ended >= 0) return ended;
    target.found = true;
    return -1;
}

// Undo finds the change it puts back in the journal; a restore or undo not told --yes shows
// what it would change and asks. -1 to go on and write.
int PrepareToPutBack(const Options& options, AccessWatch& watch, const Target& target,
                     const std::string& journalFolder, const std::string& journalProblem,
                     bool onMachine, std::optional<RestoreSource>& restore, RunNotes& notes,
                     std::istream& in, std::ostream& out, std::ostream& err) {
    if (target.matchNothing) return -1;
    if (options.verb == Verb::Undo) {
        restore.emplace();
        const int ended = FindChangeToUndo(options, watch, target.Device(), journalFolder,
                                           journalProblem, onMachine, *restore, notes, out, err);
        if (ended >= 0) return ended;
    }
    if (restore && !options.yes && !options.dryRun) {
        return AskBeforeRestore(options, watch, target.Device(), *restore, onMachine, notes, in,
                                out, err);
    }
    return -1;
}

// What a run did: on every drive (--all) or on the one.
struct Ran {
    EveryDriveRun every;
    RunResult result;
    RestoreView view{};
};

void RunOnTarget(const Options& options, AccessWatch& watch, const Target& target,
                 const std::optional<RestoreSource>& restore, bool onMachine,
                 frontend::DriveJournal* journal, Ran& ran) {
    ran.view.dryRun = options.dryRun;
    if (options.all) {
        ran.every = RunOnEveryDrive(options, watch, onMachine, journal);
        return;
    }
    ran.result = target.matchNothing
                     ? EndedInDiscovery(options, OutcomeCode::NoDrive)
                     : RunCommand(options, watch, target.Device(), restore ? &*restore : nullptr,
                                  &ran.view, onMachine, journal);
}

// What the report says beside the outcome: rights missing, the failure's detail, what a restore
// changed, why the journal was not kept.
void NoteRun(const AccessWatch& watch, bool onMachine, const Ran& ran,
             const std::optional<RestoreSource>& restore, const frontend::DriveJournal& journal,
             RunNotes& notes) {
    notes.noRights = watch.SawNoRights();
    notes.noRightsDisks = watch.NoRightsDisks();
    notes.onMachine = onMachine;
    NoteFailure(notes, ran.result.outcome, onMachine);
    if (restore) NoteChanges(notes, ran.view, restore->info);
    if (restore) NoteSinceChange(notes, ran.view, *restore);
    if (ran.result.outcome.code == OutcomeCode::JournalNotSaved) {
        notes.journalProblem = journal.Problem();
    }
}

// The report of the run, on every drive or the one; the exit code it ends with.
int ReportRan(const Options& options, const Ran& ran, const RunNotes& notes, std::ostream& out,
              std::ostream& err) {
    int exitCode = 0;
    bool changed = false;
    if (options.all) {
        if (!ran.every.folderProblem.empty()) {
            return ReportProblem(options, kExitFileNotWritten, ran.every.folderProblem, out, err);
        }
        for (const DriveRun& run : ran.every.drives) changed |= run.outcome.changed;
        exitCode =
            ReportEveryDrive(options, ran.every.code, ran.every.deviceCount, ran.every.drives,
                             ran.every.notOpened, notes.noRights, out, err);
    } else {
        exitCode = ReportRun(options, ran.result, notes, out, err);
        changed = ran.result.outcome.changed;
    }
    if (changed && !options.json && options.emulate && options.scenarioFile.empty()) {
        NoteBuiltInEmulation(err);
    }
    return exitCode;
}

// The command on the drives this process opens itself, with its own journal.
int RunDirectly(const Options& options, const DeviceName& deviceName,
                std::optional<RestoreSource>& restore, RunNotes& notes, std::istream& in,
                std::ostream& out, std::ostream& err) {
    // The emulated machines keep a journal of their own, apart from the real drives'.
    std::string journalProblem;
    const std::string journalFolder = frontend::JournalFolder(options.emulate, journalProblem);
    if (options.verb == Verb::History) {
        return RunHistory(options, journalFolder, journalProblem, out, err);
    }
    frontend::DriveJournal journal(journalFolder, journalProblem, "vardelctl " VARDEL_VERSION);

    DrivesAtHand drives;
    if (const int ended = SetUpDrives(options, drives, notes, out, err); ended >= 0) return ended;
    const bool onMachine = drives.machine != nullptr;
    notes.nativeErrors = onMachine;
    AccessWatch watch(drives.Used(), onMachine ? IsNoRightsError : IsEmulatedNoRightsError);

    Target target;
    if (const int ended =
            ChooseTarget(options, deviceName, watch, onMachine, notes, target, out, err);
        ended >= 0) {
        return ended;
    }
    if (const int ended = PrepareToPutBack(options, watch, target, journalFolder, journalProblem,
                                           onMachine, restore, notes, in, out, err);
        ended >= 0) {
        return ended;
    }

    Ran ran;
    RunOnTarget(options, watch, target, restore, onMachine, options.noJournal ? nullptr : &journal,
                ran);
    NoteRun(watch, onMachine, ran, restore, journal, notes);
    if (const int lost = KeepFiles(options, ran.result, drives.scenario, drives.emulated, out, err);
        lost >= 0) {
        return lost;
    }
    return ReportRan(options, ran, notes, out, err);
}

}  // namespace

int RunTool(const Options& given, std::istream& in, std::ostream& out, std::ostream& err) {
    Options options = given;
    // Everything that can be refused is refused before the first device command.
    if (const int refused = CheckArguments(options, out, err); refused >= 0) return refused;
    // Through the drive service, unless run as root or told otherwise.
    Route route = Route::Direct;
    if (const int refused = ChooseRoute(options, route, out, err); refused >= 0) return refused;
    DeviceName deviceName;
    if (const int refused = ReadDeviceName(options, deviceName, out, err); refused >= 0) {
        return refused;
    }
    RunNotes notes;
    std::optional<RestoreSource> restore;
    if (const int refused = ReadWhatToPutBack(options, restore, notes, out, err); refused >= 0) {
        return refused;
    }
    if (route == Route::Service) {
        return RunThroughService(options, restore ? &*restore : nullptr, notes, in, out, err);
    }
    return RunDirectly(options, deviceName, restore, notes, in, out, err);
}

}  // namespace vardel::cli
