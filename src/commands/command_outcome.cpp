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

}  // namespace vardel
