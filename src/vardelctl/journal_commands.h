#pragma once
// The journal on the command line: `history` lists the changes it holds, and `undo` takes from it
// the change to put back (the write itself goes through restore's command).

#include <iosfwd>
#include <string>

#include "drive/physical_device.h"
#include "journal/journal_file.h"
#include "platform/platform.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

// Every change in the journal's folder (only the drive with the serial --device gives, whole, in
// any case; the run has checked that it is a serial), oldest first. Reads no drive. Returns the
// exit code.
int RunHistory(const Options& options, const std::string& folder, const std::string& problem,
               std::ostream& out, std::ostream& err);

// Reads the drive's identity block, then its journal file, and takes the last change made on a
// drive with its serial. -1 to go on with `source` (the block that change replaced, and what it
// wrote) and `notes`; otherwise the exit code of the report made.
int FindChangeToUndo(const Options& options, Platform& platform, const PhysicalDevice* device,
                     const std::string& folder, const std::string& problem, bool machine,
                     RestoreSource& source, RunNotes& notes, std::ostream& out, std::ostream& err);

// The change an undo puts back, kept in the journal file `file`: what the restore's command
// writes and checks, and what the report tells of it.
void TakeChangeToUndo(const frontend::JournalEntry& change, const std::string& file,
                      RestoreSource& source, RunNotes& notes);

}  // namespace vardel::cli
