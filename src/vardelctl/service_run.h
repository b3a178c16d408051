#pragma once
// vardelctl's commands through the drive service: which way a run reaches the drives, and a
// command sent to the service and reported as if run directly.

#include <iosfwd>

#include "vardelctl/backup_file.h"
#include "vardelctl/options.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

enum class Route { Direct, Service };

// The way `options` reach the drives: --direct, --service, or the default (the service without
// root on Linux). -1 to go on with `route`, or the exit code of a refused combination, reported:
// --no-journal on the service's way (which always keeps a journal) among them.
int ChooseRoute(const Options& options, Route& route, std::ostream& out, std::ostream& err);

// Sends the command of `options` to the drive service and reports its outcome as the direct run
// would; a service that is missing or refuses is reported with what to do. `restore` is the
// backup a restore puts back (read and checked by the run), `notes` what the run noted before.
// --all lists the drives, then runs the command on each in turn. The exit code.
int RunThroughService(const Options& options, const RestoreSource* restore, RunNotes notes,
                      std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vardel::cli
