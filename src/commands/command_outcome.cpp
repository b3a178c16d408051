#include "commands/command_outcome.h"

#include "commands/command_messages.h"

namespace vardel {

RowTypes RowTypesOf(const VendorBlock& info, bool swapped) {
    RowTypes types;
    types.lun0 = info[TypeByteOffset(LunRow::Lun0, swapped)];
    types.lun1 = info[TypeByteOffset(LunRow::Lun1, swapped)];
    return types;
}

const char* OutcomeMessage(const CommandOutcome& outcome) {
    const bool writeRaw = outcome.command == CommandKind::WriteRaw;
    switch (outcome.code) {
        case OutcomeCode::NoDrive:
            return kNoDriveMessage;
        case OutcomeCode::SeveralDrives:
            return kMoreDrivesMessage;
        case OutcomeCode::UnknownError:
            return kUnknownErrorMessage;
        case OutcomeCode::Busy:
            return kDriveBusyMessage;
        case OutcomeCode::ReadFailed:
        case OutcomeCode::WriteFailed:
        case OutcomeCode::NotConfirmed:
        case OutcomeCode::WrongDevice:
        case OutcomeCode::NoSerial:
        case OutcomeCode::JournalNotSaved:
        case OutcomeCode::NotAsChanged:
            return writeRaw ? kWriteFailMessage : kFailMessage;
        case OutcomeCode::Done:
            break;
    }
    return writeRaw ? kWriteSuccessMessage : nullptr;
}

bool WriteUnconfirmed(const CommandOutcome& outcome) {
    return outcome.code == OutcomeCode::ReadFailed && outcome.changed;
}

std::string UnconfirmedWriteAdvice(const char* readAgain) {
    return std::string(
               "The drive acknowledged the write, but reading the block back failed, so "
               "the change is not confirmed: the drive may hold it now. Read the drive "
               "again with ") +
           readAgain + ", and replug the drive for a change to take effect.";
}

}  // namespace vardel
