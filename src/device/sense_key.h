#pragma once
// The sense key of the sense data a drive leaves with CHECK CONDITION, whichever of the two
// formats the drive chose.

#include <cstddef>
#include <cstdint>

namespace vardel {

constexpr int kNoSenseKey = -1;
constexpr int kSenseKeyUnitAttention = 0x06;

// The sense key (0..15) in the first `length` bytes at `sense`: fixed format (response code 0x70
// current, 0x71 deferred) keeps it in byte 2, descriptor format (0x72, 0x73) in byte 1.
// kNoSenseKey for any other response code (zeros included: no sense came back) and for data too
// short to reach the key.
int SenseKey(const std::uint8_t* sense, std::size_t length);

}  // namespace vardel
