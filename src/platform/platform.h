#pragma once
// What device access and discovery need of the operating system, at the level of its own calls.
// A backend forwards each operation to the system (win32, linux) or to a model of it (emulated);
// it decides nothing itself. Logic receives a Platform from its caller and never reaches the system
// any other way.

#include <cstdint>

namespace vardel {

using VolumeHandle = std::uintptr_t;
constexpr VolumeHandle kInvalidVolumeHandle = ~VolumeHandle{0};  // INVALID_HANDLE_VALUE
constexpr VolumeHandle kNullVolumeHandle = 0;

using RegistryKey = std::uintptr_t;

// How a wait for a drive's lock ended. Failed: LastError() gives the system's error.
enum class DriveLockResult : std::uint8_t { Held, Busy, Failed };

class Platform {
  public:
    virtual ~Platform() = default;

    // Volume access: CreateFileA (no security attributes, no template), DeviceIoControl (no
    // overlapped structure), CloseHandle, GetLastError.
    virtual VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) = 0;
    virtual bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in,
                         std::uint32_t inSize, void* out, std::uint32_t outSize,
                         std::uint32_t* bytesReturned) = 0;
    virtual bool Close(VolumeHandle handle) = 0;
    virtual std::uint32_t LastError() = 0;

    // System information: GetLogicalDrives, RegOpenKeyExA, RegQueryValueExA, RegCloseKey,
    // GetVersion. Registry calls return the registry's own code, 0 on success.
    virtual std::uint32_t LogicalDriveMask() = 0;
    virtual std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                         RegistryKey* key) = 0;
    virtual std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName,
                                            std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual std::int32_t CloseRegistryKey(RegistryKey key) = 0;
    virtual std::uint32_t VersionNumber() = 0;

    // The lock of the drive behind a letter, which every Vardel program takes before it reads a
    // block it may write back, and holds until the write's read-back: the system's own exclusive
    // lock of that drive (Linux: flock on the node the letter opens onto; Windows: a named mutex
    // per drive). LockDrive waits up to `waitMilliseconds` while another process holds it, and
    // then gives Busy; a letter that is already held by this platform is Busy at once. A held
    // lock goes with UnlockDrive, or with the platform.
    virtual DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) = 0;
    virtual bool UnlockDrive(char letter) = 0;
};

}  // namespace vardel
