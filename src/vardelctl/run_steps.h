#pragma once
// The steps a run takes around a command, the same whichever way it reaches the drive (itself or
// through the drive service): the question before a restore or undo, the backup's file, and the
// report of a backup whose file is standard output.

#include <functional>
#include <iosfwd>
#include <string>

#include "commands/block_backup.h"
#include "machine/device_name.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/command_run.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

// "-": the backup goes to standard output, and the report beside it to stderr.
constexpr char kStandardOutput[] = "-";

// Asks on stderr, so that stdout keeps only the report; only "y" or "yes" goes on.
bool UserAgrees(const std::string& question, std::istream& in, std::ostream& err);

// An undo refused because the drive changed since shows where: what that change wrote against
// what the drive holds now.
void NoteSinceChange(RunNotes& notes, const RestoreView& view, const RestoreSource& restore);

// After a restore's or undo's first reading (`looked`, a dry run; `notes` hold the bytes it
// would change and the failure's nodes): ends the run without a question when it failed or the
// drive holds the block already, otherwise asks. -1 to go on and write, or the exit code.
int AskAfterLooking(const Options& options, RunResult& looked, const RunNotes& notes,
                    const RestoreSource& restore, std::istream& in, std::ostream& out,
                    std::ostream& err);

// Writes a backup taken whole to its file (or standard output), replacing the file whole or not
// at all. -1 when it is there, otherwise the exit code of the problem reported.
int KeepBackup(const Options& options, const BlockBackup& backup, std::ostream& out,
               std::ostream& err);

// The report of a --device that picks no single drive of `listing` (`choice` is not Found): no
// such drive, or several that carry the serial. `describe` gives the disks' descriptions of a
// listing, or of some of its drives. The exit code of the report.
int ReportDeviceChoice(const Options& options, const DeviceListing& listing,
                       const frontend::DeviceChoice& choice, bool machine,
                       const std::function<DiskDescriptions(const DeviceListing&)>& describe,
                       RunNotes& notes, std::ostream& out, std::ostream& err);

// The report of one command's run; a backup on standard output has its report on stderr.
int ReportRun(const Options& options, const RunResult& result, const RunNotes& notes,
              std::ostream& out, std::ostream& err);

}  // namespace vardel::cli
