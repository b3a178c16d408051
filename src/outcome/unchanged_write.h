#pragma once
// What a front end says when a set or Write sent nothing because the drive already holds it.

#include <string>

#include "commands/command_outcome.h"

namespace vardel::frontend {

// "Nothing was written: LUN 0 is already Fixed Disk." for a set; a Write names both LUNs.
std::string UnchangedWriteText(const CommandOutcome& outcome);

}  // namespace vardel::frontend
