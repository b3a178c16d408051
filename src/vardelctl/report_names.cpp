#include "vardelctl/report_names.h"

namespace vardel::cli {

const char* CommandName(CommandKind command) {
    switch (command) {
        case CommandKind::ReadStatus:
            return "status";
        case CommandKind::SetLunMode:
            return "set";
        case CommandKind::WriteRaw:
            return "write";
        case CommandKind::Backup:
            return "backup";
        case CommandKind::Restore:
            return "restore";
        case CommandKind::Undo:
            return "undo";
    }
    return "";
}

const char* VerbName(Verb verb) {
    switch (verb) {
        case Verb::Status:
            return "status";
        case Verb::Set:
            return "set";
        case Verb::Write:
            return "write";
        case Verb::List:
            return "list";
        case Verb::Backup:
            return "backup";
        case Verb::Restore:
            return "restore";
        case Verb::History:
            return "history";
        case Verb::Undo:
            return "undo";
    }
    return "";
}

const char* OutcomeName(OutcomeCode code) {
    switch (code) {
        case OutcomeCode::Done:
            return "done";
        case OutcomeCode::NoDrive:
            return "noDrive";
        case OutcomeCode::SeveralDrives:
            return "severalDrives";
        case OutcomeCode::UnknownError:
            return "unknownError";
        case OutcomeCode::ReadFailed:
            return "readFailed";
        case OutcomeCode::WriteFailed:
            return "writeFailed";
        case OutcomeCode::NotConfirmed:
            return "notConfirmed";
        case OutcomeCode::WrongDevice:
            return "wrongDevice";
        case OutcomeCode::NoSerial:
            return "noSerial";
        case OutcomeCode::Busy:
            return "busy";
        case OutcomeCode::JournalNotSaved:
            return "journalNotSaved";
        case OutcomeCode::NotAsChanged:
            return "notAsChanged";
    }
    return "";
}

}  // namespace vardel::cli
