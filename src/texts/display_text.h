#pragma once
// Text that comes from a drive or the system (INQUIRY fields, sysfs attributes) on its way to a
// terminal: a drive must not be able to send escape sequences to the user's terminal.

#include <string>

namespace vardel::frontend {

// Printable ASCII stays as it is; every other byte (control bytes, DEL, bytes of 0x80 and above)
// becomes "\xNN", and a backslash "\\", so that the text on screen says which bytes were there.
std::string DisplayText(const std::string& text);

}  // namespace vardel::frontend
