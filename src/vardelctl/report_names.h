#pragma once
// The names the JSON report gives commands and outcomes: "status", "readFailed", ...

#include "commands/command_outcome.h"
#include "vardelctl/options.h"

namespace vardel::cli {

const char* CommandName(CommandKind command);
const char* VerbName(Verb verb);
const char* OutcomeName(OutcomeCode code);

}  // namespace vardel::cli
