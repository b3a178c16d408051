#pragma once
// What the console shows on stdout of a command that is done: the rows, and what was written or
// would be.

#include <iosfwd>
#include <string>

#include "vardelctl/run_report.h"

namespace vardel::cli {

// The lines of one drive's command that is done.
void PrintDone(const RunReport& report, std::ostream& out);

// One drive's line under --all, after its serial and letter: its rows, or why it is not done.
std::string DriveLineText(bool dryRun, const DriveReport& drive);

}  // namespace vardel::cli
