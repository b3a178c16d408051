#pragma once
// Where a drive letter's disk lives: letters A..Z stand for the whole disks sda..sdz, one disk
// per LUN. The block node always exists for a present disk; the SCSI generic node exists when
// the sg driver is loaded, and sysfs names it.

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/linux/linux_system.h"

namespace vardel {

// The roots of the device nodes and of sysfs; tests point them at a tree of their own.
struct LinuxPaths {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

struct DiskNodes {
    std::string sysBlock;   // "/sys/block/sde"
    std::string blockNode;  // "/dev/sde"
    std::string sgNode;     // "/dev/sg2"; empty when sysfs names no generic node
};

// 'A'..'Z' (or 'a'..'z') gives "sda".."sdz"; anything else an empty name.
std::string DiskName(char letter);

// True when the kernel lists the letter's disk under /sys/block.
bool DiskExists(LinuxSystem& system, const LinuxPaths& paths, char letter);

// The letters whose disks /sys/block lists, bit 0 for A, from one reading of the directory.
std::uint32_t ListedDiskMask(LinuxSystem& system, const LinuxPaths& paths);

// "/dev/sde" for 'E'; empty for a character that is no drive letter. Nothing is asked of the
// system.
std::string BlockNodePath(const LinuxPaths& paths, char letter);

// The nodes of the letter's disk; all empty for a character that is no drive letter. Nothing is
// checked for existence but the sysfs directory that names the generic node.
DiskNodes FindDiskNodes(LinuxSystem& system, const LinuxPaths& paths, char letter);

// Which device a letter's disk is, as sysfs tells it at one moment: enough to tell whether a node
// that opens is that disk's, and whether the letter still names the disk it named before.
struct DiskDevice {
    DiskNodes nodes;
    // What /sys/block/sdX/device links to: the path of the SCSI device, ending in its
    // "host:channel:target:lun" name. Empty when sysfs has no such link.
    std::string scsiDevice;
    // The numbers sysfs gives the generic node and the block node; 0 (no disk's number) when it
    // names none or its attribute cannot be read.
    dev_t sgNumber = 0;
    dev_t blockNumber = 0;
};

// Everything a volume's open checks, read in one place.
DiskDevice ResolveDisk(LinuxSystem& system, const LinuxPaths& paths, char letter);

// Where a SCSI device sits, from the last part of its sysfs path ("host:channel:target:lun").
struct ScsiDeviceAddress {
    unsigned long host = 0;
    unsigned long channel = 0;
    unsigned long target = 0;
    unsigned long lun = 0;
};

// False when the path does not end in four numbers separated by colons.
bool ParseScsiDeviceAddress(const std::string& scsiDevice, ScsiDeviceAddress& address);

// A device number in the form sysfs writes it, "MAJOR:MINOR" and a newline; 0 for any other text.
dev_t ParseDeviceNumber(const std::string& text);

}  // namespace vardel
