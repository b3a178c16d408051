#include "drive/drive_identity.h"

#include <algorithm>
#include <cstring>

#include "drive/vendor_blocks.h"

namespace vardel {
namespace {

// The descriptor's own 2-byte header is counted in its length; fewer than one character (two
// bytes) is no serial, as for the device key.
constexpr std::size_t kSerialDescriptorHeader = 2;
constexpr std::size_t kSerialCharacterSize = 2;

}  // namespace

std::size_t SerialByteCount(const VendorBlock& block) {
    const std::size_t length = block[kSerialDescriptorLengthOffset];
    if (block[kSerialPresentOffset] == 0 ||
        length < kSerialDescriptorHeader + kSerialCharacterSize) {
        return 0;
    }
    return std::min(length - kSerialDescriptorHeader, kVendorBlockSize - kSerialCharactersOffset);
}

SerialComparison CompareSerials(const VendorBlock& a, const VendorBlock& b) {
    const bool aHas = SerialByteCount(a) != 0;
    const bool bHas = SerialByteCount(b) != 0;
    if (!aHas && !bHas) return SerialComparison::NoSerial;
    if (aHas != bHas) return SerialComparison::Different;
    if (a[kSerialDescriptorLengthOffset] != b[kSerialDescriptorLengthOffset]) {
        return SerialComparison::Different;
    }
    const bool same = std::memcmp(a + kSerialCharactersOffset, b + kSerialCharactersOffset,
                                  SerialByteCount(a)) == 0;
    return same ? SerialComparison::Same : SerialComparison::Different;
}

}  // namespace vardel
