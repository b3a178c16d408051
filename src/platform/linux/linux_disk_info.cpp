#include "platform/linux/linux_disk_info.h"

namespace vardel {
namespace {

// Sysfs pads the INQUIRY fields with blanks and ends them with a newline.
std::string ReadAttribute(LinuxSystem& system, const std::string& path) {
    std::string text;
    if (!system.ReadTextFile(path, text)) return std::string();
    const std::size_t end = text.find_last_not_of(" \t\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

LinuxDiskInfo DescribeDisk(char letter) {
    RealLinuxSystem system;
    return DescribeDisk(system, LinuxPaths{}, letter);
}

LinuxDiskInfo DescribeDisk(LinuxSystem& system, const LinuxPaths& paths, char letter) {
    LinuxDiskInfo info;
    const DiskNodes nodes = FindDiskNodes(system, paths, letter);
    info.blockNode = nodes.blockNode;
    info.sgNode = nodes.sgNode;
    info.present = DiskExists(system, paths, letter);
    if (!info.present) return info;
    const std::string device = nodes.sysBlock + "/device/";
    info.vendor = ReadAttribute(system, device + "vendor");
    info.product = ReadAttribute(system, device + "model");
    info.revision = ReadAttribute(system, device + "rev");
    // /sys/block/sdX links to the disk's place in the device tree, through "/usbN/" when a USB
    // controller is on the way.
    std::string place;
    if (system.ReadLink(nodes.sysBlock, place)) {
        info.notOnUsb = place.find("/usb") == std::string::npos;
    }
    return info;
}

}  // namespace vardel
