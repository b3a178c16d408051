#include "platform/linux/disk_nodes.h"

#include <sys/sysmacros.h>

#include <cstdint>
#include <vector>

namespace vardel {
namespace {

// "sg" and a number: the only names the sg driver gives its nodes. Anything else in the
// directory is not used to form a path.
bool IsGenericNodeName(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "sg") != 0) return false;
    for (std::size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

// The decimal number that starts at `position`, which moves past it; false without a digit or
// when it exceeds `limit`.
bool ReadDecimal(const std::string& text, std::size_t& position, unsigned long limit,
                 unsigned long& value) {
    const std::size_t start = position;
    value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        value = value * 10 + static_cast<unsigned long>(text[position] - '0');
        if (value > limit) return false;
        ++position;
    }
    return position > start;
}

dev_t ReadDeviceNumber(LinuxSystem& system, const std::string& path) {
    std::string text;
    return system.ReadTextFile(path, text) ? ParseDeviceNumber(text) : 0;
}

}  // namespace

std::string DiskName(char letter) {
    if (letter >= 'A' && letter <= 'Z')
        return std::string("sd") + static_cast<char>(letter - 'A' + 'a');
    if (letter >= 'a' && letter <= 'z') return std::string("sd") + letter;
    return std::string();
}

bool DiskExists(LinuxSystem& system, const LinuxPaths& paths, char letter) {
    const std::string name = DiskName(letter);
    return !name.empty() && system.Exists(paths.sys + "/block/" + name);
}

std::uint32_t ListedDiskMask(LinuxSystem& system, const LinuxPaths& paths) {
    std::uint32_t mask = 0;
    for (const std::string& entry : system.ListDirectory(paths.sys + "/block")) {
        // Only the whole disks sda..sdz are letters; partitions are not listed here anyway.
        if (entry.size() == 3 && entry[0] == 's' && entry[1] == 'd' && entry[2] >= 'a' &&
            entry[2] <= 'z') {
            mask |= 1u << (entry[2] - 'a');
        }
    }
    return mask;
}

std::string BlockNodePath(const LinuxPaths& paths, char letter) {
    const std::string name = DiskName(letter);
    return name.empty() ? std::string() : paths.dev + "/" + name;
}

DiskNodes FindDiskNodes(LinuxSystem& system, const LinuxPaths& paths, char letter) {
    DiskNodes nodes;
    const std::string name = DiskName(letter);
    if (name.empty()) return nodes;
    nodes.sysBlock = paths.sys + "/block/" + name;
    nodes.blockNode = BlockNodePath(paths, letter);
    // The disk has at most one generic node.
    for (const std::string& entry : system.ListDirectory(nodes.sysBlock + "/device/scsi_generic")) {
        if (IsGenericNodeName(entry)) {
            nodes.sgNode = paths.dev + "/" + entry;
            break;
        }
    }
    return nodes;
}

DiskDevice ResolveDisk(LinuxSystem& system, const LinuxPaths& paths, char letter) {
    DiskDevice disk;
    disk.nodes = FindDiskNodes(system, paths, letter);
    if (disk.nodes.sysBlock.empty()) return disk;
    if (!system.ReadLink(disk.nodes.sysBlock + "/device", disk.scsiDevice)) disk.scsiDevice.clear();
    disk.blockNumber = ReadDeviceNumber(system, disk.nodes.sysBlock + "/dev");
    if (!disk.nodes.sgNode.empty()) {
        const std::string& node = disk.nodes.sgNode;
        const std::string sgName = node.substr(node.rfind('/') + 1);
        disk.sgNumber = ReadDeviceNumber(
            system, disk.nodes.sysBlock + "/device/scsi_generic/" + sgName + "/dev");
    }
    return disk;
}

bool ParseScsiDeviceAddress(const std::string& scsiDevice, ScsiDeviceAddress& address) {
    constexpr unsigned long kLimit = 0xFFFFFFFFul;
    const std::size_t slash = scsiDevice.rfind('/');
    const std::string name = slash == std::string::npos ? scsiDevice : scsiDevice.substr(slash + 1);
    unsigned long* const parts[] = {&address.host, &address.channel, &address.target, &address.lun};
    std::size_t position = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            if (position >= name.size() || name[position] != ':') return false;
            ++position;
        }
        if (!ReadDecimal(name, position, kLimit, *parts[i])) return false;
    }
    return position == name.size();
}

dev_t ParseDeviceNumber(const std::string& text) {
    // The kernel's limits: 12 bits of major number, 20 of minor.
    constexpr unsigned long kMajorLimit = (1ul << 12) - 1;
    constexpr unsigned long kMinorLimit = (1ul << 20) - 1;
    std::size_t position = 0;
    unsigned long major = 0;
    unsigned long minor = 0;
    if (!ReadDecimal(text, position, kMajorLimit, major)) return 0;
    if (position >= text.size() || text[position] != ':') return 0;
    ++position;
    if (!ReadDecimal(text, position, kMinorLimit, minor)) return 0;
    if (position < text.size() && text[position] == '\n') ++position;
    if (position != text.size()) return 0;
    return makedev(static_cast<unsigned int>(major), static_cast<unsigned int>(minor));
}

}  // namespace vardel
