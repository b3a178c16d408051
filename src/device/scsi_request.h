#pragma once
// The two pass-through request records the device commands send: a platform header, a 4-byte
// filler, the sense area and, for the buffered form, the data area the device's data lands in. On
// 32-bit Windows the filler puts the sense area on an 8-byte boundary; on 64-bit builds the offsets
// follow from the longer header, and the driver is told each one, so no offset is assumed.

#include <cstddef>
#include <cstdint>

#include "platform/scsi_pass_through.h"

namespace vardel {

constexpr std::size_t kSenseAreaSize = 32;
constexpr std::uint8_t kSenseInfoLength = 24;  // announced to the driver; the area holds 32
constexpr std::size_t kBufferedDataAreaSize = 66048;
constexpr std::size_t kMaxCommandLength = kCdbCapacity;
// The CDB length announced for every command, the 6-byte INQUIRY included: the firmware reads
// its commands as 12-byte CDBs.
constexpr std::uint8_t kAnnouncedCdbLength = 12;
constexpr std::uint8_t kTargetId = 1;

struct ScsiRequestBuffered {
    ScsiPassThrough header;
    std::uint32_t filler;
    std::uint8_t sense[kSenseAreaSize];
    std::uint8_t data[kBufferedDataAreaSize];
};

struct ScsiRequestDirect {
    ScsiPassThroughDirect header;
    std::uint32_t filler;
    std::uint8_t sense[kSenseAreaSize];
};

constexpr std::size_t kBufferedSenseOffset = offsetof(ScsiRequestBuffered, sense);
constexpr std::size_t kBufferedDataOffset = offsetof(ScsiRequestBuffered, data);
constexpr std::size_t kDirectSenseOffset = offsetof(ScsiRequestDirect, sense);
static_assert(kBufferedSenseOffset == kDirectSenseOffset, "both forms keep sense at one place");

// The bytes of a record that take part in a call: the direct form ends with its sense area, the
// buffered one with the data it moves.
constexpr std::size_t kDirectRequestSize = kDirectSenseOffset + kSenseAreaSize;
constexpr std::size_t BufferedRequestSize(std::size_t transferLength) {
    return kBufferedDataOffset + transferLength;
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ScsiRequestBuffered) == 66128, "");
static_assert(sizeof(ScsiRequestDirect) == 80, "");
static_assert(kBufferedSenseOffset == 48, "");
static_assert(kBufferedDataOffset == 80, "");
static_assert(kDirectRequestSize == 80, "");
#elif defined(_WIN64) || defined(__x86_64__)
static_assert(sizeof(ScsiRequestBuffered) == 66144, "");
static_assert(sizeof(ScsiRequestDirect) == 96, "");
static_assert(kBufferedSenseOffset == 60, "");
static_assert(kBufferedDataOffset == 92, "");
static_assert(kDirectRequestSize == 92, "");
#endif

// Both zero-fill the record and fill its header; both return 0, or -1 without touching the record
// when `commandLength` exceeds the 16-byte CDB.
int BuildBufferedRequest(ScsiRequestBuffered& request, std::size_t commandLength,
                         const std::uint8_t* command, std::uint8_t dataIn,
                         std::uint32_t transferLength, std::uint32_t timeoutSeconds);
int BuildDirectRequest(ScsiRequestDirect& request, std::size_t commandLength,
                       const std::uint8_t* command, std::uint8_t dataIn,
                       std::uint32_t transferLength, std::uint32_t timeoutSeconds, void* data);

}  // namespace vardel
