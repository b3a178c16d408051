#pragma once
// A machine whose every call answers at once: all 26 letters exist and have mounted-device
// entries, one standard drive sits behind E (LUN 0) and F (LUN 1), and every other letter is a
// disk of another maker. Unlike the emulated platform it checks nothing and logs nothing, so a
// command's time on it is the tool's own.

#include <cstdint>

#include "platform/emulated/emulated_drive.h"
#include "platform/platform.h"

namespace vardel::bench {

class InstantPlatform : public Platform {
  public:
    InstantPlatform();

    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override;
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Close(VolumeHandle) override { return true; }
    std::uint32_t LastError() override { return 0; }

    std::uint32_t LogicalDriveMask() override { return (1u << 26) - 1; }
    std::int32_t OpenRegistryKey(RegistryKey, const char*, std::uint32_t,
                                 RegistryKey* key) override;
    std::int32_t QueryRegistryValue(RegistryKey, const char*, std::uint8_t* data,
                                    std::uint32_t* dataSize) override;
    std::int32_t CloseRegistryKey(RegistryKey) override { return 0; }
    std::uint32_t VersionNumber() override { return 0x23F00206u; }
    DriveLockResult LockDrive(char, std::uint32_t) override { return DriveLockResult::Held; }
    bool UnlockDrive(char) override { return true; }

  private:
    emulated::Drive drive_;
    emulated::Drive other_;
};

}  // namespace vardel::bench
