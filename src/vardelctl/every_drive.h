#pragma once
// --all: one command on every attached drive of the served kind, one after the other, each chosen
// as --device would choose it by its letter: drives that share a serial are each reached. A
// production line's way to switch or save a batch.

#include <cstdint>
#include <string>
#include <vector>

#include "commands/block_backup.h"
#include "commands/device_listing.h"
#include "journal/drive_journal.h"
#include "machine/access_watch.h"
#include "machine/device_name.h"
#include "platform/platform.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

struct EveryDriveRun {
    OutcomeCode code = OutcomeCode::Done;  // discovery's: UnknownError when it could not scan
    int deviceCount = 0;
    std::vector<DriveRun> drives;
    // backup: the folder could not be made; nothing was read.
    std::string folderProblem;
    // The disks outside the drives reached that could not be opened for lack of rights, or that
    // may hold a drive of the kind but did not answer.
    std::vector<DiskNotOpened> notOpened;
};

// Runs status, set, write or backup on each drive. A backup goes into the folder `options.file`
// (made when missing), one file per drive (BackupFileNames), written as soon as its blocks are
// read.
EveryDriveRun RunOnEveryDrive(const Options& options, frontend::AccessWatch& platform, bool machine,
                              frontend::DriveJournal* journal);

// The backup file's name for a drive: its serial where that is a plain file name, otherwise
// "key-" and the key in hexadecimal; "no-serial" for a drive without.
std::string BackupFileNameFor(const DeviceKey& key);

// The backup file names of every listed drive, entry j for device j: BackupFileNameFor where no
// other drive's name is the same (file systems may ignore case); drives whose names clash take
// their whole serial where it is a plain name that clashes with nothing, otherwise the name
// with "-" and their first letter ("VD0000000001-E.json").
std::vector<std::string> BackupFileNames(const DeviceListing& listing);

// The folder for --all's backups, made when missing. Empty when it is there, else why not.
std::string MakeFolder(const std::string& folder);

// Puts one drive's backup into the folder `options.file` under `name`; a problem goes into the
// drive's run.
void SaveBackup(const Options& options, const std::string& name, const BlockBackup& backup,
                DriveRun& run);

using frontend::DiskDescriber;

// The letters refused for lack of rights (a bit per letter from A), but those of the drives
// reached, and those the system says are not attached through USB (a system disk), as no drive
// of the kind is; then the disks the listing's scan says did not answer, each with why, where
// the first rule has not named them. `describe` may be empty (an emulated machine).
std::vector<DiskNotOpened> DisksNotOpened(std::uint32_t refused, const DeviceListing& listing,
                                          const DiskDescriber& describe, bool nativeErrors);

}  // namespace vardel::cli
