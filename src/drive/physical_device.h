#pragma once
// Which physical device a volume sits on. The volumes of one drive (one per LUN) share its SCSI
// port, path and target, and read the same identity block; the device key names the drive to the
// user but cannot tell apart two drives whose serials agree in their first twelve characters.

#include <cstdint>

#include "device/device_address.h"
#include "drive/device_key.h"
#include "platform/platform.h"

namespace vardel {

struct PhysicalDevice {
    // The system answered the volume's SCSI address; without it only the key is known.
    bool addressKnown;
    std::uint8_t port;
    std::uint8_t path;
    std::uint8_t target;
    DeviceKey key;
};

// The volume's device: its address, read now (open, one control call, close), and `key`.
PhysicalDevice ReadPhysicalDevice(Platform& platform, char letter, const DeviceKey& key);

// Two volumes sit on one device when both addresses are known and agree in port, path and
// target (the LUN alone differing) and their keys match; volumes whose address is unknown are
// one device when their keys match, as nothing else can tell. A volume with an address and one
// without are never one device: a drive whose volumes answer differently counts as two, which
// stops every command rather than let it reach the wrong one.
bool SameDevice(const PhysicalDevice& a, const PhysicalDevice& b);

}  // namespace vardel
