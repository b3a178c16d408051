#pragma once
// The Windows values of the flags, codes and errors that cross the platform boundary. Every
// backend speaks in these; the win32 backend checks them against the system headers.

#include <cstdint>

#include "platform/platform.h"

namespace vardel {

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kFileShareRead = 0x00000001u;
constexpr std::uint32_t kFileShareWrite = 0x00000002u;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileFlagNoBuffering = 0x20000000u;

// CTL_CODE(FILE_DEVICE_CONTROLLER, 0x401 / 0x405, METHOD_BUFFERED, FILE_READ_ACCESS |
// FILE_WRITE_ACCESS)
constexpr std::uint32_t kIoctlScsiPassThrough = 0x0004D004u;
constexpr std::uint32_t kIoctlScsiPassThroughDirect = 0x0004D014u;
// CTL_CODE(FILE_DEVICE_CONTROLLER, 0x406, METHOD_BUFFERED, FILE_ANY_ACCESS): the SCSI address
// (port, path, target, LUN) of the device behind a volume, into a ScsiAddress.
constexpr std::uint32_t kIoctlScsiGetAddress = 0x00041018u;

constexpr RegistryKey kHkeyLocalMachine = 0x80000002u;
constexpr std::uint32_t kKeyRead = 0x00020019u;

constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoAccess = 998;  // invalid access to memory location
constexpr std::uint32_t kErrorIoDevice = 1117;

}  // namespace vardel
