#include "fault_matrix_commands.h"

#include "commands/lun_mode_commands.h"
#include "drive/vendor_blocks.h"

namespace vardel::fault_matrix {

const char* CommandName(UserCommand command) {
    switch (command) {
        case UserCommand::Status:
            return "status (1003)";
        case UserCommand::Lun0Removable:
            return "Lun0 removable (1005)";
        case UserCommand::Lun1Removable:
            return "Lun1 removable (1006)";
        case UserCommand::Lun0Fixed:
            return "Lun0 fixed (1007)";
        case UserCommand::Lun1Fixed:
            return "Lun1 fixed (1008)";
        case UserCommand::Write:
            return "write (IDOK)";
        case UserCommand::Backup:
            return "backup";
        case UserCommand::Restore:
            return "restore";
    }
    return "?";
}

bool IsModeCommand(UserCommand command) {
    return command == UserCommand::Lun0Removable || command == UserCommand::Lun1Removable ||
           command == UserCommand::Lun0Fixed || command == UserCommand::Lun1Fixed;
}

bool HasWindow(UserCommand command) {
    return command != UserCommand::Backup && command != UserCommand::Restore;
}

// The standard drive holds LUN 0 removable and LUN 1 fixed, not swapped; the set-up below turns
// the byte each mode button writes to the other type first.
std::vector<IntendedByte> IntendedBytes(UserCommand command) {
    switch (command) {
        case UserCommand::Lun0Removable:
            return {{kTypeSlotAOffset, kLunTypeRemovable}};
        case UserCommand::Lun1Removable:
            return {{kTypeSlotBOffset, kLunTypeRemovable}};
        case UserCommand::Lun0Fixed:
            return {{kTypeSlotAOffset, kLunTypeFixedDisk}};
        case UserCommand::Lun1Fixed:
            return {{kTypeSlotBOffset, kLunTypeFixedDisk}};
        case UserCommand::Write:  // from the texts "Fixed Disk" and "Removable"
            return {{kTypeSlotAOffset, kLunTypeFixedDisk}, {kTypeSlotBOffset, kLunTypeRemovable}};
        case UserCommand::Restore:  // the backup's byte, changed on the drive since
            return {{kTypeSlotAOffset, kLunTypeRemovable}};
        case UserCommand::Status:
        case UserCommand::Backup:
            break;
    }
    return {};
}

MatrixMachine::MatrixMachine(UserCommand command) : command_(command) {
    drive.driveIndex = emulated::SetUpStandardMachine(platform);
    drive.lun0Letter = 'E';
    drive.lun1Letter = 'F';
    emulated::Drive& emulatedDrive = platform.DriveAt(drive.driveIndex);
    const bool write = command == UserCommand::Write;
    state.lun0Text = write ? kFixedDiskText : kTextBefore;
    state.lun1Text = write ? kRemovableText : kTextBefore;

    if (command == UserCommand::Restore) {
        CommandState scratch;
        BackupBlocks(platform, scratch, nullptr, backup);
    }
    if (command == UserCommand::Lun1Fixed) emulatedDrive.configBlock[kTypeSlotBOffset] = 0x00;
    if (command == UserCommand::Lun0Removable || command == UserCommand::Restore) {
        emulatedDrive.configBlock[kTypeSlotAOffset] = kLunTypeFixedDisk;
    }
    configBefore = emulatedDrive.configBlock;
    identityBefore = emulatedDrive.identityBlock;
    platform.ClearLog();
}

CommandOutcome MatrixMachine::Run() {
    CommandContext context{platform, state, window};
    switch (command_) {
        case UserCommand::Status:
            return ReadStatus(context);
        case UserCommand::Lun0Removable:
            return SetLunMode(context, kLun0RemovableBinding);
        case UserCommand::Lun1Removable:
            return SetLunMode(context, kLun1RemovableBinding);
        case UserCommand::Lun0Fixed:
            return SetLunMode(context, kLun0FixedBinding);
        case UserCommand::Lun1Fixed:
            return SetLunMode(context, kLun1FixedBinding);
        case UserCommand::Write:
            return WriteRaw(context);
        case UserCommand::Backup:
            return BackupBlocks(platform, state, nullptr, backup);
        case UserCommand::Restore:
            return RestoreConfigBlock(platform, state, nullptr, backup.info, backup.identity, false);
    }
    return {};
}

}  // namespace vardel::fault_matrix
