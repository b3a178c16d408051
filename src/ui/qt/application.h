#pragma once
// The program around the window: the machine's drives or an emulated machine beneath it, the
// rights hint, the write-back of a scenario file, and the screenshot run.

#include <iosfwd>

#include "ui/qt/launch_options.h"

namespace vardel::qt {

// Runs the window until it closes (or, for a screenshot, until the picture is saved); returns the
// program's exit code. A QApplication must exist.
int RunVardel(const LaunchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vardel::qt
