#pragma once
// Reading a status text back into a type byte, for the Write command.

#include <cstdint>
#include <string>

namespace vardel {

// Removes spaces (not other white space) from both ends.
void TrimSpaces(std::string& text);

// The type byte a status text stands for: "Fixed Disk" 0xA1, "Removable" 0x00, an empty text the
// byte as it was read; other texts are read as hexadecimal the way "%x" reads them (white space
// skipped, an optional sign and 0x, digits up to the first other character), keeping the low byte.
// A text that gives no value leaves the byte as it was read.
std::uint8_t TypeByteFromText(const std::string& text, std::uint8_t asRead);

}  // namespace vardel
