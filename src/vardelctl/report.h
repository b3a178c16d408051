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
#include "vardelctl/options.h"

namespace vardel::cli {

using frontend::DiskDescription;

int ExitCodeOf(OutcomeCode code);

// What the run knows beyond the outcome.
struct RunNotes {
    bool noRights = false;  // a volume open failed for lack of rights
    std::string file;       // backup or restore
    std::string serial;     // the backup's whole serial, for restore
};

void ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                   std::ostream& out, std::ostream& err);

// `disks[j][lun]`: what the system says of the letter in that slot, when it says anything.
using DiskDescriptions = std::vector<std::vector<DiskDescription>>;

void ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                   const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                   std::ostream& err);

// A problem before any device command: a usage error, an unreadable file. Exit 64 or 2 given.
int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err);

// A restore the user declined at the question: nothing was written. Exit 1.
int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err);

}  // namespace vardel::cli
