// The machine's drives on Linux: letters A..Z are the disks sda..sdz, reached through their SCSI
// generic nodes. The backend reports errno values.

#include <unistd.h>

#include <cerrno>

#include "frontend_common/machine_platform.h"

#ifdef VARDEL_HAS_LINUX_PLATFORM
#include "platform/linux/linux_disk_info.h"
#include "platform/linux/linux_platform.h"
#endif

namespace vardel::frontend {

std::unique_ptr<Platform> MakeMachinePlatform() {
#ifdef VARDEL_HAS_LINUX_PLATFORM
    return std::make_unique<LinuxPlatform>();
#else
    return nullptr;
#endif
}

bool IsNoRightsError(std::uint32_t error) {
    return error == EACCES || error == EPERM;
}

const char* NoRightsAdvice() {
    // Root is never told to run as root.
    if (RunsAsRoot()) {
        return "The drives could not be opened: no rights to their device nodes, even as root.\n"
               "A security module or the device's own rights may refuse them: check them with\n"
               "ls -l /dev/sg* and getfacl /dev/sgN.";
    }
    return "The drives could not be opened: no rights to their device nodes.\n"
           "Run vardelctl as root (sudo vardelctl ...), or install the udev rule\n"
           "(/usr/lib/udev/rules.d/70-vardel.rules from the package, or res/linux/70-vardel.rules\n"
           "copied to /etc/udev/rules.d) and replug the drive. The rule gives the user at the seat\n"
           "every SCSI command to both LUNs of such a USB drive while it is attached; on a\n"
           "machine shared by several people, sudo is the safer way.";
}

bool RunsAsRoot() {
    return geteuid() == 0;
}

bool LinuxMachine() {
    return true;
}

bool DescribeMachineDisk(char letter, DiskDescription& description) {
#ifdef VARDEL_HAS_LINUX_PLATFORM
    const LinuxDiskInfo info = DescribeDisk(letter);
    if (!info.present) return false;
    if (!info.blockNode.empty()) description.paths.push_back(info.blockNode);
    if (!info.sgNode.empty()) description.paths.push_back(info.sgNode);
    description.vendor = info.vendor;
    description.product = info.product;
    description.revision = info.revision;
    description.notOnUsb = info.notOnUsb;
    return true;
#else
    (void)letter;
    (void)description;
    return false;
#endif
}

}  // namespace vardel::frontend
