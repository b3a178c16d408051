#include "texts/whole_serial.h"

#include <cstdint>
#include <cstring>

#include "drive/drive_identity.h"
#include "drive/vendor_blocks.h"
#include "texts/hex_text.h"

namespace vardel::frontend {
namespace {

constexpr char kHexPrefix[] = "hex:";
// File systems take 255 bytes in a name; a real serial is far shorter.
constexpr std::size_t kLongestSerialName = 120;
constexpr std::size_t kCutSerialName = 100;

bool IsPrintable(std::uint8_t c) {
    return c >= 0x21 && c <= 0x7E;
}

bool IsPlainNameCharacter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// FNV-1a, 64 bits: tells long serials with a common start apart.
std::uint64_t Hash(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

}  // namespace

std::string WholeSerialText(const VendorBlock& identity) {
    const std::size_t bytes = SerialByteCount(identity);
    if (bytes == 0) return "";
    const std::uint8_t* serial = identity + kSerialCharactersOffset;
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        if (!IsPrintable(serial[i]) || serial[i + 1] != 0) return kHexPrefix + HexOf(serial, bytes);
        text += static_cast<char>(serial[i]);
    }
    if (bytes % 2 != 0) return kHexPrefix + HexOf(serial, bytes);
    return text;
}

std::string SerialFileName(const VendorBlock& identity) {
    const std::size_t bytes = SerialByteCount(identity);
    if (bytes == 0) return "@no-serial";
    const std::uint8_t* serial = identity + kSerialCharactersOffset;
    std::string name;
    for (std::size_t i = 0; i < bytes; i += 2) {
        const bool whole = i + 1 < bytes;
        if (whole && serial[i + 1] == 0 && IsPlainNameCharacter(serial[i])) {
            name += static_cast<char>(serial[i]);
        } else {
            name += '%' + HexOf(serial + i, whole ? 2 : 1);
        }
    }
    if (name.size() > kLongestSerialName) {
        const std::uint64_t hash = Hash(serial, bytes);
        std::uint8_t hashBytes[sizeof hash];
        std::memcpy(hashBytes, &hash, sizeof hash);  // low byte first on every system served
        name = name.substr(0, kCutSerialName) + "~" + HexOf(hashBytes, sizeof hashBytes);
    }
    return name;
}

}  // namespace vardel::frontend
