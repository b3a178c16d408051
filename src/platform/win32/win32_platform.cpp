#include "platform/win32/win32_platform.h"

#include <cstdio>
#include <string>

#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"  // windows.h and ntddscsi.h, in the order they need

namespace vardel {

// The boundary speaks in the system's own values: a changed header breaks the build, not a drive.
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE, "");
static_assert(kFileShareRead == FILE_SHARE_READ && kFileShareWrite == FILE_SHARE_WRITE, "");
static_assert(kOpenExisting == OPEN_EXISTING, "");
static_assert(kFileFlagNoBuffering == FILE_FLAG_NO_BUFFERING, "");
static_assert(kIoctlScsiPassThrough == IOCTL_SCSI_PASS_THROUGH, "");
static_assert(kIoctlScsiPassThroughDirect == IOCTL_SCSI_PASS_THROUGH_DIRECT, "");
static_assert(kIoctlScsiGetAddress == IOCTL_SCSI_GET_ADDRESS, "");
static_assert(kKeyRead == KEY_READ, "");
static_assert(kErrorInvalidParameter == ERROR_INVALID_PARAMETER, "");
static_assert(kErrorMoreData == ERROR_MORE_DATA, "");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND, "");
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED, "");
static_assert(kErrorSharingViolation == ERROR_SHARING_VIOLATION, "");
static_assert(kErrorNoAccess == ERROR_NOACCESS, "");
static_assert(sizeof(VolumeHandle) == sizeof(HANDLE) && sizeof(RegistryKey) == sizeof(HKEY), "");

namespace {

HANDLE ToHandle(VolumeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
// HKEY_LOCAL_MACHINE is a sign-extended constant, not an address.
HKEY ToKey(RegistryKey key) {
    return key == kHkeyLocalMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key);
}

char UpperCaseLetter(char letter) {
    return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The name of the drive's lock without its namespace.
std::string DriveLockName(char letter) {
    const char path[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    // No access is needed to ask for the address, and none is taken from another program.
    const HANDLE volume = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    char name[96];
    bool named = false;
    if (volume != INVALID_HANDLE_VALUE) {
        SCSI_ADDRESS address = {};
        DWORD returned = 0;
        if (DeviceIoControl(volume, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                            sizeof(address), &returned, nullptr) != FALSE &&
            returned >= sizeof(address)) {
            std::snprintf(name, sizeof(name), "Vardel.Drive.Port%u.Path%u.Target%u",
                          static_cast<unsigned>(address.PortNumber),
                          static_cast<unsigned>(address.PathId),
                          static_cast<unsigned>(address.TargetId));
            named = true;
        }
        CloseHandle(volume);
    }
    if (!named) std::snprintf(name, sizeof(name), "Vardel.Drive.Letter%c", letter);
    return name;
}

}  // namespace

Win32Platform::~Win32Platform() {
    for (const auto& lock : locks_) {
        ReleaseMutex(ToHandle(lock.second));
        CloseHandle(ToHandle(lock.second));
    }
}

DriveLockResult Win32Platform::LockDrive(char letter, std::uint32_t waitMilliseconds) {
    const char key = UpperCaseLetter(letter);
    if (key < 'A' || key > 'Z') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DriveLockResult::Failed;
    }
    if (locks_.count(key) != 0) return DriveLockResult::Busy;
    const std::string name = DriveLockName(key);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
    }
    if (mutex == nullptr) return DriveLockResult::Failed;
    const DWORD waited = WaitForSingleObject(mutex, waitMilliseconds);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        locks_.emplace(key, reinterpret_cast<VolumeHandle>(mutex));
        return DriveLockResult::Held;
    }
    const DWORD error = GetLastError();
    CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT) return DriveLockResult::Busy;
    SetLastError(error);
    return DriveLockResult::Failed;
}

bool Win32Platform::UnlockDrive(char letter) {
    const auto lock = locks_.find(UpperCaseLetter(letter));
    if (lock == locks_.end()) {
        SetLastError(ERROR_NOT_OWNER);
        return false;
    }
    const HANDLE mutex = ToHandle(lock->second);
    locks_.erase(lock);
    const BOOL released = ReleaseMutex(mutex);
    const DWORD error = GetLastError();
    CloseHandle(mutex);
    if (released == FALSE) SetLastError(error);
    return released != FALSE;
}

VolumeHandle Win32Platform::Open(const char* path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t disposition, std::uint32_t flags) {
    const HANDLE handle = CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
    return reinterpret_cast<VolumeHandle>(handle);
}

bool Win32Platform::Control(VolumeHandle handle, std::uint32_t controlCode, void* in,
                            std::uint32_t inSize, void* out, std::uint32_t outSize,
                            std::uint32_t* bytesReturned) {
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(ToHandle(handle), controlCode, in, inSize, out, outSize,
                                    &returned, nullptr);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return ok != FALSE;
}

bool Win32Platform::Close(VolumeHandle handle) {
    return CloseHandle(ToHandle(handle)) != FALSE;
}

std::uint32_t Win32Platform::LastError() {
    return GetLastError();
}

std::uint32_t Win32Platform::LogicalDriveMask() {
    return GetLogicalDrives();
}

std::int32_t Win32Platform::OpenRegistryKey(RegistryKey root, const char* subKey,
                                            std::uint32_t access, RegistryKey* key) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(ToKey(root), subKey, 0, access, &opened);
    *key = reinterpret_cast<RegistryKey>(opened);
    return result;
}

std::int32_t Win32Platform::QueryRegistryValue(RegistryKey key, const char* valueName,
                                               std::uint8_t* data, std::uint32_t* dataSize) {
    DWORD size = *dataSize;
    const LONG result = RegQueryValueExA(ToKey(key), valueName, nullptr, nullptr, data, &size);
    *dataSize = size;
    return result;
}

std::int32_t Win32Platform::CloseRegistryKey(RegistryKey key) {
    return RegCloseKey(ToKey(key));
}

std::uint32_t Win32Platform::VersionNumber() {
    // The gate reads the version as the system reports it to a program without a compatibility
    // section in its manifest.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersion();
#pragma GCC diagnostic pop
}

}  // namespace vardel
