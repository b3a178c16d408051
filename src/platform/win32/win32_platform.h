#pragma once
// The real Windows backend: each operation is the system call of the same meaning.

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
};

}  // namespace vardel
