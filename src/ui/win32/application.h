#pragma once
// The program around the main dialog, whatever the platform beneath it.

#include "platform/platform.h"
#include "ui/win32/windows_headers.h"

namespace vardel::win32 {

// Runs the main dialog until it closes; returns the program's exit code. Every change goes through
// the journal first, an emulated machine's into a folder of its own.
int RunApplication(HINSTANCE instance, Platform& platform, bool emulated);

}  // namespace vardel::win32
