#include "vardelctl/command_run.h"

#include "commands/lun_mode_commands.h"
#include "machine/machine_platform.h"
#include "outcome/failure_detail.h"
#include "outcome/given_rows_window.h"
#include "vardelctl/report.h"

namespace vardel::cli {
namespace {

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
        case Verb::Undo:
            return CommandKind::Undo;
        case Verb::Status:
        case Verb::List:
        case Verb::History:
            break;
    }
    return CommandKind::ReadStatus;
}

}  // namespace

RunResult RunCommand(const Options& options, Platform& platform, const PhysicalDevice* device,
                     const RestoreSource* restore, RestoreView* view, bool machine,
                     WriteJournal* journal) {
    RunResult result;
    CommandState state;
    state.mayHoldDrive = machine ? frontend::MachineMayHoldDrive() : nullptr;
    frontend::GivenRowsWindow window(state, options.lun0Text, options.lun1Text);
    CommandContext context{platform, state, window, device};
    // The console's Write says done only for what the drive kept; its set writes nothing that
    // would change nothing, and a dry run nothing at all.
    context.confirmWrite = true;
    context.skipUnchangedWrite = true;
    context.dryRun = options.dryRun;
    context.journal = journal;
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
        case Verb::List:
            result.isListing = true;
            result.listingCode = ListDevices(platform, device, result.listing,
                                             machine ? frontend::MachineMayHoldDrive() : nullptr);
            result.disks = DescribeDisks(result.listing, machine);
            break;
        case Verb::Backup:
            result.backup = std::make_unique<BlockBackup>();
            result.outcome = BackupBlocks(platform, state, device, *result.backup);
            break;
        case Verb::Restore:
        case Verb::Undo: {
            const NamedChange change{restore->undoneTime.c_str(), restore->undoneNumber,
                                     &restore->written};
            RestoreGuard guard;
            guard.journal = journal;
            if (restore->undo) guard.undoes = &change;
            if (restore->shown) guard.shown = &restore->shownBlock;
            result.outcome =
                RestoreConfigBlock(platform, state, device, restore->info, restore->identity,
                                   options.allowNoSerial, view, guard);
            break;
        }
        case Verb::History:
            break;
    }
    return result;
}

RunResult EndedInDiscovery(const Options& options, OutcomeCode code) {
    RunResult result;
    result.isListing = options.verb == Verb::List;
    result.listingCode = code;
    result.outcome.command = KindOf(options.verb);
    result.outcome.code = code;
    if (options.verb == Verb::Set) {
        result.outcome.row = options.row;
        result.outcome.requestedType = options.type;
    }
    return result;
}

int ReportResult(const Options& options, const RunResult& result, const RunNotes& notes,
                 std::ostream& out, std::ostream& err) {
    if (result.isListing) {
        return ReportListing(options, result.listingCode, result.listing, result.disks, notes, out,
                             err);
    }
    return ReportOutcome(options, result.outcome, notes, out, err);
}

DiskDescriptions DescribeDisks(const DeviceListing& listing, bool machine) {
    DiskDescriptions disks(static_cast<std::size_t>(listing.recorded),
                           std::vector<DiskDescription>(kLunSlotsPerDevice));
    for (int j = 0; machine && j < listing.recorded; ++j) {
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            const char letter = listing.devices[j].lunSlots[lun];
            if (letter != 0) frontend::DescribeMachineDisk(letter, disks[j][lun]);
        }
    }
    return disks;
}

void NoteFailure(RunNotes& notes, const CommandOutcome& outcome, bool machine) {
    notes.nativeErrors = machine;
    notes.failedPaths = frontend::FailedCommandPaths(outcome, machine);
}

void NoteChanges(RunNotes& notes, const RestoreView& view, const VendorBlock& backupBlock) {
    notes.changesKnown = view.blockRead;
    if (view.blockRead) notes.changes = WrittenBytesChanged(view.asRead, backupBlock);
}

}  // namespace vardel::cli
