#include "service/drive_service.h"

#include <cstring>
#include <utility>

#include "commands/block_backup.h"
#include "commands/lun_mode_commands.h"
#include "commands/type_text.h"
#include "journal/drive_journal.h"
#include "machine/access_watch.h"
#include "machine/device_name.h"
#include "outcome/failure_detail.h"
#include "outcome/given_rows_window.h"
#include "scenario/backup_document.h"
#include "texts/serial_text.h"

namespace vardel::service {

using frontend::DeviceChoice;
using frontend::DeviceChoiceResult;
using frontend::DeviceName;
using frontend::DeviceNameKind;
namespace {

constexpr char kDevicePrefix[] = "/dev/";

ServiceError Invalid(std::string& problem, std::string text) {
    problem = std::move(text);
    return ServiceError::InvalidArgument;
}

bool TooLong(const std::string& text, std::size_t most, const char* name, std::string& problem) {
    if (text.size() <= most) return false;
    problem = std::string(name) + ": longer than " + std::to_string(most) + " bytes";
    return true;
}

// A node the caller names: only under /dev, and no way out of it.
bool NodeAllowed(const std::string& node) {
    return node.rfind(kDevicePrefix, 0) == 0 && node.find("/../") == std::string::npos &&
           node.compare(node.size() >= 3 ? node.size() - 3 : 0, 3, "/..") != 0;
}

bool RowTextReadable(std::string text) {
    TrimSpaces(text);
    return ReadRowText(text).kind != RowTextKind::Unreadable;
}

CommandKind KindOf(ServiceMethod method) {
    switch (method) {
        case ServiceMethod::Set:
            return CommandKind::SetLunMode;
        case ServiceMethod::Write:
            return CommandKind::WriteRaw;
        case ServiceMethod::Backup:
            return CommandKind::Backup;
        case ServiceMethod::Restore:
            return CommandKind::Restore;
        case ServiceMethod::Undo:
            return CommandKind::Undo;
        case ServiceMethod::List:
        case ServiceMethod::Status:
        case ServiceMethod::History:
            break;
    }
    return CommandKind::ReadStatus;
}

LunModeBinding BindingOf(const ServiceRequest& request) {
    const bool lun0 = request.lun == 0;
    const bool fixed = request.type == kLunTypeFixedDisk;
    return fixed ? (lun0 ? kLun0FixedBinding : kLun1FixedBinding)
                 : (lun0 ? kLun0RemovableBinding : kLun1RemovableBinding);
}

// The outcome of a call that discovery ended before any block was read.
CommandOutcome EndedInDiscovery(const ServiceRequest& request, OutcomeCode code) {
    CommandOutcome outcome;
    outcome.command = KindOf(request.method);
    outcome.code = code;
    if (request.method == ServiceMethod::Set) {
        outcome.row = request.lun == 0 ? LunRow::Lun0 : LunRow::Lun1;
        outcome.requestedType = static_cast<std::uint8_t>(request.type);
    }
    return outcome;
}

ServiceDrive DriveOf(const ListedDevice& listed, bool machine) {
    ServiceDrive drive;
    drive.listed = listed;
    drive.serial = frontend::SerialOfIdentity(listed.identity);
    for (std::size_t lun = 0; lun < 2; ++lun) {
        const char letter = listed.lunSlots[lun];
        if (machine && letter != 0) frontend::DescribeMachineDisk(letter, drive.disks[lun]);
    }
    return drive;
}

void NoteDrives(ServiceReply& reply, const DeviceListing& listing, bool machine) {
    reply.driveCount = listing.count;
    for (int j = 0; j < listing.recorded; ++j) {
        reply.drives.push_back(DriveOf(listing.devices[j], machine));
    }
}

// The disks discovery could not open for lack of rights (`letters`, a bit per letter from A).
void NoteRefusedDisks(ServiceReply& reply, std::uint32_t letters, bool machine) {
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((letters & (1u << i)) == 0) continue;
        ServiceRefusedDisk refused;
        refused.letter = static_cast<char>('A' + i);
        refused.described = machine && frontend::DescribeMachineDisk(refused.letter, refused.disk);
        reply.notOpened.push_back(refused);
    }
}

ServiceReply Refused(ServiceError error, std::string message) {
    ServiceReply reply;
    reply.error = error;
    reply.message = std::move(message);
    return reply;
}

}  // namespace

ServiceError CheckRequest(const ServiceRequest& request, std::string& problem) {
    if (TooLong(request.device, kMaxDeviceNameLength, "device", problem) ||
        TooLong(request.serial, kMaxSerialLength, "serial", problem) ||
        TooLong(request.lun0Text, kMaxRowTextLength, "lun0", problem) ||
        TooLong(request.lun1Text, kMaxRowTextLength, "lun1", problem) ||
        TooLong(request.document, kMaxBackupDocumentLength, "document", problem)) {
        return ServiceError::InvalidArgument;
    }
    if (!request.device.empty()) {
        DeviceName name;
        if (!frontend::ParseDeviceName(request.device, name)) {
            return Invalid(problem, "device: \"" + request.device +
                                        "\" is no serial, drive letter or device node");
        }
        if (name.kind == DeviceNameKind::Node && !NodeAllowed(name.node)) {
            return Invalid(problem, "device: a node must be under /dev");
        }
    }
    switch (request.method) {
        case ServiceMethod::Set:
            if (request.lun > 1) return Invalid(problem, "lun: 0 or 1");
            if (request.type != kLunTypeRemovable && request.type != kLunTypeFixedDisk) {
                return Invalid(problem, "type: 0 (removable) or 161 (0xA1, fixed disk)");
            }
            break;
        case ServiceMethod::Write:
            if (!RowTextReadable(request.lun0Text) || !RowTextReadable(request.lun1Text)) {
                return Invalid(problem,
                               "lun0, lun1: \"Removable\", \"Fixed Disk\", a hexadecimal "
                               "byte, or empty to keep the row");
            }
            break;
        case ServiceMethod::History:
            if (!request.serial.empty()) {
                DeviceName name;
                if (!frontend::ParseDeviceName(request.serial, name) ||
                    name.kind != DeviceNameKind::Serial) {
                    return Invalid(problem, "serial: a drive's whole serial");
                }
            }
            break;
        case ServiceMethod::List:
        case ServiceMethod::Status:
        case ServiceMethod::Backup:
        case ServiceMethod::Restore:
        case ServiceMethod::Undo:
            break;
    }
    return ServiceError::None;
}

DriveService::DriveService(Platform& platform, ServiceSetup setup)
    : platform_(platform), setup_(std::move(setup)) {}

bool DriveService::Changes(const ServiceRequest& request) {
    return !request.dryRun &&
           (request.method == ServiceMethod::Set || request.method == ServiceMethod::Write ||
            request.method == ServiceMethod::Restore || request.method == ServiceMethod::Undo);
}

ServiceReply DriveService::Handle(const ServiceRequest& request) {
    std::string problem;
    if (const ServiceError error = CheckRequest(request, problem); error != ServiceError::None) {
        return Refused(error, problem);
    }
    const std::lock_guard<std::mutex> hold(oneCallAtATime_);
    return Run(request);
}

ServiceReply DriveService::Run(const ServiceRequest& request) {
    ServiceReply reply;
    if (request.method == ServiceMethod::History) {
        if (setup_.journalFolder.empty()) {
            return Refused(ServiceError::NoJournal, "history: " + setup_.journalProblem);
        }
        std::string problem;
        if (!frontend::ReadJournalFolder(setup_.journalFolder, request.serial, reply.history,
                                         reply.historyFiles, problem)) {
            return Refused(ServiceError::NoJournal, problem);
        }
        reply.journalFolder = setup_.journalFolder;
        return reply;
    }

    frontend::AccessWatch watch(platform_, setup_.isNoRightsError);
    const frontend::DiskDescriber describe =
        setup_.machine ? frontend::DiskDescriber(frontend::DescribeMachineDisk) : nullptr;
    const MayHoldDriveTest mayHold = setup_.machine ? frontend::MachineMayHoldDrive() : nullptr;
    PhysicalDevice chosen{};
    const PhysicalDevice* device = nullptr;
    if (!request.device.empty()) {
        DeviceListing listing{};
        const OutcomeCode listed = ListDevices(watch, nullptr, listing);
        if (listed != OutcomeCode::Done || listing.count == 0) {
            reply.outcome = EndedInDiscovery(
                request, listed != OutcomeCode::Done ? listed : OutcomeCode::NoDrive);
            reply.listingCode = reply.outcome.code;
            reply.noRights = watch.SawNoRights();
            reply.noRightsDisks = watch.NoRightsDisks();
            return reply;
        }
        DeviceName name;
        frontend::ParseDeviceName(request.device, name);
        const DeviceChoice choice = frontend::ChooseDevice(listing, name, describe);
        if (choice.result == DeviceChoiceResult::SerialShared) {
            reply = Refused(ServiceError::AmbiguousDrive,
                            request.device + ": " + std::to_string(choice.carriers.size()) +
                                " drives carry this serial; choose one by its letter or node");
            for (const ListedDevice* carrier : choice.carriers) {
                reply.drives.push_back(DriveOf(*carrier, setup_.machine));
            }
            reply.driveCount = static_cast<int>(reply.drives.size());
            return reply;
        }
        if (choice.result != DeviceChoiceResult::Found) {
            reply = Refused(ServiceError::UnknownDrive,
                            request.device + ": no attached drive of the served kind has this " +
                                (name.kind == DeviceNameKind::Serial   ? "serial"
                                 : name.kind == DeviceNameKind::Letter ? "letter"
                                                                       : "node"));
            NoteDrives(reply, listing, setup_.machine);
            return reply;
        }
        chosen = choice.device;
        device = &chosen;
    }

    frontend::DriveJournal journal(setup_.journalFolder, setup_.journalProblem, setup_.tool);
    CommandState state;
    state.mayHoldDrive = mayHold;
    frontend::GivenRowsWindow window(state, request.lun0Text, request.lun1Text);
    CommandContext context{watch, state, window, device};
    // As the console: Write counts only what the drive kept, set and Write send no write that
    // would change nothing, a dry run nothing at all; and every change goes through the journal.
    context.confirmWrite = true;
    context.skipUnchangedWrite = true;
    context.dryRun = request.dryRun;
    context.journal = &journal;
    RestoreView view{};
    view.dryRun = request.dryRun;

    switch (request.method) {
        case ServiceMethod::List: {
            DeviceListing listing{};
            reply.listingCode = ListDevices(watch, device, listing, mayHold);
            reply.outcome.scan = listing.scan;
            NoteDrives(reply, listing, setup_.machine);
            NoteRefusedDisks(reply, watch.NoRightsLetters(), setup_.machine);
            reply.noRights = watch.SawNoRights();
            reply.noRightsDisks = watch.NoRightsDisks();
            return reply;
        }
        case ServiceMethod::Status:
            reply.outcome = ReadStatus(context);
            break;
        case ServiceMethod::Set:
            reply.outcome = SetLunMode(context, BindingOf(request));
            break;
        case ServiceMethod::Write:
            reply.outcome = WriteRaw(context);
            break;
        case ServiceMethod::Backup: {
            BlockBackup backup{};
            reply.outcome = BackupBlocks(watch, state, device, backup);
            if (reply.outcome.code == OutcomeCode::Done) {
                reply.document = frontend::BackupDocumentText(backup, setup_.tool);
                reply.hasBackup = true;
                reply.backup = backup;
            }
            break;
        }
        case ServiceMethod::Restore: {
            frontend::RestoreSource source;
            std::string problem;
            if (!frontend::ParseBackupDocument(request.document, source, problem)) {
                return Refused(ServiceError::InvalidArgument, "document: " + problem);
            }
            RestoreGuard guard;
            guard.journal = &journal;
            if (request.shownGiven) guard.shown = &request.shown;
            reply.outcome = RestoreConfigBlock(watch, state, device, source.info, source.identity,
                                               request.allowNoSerial, &view, guard);
            break;
        }
        case ServiceMethod::Undo: {
            // Which drive is attached decides which journal file holds its changes.
            BlockBackup drive{};
            CommandOutcome found = BackupBlocks(watch, state, device, drive);
            if (found.code != OutcomeCode::Done) {
                found.command = CommandKind::Undo;
                found.typesKnown = false;
                reply.outcome = found;
                break;
            }
            if (setup_.journalFolder.empty()) {
                return Refused(ServiceError::NoJournal, "undo: " + setup_.journalProblem);
            }
            const PhysicalDevice here = state.device;
            const char letter = state.targetLetter;
            std::string problem;
            bool moved = false;
            if (request.undoNamed) {
                // The change the caller showed, or none: never another that came in meanwhile.
                const frontend::LastChangeResult shownFound = frontend::FindNamedChange(
                    setup_.journalFolder, drive.identity, request.undoTime, request.undoNumber,
                    request.undoWritten, reply.undone, reply.journalFile, problem);
                if (shownFound == frontend::LastChangeResult::Unreadable) {
                    return Refused(ServiceError::NoJournal, problem);
                }
                if (shownFound != frontend::LastChangeResult::Found) {
                    reply.outcome = EndedInDiscovery(request, OutcomeCode::NotAsChanged);
                    reply.outcome.target = letter;
                    break;
                }
                moved = !frontend::MadeAt(reply.undone, here);
            } else {
                switch (
                    frontend::FindLastChange(setup_.journalFolder, drive.identity, here,
                                             frontend::OtherPlacesOf(watch, drive.identity, here),
                                             reply.undone, reply.journalFile, problem)) {
                    case frontend::LastChangeResult::Found:
                        break;
                    case frontend::LastChangeResult::Moved:
                        moved = true;
                        break;
                    case frontend::LastChangeResult::Unreadable:
                        return Refused(ServiceError::NoJournal, problem);
                    case frontend::LastChangeResult::None: {
                        const std::string serial = frontend::SerialOfIdentity(drive.identity);
                        return Refused(
                            ServiceError::NothingToUndo,
                            "undo: the journal holds no change of the drive with serial " +
                                (serial.empty() ? std::string("(none)") : serial));
                    }
                }
            }
            if (moved && !request.replugged) {
                return Refused(ServiceError::NothingToUndo,
                               frontend::MovedChangeText(reply.undone, here, letter));
            }
            reply.hasUndone = true;
            const NamedChange change{reply.undone.time.c_str(), reply.undone.number,
                                     &reply.undone.written};
            RestoreGuard guard;
            guard.journal = &journal;
            guard.undoes = &change;
            reply.outcome =
                RestoreConfigBlock(watch, state, device, reply.undone.asRead, reply.undone.identity,
                                   request.allowNoSerial, &view, guard);
            break;
        }
        case ServiceMethod::History:
            break;
    }
    reply.noRights = watch.SawNoRights();
    reply.noRightsDisks = watch.NoRightsDisks();
    reply.failedPaths = frontend::FailedCommandPaths(reply.outcome, setup_.machine);
    if (reply.outcome.code == OutcomeCode::JournalNotSaved)
        reply.journalProblem = journal.Problem();
    reply.blockRead = view.blockRead;
    if (view.blockRead) std::memcpy(reply.asRead, view.asRead, sizeof(reply.asRead));
    return reply;
}

}  // namespace vardel::service
