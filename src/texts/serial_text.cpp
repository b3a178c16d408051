#include "texts/serial_text.h"

#include <vector>

#include "texts/hex_text.h"
#include "texts/whole_serial.h"

namespace vardel::frontend {

namespace {

constexpr char kHexPrefix[] = "hex:";
constexpr std::size_t kSerialKeyCharacters = kDeviceKeySize / 2;

bool IsPrintable(std::uint8_t c) {
    return c >= 0x21 && c <= 0x7E;
}

}  // namespace

std::string SerialTextOf(const DeviceKey& key) {
    // Characters up to the first zero, zeros after them; no high bytes.
    std::size_t length = 0;
    while (length < kSerialKeyCharacters && key.bytes[length] != 0) ++length;
    bool plain = true;
    for (std::size_t i = 0; i < kDeviceKeySize; ++i) {
        if (i < length ? !IsPrintable(key.bytes[i]) : key.bytes[i] != 0) plain = false;
    }
    if (plain) return std::string(reinterpret_cast<const char*>(key.bytes), length);
    return kHexPrefix + HexOf(key.bytes, kDeviceKeySize);
}

bool DeviceKeyFromSerialText(const std::string& text, DeviceKey& key) {
    key = DeviceKey{};
    if (text.rfind(kHexPrefix, 0) == 0) {
        std::vector<std::uint8_t> bytes;
        if (!BytesFromHex(text.substr(sizeof(kHexPrefix) - 1), bytes) ||
            bytes.size() != kDeviceKeySize) {
            return false;
        }
        for (std::size_t i = 0; i < kDeviceKeySize; ++i) key.bytes[i] = bytes[i];
        return true;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsPrintable(static_cast<std::uint8_t>(text[i]))) return false;
        if (i < kSerialKeyCharacters) key.bytes[i] = static_cast<std::uint8_t>(text[i]);
    }
    return true;
}

std::string SerialOfIdentity(const VendorBlock& identity) {
    return WholeSerialText(identity);
}

}  // namespace vardel::frontend
