#pragma once
// What the command-line tool lists for a drive letter on Linux: the disk's nodes and the
// identity its SCSI device reports through sysfs. Data only.

#include <string>

#include "platform/linux/disk_nodes.h"
#include "platform/linux/linux_system.h"

namespace vardel {

struct LinuxDiskInfo {
    bool present = false;   // the kernel lists the disk under /sys/block
    std::string blockNode;  // "/dev/sde"
    std::string sgNode;     // "/dev/sg2"; empty when sysfs names no generic node
    // INQUIRY vendor, product and revision as sysfs gives them, without the padding blanks.
    std::string vendor;
    std::string product;
    std::string revision;
    // Sysfs places the disk on a path without a USB controller (a SATA, SAS or virtual disk).
    // False also when the path cannot be read.
    bool notOnUsb = false;
};

// The running system.
LinuxDiskInfo DescribeDisk(char letter);
LinuxDiskInfo DescribeDisk(LinuxSystem& system, const LinuxPaths& paths, char letter);

}  // namespace vardel
