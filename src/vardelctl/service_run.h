#pragma once
// vardelctl's commands through the drive service: which way a run reaches the drives, and a
// command sent to the service and reported as if run directly.

#include <iosfwd>

#include "vardelctl/options.h"

namespace vardel::cli {

enum class Route { Direct, Service };

// The way `options` reach the drives: --direct, --service, or the default (the service without
// root on Linux). -1 to go on with `route`, or the exit code of a refused combination, reported.
int ChooseRoute(const Options& options, Route& route, std::ostream& out, std::ostream& err);

// Sends the command of `options` to the drive service and reports its outcome as the direct run
// would; a service that is missing or refuses is reported with what to do. The exit code.
int RunThroughService(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace vardel::cli
