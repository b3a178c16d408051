#pragma once
// The identity of a physical device, taken from the serial string in its identity block, by which
// the volumes of one device (one per LUN) are grouped together.

#include <cstddef>
#include <cstdint>

#include "device/scsi_commands.h"

namespace vardel {

constexpr std::size_t kDeviceKeySize = 24;

struct DeviceKey {
    std::uint8_t bytes[kDeviceKeySize];
};

// Key bytes 0..11 are the low bytes of serial characters 0..11, bytes 12..23 the high bytes of
// characters 0..11: only identity-block bytes 98..121 ever enter the key. All zero when the block
// says it has no serial, or the serial is empty.
DeviceKey ExtractDeviceKey(const VendorBlock& deviceBlock);

// Equal bytes, letters A..Z without regard to case; a zero byte does not end the comparison.
bool KeysMatch(const DeviceKey& a, const DeviceKey& b);

}  // namespace vardel
