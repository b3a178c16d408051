#include "commands/command_outcome.h"

#include "commands/command_messages.h"

namespace vardel {

RowTypes RowTypesOf(const VendorBlock& info, bool swapped) {
    RowTypes types;
    types.lun0 = info[TypeByteOffset(LunRow::Lun0, swapped)];
    types.lun1 = info[TypeByteOffset(LunRow::Lun1, swapped)];
    return types;
}

OutcomeMessageId OutcomeMessageOf(const CommandOutcome& outcome) {
    const bool writeRaw = outcome.command == CommandKind::WriteRaw;
    switch (outcome.code) {
        case OutcomeCode::NoDrive:
            return OutcomeMessageId::NoDrive;
        case OutcomeCode::SeveralDrives:
            return OutcomeMessageId::MoreDrives;
        case OutcomeCode::UnknownError:
            return OutcomeMessageId::UnknownError;
        case OutcomeCode::Busy:
            return OutcomeMessageId::DriveBusy;
        case OutcomeCode::ReadFailed:
        case OutcomeCode::WriteFailed:
        case OutcomeCode::NotConfirmed:
        case OutcomeCode::WrongDevice:
        case OutcomeCode::NoSerial:
        case OutcomeCode::JournalNotSaved:
        case OutcomeCode::NotAsChanged:
            return writeRaw ? OutcomeMessageId::WriteFail : OutcomeMessageId::Fail;
        case OutcomeCode::Done:
            break;
    }
    return writeRaw ? OutcomeMessageId::WriteSuccess : OutcomeMessageId::None;
}

const char* MessageText(OutcomeMessageId id) {
    switch (id) {
        case OutcomeMessageId::UnknownError:
            return kUnknownErrorMessage;
        case OutcomeMessageId::NoDrive:
            return kNoDriveMessage;
        case OutcomeMessageId::MoreDrives:
            return kMoreDrivesMessage;
        case OutcomeMessageId::Fail:
            return kFailMessage;
        case OutcomeMessageId::WriteSuccess:
            return kWriteSuccessMessage;
        case OutcomeMessageId::WriteFail:
            return kWriteFailMessage;
        case OutcomeMessageId::DriveBusy:
            return kDriveBusyMessage;
        case OutcomeMessageId::None:
            break;
    }
    return nullptr;
}

const char* OutcomeMessage(const CommandOutcome& outcome) {
    return MessageText(OutcomeMessageOf(outcome));
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
