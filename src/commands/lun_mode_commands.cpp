#include "commands/lun_mode_commands.h"

#include <cstring>
#include <optional>

#include "commands/drive_lock.h"
#include "commands/single_drive.h"
#include "commands/type_text.h"
#include "device/scsi_commands.h"

namespace vardel {
namespace {

// The blocks one command reads, each zero-filled before its read.
struct Blocks {
    alignas(kVendorBlockAlignment) VendorBlock info = {};
    alignas(kVendorBlockAlignment) VendorBlock device = {};
};

DriveStatus ReadInfoBlock(Platform& platform, char target, VendorBlock& block,
                          CommandDetail& detail) {
    std::memset(block, 0, sizeof(block));
    return VendorRead(platform, target, &kInfoTag, block, &detail);
}

DriveStatus ReadDeviceBlock(Platform& platform, char target, VendorBlock& block,
                            CommandDetail& detail) {
    std::memset(block, 0, sizeof(block));
    return VendorRead(platform, target, nullptr, block, &detail);
}

// Reads both blocks in the order given; the first failure ends the reading, and `detail` tells
// of the last read sent.
DriveStatus ReadBothBlocks(Platform& platform, char target, Blocks& blocks, bool deviceBlockFirst,
                           CommandDetail& detail) {
    DriveStatus status = deviceBlockFirst ? ReadDeviceBlock(platform, target, blocks.device, detail)
                                          : ReadInfoBlock(platform, target, blocks.info, detail);
    if (status != kDriveOk) return status;
    return deviceBlockFirst ? ReadInfoBlock(platform, target, blocks.info, detail)
                            : ReadDeviceBlock(platform, target, blocks.device, detail);
}

CommandOutcome Failed(CommandOutcome outcome, OutcomeCode code, DriveStatus status,
                      const CommandDetail& detail) {
    outcome.code = code;
    outcome.driveStatus = status;
    outcome.failedCommand = detail;
    return outcome;
}

// Tells the user how the command ended and gives the buttons back.
CommandOutcome EndWithMessage(CommandContext& context, const CommandOutcome& outcome) {
    context.window.ShowMessage(outcome);
    context.window.EnableCommandButtons(true);
    return outcome;
}

// Finds the single drive. On any other outcome the user is told and the buttons are enabled.
bool FindTarget(CommandContext& context, CommandOutcome& outcome) {
    const bool changes = outcome.command != CommandKind::ReadStatus;
    outcome.code =
        FindSingleDrive(context.platform, context.state, context.device, &outcome.scan, changes);
    if (outcome.code != OutcomeCode::Done) {
        EndWithMessage(context, outcome);
        return false;
    }
    outcome.target = context.state.targetLetter;
    return true;
}

// Reads the configuration block back after Write: only a block that holds what was sent counts
// as written, and the change is what the drive now holds against the block as read.
void ConfirmWrite(Platform& platform, char target, Blocks& blocks, const VendorBlock& asRead,
                  CommandOutcome& outcome) {
    alignas(kVendorBlockAlignment) VendorBlock sent = {};
    std::memcpy(sent, blocks.info, sizeof(sent));
    CommandDetail detail = {};
    const DriveStatus readBack = ReadInfoBlock(platform, target, blocks.info, detail);
    if (readBack != kDriveOk) {
        // The write was accepted: until a read says otherwise it may have changed the drive, so
        // `changed` stays as the write left it; the rows are not known.
        outcome = Failed(outcome, OutcomeCode::ReadFailed, readBack, detail);
        outcome.typesKnown = false;
        return;
    }
    outcome.swapped = IsSwappedLayout(blocks.device, blocks.info);
    outcome.types = RowTypesOf(blocks.info, outcome.swapped);
    outcome.changed = std::memcmp(asRead, blocks.info, kVendorWriteLength) != 0;
    if (std::memcmp(sent, blocks.info, kVendorWriteLength) != 0) {
        outcome.code = OutcomeCode::NotConfirmed;
    }
}

// The one rule for a write that would change nothing: the bytes a write sends equal the bytes
// read.
bool WriteChangesNothing(const VendorBlock& asRead, const VendorBlock& toWrite) {
    return std::memcmp(asRead, toWrite, kVendorWriteLength) == 0;
}

std::string& RowText(CommandState& state, LunRow row) {
    return row == LunRow::Lun0 ? state.lun0Text : state.lun1Text;
}

}  // namespace

CommandOutcome ReadStatus(CommandContext& context) {
    CommandOutcome outcome;
    outcome.command = CommandKind::ReadStatus;
    context.window.EnableCommandButtons(false);
    if (!FindTarget(context, outcome)) return outcome;
    const char target = outcome.target;

    Blocks blocks;
    CommandDetail detail = {};
    const DriveStatus read = ReadBothBlocks(context.platform, target, blocks, true, detail);
    if (read != kDriveOk) {
        // Showing "Removable" for a block never read would be a guess.
        return EndWithMessage(context, Failed(outcome, OutcomeCode::ReadFailed, read, detail));
    }

    outcome.swapped = IsSwappedLayout(blocks.device, blocks.info);
    outcome.types = RowTypesOf(blocks.info, outcome.swapped);
    outcome.typesKnown = true;
    context.state.lun0Text = LunTypeText(outcome.types.lun0);
    context.state.lun1Text = LunTypeText(outcome.types.lun1);
    context.window.Refresh();
    context.window.EnableCommandButtons(true);
    outcome.code = OutcomeCode::Done;
    return outcome;
}

CommandOutcome SetLunMode(CommandContext& context, const LunModeBinding& binding) {
    CommandOutcome outcome;
    outcome.command = CommandKind::SetLunMode;
    outcome.row = binding.row;
    outcome.requestedType = binding.type;
    if (!FindTarget(context, outcome)) return outcome;
    Platform& platform = context.platform;
    const char target = outcome.target;

    // From the first read to the read-back no other program changes the drive; a dry run writes
    // nothing and waits for no one.
    std::optional<DriveHold> hold;
    if (!context.dryRun) {
        hold.emplace(platform, target);
        if (!hold->Held()) {
            outcome = hold->NotHeld(outcome);
            context.window.ShowMessage(outcome);
            return outcome;
        }
    }

    // Nothing is written unless both blocks came from the drive just now: without the identity
    // block the layout, and so the byte to change, is unknown.
    Blocks blocks;
    CommandDetail detail = {};
    const DriveStatus read =
        ReadBothBlocks(platform, target, blocks, binding.readsDeviceBlockFirst, detail);
    if (read != kDriveOk) outcome = Failed(outcome, OutcomeCode::ReadFailed, read, detail);

    alignas(kVendorBlockAlignment) VendorBlock asRead = {};
    if (outcome.code == OutcomeCode::Done) {
        std::memcpy(asRead, blocks.info, sizeof(asRead));
        const bool swapped = IsSwappedLayout(blocks.device, blocks.info);
        outcome.before = RowTypesOf(blocks.info, swapped);
        outcome.beforeKnown = true;
        blocks.info[TypeByteOffset(binding.row, swapped)] = binding.type;
        const bool differs = !WriteChangesNothing(asRead, blocks.info);
        outcome.unchanged = !differs;
        if (context.dryRun || (context.skipUnchangedWrite && !differs)) {
            // What the write would leave, from the blocks just read; nothing is sent.
            outcome.swapped = swapped;
            outcome.types = RowTypesOf(blocks.info, swapped);
            outcome.typesKnown = true;
            outcome.writeSkipped = true;
            if (context.dryRun) return outcome;
        } else if (!KeptInJournal(context.journal, {CommandKind::SetLunMode, target, blocks.device,
                                                    asRead, blocks.info, context.state.device})) {
            outcome.code = OutcomeCode::JournalNotSaved;
        } else {
            const DriveStatus written = VendorWrite(platform, target, blocks.info, &detail);
            if (written != kDriveOk) {
                outcome = Failed(outcome, OutcomeCode::WriteFailed, written, detail);
            }
            // Until the read-back says otherwise, an accepted write may have changed the drive.
            outcome.changed = differs && written == kDriveOk;
        }
    }

    if (outcome.code == OutcomeCode::Done && !outcome.writeSkipped) {
        // The read-back decides the layout again from the new selector byte, and a read-back
        // that failed confirms nothing.
        const DriveStatus readBack = ReadInfoBlock(platform, target, blocks.info, detail);
        outcome.swapped = IsSwappedLayout(blocks.device, blocks.info);
        if (readBack != kDriveOk) {
            outcome = Failed(outcome, OutcomeCode::ReadFailed, readBack, detail);
        } else {
            // A firmware that acknowledged the write but kept its block changed nothing.
            outcome.changed = std::memcmp(asRead, blocks.info, kVendorWriteLength) != 0;
            outcome.types = RowTypesOf(blocks.info, outcome.swapped);
            outcome.typesKnown = true;
            const std::uint8_t confirmed =
                binding.row == LunRow::Lun0 ? outcome.types.lun0 : outcome.types.lun1;
            if (confirmed != binding.type) outcome.code = OutcomeCode::NotConfirmed;
        }
    }

    if (hold) hold->Release();
    // The buttons stay as they were: this command never disabled them.
    if (outcome.code != OutcomeCode::Done) {
        context.window.ShowMessage(outcome);
        return outcome;
    }
    RowText(context.state, binding.row) = LunTypeText(binding.type);
    context.window.Refresh();
    return outcome;
}

CommandOutcome WriteRaw(CommandContext& context) {
    CommandOutcome outcome;
    outcome.command = CommandKind::WriteRaw;
    context.window.EnableCommandButtons(false);
    if (!FindTarget(context, outcome)) return outcome;
    Platform& platform = context.platform;
    CommandState& state = context.state;
    const char target = outcome.target;

    // A prompt from the length check does not stop the command.
    context.window.Take();

    // From the first read to the read-back no other program changes the drive, and no message
    // is shown while it is held.
    std::optional<DriveHold> hold;
    auto end = [&](const CommandOutcome& ended) {
        if (hold) hold->Release();
        return EndWithMessage(context, ended);
    };
    if (!context.dryRun) {
        hold.emplace(platform, target);
        if (!hold->Held()) return end(hold->NotHeld(outcome));
    }

    Blocks blocks;
    CommandDetail detail = {};
    const DriveStatus read = ReadBothBlocks(platform, target, blocks, false, detail);
    if (read != kDriveOk) return end(Failed(outcome, OutcomeCode::ReadFailed, read, detail));

    TrimSpaces(state.lun1Text);
    TrimSpaces(state.lun0Text);
    outcome.swapped = IsSwappedLayout(blocks.device, blocks.info);
    const RowTypes before = RowTypesOf(blocks.info, outcome.swapped);
    outcome.before = before;
    outcome.beforeKnown = true;
    alignas(kVendorBlockAlignment) VendorBlock asRead = {};
    std::memcpy(asRead, blocks.info, sizeof(asRead));
    outcome.types.lun0 = TypeByteFromText(state.lun0Text, before.lun0);
    outcome.types.lun1 = TypeByteFromText(state.lun1Text, before.lun1);
    outcome.typesKnown = true;
    blocks.info[TypeByteOffset(LunRow::Lun0, outcome.swapped)] = outcome.types.lun0;
    blocks.info[TypeByteOffset(LunRow::Lun1, outcome.swapped)] = outcome.types.lun1;

    // Only the console runs dry, and it shows no message: the rows are what would be written.
    // A write that would change nothing ends the same way, without the message of a write; the
    // front end says that nothing was written.
    outcome.unchanged = WriteChangesNothing(asRead, blocks.info);
    if (context.dryRun || (context.skipUnchangedWrite && outcome.unchanged)) {
        if (hold) hold->Release();
        outcome.code = OutcomeCode::Done;
        outcome.writeSkipped = true;
        if (!context.dryRun) context.window.EnableCommandButtons(true);
        return outcome;
    }
    if (!KeptInJournal(context.journal, {CommandKind::WriteRaw, target, blocks.device, asRead,
                                         blocks.info, state.device})) {
        outcome.code = OutcomeCode::JournalNotSaved;
        outcome.typesKnown = false;
        return EndWithMessage(context, outcome);
    }
    const DriveStatus written = VendorWrite(platform, target, blocks.info, &detail);
    if (written != kDriveOk) return end(Failed(outcome, OutcomeCode::WriteFailed, written, detail));
    outcome.code = OutcomeCode::Done;
    outcome.changed = outcome.types.lun0 != before.lun0 || outcome.types.lun1 != before.lun1;
    if (context.confirmWrite) ConfirmWrite(platform, target, blocks, asRead, outcome);
    return end(outcome);
}

}  // namespace vardel
