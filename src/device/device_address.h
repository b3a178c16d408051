#pragma once
// Where the system says a volume's device sits: its SCSI port (host), path (channel), target and
// LUN. The volumes of one physical device share port, path and target; only the LUN differs.

#include <cstdint>

#include "device/scsi_commands.h"
#include "platform/platform.h"

namespace vardel {

struct DeviceAddress {
    std::uint8_t port;
    std::uint8_t path;
    std::uint8_t target;
    std::uint8_t lun;
};

// No address, though the system gave no error code: an answer shorter than the address, or a
// failed call without a code. Application-defined, as kDriveShortRead.
constexpr DriveStatus kDriveNoAddress = 0x20000000 | 0x0008;

// Opens the volume, asks for its SCSI address (IOCTL_SCSI_GET_ADDRESS) and closes it. kDriveOk
// with `out` filled; otherwise the platform's error code of the failed open or call, or
// kDriveNoAddress, and `out` is all zero.
DriveStatus ReadDeviceAddress(Platform& platform, char letter, DeviceAddress& out);

}  // namespace vardel
