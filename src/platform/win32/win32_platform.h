#pragma once
// The real Windows backend: each operation is the system call of the same meaning.

#include <map>

#include "platform/platform.h"

namespace vardel {

class Win32Platform : public Platform {
  public:
    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override;
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Close(VolumeHandle handle) override;
    std::uint32_t LastError() override;

    std::uint32_t LogicalDriveMask() override;
    std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                 RegistryKey* key) override;
    std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName, std::uint8_t* data,
                                    std::uint32_t* dataSize) override;
    std::int32_t CloseRegistryKey(RegistryKey key) override;
    std::uint32_t VersionNumber() override;

    // A named mutex per drive: "Vardel.Drive.PortP.PathB.TargetT" from the letter's SCSI address
    // (IOCTL_SCSI_GET_ADDRESS; the LUN left out, so both LUNs of a drive share it), or
    // "Vardel.Drive.LetterX" where the volume gives none; in the Global namespace, or in the
    // session's own (Local) where the Global one is refused. An abandoned mutex (a program ended
    // while it held the drive) counts as taken.
    DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) override;
    bool UnlockDrive(char letter) override;
    ~Win32Platform() override;

  private:
    std::map<char, VolumeHandle> locks_;  // the held mutex of each locked letter
};

}  // namespace vardel
