#include "vardelctl/exit_code.h"

namespace vardel::cli {

int ExitCodeOf(OutcomeCode code) {
    switch (code) {
        case OutcomeCode::Done:
            return kExitSuccess;
        case OutcomeCode::ReadFailed:
        case OutcomeCode::WriteFailed:
        case OutcomeCode::NotConfirmed:
            return kExitDriveRefused;
        case OutcomeCode::NoDrive:
            return kExitNoDrive;
        case OutcomeCode::SeveralDrives:
            return kExitSeveralDrives;
        case OutcomeCode::WrongDevice:
        case OutcomeCode::NoSerial:
        case OutcomeCode::NotAsChanged:
            return kExitWrongDevice;
        case OutcomeCode::Busy:
            return kExitBusy;
        case OutcomeCode::JournalNotSaved:
            return kExitFileNotWritten;
        case OutcomeCode::UnknownError:
            break;
    }
    return kExitUnknownError;
}

int DriveRunExitCode(const DriveRun& run) {
    return run.problemCode >= 0 ? run.problemCode : ExitCodeOf(run.outcome.code);
}

int EveryDriveExitCode(OutcomeCode overall, const std::vector<DriveRun>& drives, bool leftAlone) {
    int exitCode = ExitCodeOf(overall);
    for (const DriveRun& run : drives) {
        if (exitCode != kExitSuccess) break;
        exitCode = DriveRunExitCode(run);
    }
    // A drive reached that failed says more, so its code comes first.
    if (leftAlone && exitCode == kExitSuccess) exitCode = kExitDrivesLeftAlone;
    return exitCode;
}

}  // namespace vardel::cli
