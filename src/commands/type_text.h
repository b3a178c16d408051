#pragma once
// What a status row's text means to the Write command. Every front end asks this one rule; none
// decides on its own what a row text stands for.

#include <cstdint>
#include <string>

namespace vardel {

// Removes spaces (not other white space) from both ends.
void TrimSpaces(std::string& text);

enum class RowTextKind {
    Empty,       // nothing in the row: keep its byte
    Removable,   // exactly "Removable"
    FixedDisk,   // exactly "Fixed Disk"
    Byte,        // a hexadecimal byte, read whole: "A1", "0x05", "7"
    Unreadable,  // anything else: never written as a guess
};

struct RowTextMeaning {
    RowTextKind kind = RowTextKind::Empty;
    std::uint8_t byte = 0;  // Byte only
};

// The meaning of a row text that has been trimmed of spaces. A hexadecimal byte is an optional
// "0x" or "0X" and hexadecimal digits up to the end of the text, at most 0xFF; a sign, a larger
// number or a digit run followed by anything else ("1fz", "0xg") is unreadable.
RowTextMeaning ReadRowText(const std::string& text);

// The type byte that Write puts in a row, given the text and the byte as read. A word changes the
// byte only when the byte as read means the other word ("Removable" keeps 0x05, which also shows as
// "Removable"); an explicit byte is written as given; an empty or unreadable text keeps the byte.
std::uint8_t TypeByteFromText(const std::string& text, std::uint8_t asRead);

}  // namespace vardel
