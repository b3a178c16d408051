// The machine's drives on Linux: letters A..Z are the disks sda..sdz, reached through their SCSI
// generic nodes. The backend reports errno values.

#include <unistd.h>

#include <cerrno>

#include "machine/machine_platform.h"

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
    // Only the drive service's group gets the nodes; the user's way is the service.
    return "The drives could not be opened: no rights to their device nodes, which the udev rule\n"
           "gives the drive service alone. Leave out --direct: without root vardelctl asks the\n"
           "drive service (vardel-service), which polkit asks about each call. Or run vardelctl\n"
           "as root (sudo vardelctl ...).";
}

bool RunsAsRoot() {
    return geteuid() == 0;
}

bool LinuxMachine() {
    return true;
}

namespace {

// A USB disk that could not be asked may be a drive of the kind; one the system refused for lack of
// rights is not counted so: the udev rule gives the drive service's group the nodes of every drive
// of the kind (by either signature), so a refusal names some other disk, and such disks are
// named among those not opened for lack of rights instead.
bool MayHoldDrive(char letter, DriveStatus failed) {
    if (IsNoRightsError(static_cast<std::uint32_t>(failed))) return false;
    DiskDescription disk;
    return DescribeMachineDisk(letter, disk) && !disk.notOnUsb;
}

}  // namespace

MayHoldDriveTest MachineMayHoldDrive() {
    return MayHoldDrive;
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
