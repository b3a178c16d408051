#include "drive/physical_device.h"

namespace vardel {

PhysicalDevice ReadPhysicalDevice(Platform& platform, char letter, const DeviceKey& key) {
    PhysicalDevice device = {};
    device.key = key;
    DeviceAddress address;
    if (ReadDeviceAddress(platform, letter, address) == kDriveOk) {
        device.addressKnown = true;
        device.port = address.port;
        device.path = address.path;
        device.target = address.target;
    }
    return device;
}

bool SameDevice(const PhysicalDevice& a, const PhysicalDevice& b) {
    if (a.addressKnown != b.addressKnown || !KeysMatch(a.key, b.key)) return false;
    if (!a.addressKnown) return true;
    return a.port == b.port && a.path == b.path && a.target == b.target;
}

}  // namespace vardel
