#pragma once
// A run's report as text: the rows and what was written on stdout; the system's message ("Fail",
// "No drive found") and vardelctl's own lines on what went wrong and what to do on stderr.

#include <iosfwd>

#include "vardelctl/run_report.h"

namespace vardel::cli {

void PrintTextReport(const RunReport& report, std::ostream& out, std::ostream& err);

// After a change on the built-in emulated drive, which keeps nothing between runs: how to keep it.
void NoteBuiltInEmulation(std::ostream& err);

}  // namespace vardel::cli
