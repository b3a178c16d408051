#pragma once
// One command on the drives, as the command line asks for it, and what the run learns beside the
// outcome: the listing for `list`, the blocks for `backup`, the system's nodes for a failure.

#include <iosfwd>
#include <memory>

#include "commands/block_backup.h"
#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "platform/platform.h"
#include "vardelctl/backup_file.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

// What a command gave. It is reported only once every file it changes is safe.
struct RunResult {
    CommandOutcome outcome;
    bool isListing = false;
    OutcomeCode listingCode = OutcomeCode::Done;
    DeviceListing listing{};
    DiskDescriptions disks;
    std::unique_ptr<BlockBackup> backup;  // backup: what goes into the file
};

// Runs the command of `options` on the physical device `device` (null: the single drive). `restore`
// is the backup a restore writes and `view` what it saw first. `machine`: the platform is the
// machine's own, whose disks the system can describe. `journal` keeps the block as read before
// any write (null: no journal entry).
RunResult RunCommand(const Options& options, Platform& platform, const PhysicalDevice* device,
                     const RestoreSource* restore, RestoreView* view, bool machine,
                     WriteJournal* journal);

// The result of a command that discovery ended with `code` before it sent anything.
RunResult EndedInDiscovery(const Options& options, OutcomeCode code);

int ReportResult(const Options& options, const RunResult& result, const RunNotes& notes,
                 std::ostream& out, std::ostream& err);

// What the system says of each listed letter's disk (nothing on an emulated machine).
DiskDescriptions DescribeDisks(const DeviceListing& listing, bool machine);

// Notes the system's nodes of the letter a failed outcome's command went to.
void NoteFailure(RunNotes& notes, const CommandOutcome& outcome, bool machine);

// Notes the bytes a restore changes, from what it read and the backup's block.
void NoteChanges(RunNotes& notes, const RestoreView& view, const VendorBlock& backupBlock);

}  // namespace vardel::cli
