#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <strings.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/linux/sg_io_translation.h"
#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel {
namespace {

// Read-write because the generic node takes vendor commands only from a writer; non-blocking so
// that an open waits neither for another program's exclusive hold on the node nor for a medium.
constexpr int kOpenFlags = O_RDWR | O_NONBLOCK;

constexpr char kMountedDevicesKeyName[] = "System\\MountedDevices";
constexpr char kDosDevicesPrefix[] = "\\DosDevices\\";
// The only key there is to open; any non-zero value serves as its handle.
constexpr RegistryKey kMountedDevicesKey = 0x4D44;

// Linux has nothing the version gate was written for: report a version it lets through (5.1,
// build 2600) rather than a kernel version whose minor number it would misread.
constexpr std::uint32_t kReportedVersion = (2600u << 16) | (1u << 8) | 5u;
static_assert(((kReportedVersion >> 8) & 0xFFu) <= 2, "the version gate accepts the number");

// The refusal of a node that is not the device its letter stands for: to the caller it is as if
// that device were gone, which it is from where the letter looks.
constexpr int kOtherDeviceError = ENODEV;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperCaseLetter(char letter) {
    return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The letter of "\\.\X:", or 0 for any other path.
char LetterOfVolumePath(const char* path) {
    if (path == nullptr || std::strlen(path) != 6) return 0;
    if (std::strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':' || !IsLetter(path[4])) return 0;
    return path[4];
}

// The letter of "\DosDevices\X:" (registry names ignore case), or 0 for any other name.
char LetterOfMountedName(const char* name) {
    const std::size_t prefixLength = sizeof(kDosDevicesPrefix) - 1;
    if (name == nullptr || std::strlen(name) != prefixLength + 2) return 0;
    if (::strncasecmp(name, kDosDevicesPrefix, prefixLength) != 0) return 0;
    if (name[prefixLength + 1] != ':' || !IsLetter(name[prefixLength])) return 0;
    return name[prefixLength];
}

// Descriptor 0 is a valid one; the null handle is not.
VolumeHandle HandleOf(int descriptor) {
    return static_cast<VolumeHandle>(descriptor) + 1;
}

int DescriptorOf(VolumeHandle handle) {
    if (handle == kNullVolumeHandle || handle == kInvalidVolumeHandle) return -1;
    if (handle - 1 > static_cast<VolumeHandle>(std::numeric_limits<int>::max())) return -1;
    return static_cast<int>(handle - 1);
}

}  // namespace

LinuxPlatform::LinuxPlatform()
    : ownedSystem_(std::make_unique<RealLinuxSystem>()), system_(*ownedSystem_) {}

LinuxPlatform::LinuxPlatform(LinuxSystem& system, LinuxPaths paths)
    : system_(system), paths_(std::move(paths)) {}

// Every command closes its volume; a descriptor left here means one did not.
LinuxPlatform::~LinuxPlatform() {
    for (const auto& opened : descriptors_) system_.Close(opened.first);
    for (const auto& lock : locks_) system_.Close(lock.second);
}

bool LinuxPlatform::Fail(int error) {
    lastError_ = static_cast<std::uint32_t>(error);
    return false;
}

// Sharing, disposition and buffering have no meaning for a disk node: it exists or not, and SG_IO
// bypasses the page cache.
VolumeHandle LinuxPlatform::Open(const char* path, std::uint32_t, std::uint32_t, std::uint32_t,
                                 std::uint32_t) {
    const char letter = LetterOfVolumePath(path);
    if (letter == 0) {
        Fail(EINVAL);
        return kInvalidVolumeHandle;
    }
    const auto pin = pins_.find(UpperCaseLetter(letter));
    const int descriptor = pin == pins_.end() ? OpenUnpinned(letter) : OpenPinned(pin->second);
    if (descriptor < 0) {
        Fail(-descriptor);
        return kInvalidVolumeHandle;
    }
    descriptors_[descriptor] = UpperCaseLetter(letter);
    return HandleOf(descriptor);
}

// A static /dev keeps node files of devices long gone, and a node file names a device only by
// its number: the opened node counts only when it is the one sysfs names for the disk. A disk
// that sysfs cannot tie to a SCSI device or a number is refused, as nothing could show later
// that the letter still names it.
int LinuxPlatform::OpenUnpinned(char letter) {
    const DiskDevice disk = ResolveDisk(system_, paths_, letter);
    // Only CAP_SYS_RAWIO may send vendor commands through the block node; the generic node takes
    // them from anyone who may write to it. A generic node that sysfs names but /dev lacks (a
    // system without udev) leaves the block node.
    int descriptor = -ENOENT;
    std::string node = disk.nodes.sgNode;
    dev_t number = disk.sgNumber;
    if (!node.empty()) descriptor = system_.Open(node, kOpenFlags);
    if (descriptor == -ENOENT) {
        node = disk.nodes.blockNode;
        number = disk.blockNumber;
        descriptor = system_.Open(node, kOpenFlags);
    }
    if (descriptor < 0) return descriptor;
    int error = disk.scsiDevice.empty() || number == 0 ? kOtherDeviceError : 0;
    if (error == 0) error = CheckDeviceNumber(descriptor, number);
    if (error != 0) {
        system_.Close(descriptor);
        return -error;
    }
    DevicePin pin;
    pin.deviceLink = disk.nodes.sysBlock + "/device";
    pin.scsiDevice = disk.scsiDevice;
    if (node == disk.nodes.sgNode) {
        pin.genericEntry = pin.deviceLink + "/scsi_generic/" + node.substr(node.rfind('/') + 1);
    }
    pin.node = node;
    pin.number = number;
    pins_.emplace(UpperCaseLetter(letter), std::move(pin));
    return descriptor;
}

// What a replug changes is asked before anything is opened, as an open alone may make a disk
// driver talk to its drive: whether the disk name still leads to the pinned SCSI device, and
// whether that device still has the generic node (a generic node's number follows from its name,
// so its presence is enough). The pinned node itself then shows by its number that it is still
// the device sysfs named.
int LinuxPlatform::OpenPinned(const DevicePin& pin) {
    std::string scsiDevice;
    if (!system_.ReadLink(pin.deviceLink, scsiDevice) || scsiDevice != pin.scsiDevice) {
        return -kOtherDeviceError;
    }
    if (!pin.genericEntry.empty() && !system_.Exists(pin.genericEntry)) return -kOtherDeviceError;
    const int descriptor = system_.Open(pin.node, kOpenFlags);
    if (descriptor < 0) return descriptor;
    const int error = CheckDeviceNumber(descriptor, pin.number);
    if (error != 0) {
        system_.Close(descriptor);
        return -error;
    }
    return descriptor;
}

int LinuxPlatform::CheckDeviceNumber(int descriptor, dev_t number) {
    dev_t opened = 0;
    const int result = system_.DeviceNumber(descriptor, opened);
    if (result < 0) return -result;
    return opened == number ? 0 : kOtherDeviceError;
}

std::uint32_t LinuxPlatform::ListedDisks() {
    if (!disksListed_) {
        listedDisks_ = ListedDiskMask(system_, paths_);
        disksListed_ = true;
    }
    return listedDisks_;
}

bool LinuxPlatform::Control(VolumeHandle handle, std::uint32_t controlCode, void* in,
                            std::uint32_t inSize, void* out, std::uint32_t outSize,
                            std::uint32_t* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    const int descriptor = DescriptorOf(handle);
    if (descriptors_.count(descriptor) == 0) return Fail(EBADF);
    if (controlCode == kIoctlScsiGetAddress) {
        return AnswerAddress(descriptor, out, outSize, bytesReturned);
    }

    // Default-initialised: PrepareSgIo clears only as much of the bounce buffer as the transfer.
    SgIoCall call;
    int error = PrepareSgIo(controlCode, in, inSize, out, outSize, call);
    if (error != 0) return Fail(error);

    int result = 0;
    do {
        result = system_.SgIo(descriptor, call.header);
    } while (result == -EINTR);
    if (result < 0) return Fail(-result);

    std::uint32_t returned = 0;
    error = CompleteSgIo(call, out, returned);
    if (error != 0) return Fail(error);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return true;
}

// Every open pins its letter, so the device is known. Numbers past a byte keep their low byte:
// the kernel counts hosts up with every plug, and only devices attached at the same time are
// compared.
bool LinuxPlatform::AnswerAddress(int descriptor, void* out, std::uint32_t outSize,
                                  std::uint32_t* bytesReturned) {
    if (out == nullptr || outSize < sizeof(ScsiAddress)) return Fail(EINVAL);
    const auto pin = pins_.find(descriptors_.at(descriptor));
    ScsiDeviceAddress device;
    if (pin == pins_.end() || !ParseScsiDeviceAddress(pin->second.scsiDevice, device)) {
        return Fail(ENODEV);
    }
    ScsiAddress address = {};
    address.Length = sizeof(ScsiAddress);
    address.PortNumber = static_cast<std::uint8_t>(device.host & 0xFFu);
    address.PathId = static_cast<std::uint8_t>(device.channel & 0xFFu);
    address.TargetId = static_cast<std::uint8_t>(device.target & 0xFFu);
    address.Lun = static_cast<std::uint8_t>(device.lun & 0xFFu);
    std::memcpy(out, &address, sizeof(address));
    if (bytesReturned != nullptr) *bytesReturned = sizeof(address);
    return true;
}

bool LinuxPlatform::Close(VolumeHandle handle) {
    const int descriptor = DescriptorOf(handle);
    if (descriptors_.erase(descriptor) == 0) return Fail(EBADF);
    const int result = system_.Close(descriptor);
    return result == 0 || Fail(-result);
}

std::uint32_t LinuxPlatform::LogicalDriveMask() {
    return ListedDisks();
}

std::int32_t LinuxPlatform::OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t,
                                            RegistryKey* key) {
    if (key == nullptr) return static_cast<std::int32_t>(kErrorInvalidParameter);
    *key = 0;
    if (root != kHkeyLocalMachine || subKey == nullptr ||
        ::strcasecmp(subKey, kMountedDevicesKeyName) != 0) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    *key = kMountedDevicesKey;
    return static_cast<std::int32_t>(kErrorSuccess);
}

// The entry of a present disk holds its block node's path; only its presence is ever examined.
std::int32_t LinuxPlatform::QueryRegistryValue(RegistryKey key, const char* valueName,
                                               std::uint8_t* data, std::uint32_t* dataSize) {
    if (key != kMountedDevicesKey) return static_cast<std::int32_t>(kErrorInvalidHandle);
    if (dataSize == nullptr) return static_cast<std::int32_t>(kErrorInvalidParameter);
    const char letter = LetterOfMountedName(valueName);
    if (letter == 0 || (ListedDisks() & (1u << (UpperCaseLetter(letter) - 'A'))) == 0) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    const std::string entry = BlockNodePath(paths_, letter);
    const auto size = static_cast<std::uint32_t>(entry.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return static_cast<std::int32_t>(kErrorMoreData);
    }
    if (data != nullptr) std::memcpy(data, entry.data(), size);
    *dataSize = size;
    return static_cast<std::int32_t>(kErrorSuccess);
}

std::int32_t LinuxPlatform::CloseRegistryKey(RegistryKey key) {
    return static_cast<std::int32_t>(key == kMountedDevicesKey ? kErrorSuccess
                                                               : kErrorInvalidHandle);
}

std::uint32_t LinuxPlatform::VersionNumber() {
    return kReportedVersion;
}

// Every process reaches a drive's letter through the same node (its generic node where there is
// one), so a lock on that node is one lock per drive for all of them. flock belongs to the open
// file, not the process: the backend's own opens and closes of the same node leave it alone.
DriveLockResult LinuxPlatform::LockDrive(char letter, std::uint32_t waitMilliseconds) {
    if (!IsLetter(letter)) {
        Fail(EINVAL);
        return DriveLockResult::Failed;
    }
    const char key = UpperCaseLetter(letter);
    if (locks_.count(key) != 0) return DriveLockResult::Busy;
    const auto pin = pins_.find(key);
    const int descriptor = pin == pins_.end() ? OpenUnpinned(letter) : OpenPinned(pin->second);
    if (descriptor < 0) {
        Fail(-descriptor);
        return DriveLockResult::Failed;
    }
    const int result = system_.LockExclusive(descriptor, waitMilliseconds);
    if (result != 0) {
        system_.Close(descriptor);
        if (result == -EWOULDBLOCK) return DriveLockResult::Busy;
        Fail(-result);
        return DriveLockResult::Failed;
    }
    locks_.emplace(key, descriptor);
    return DriveLockResult::Held;
}

bool LinuxPlatform::UnlockDrive(char letter) {
    const auto lock = locks_.find(UpperCaseLetter(letter));
    if (lock == locks_.end()) return Fail(EBADF);
    const int result = system_.Close(lock->second);
    locks_.erase(lock);
    return result == 0 || Fail(-result);
}

}  // namespace vardel
