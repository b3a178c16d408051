#pragma once
// What a run learns beside a command's outcome, for its report: the files, the system's nodes of a
// failed command, the bytes a restore or undo changes, and the drives an --all run reached or left
// alone.

#include <string>
#include <vector>

#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "machine/machine_platform.h"
#include "vardelctl/block_changes.h"

namespace vardel::cli {

using frontend::DiskDescription;

// What the run knows beyond the outcome.
struct RunNotes {
    bool noRights = false;        // a volume open failed for lack of rights
    int noRightsDisks = 0;        // the disks whose open failed so
    bool onMachine = false;       // the machine's own drives, not an emulated machine's
    bool throughService = false;  // the drive service ran the command, with its own rights
    std::string file;             // backup or restore
    std::string serial;           // the backup's whole serial, for restore
    // The system's nodes behind the letter the failed command went to, where the system names them.
    std::vector<std::string> failedPaths;
    // System error codes are the running system's own, which can put them in words.
    bool nativeErrors = false;
    // restore: the bytes the backup changes on the drive, once its block was read.
    bool changesKnown = false;
    std::vector<ByteChange> changes;
    // Why the journal entry before a change could not be saved (JournalNotSaved).
    std::string journalProblem;
    // undo: the change it puts back, as "the set of 2026-12-11T01:23:45Z", and, when the drive no
    // longer holds what that change wrote, where it differs (offset: wrote -> holds now).
    std::string undoneChange;
    std::vector<ByteChange> sinceChange;
};

// `disks[j][lun]`: what the system says of the letter in that slot, when it says anything.
using DiskDescriptions = std::vector<std::vector<DiskDescription>>;

// One drive's part of a run with --all: the outcome of the command on it, or a problem of its own
// (a backup file that could not be written), which then sets the exit code.
struct DriveRun {
    ListedDevice device;
    CommandOutcome outcome;
    RunNotes notes;
    int problemCode = -1;  // -1: none
    std::string problem;
};

// A disk --all left alone outside every drive it reached: one it could not open for lack of rights,
// or one that may hold a drive of the kind but did not answer (ScanRecord::unanswered). Nothing
// shows that it is no drive of the served kind, so a drive there may have been left alone.
struct DiskNotOpened {
    char letter = 0;
    std::vector<std::string> paths;  // the system's nodes, where it names them
    // Empty: not opened for lack of rights; otherwise why it did not answer.
    std::string unanswered;
};

}  // namespace vardel::cli
