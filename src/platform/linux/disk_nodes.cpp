#include "platform/linux/disk_nodes.h"

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

DiskNodes FindDiskNodes(LinuxSystem& system, const LinuxPaths& paths, char letter) {
    DiskNodes nodes;
    const std::string name = DiskName(letter);
    if (name.empty()) return nodes;
    nodes.sysBlock = paths.sys + "/block/" + name;
    nodes.blockNode = paths.dev + "/" + name;
    // The disk has at most one generic node.
    for (const std::string& entry : system.ListDirectory(nodes.sysBlock + "/device/scsi_generic")) {
        if (IsGenericNodeName(entry)) {
            nodes.sgNode = paths.dev + "/" + entry;
            break;
        }
    }
    return nodes;
}

}  // namespace vardel
