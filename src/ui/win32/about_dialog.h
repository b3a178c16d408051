#pragma once
// The about box (template 100), reached from the main dialog's system menu.

#include "ui/win32/windows_headers.h"

namespace vardel::win32 {

// Runs the about box modally over `owner`; returns when it is closed.
void ShowAboutBox(HINSTANCE instance, HWND owner);

}  // namespace vardel::win32
