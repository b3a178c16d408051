#include "commands/drive_lock.h"

namespace vardel {

DriveHold::DriveHold(Platform& platform, char letter)
    : platform_(platform),
      letter_(letter),
      result_(platform.LockDrive(letter, kDriveLockWaitMilliseconds)) {
    if (result_ == DriveLockResult::Failed) error_ = platform.LastError();
}

DriveHold::~DriveHold() {
    Release();
}

void DriveHold::Release() {
    if (result_ != DriveLockResult::Held) return;
    platform_.UnlockDrive(letter_);
    result_ = DriveLockResult::Busy;  // no longer held; never released twice
}

CommandOutcome DriveHold::NotHeld(CommandOutcome outcome) const {
    if (result_ == DriveLockResult::Busy) {
        outcome.code = OutcomeCode::Busy;
        return outcome;
    }
    outcome.code = OutcomeCode::ReadFailed;
    outcome.driveStatus = static_cast<DriveStatus>(error_);
    outcome.failedCommand = {};
    outcome.failedCommand.command = DeviceCommand::LockDrive;
    outcome.failedCommand.letter = letter_;
    outcome.failedCommand.systemError = error_;
    return outcome;
}

}  // namespace vardel
