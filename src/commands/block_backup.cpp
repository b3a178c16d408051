#include "commands/block_backup.h"

#include <cstring>
#include <optional>

#include "commands/drive_lock.h"
#include "commands/single_drive.h"
#include "drive/drive_identity.h"
#include "drive/lun_type.h"

namespace vardel {
namespace {

CommandOutcome Failed(CommandOutcome outcome, OutcomeCode code, DriveStatus status,
                      const CommandDetail& detail) {
    outcome.code = code;
    outcome.driveStatus = status;
    outcome.failedCommand = detail;
    return outcome;
}

bool SameWrittenBytes(const VendorBlock& a, const VendorBlock& b) {
    return std::memcmp(a, b, kVendorWriteLength) == 0;
}

}  // namespace

CommandOutcome BackupBlocks(Platform& platform, CommandState& state, const PhysicalDevice* device,
                            BlockBackup& backup) {
    std::memset(&backup, 0, sizeof(backup));
    CommandOutcome outcome;
    outcome.command = CommandKind::Backup;
    outcome.code = FindSingleDrive(platform, state, device, &outcome.scan, false);
    if (outcome.code != OutcomeCode::Done) return outcome;
    const char target = state.targetLetter;
    outcome.target = target;
    backup.target = target;
    backup.lun0Letter = state.letterList[0];
    backup.lun1Letter = state.letterList[1];

    // The blocks are read into buffers of this command's own stack: the caller's backup may live
    // on a heap whose allocations miss the alignment the direct form needs (a 32-bit Windows heap
    // gives 8 bytes where the port driver asks for 16).
    alignas(kVendorBlockAlignment) VendorBlock identity = {};
    alignas(kVendorBlockAlignment) VendorBlock info = {};
    CommandDetail detail = {};
    DriveStatus status = ScsiInquiry(platform, target, backup.inquiry, &detail);
    if (status == kDriveOk) status = VendorRead(platform, target, nullptr, identity, &detail);
    if (status == kDriveOk) status = VendorRead(platform, target, &kInfoTag, info, &detail);
    if (status != kDriveOk) return Failed(outcome, OutcomeCode::ReadFailed, status, detail);
    std::memcpy(backup.identity, identity, sizeof(identity));
    std::memcpy(backup.info, info, sizeof(info));

    backup.key = ExtractDeviceKey(backup.identity);
    outcome.swapped = IsSwappedLayout(backup.identity, backup.info);
    outcome.types = RowTypesOf(backup.info, outcome.swapped);
    outcome.typesKnown = true;
    return outcome;
}

CommandOutcome RestoreConfigBlock(Platform& platform, CommandState& state,
                                  const PhysicalDevice* device, const VendorBlock& info,
                                  const VendorBlock& backupIdentity, bool allowNoSerial,
                                  RestoreView* view, const RestoreGuard& guard) {
    CommandOutcome outcome;
    outcome.command = guard.undoes != nullptr ? CommandKind::Undo : CommandKind::Restore;
    outcome.code = FindSingleDrive(platform, state, device, &outcome.scan, true);
    if (outcome.code != OutcomeCode::Done) return outcome;
    const char target = state.targetLetter;
    outcome.target = target;

    // From the identity read to the read-back no other program changes the drive; a dry run
    // (the preview before the question, too) waits for no one.
    std::optional<DriveHold> hold;
    if (view == nullptr || !view->dryRun) {
        hold.emplace(platform, target);
        if (!hold->Held()) return hold->NotHeld(outcome);
    }

    alignas(kVendorBlockAlignment) VendorBlock identity = {};
    CommandDetail detail = {};
    DriveStatus status = VendorRead(platform, target, nullptr, identity, &detail);
    if (status != kDriveOk) return Failed(outcome, OutcomeCode::ReadFailed, status, detail);
    switch (CompareSerials(identity, backupIdentity)) {
        case SerialComparison::Same:
            break;
        case SerialComparison::Different:
            outcome.code = OutcomeCode::WrongDevice;
            return outcome;
        case SerialComparison::NoSerial:
            if (allowNoSerial) break;
            outcome.code = OutcomeCode::NoSerial;
            return outcome;
    }

    // The drive must answer with its whole block before anything is written to it.
    alignas(kVendorBlockAlignment) VendorBlock block = {};
    status = VendorRead(platform, target, &kInfoTag, block, &detail);
    if (status != kDriveOk) return Failed(outcome, OutcomeCode::ReadFailed, status, detail);
    outcome.before = RowTypesOf(block, IsSwappedLayout(identity, block));
    outcome.beforeKnown = true;
    if (view != nullptr) {
        std::memcpy(view->asRead, block, sizeof(block));
        view->blockRead = true;
    }

    // An undo puts back what one change replaced only while the drive still holds what that
    // change wrote: anything else on it came later, and would be lost.
    if ((guard.undoes != nullptr && !SameWrittenBytes(block, *guard.undoes->written)) ||
        (guard.shown != nullptr && !SameWrittenBytes(block, *guard.shown))) {
        outcome.code = OutcomeCode::NotAsChanged;
        return outcome;
    }

    const bool holdsIt = SameWrittenBytes(block, info);
    if (view != nullptr && view->dryRun) {
        // What the write would leave: the backup's bytes 0..511, the drive's own after them.
        std::memcpy(block, info, kVendorWriteLength);
        outcome.swapped = IsSwappedLayout(identity, block);
        outcome.types = RowTypesOf(block, outcome.swapped);
        outcome.typesKnown = true;
        outcome.writeSkipped = true;
        return outcome;
    }
    if (!holdsIt) {
        alignas(kVendorBlockAlignment) VendorBlock asRead = {};
        std::memcpy(asRead, block, sizeof(asRead));
        // Only bytes 0..511 leave the buffer; the rest stays as the drive gave it.
        std::memcpy(block, info, kVendorWriteLength);
        const int kept = KeepInJournal(guard.journal, {outcome.command, target, identity, asRead,
                                                       block, state.device, guard.undoes});
        if (kept != kJournalSaved) {
            outcome.code = kept == kJournalUndoneNotLast ? OutcomeCode::NotAsChanged
                                                         : OutcomeCode::JournalNotSaved;
            return outcome;
        }
        status = VendorWrite(platform, target, block, &detail);
        if (status != kDriveOk) return Failed(outcome, OutcomeCode::WriteFailed, status, detail);
        // Until the read-back says otherwise, an accepted write may have changed the drive.
        outcome.changed = true;

        std::memset(block, 0, sizeof(block));
        status = VendorRead(platform, target, &kInfoTag, block, &detail);
        if (status != kDriveOk) return Failed(outcome, OutcomeCode::ReadFailed, status, detail);
        outcome.changed = !SameWrittenBytes(block, asRead);
    }

    outcome.writeSkipped = holdsIt;
    outcome.swapped = IsSwappedLayout(identity, block);
    outcome.types = RowTypesOf(block, outcome.swapped);
    outcome.typesKnown = true;
    outcome.code = SameWrittenBytes(block, info) ? OutcomeCode::Done : OutcomeCode::NotConfirmed;
    return outcome;
}

}  // namespace vardel
