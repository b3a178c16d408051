#pragma once
// How vardelctl tells what a command did: the system's messages and the rows as text, or one JSON
// object (described in docs/vardelctl.md), and the exit code. All of it comes from the outcome
// value; failures go to stderr.

#include <iosfwd>
#include <string>
#include <vector>

#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "frontend_common/machine_platform.h"
#include "vardelctl/block_changes.h"
#include "vardelctl/options.h"

namespace vardel::cli {

using frontend::DiskDescription;

// The version of the JSON reports' format; the backup file has its own.
constexpr int kReportFormatVersion = 2;

int ExitCodeOf(OutcomeCode code);

// What the run knows beyond the outcome.
struct RunNotes {
    bool noRights = false;  // a volume open failed for lack of rights
    std::string file;       // backup or restore
    std::string serial;     // the backup's whole serial, for restore
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

void ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                   std::ostream& out, std::ostream& err);

// `disks[j][lun]`: what the system says of the letter in that slot, when it says anything.
using DiskDescriptions = std::vector<std::vector<DiskDescription>>;

void ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                   const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                   std::ostream& err);

// --device named no attached drive (`why` says how); `attached` is what `list` shows. Exit 4.
int ReportDeviceNotFound(const Options& options, const std::string& why,
                         const DeviceListing& attached, const DiskDescriptions& disks,
                         const RunNotes& notes, std::ostream& out, std::ostream& err);

// --device gave a serial that several attached drives carry, `sharing` (`why` says so): nothing
// was sent to any of them beyond discovery. Exit 3, as for several drives without --device.
int ReportSerialShared(const Options& options, const std::string& why,
                       const DeviceListing& sharing, const DiskDescriptions& disks,
                       const RunNotes& notes, std::ostream& out, std::ostream& err);

// A listed drive's whole serial as `list` shows it and --device takes it; "(none)" without one.
std::string SerialShown(const ListedDevice& device);

// One drive's part of a run with --all: the outcome of the command on it, or a problem of its own
// (a backup file that could not be written), which then sets the exit code.
struct DriveRun {
    ListedDevice device;
    CommandOutcome outcome;
    RunNotes notes;
    int problemCode = -1;  // -1: none
    std::string problem;
};

int DriveRunExitCode(const DriveRun& run);

// A disk --all could not open for lack of rights, outside every drive it reached: nothing shows
// that it is no drive of the served kind, so a drive there may have been left alone.
struct DiskNotOpened {
    char letter = 0;
    std::vector<std::string> paths;  // the system's nodes, where it names them
};

// Every drive's line, or one JSON object with an entry per drive. `code` is discovery's
// (UnknownError, or Done); `drives` holds one entry per recorded device, and the drives counted
// beyond them were not reached. Returns the exit code: 2 without drives, otherwise the first
// failure's among the drives reached, otherwise 9 when a drive was left alone (not reached, or on
// a disk not opened), otherwise 0.
int ReportEveryDrive(const Options& options, OutcomeCode code, int deviceCount,
                     const std::vector<DriveRun>& drives,
                     const std::vector<DiskNotOpened>& notOpened, bool noRights, std::ostream& out,
                     std::ostream& err);

// A problem before any device command: a usage error, an unreadable file. Exit code given.
int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err);

// --version and --help (`help`) with --json: one report that carries the version, or the help text
// as the text mode shows it. Exit 0.
int ReportVersion(std::ostream& out);
int ReportHelp(const std::string& text, std::ostream& out);

// A restore the user declined at the question: nothing was written. Exit 1.
int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err);

// The question a restore asks on a terminal, with the bytes it would change.
std::string RestoreQuestion(const std::string& file, const std::string& serial,
                            const RunNotes& notes, char target);
// The same for an undo.
std::string UndoQuestion(const std::string& serial, const RunNotes& notes, char target);

// The rows of a configuration block, read under the layout its identity block gives, as text.
std::string RowsText(const VendorBlock& identity, const VendorBlock& before,
                     const VendorBlock& after);

// After a change on the built-in emulated drive, which keeps nothing between runs: how to keep it.
void NoteBuiltInEmulation(std::ostream& err);

}  // namespace vardel::cli
