#pragma once
// Bytes as hexadecimal text, the way the backup and scenario files keep blocks.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vardel::frontend {

// Upper-case digits, two per byte, nothing between them.
std::string HexOf(const std::uint8_t* bytes, std::size_t size);

// "0xA1" for a type byte.
std::string ByteText(std::uint8_t value);

// Reads pairs of digits (either case); white space between pairs is allowed. False on any other
// character or an odd digit.
bool BytesFromHex(const std::string& text, std::vector<std::uint8_t>& bytes);

}  // namespace vardel::frontend
