#pragma once
// The line that goes with "Fail" or "Write Fail": which command failed on which letter, and what
// the system or the drive answered.

#include <string>
#include <vector>

#include "commands/command_outcome.h"

namespace vardel::frontend {

// The device command's name in the JSON report: "inquiry", "readConfigBlock", ...
const char* DeviceCommandName(DeviceCommand command);

// The detail for a failed outcome (read, write, confirmation), without line break; empty for any
// other. `paths`: the system's nodes of the failed command's letter, shown beside it.
// `nativeErrors`: the system error codes come from the running system, which can put them in
// words (the emulated machine speaks another system's codes).
// The machine's nodes of the letter a failed outcome (read, write, confirmation) names, for
// FailureDetail; empty for any other outcome, for an emulated machine (`machine` false) and where
// the system says nothing of the letter.
std::vector<std::string> FailedCommandPaths(const CommandOutcome& outcome, bool machine);

std::string FailureDetail(const CommandOutcome& outcome, const std::vector<std::string>& paths,
                          bool nativeErrors);

}  // namespace vardel::frontend
