#pragma once
// What the sense data a drive leaves with CHECK CONDITION says (the sense key, ASC and ASCQ),
// whichever of the two formats the drive chose.

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

struct SenseFields {
    int key = kNoSenseKey;  // kNoSenseKey when the sense data holds none
    int asc = -1;           // -1 when the sense data is too short to hold it
    int ascq = -1;
};

// The key, ASC and ASCQ in the first `length` bytes: fixed format keeps ASC and ASCQ in bytes 12
// and 13, descriptor format in bytes 2 and 3.
SenseFields ReadSense(const std::uint8_t* sense, std::size_t length);

// The bytes of the sense data that mean something: as many as its own additional length says,
// never more than `length`.
std::size_t SenseDataLength(const std::uint8_t* sense, std::size_t length);

}  // namespace vardel
