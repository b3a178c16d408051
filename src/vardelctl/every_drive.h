#pragma once
// --all: one command on every attached drive of the served kind, one after the other, each chosen
// by its key as --device would choose it. A production line's way to switch or save a batch.

#include <string>
#include <vector>

#include "frontend_common/drive_journal.h"
#include "platform/platform.h"
#include "vardelctl/options.h"
#include "vardelctl/report.h"

namespace vardel::cli {

struct EveryDriveRun {
    OutcomeCode code = OutcomeCode::Done;  // discovery's: UnknownError when it could not scan
    int deviceCount = 0;
    std::vector<DriveRun> drives;
    // backup: the folder could not be made; nothing was read.
    std::string folderProblem;
};

// Runs status, set, write or backup on each drive. A backup goes into the folder `options.file`
// (made when missing), one file per serial, written as soon as its blocks are read.
EveryDriveRun RunOnEveryDrive(const Options& options, Platform& platform, bool machine,
                              frontend::DriveJournal* journal);

// The backup file's name for a drive: its serial where that is a plain file name, otherwise
// "key-" and the key in hexadecimal; "no-serial" for a drive without.
std::string BackupFileNameFor(const DeviceKey& key);

}  // namespace vardel::cli
