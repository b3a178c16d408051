#include "commands/type_text.h"

#include <cctype>

#include "drive/lun_type.h"

namespace vardel {
namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The conversion of "%x": false when no digit follows the optional sign and prefix.
bool ScanHex(const std::string& text, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint32_t result = 0;
    bool digits = false;
    for (; i < text.size() && HexDigitValue(text[i]) >= 0; ++i) {
        result = result * 16u + static_cast<std::uint32_t>(HexDigitValue(text[i]));
        digits = true;
    }
    if (!digits) return false;
    value = negative ? 0u - result : result;
    return true;
}

}  // namespace

void TrimSpaces(std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::uint8_t TypeByteFromText(const std::string& text, std::uint8_t asRead) {
    if (text == kFixedDiskText) return kLunTypeFixedDisk;
    if (text == kRemovableText) return kLunTypeRemovable;
    std::uint32_t value = 0;
    if (!ScanHex(text, value)) return asRead;
    return static_cast<std::uint8_t>(value & 0xFFu);
}

}  // namespace vardel
