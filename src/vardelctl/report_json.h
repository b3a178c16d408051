#pragma once
// A run's report as one JSON object on stdout, in the format docs/vardelctl.md describes.

#include <iosfwd>

#include "vardelctl/run_report.h"

namespace vardel::cli {

// The version of the JSON reports' format; the backup file has its own.
constexpr int kReportFormatVersion = 2;

void PrintJsonReport(const RunReport& report, std::ostream& out);

}  // namespace vardel::cli
