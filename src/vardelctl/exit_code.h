#pragma once
// The exit code of a run, decided here and nowhere else: from a command's outcome, from one
// drive's part of an --all run, and from a whole --all run.

#include <vector>

#include "commands/command_outcome.h"
#include "vardelctl/exit_codes.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

int ExitCodeOf(OutcomeCode code);

int DriveRunExitCode(const DriveRun& run);

// An --all run: discovery's end `overall` first (no drive, no scan), then the first failure's
// code among the drives reached, then 9 when drives were left alone, otherwise 0.
int EveryDriveExitCode(OutcomeCode overall, const std::vector<DriveRun>& drives, bool leftAlone);

}  // namespace vardel::cli
