#pragma once
// The Linux backend. Drive letters A..Z stand for the whole disks sda..sdz, one disk per LUN:
// a letter exists when the kernel lists its disk, the mounted-device entry of a letter is there
// when its disk is, and a volume opens onto the disk's SCSI generic node (or, without one, its
// block node). Pass-through records become SG_IO requests with the same command.
//
// A letter stays with the device it first opened onto, for the platform's lifetime: a disk name
// the kernel hands to another drive between two commands (a replug between a restore's identity
// check and its write) must not take the next command in that drive's place.
//
// A platform serves one user command (the window makes one per command, vardelctl one per
// process), so what sysfs says is read once and kept: the list of disks at the first need, and a
// letter's nodes and numbers at its first open. A later open asks sysfs only what a replug would
// change and checks the node it opens by device number against what it kept. A volume's SCSI
// address is the pinned device's "host:channel:target:lun", known without asking the system.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/linux/disk_nodes.h"
#include "platform/linux/linux_system.h"
#include "platform/platform.h"

namespace vardel {

class LinuxPlatform : public Platform {
  public:
    // The running system.
    LinuxPlatform();
    // `system` is borrowed and must outlive the platform.
    LinuxPlatform(LinuxSystem& system, LinuxPaths paths);
    ~LinuxPlatform() override;
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    // Error codes are errno values.
    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override;
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Close(VolumeHandle handle) override;
    std::uint32_t LastError() override { return lastError_; }

    // Registry codes are the registry's own.
    std::uint32_t LogicalDriveMask() override;
    std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                 RegistryKey* key) override;
    std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName, std::uint8_t* data,
                                    std::uint32_t* dataSize) override;
    std::int32_t CloseRegistryKey(RegistryKey key) override;
    std::uint32_t VersionNumber() override;

    // flock on a descriptor of its own of the node the letter opens onto (with the same pinning),
    // so that no file is made and whoever may reach the drive may lock it.
    DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) override;
    bool UnlockDrive(char letter) override;

  private:
    // The device a letter first opened onto, and how to reach it again.
    struct DevicePin {
        std::string deviceLink;    // "/sys/block/sde/device"
        std::string scsiDevice;    // what that link held
        std::string genericEntry;  // the generic node's sysfs directory; empty for a block node
        std::string node;          // the node that opened
        dev_t number = 0;          // and its device number
    };

    // Sets the error that LastError() gives and returns false, for the failing call to return.
    bool Fail(int error);
    // A descriptor, or minus errno. The first open of a letter resolves its disk through sysfs
    // and pins it; a later one reaches the pinned node again.
    int OpenUnpinned(char letter);
    int OpenPinned(const DevicePin& pin);
    // 0 when the node `descriptor` stands for has the device number `number`; otherwise the errno
    // that refuses it.
    int CheckDeviceNumber(int descriptor, dev_t number);
    // The letters whose disks the kernel lists, read once.
    std::uint32_t ListedDisks();

    std::unique_ptr<LinuxSystem> ownedSystem_;
    LinuxSystem& system_;
    LinuxPaths paths_;
    // What IOCTL_SCSI_GET_ADDRESS answers for a descriptor: its letter's pinned SCSI device.
    bool AnswerAddress(int descriptor, void* out, std::uint32_t outSize,
                       std::uint32_t* bytesReturned);

    // The ones this platform opened and has not closed, with the letter each opened for.
    std::map<int, char> descriptors_;
    std::map<char, DevicePin> pins_;  // by upper-case letter
    std::map<char, int> locks_;       // the descriptor holding each locked letter's drive
    bool disksListed_ = false;
    std::uint32_t listedDisks_ = 0;
    std::uint32_t lastError_ = 0;
};

}  // namespace vardel
