#pragma once
// The Linux backend. Drive letters A..Z stand for the whole disks sda..sdz, one disk per LUN:
// a letter exists when the kernel lists its disk, the mounted-device entry of a letter is there
// when its disk is, and a volume opens onto the disk's SCSI generic node (or, without one, its
// block node). Pass-through records become SG_IO requests with the same command.
//
// A letter stays with the device it first opened onto, for the platform's lifetime: a disk name
// the kernel hands to another drive between two commands (a replug between a restore's identity
// check and its write) must not take the next command in that drive's place.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
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

  private:
    // The device a letter first opened onto.
    struct DevicePin {
        std::string scsiDevice;
        dev_t number;  // of the node that opened
    };

    // Sets the error that LastError() gives and returns false, for the failing call to return.
    bool Fail(int error);
    // 0 when `descriptor`, just opened for `letter`, is the node sysfs names (`number`) of the
    // disk the letter is pinned to, pinning an unpinned letter; otherwise the errno that refuses
    // the open.
    int CheckOpenedDevice(char letter, int descriptor, const DiskDevice& disk, dev_t number);

    std::unique_ptr<LinuxSystem> ownedSystem_;
    LinuxSystem& system_;
    LinuxPaths paths_;
    std::set<int> descriptors_;       // the ones this platform opened and has not closed
    std::map<char, DevicePin> pins_;  // by upper-case letter
    std::uint32_t lastError_ = 0;
};

}  // namespace vardel
