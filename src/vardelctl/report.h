#pragma once
// How vardelctl tells what a command did: each call makes the run's report (run_report.h) and
// prints it as text, or as one JSON object when --json was given; failures go to stderr. Each
// returns the run's exit code.

#include <iosfwd>
#include <string>
#include <vector>

#include "commands/command_outcome.h"
#include "commands/device_listing.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"
#include "vardelctl/run_report.h"

namespace vardel::cli {

int ReportOutcome(const Options& options, const CommandOutcome& outcome, const RunNotes& notes,
                  std::ostream& out, std::ostream& err);

int ReportListing(const Options& options, OutcomeCode code, const DeviceListing& listing,
                  const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                  std::ostream& err);

// --device named no attached drive (`why` says how); `attached` is what `list` shows. Exit 4.
int ReportDeviceNotFound(const Options& options, const std::string& why,
                         const DeviceListing& attached, const DiskDescriptions& disks,
                         const RunNotes& notes, std::ostream& out, std::ostream& err);

// --device gave a serial that several attached drives carry, `sharing` (`why` says so): nothing
// was sent to any of them beyond discovery. Exit 3, as for several drives without --device.
int ReportSerialShared(const Options& options, const std::string& why, const DeviceListing& sharing,
                       const DiskDescriptions& disks, const RunNotes& notes, std::ostream& out,
                       std::ostream& err);

// Every drive's line, or one JSON object with an entry per drive. `code` is discovery's
// (UnknownError, or Done); `drives` holds one entry per recorded device, and the drives counted
// beyond them were not reached. The exit code: 2 without drives, otherwise the first failure's
// among the drives reached, otherwise 9 when a drive was left alone (not reached, or on a disk not
// opened), otherwise 0.
int ReportEveryDrive(const Options& options, OutcomeCode code, int deviceCount,
                     const std::vector<DriveRun>& drives,
                     const std::vector<DiskNotOpened>& notOpened, bool noRights, std::ostream& out,
                     std::ostream& err);

// A problem before any device command: a usage error, an unreadable file. Exit code given.
int ReportProblem(const Options& options, int exitCode, const std::string& text, std::ostream& out,
                  std::ostream& err);

// The command line's parse ended short of a run (ParseEnd other than Go): --version, --help,
// `help`, or a usage error. Exit 0 or 64.
int ReportParseEnd(const ParseResult& parsed, std::ostream& out, std::ostream& err);

// The changes `history` found in the journal's folder, oldest first. Exit 0.
int ReportHistory(const Options& options, const std::string& folder,
                  std::vector<HistoryEntry> entries, std::ostream& out, std::ostream& err);

// A restore the user declined at the question: nothing was written. Exit 1.
int ReportDeclined(const Options& options, const RunNotes& notes, std::ostream& out,
                   std::ostream& err);

}  // namespace vardel::cli
