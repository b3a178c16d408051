#pragma once
// The pass-through request headers as the platform publishes them. On Windows they come from
// ntddscsi.h; elsewhere the same structure is declared with the same field names, so that code
// filling a header reads the same on every backend (32-bit fields stay 32-bit, pointer-sized
// fields follow the build).

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// ntddscsi.h builds on windows.h, and its control codes on winioctl.h, which the lean windows.h
// leaves out.
#include <winioctl.h>

#include <ntddscsi.h>

namespace vardel {
using ScsiPassThrough = SCSI_PASS_THROUGH;
using ScsiPassThroughDirect = SCSI_PASS_THROUGH_DIRECT;
using ScsiAddress = SCSI_ADDRESS;
}  // namespace vardel

#else

namespace vardel {

struct ScsiPassThrough {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    std::uintptr_t DataBufferOffset;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

struct ScsiPassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    void* DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

// What IOCTL_SCSI_GET_ADDRESS fills: where the device sits on the system's SCSI buses.
struct ScsiAddress {
    std::uint32_t Length;  // sizeof(ScsiAddress)
    std::uint8_t PortNumber;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
};

}  // namespace vardel

#endif

namespace vardel {

// DataIn values: SCSI_IOCTL_DATA_OUT, SCSI_IOCTL_DATA_IN, SCSI_IOCTL_DATA_UNSPECIFIED.
constexpr std::uint8_t kScsiDataOut = 0;
constexpr std::uint8_t kScsiDataIn = 1;
constexpr std::uint8_t kScsiDataUnspecified = 2;

static_assert(sizeof(ScsiAddress) == 8, "SCSI_ADDRESS is 8 bytes on every build");

constexpr std::size_t kCdbCapacity = sizeof(ScsiPassThrough::Cdb);
static_assert(kCdbCapacity == 16, "the pass-through header carries a 16-byte CDB");

// The layouts a Windows driver of the same bitness expects; the 64-bit one is also the shape the
// Linux backend reads on x86_64.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ScsiPassThrough) == 44, "32-bit SCSI_PASS_THROUGH is 44 bytes");
static_assert(sizeof(ScsiPassThroughDirect) == 44, "32-bit SCSI_PASS_THROUGH_DIRECT is 44 bytes");
static_assert(offsetof(ScsiPassThrough, DataTransferLength) == 12, "");
static_assert(offsetof(ScsiPassThrough, DataBufferOffset) == 20, "");
static_assert(offsetof(ScsiPassThrough, SenseInfoOffset) == 24, "");
static_assert(offsetof(ScsiPassThrough, Cdb) == 28, "");
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == 20, "");
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == 24, "");
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == 28, "");
#elif defined(_WIN64) || defined(__x86_64__)
static_assert(sizeof(ScsiPassThrough) == 56, "64-bit SCSI_PASS_THROUGH is 56 bytes");
static_assert(sizeof(ScsiPassThroughDirect) == 56, "64-bit SCSI_PASS_THROUGH_DIRECT is 56 bytes");
static_assert(offsetof(ScsiPassThrough, DataTransferLength) == 12, "");
static_assert(offsetof(ScsiPassThrough, TimeOutValue) == 16, "");
static_assert(offsetof(ScsiPassThrough, DataBufferOffset) == 24, "ULONG_PTR on an 8-byte boundary");
static_assert(offsetof(ScsiPassThrough, SenseInfoOffset) == 32, "");
static_assert(offsetof(ScsiPassThrough, Cdb) == 36, "");
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == 24, "");
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == 32, "");
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == 36, "");
#endif

}  // namespace vardel
