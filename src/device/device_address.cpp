#include "device/device_address.h"

#include <cstring>

#include "device/volume.h"
#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel {

DriveStatus ReadDeviceAddress(Platform& platform, char letter, DeviceAddress& out) {
    std::memset(&out, 0, sizeof(out));
    VolumeHandle handle = OpenVolume(platform, letter);
    if (handle == kInvalidVolumeHandle) {
        const std::uint32_t error = platform.LastError();
        return error != 0 ? static_cast<DriveStatus>(error) : kDriveNoAddress;
    }

    ScsiAddress address;
    std::memset(&address, 0, sizeof(address));
    std::uint32_t returned = 0;
    const bool answered = platform.Control(handle, kIoctlScsiGetAddress, nullptr, 0, &address,
                                           sizeof(address), &returned);
    const std::uint32_t error = platform.LastError();
    CloseVolume(platform, handle);
    if (!answered) return error != 0 ? static_cast<DriveStatus>(error) : kDriveNoAddress;
    // Only an address the driver filled whole tells devices apart.
    if (returned < sizeof(address)) return kDriveNoAddress;
    out.port = address.PortNumber;
    out.path = address.PathId;
    out.target = address.TargetId;
    out.lun = address.Lun;
    return kDriveOk;
}

}  // namespace vardel
