#pragma once
// Bytes in the tool's JSON files: hexadecimal text, and for a whole block an array of lines of
// 16 bytes each, so that a changed byte shows as one changed line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vardel::frontend {

nlohmann::ordered_json HexLines(const std::uint8_t* bytes, std::size_t size);

// Reads hexadecimal text, or an array of lines of it, that must come to `size` bytes. False with
// `problem` saying what is wrong.
bool BytesFromJson(const nlohmann::ordered_json& value, std::size_t size,
                   std::vector<std::uint8_t>& bytes, std::string& problem);

}  // namespace vardel::frontend
