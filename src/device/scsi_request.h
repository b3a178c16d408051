#pragma once
// The two pass-through request records the device commands send: a platform header, a filler
// that puts the sense area on an 8-byte boundary, the sense area and, for the buffered form, the
// data area the device's data lands in.

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

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ScsiRequestBuffered) == 66128, "");
static_assert(sizeof(ScsiRequestDirect) == 80, "");
static_assert(kBufferedSenseOffset == 48, "");
static_assert(kBufferedDataOffset == 80, "");
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
