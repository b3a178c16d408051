#include "drive/device_key.h"

#include "drive/vendor_blocks.h"

namespace vardel {
namespace {

constexpr std::size_t kKeyCharacters = kDeviceKeySize / 2;

std::uint8_t FoldLetter(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

}  // namespace

DeviceKey ExtractDeviceKey(const VendorBlock& deviceBlock) {
    DeviceKey key = {};
    if (deviceBlock[kSerialPresentOffset] == 0) return key;
    const int descriptorLength = deviceBlock[kSerialDescriptorLengthOffset];
    const int characters = (descriptorLength - 2) >> 1;
    if (characters <= 0) return key;
    const std::size_t count =
        static_cast<std::size_t>(characters) < kDeviceKeySize ? characters : kDeviceKeySize;
    for (std::size_t i = 0; i < count; ++i) {
        key.bytes[i] =
            deviceBlock[kSerialCharactersOffset + 2 * (i % kKeyCharacters) + i / kKeyCharacters];
    }
    return key;
}

bool KeysMatch(const DeviceKey& a, const DeviceKey& b) {
    for (std::size_t i = 0; i < kDeviceKeySize; ++i) {
        if (FoldLetter(a.bytes[i]) != FoldLetter(b.bytes[i])) return false;
    }
    return true;
}

}  // namespace vardel
