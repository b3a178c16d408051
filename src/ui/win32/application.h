#pragma once
// The program around the main dialog, whatever the platform beneath it.

#include "platform/platform.h"
#include "ui/win32/windows_headers.h"

namespace vardel::win32 {

// Runs the main dialog until it closes; returns the program's exit code.
int RunApplication(HINSTANCE instance, Platform& platform);

}  // namespace vardel::win32
