#pragma once
// One run of vardelctl: checks what was asked, builds the platform (the machine's drives or an
// emulated machine), runs the command and reports its outcome.

#include <iosfwd>

#include "vardelctl/options.h"

namespace vardel::cli {

// Returns the exit code.
int RunTool(const Options& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vardel::cli
