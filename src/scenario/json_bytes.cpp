#include "scenario/json_bytes.h"

#include "texts/hex_text.h"

namespace vardel::frontend {
namespace {

constexpr std::size_t kLineBytes = 16;

}  // namespace

nlohmann::ordered_json HexLines(const std::uint8_t* bytes, std::size_t size) {
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < size; i += kLineBytes) {
        lines.push_back(HexOf(bytes + i, size - i < kLineBytes ? size - i : kLineBytes));
    }
    return lines;
}

bool BytesFromJson(const nlohmann::ordered_json& value, std::size_t size,
                   std::vector<std::uint8_t>& bytes, std::string& problem) {
    std::string text;
    if (value.is_string()) {
        text = value.get<std::string>();
    } else if (value.is_array()) {
        for (const auto& line : value) {
            if (!line.is_string()) {
                problem = "expected an array of strings of hexadecimal digits";
                return false;
            }
            text += line.get<std::string>();
        }
    } else {
        problem = "expected hexadecimal text, or an array of lines of it";
        return false;
    }
    if (!BytesFromHex(text, bytes)) {
        problem = "expected hexadecimal digits in pairs";
        return false;
    }
    if (bytes.size() != size) {
        problem =
            "expected " + std::to_string(size) + " bytes, found " + std::to_string(bytes.size());
        return false;
    }
    return true;
}

}  // namespace vardel::frontend
