#include "vardelctl/service_run.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "machine/device_name.h"
#include "machine/machine_platform.h"
#include "scenario/backup_document.h"
#include "service/record_fields.h"
#include "service_client/call_problem_text.h"
#include "service_client/service_client.h"
#include "vardelctl/command_run.h"
#include "vardelctl/every_drive.h"
#include "vardelctl/exit_codes.h"
#include "vardelctl/journal_commands.h"
#include "vardelctl/report.h"
#include "vardelctl/run_steps.h"

namespace vardel::cli {
namespace {

using service::ServiceMethod;
using service::ServiceReply;
using service::ServiceRequest;
using service_client::CallEnd;
using service_client::CallResult;

ServiceMethod MethodOf(Verb verb) {
    switch (verb) {
        case Verb::Set:
            return ServiceMethod::Set;
        case Verb::Write:
            return ServiceMethod::Write;
        case Verb::List:
            return ServiceMethod::List;
        case Verb::Backup:
            return ServiceMethod::Backup;
        case Verb::Restore:
            return ServiceMethod::Restore;
        case Verb::History:
            return ServiceMethod::History;
        case Verb::Undo:
            return ServiceMethod::Undo;
        case Verb::Status:
            break;
    }
    return ServiceMethod::Status;
}

// The document a restore hands over: the backup as vardelctl read and checked it, so that the
// service restores exactly what the question showed.
std::string RestoreDocument(const RestoreSource& restore) {
    BlockBackup backup{};
    std::memcpy(backup.info, restore.info, sizeof(backup.info));
    std::memcpy(backup.identity, restore.identity, sizeof(backup.identity));
    backup.key = restore.key;
    return frontend::BackupDocumentText(backup, "vardelctl " VARDEL_VERSION);
}

ServiceRequest RequestOf(const Options& options, const RestoreSource* restore) {
    ServiceRequest request;
    request.method = MethodOf(options.verb);
    request.device = options.device;
    if (options.verb == Verb::History && options.deviceGiven) request.serial = options.device;
    request.lun = options.row == LunRow::Lun1 ? 1 : 0;
    request.type = options.type;
    request.lun0Text = options.lun0Text;
    request.lun1Text = options.lun1Text;
    request.dryRun = options.dryRun;
    request.allowNoSerial = options.allowNoSerial;
    request.replugged = options.replugged;
    if (restore != nullptr && options.verb == Verb::Restore) {
        request.document = RestoreDocument(*restore);
    }
    return request;
}

// The exit code of a call that gave no outcome; its words are the client's own.
int CallEndExitCode(const CallResult& call) {
    switch (call.end) {
        case CallEnd::NoClient:
        case CallEnd::NoBus:
        case CallEnd::ServiceMissing:
        case CallEnd::ServiceNotStarted:
        case CallEnd::NotAuthorized:
        case CallEnd::AuthenticationRequired:
            return kExitNoMachineAccess;
        case CallEnd::Refused:
            switch (call.error) {
                case service::ServiceError::InvalidArgument:
                    return kExitUsage;
                case service::ServiceError::UnknownDrive:
                case service::ServiceError::NothingToUndo:
                    return kExitWrongDevice;
                case service::ServiceError::AmbiguousDrive:
                    return kExitSeveralDrives;
                case service::ServiceError::NoJournal:
                    // As for a journal vardelctl itself cannot read.
                    return kExitUsage;
                case service::ServiceError::TooManyCalls:
                    // As a refusal by polkit: nothing was done, and the call may come again.
                    return kExitNoMachineAccess;
                case service::ServiceError::None:
                    break;
            }
            return kExitUnknownError;
        case CallEnd::Replied:
        case CallEnd::NoAnswer:
        case CallEnd::ReadNotAnswered:
        case CallEnd::BadReply:
        case CallEnd::Failed:
            break;
    }
    return kExitUnknownError;
}

int ReportCallEnd(const Options& options, const CallResult& call, std::ostream& out,
                  std::ostream& err) {
    return ReportProblem(options, CallEndExitCode(call),
                         service_client::CallProblemText(call, "vardelctl"), out, err);
}

// What the reply says beside the outcome, as the direct run notes it.
void TakeReply(const ServiceReply& reply, RunResult& result, RunNotes& notes) {
    result.outcome = reply.outcome;
    notes.failedPaths = reply.failedPaths;
    notes.noRights = reply.noRights;
    notes.noRightsDisks = reply.noRightsDisks;
    notes.journalProblem = reply.journalProblem;
}

// The block a restore or undo found on the drive, as the direct run's view of it.
RestoreView ViewOf(const ServiceReply& reply, bool dryRun) {
    RestoreView view{};
    view.dryRun = dryRun;
    view.blockRead = reply.blockRead;
    if (reply.blockRead) std::memcpy(view.asRead, reply.asRead, sizeof(view.asRead));
    return view;
}

void NoteRestore(const ServiceReply& reply, bool dryRun, RestoreSource& source, RunNotes& notes) {
    if (reply.hasUndone) TakeChangeToUndo(reply.undone, reply.journalFile, source, notes);
    const RestoreView view = ViewOf(reply, dryRun);
    NoteChanges(notes, view, source.info);
    NoteSinceChange(notes, view, source);
}

void NameWhatWasShown(const ServiceReply& shown, ServiceRequest& request) {
    if (request.method == ServiceMethod::Undo && shown.hasUndone) {
        request.undoNamed = true;
        request.undoTime = shown.undone.time;
        request.undoNumber = shown.undone.number;
        std::memcpy(request.undoWritten, shown.undone.written, sizeof(request.undoWritten));
    }
    if (request.method == ServiceMethod::Restore && shown.blockRead) {
        request.shownGiven = true;
        std::memcpy(request.shown, shown.asRead, sizeof(request.shown));
    }
}

// A restore or an undo: on a terminal without --yes the service first runs it dry, the bytes it
// would change are shown and the user asked; then it runs for real, from discovery on.
int RestoreThroughService(const Options& options, const RestoreSource* restore, RunNotes notes,
                          std::istream& in, std::ostream& out, std::ostream& err) {
    ServiceRequest request = RequestOf(options, restore);
    RestoreSource source;
    if (restore != nullptr) source = *restore;
    if (!options.yes && !options.dryRun) {
        request.dryRun = true;
        const CallResult looked = service_client::CallService(request);
        if (looked.end != CallEnd::Replied) return ReportCallEnd(options, looked, out, err);
        RunResult result;
        TakeReply(looked.reply, result, notes);
        NoteRestore(looked.reply, true, source, notes);
        // No drive: the run for real would find none either.
        if (result.outcome.code == OutcomeCode::NoDrive) {
            return ReportResult(options, result, notes, out, err);
        }
        if (const int ended = AskAfterLooking(options, result, notes, source, in, out, err);
            ended >= 0) {
            return ended;
        }
        // The answer is to what was shown: the undo of that change, the restore over those bytes.
        NameWhatWasShown(looked.reply, request);
        if (request.shownGiven) {
            source.shown = true;
            std::memcpy(source.shownBlock, request.shown, sizeof(source.shownBlock));
        }
        request.dryRun = false;
    }
    const CallResult call = service_client::CallService(request);
    if (call.end != CallEnd::Replied) return ReportCallEnd(options, call, out, err);
    RunResult result;
    TakeReply(call.reply, result, notes);
    NoteRestore(call.reply, options.dryRun, source, notes);
    return ReportResult(options, result, notes, out, err);
}

int HistoryThroughService(const Options& options, std::ostream& out, std::ostream& err) {
    const CallResult call = service_client::CallService(RequestOf(options, nullptr));
    if (call.end != CallEnd::Replied) return ReportCallEnd(options, call, out, err);
    std::vector<HistoryEntry> entries;
    for (std::size_t i = 0; i < call.reply.history.size(); ++i) {
        entries.push_back({call.reply.historyFiles[i], call.reply.history[i]});
    }
    return ReportHistory(options, call.reply.journalFolder, std::move(entries), out, err);
}

// The drives of a List reply as discovery's listing, with what the system says of each letter.
void TakeListing(const ServiceReply& reply, DeviceListing& listing, DiskDescriptions& disks) {
    listing.count = reply.driveCount;
    listing.recorded = static_cast<int>(reply.drives.size());
    // A list's scan travels in its outcome.
    listing.scan = reply.outcome.scan;
    disks.assign(reply.drives.size(), std::vector<DiskDescription>(kLunSlotsPerDevice));
    for (std::size_t j = 0; j < reply.drives.size(); ++j) {
        listing.devices[j] = reply.drives[j].listed;
        for (std::size_t lun = 0; lun < service::kReplyLuns; ++lun) {
            disks[j][lun] = reply.drives[j].disks[lun];
        }
    }
}

int ListThroughService(const Options& options, RunNotes notes, std::ostream& out,
                       std::ostream& err) {
    const CallResult call = service_client::CallService(RequestOf(options, nullptr));
    if (call.end != CallEnd::Replied) return ReportCallEnd(options, call, out, err);
    RunResult result;
    result.isListing = true;
    result.listingCode = call.reply.listingCode;
    TakeListing(call.reply, result.listing, result.disks);
    notes.noRights = call.reply.noRights;
    notes.noRightsDisks = call.reply.noRightsDisks;
    return ReportResult(options, result, notes, out, err);
}

// A --device that picks no single drive is reported as the direct run reports it, from the
// service's listing: the same choice among the same drives. -1 to go on with the call (which
// names the drive by `options.device` itself, so that the service chooses it again), or the
// exit code of the report.
int CheckDeviceThroughService(const Options& options, RunNotes& notes, std::ostream& out,
                              std::ostream& err) {
    frontend::DeviceName name;
    if (!frontend::ParseDeviceName(options.device, name)) return -1;  // refused before
    ServiceRequest listRequest;
    listRequest.method = ServiceMethod::List;
    const CallResult listed = service_client::CallService(listRequest);
    if (listed.end != CallEnd::Replied) return ReportCallEnd(options, listed, out, err);
    DeviceListing listing{};
    DiskDescriptions disks;
    TakeListing(listed.reply, listing, disks);
    notes.noRights = listed.reply.noRights;
    notes.noRightsDisks = listed.reply.noRightsDisks;
    if (listed.reply.listingCode != OutcomeCode::Done || listing.count == 0) {
        const OutcomeCode code = listed.reply.listingCode != OutcomeCode::Done
                                     ? listed.reply.listingCode
                                     : OutcomeCode::NoDrive;
        return ReportRun(options, EndedInDiscovery(options, code), notes, out, err);
    }
    // A node names its disk as the service saw it, or as this machine's sysfs does (a disk that
    // is no drive of the served kind is not in the listing).
    const auto describeLetter = [&](char letter, DiskDescription& description) {
        for (int j = 0; j < listing.recorded; ++j) {
            for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
                if (listing.devices[j].lunSlots[lun] == letter &&
                    !disks[static_cast<std::size_t>(j)][lun].paths.empty()) {
                    description = disks[static_cast<std::size_t>(j)][lun];
                    return true;
                }
            }
        }
        return frontend::DescribeMachineDisk(letter, description);
    };
    const frontend::DeviceChoice choice = frontend::ChooseDevice(listing, name, describeLetter);
    if (choice.result == frontend::DeviceChoiceResult::Found) return -1;
    const auto describe = [&](const DeviceListing& some) {
        DiskDescriptions described(static_cast<std::size_t>(some.recorded),
                                   std::vector<DiskDescription>(kLunSlotsPerDevice));
        for (int i = 0; i < some.recorded; ++i) {
            for (int j = 0; j < listing.recorded; ++j) {
                if (std::equal(std::begin(some.devices[i].lunSlots),
                               std::end(some.devices[i].lunSlots),
                               std::begin(listing.devices[j].lunSlots))) {
                    described[static_cast<std::size_t>(i)] = disks[static_cast<std::size_t>(j)];
                }
            }
        }
        return described;
    };
    return ReportDeviceChoice(options, listing, choice, true, describe, notes, out, err);
}

// How --all names a drive of the listing to the service so that exactly that drive answers: its
// whole serial where no other listed drive carries it (a drive that vanished, or was swapped for
// another at its letter, is then not found), otherwise its letter.
std::string NameOfDrive(const service::ServiceReply& listed, const DeviceListing& listing,
                        std::size_t index) {
    const service::ServiceDrive& drive = listed.drives[index];
    // The service picks a drive by serial with this same rule.
    if (!drive.serial.empty() && frontend::DevicesWithSerial(listing, drive.serial).size() == 1) {
        return drive.serial;
    }
    const char letter = drive.listed.target != 0 ? drive.listed.target : drive.listed.lunSlots[0];
    return std::string(1, letter != 0 ? letter : drive.listed.lunSlots[1]);
}

int EveryDriveThroughService(const Options& options, std::ostream& out, std::ostream& err) {
    ServiceRequest listRequest;
    listRequest.method = ServiceMethod::List;
    const CallResult listed = service_client::CallService(listRequest);
    if (listed.end != CallEnd::Replied) return ReportCallEnd(options, listed, out, err);
    const ServiceReply& attached = listed.reply;

    DeviceListing listing{};
    DiskDescriptions disks;
    TakeListing(attached, listing, disks);
    std::vector<DriveRun> drives;
    std::vector<DiskNotOpened> notOpened;
    if (attached.listingCode == OutcomeCode::Done && listing.count > 0) {
        if (options.verb == Verb::Backup) {
            const std::string problem = MakeFolder(options.file);
            if (!problem.empty()) {
                return ReportProblem(options, kExitFileNotWritten, problem, out, err);
            }
        }
        const std::vector<std::string> names = BackupFileNames(listing);
        for (std::size_t j = 0; j < attached.drives.size(); ++j) {
            DriveRun run;
            run.device = listing.devices[j];
            run.notes.onMachine = true;
            run.notes.nativeErrors = true;
            run.notes.throughService = true;
            ServiceRequest request = RequestOf(options, nullptr);
            request.device = NameOfDrive(attached, listing, j);
            const CallResult call = service_client::CallService(request);
            if (call.end == CallEnd::Replied) {
                RunResult result;
                TakeReply(call.reply, result, run.notes);
                run.outcome = result.outcome;
                if (call.reply.hasBackup) SaveBackup(options, names[j], call.reply.backup, run);
            } else if (call.end == CallEnd::Refused &&
                       call.error == service::ServiceError::UnknownDrive) {
                // The drive went away since the listing: as the direct run finds it, no drive.
                run.outcome = EndedInDiscovery(options, OutcomeCode::NoDrive).outcome;
            } else {
                run.outcome = EndedInDiscovery(options, OutcomeCode::UnknownError).outcome;
                run.problemCode = CallEndExitCode(call);
                run.problem = service_client::CallProblemText(call, "vardelctl");
            }
            drives.push_back(run);
        }
        std::uint32_t refused = 0;
        for (const service::ServiceRefusedDisk& disk : attached.notOpened) {
            if (disk.letter >= 'A' && disk.letter <= 'Z') refused |= 1u << (disk.letter - 'A');
        }
        notOpened = DisksNotOpened(
            refused, listing,
            [&attached](char letter, DiskDescription& description) {
                for (const service::ServiceRefusedDisk& disk : attached.notOpened) {
                    if (disk.letter == letter && disk.described) {
                        description = disk.disk;
                        return true;
                    }
                }
                return false;
            },
            true);
    }
    return ReportEveryDrive(options, attached.listingCode, attached.driveCount, drives, notOpened,
                            attached.noRights, out, err);
}

}  // namespace

int ChooseRoute(const Options& options, Route& route, std::ostream& out, std::ostream& err) {
    route = Route::Direct;
    if (options.direct && options.service) {
        return ReportProblem(options, kExitUsage,
                             "--direct reaches the drive itself, --service through the drive "
                             "service: give only one of them",
                             out, err);
    }
    if (options.service && options.emulate) {
        return ReportProblem(options, kExitUsage,
                             "--emulate runs on an emulated machine of vardelctl's own, never "
                             "through the drive service: leave out --service",
                             out, err);
    }
    if (options.direct || options.emulate) return -1;
    if (!options.service && !service_client::ServiceIsDefault()) return -1;
    if (options.noJournal) {
        return ReportProblem(options, kExitUsage,
                             "--no-journal: the drive service keeps every change in its journal, "
                             "so this run, which goes through it, cannot skip the entry; run as "
                             "root with --direct to change the drive without one (sudo "
                             "vardelctl --direct --no-journal ...)",
                             out, err);
    }
    route = Route::Service;
    return -1;
}

int RunThroughService(const Options& options, const RestoreSource* restore, RunNotes notes,
                      std::istream& in, std::ostream& out, std::ostream& err) {
    notes.onMachine = true;
    notes.nativeErrors = true;
    notes.throughService = true;
    if (options.all) return EveryDriveThroughService(options, out, err);
    if (options.verb == Verb::History) return HistoryThroughService(options, out, err);
    // An empty --device names no drive (the service would take it for the single one).
    if (options.deviceGiven && options.device.empty()) {
        return ReportRun(options, EndedInDiscovery(options, OutcomeCode::NoDrive), notes, out, err);
    }
    if (options.deviceGiven) {
        if (const int ended = CheckDeviceThroughService(options, notes, out, err); ended >= 0) {
            return ended;
        }
    }
    switch (options.verb) {
        case Verb::List:
            return ListThroughService(options, notes, out, err);
        case Verb::Restore:
        case Verb::Undo:
            return RestoreThroughService(options, restore, notes, in, out, err);
        case Verb::Status:
        case Verb::Set:
        case Verb::Write:
        case Verb::Backup:
        case Verb::History:
            break;
    }
    const CallResult call = service_client::CallService(RequestOf(options, nullptr));
    if (call.end != CallEnd::Replied) return ReportCallEnd(options, call, out, err);
    RunResult result;
    TakeReply(call.reply, result, notes);
    if (call.reply.hasBackup) {
        if (const int lost = KeepBackup(options, call.reply.backup, out, err); lost >= 0) {
            return lost;
        }
    }
    return ReportRun(options, result, notes, out, err);
}

}  // namespace vardel::cli
