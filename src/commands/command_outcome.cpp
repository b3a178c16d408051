#include "commands/command_outcome.h"

#include "commands/command_messages.h"

namespace vardel {

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
            return writeRaw ? kWriteFailMessage : kFailMessage;
        case OutcomeCode::Done:
            break;
    }
    return writeRaw ? kWriteSuccessMessage : nullptr;
}

}  // namespace vardel
