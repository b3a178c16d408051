#include "platform/linux/linux_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace vardel {
namespace {

// Sysfs attributes are one short line; a page holds any of them.
constexpr std::size_t kTextFileLimit = 4096;
// A sysfs link climbs a few directories and names a device path: far shorter than a page.
constexpr std::size_t kLinkLimit = 4096;
// How often a held lock is tried again: short beside the wait, long beside a flock call.
constexpr std::chrono::milliseconds kLockRetryInterval{20};

}  // namespace

int RealLinuxSystem::Open(const std::string& path, int flags) {
    const int descriptor = ::open(path.c_str(), flags);
    return descriptor >= 0 ? descriptor : -errno;
}

int RealLinuxSystem::Close(int descriptor) {
    return ::close(descriptor) == 0 ? 0 : -errno;
}

int RealLinuxSystem::SgIo(int descriptor, sg_io_hdr_t& header) {
    return ::ioctl(descriptor, SG_IO, &header) == 0 ? 0 : -errno;
}

int RealLinuxSystem::DeviceNumber(int descriptor, dev_t& number) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) return -errno;
    number = status.st_rdev;
    return 0;
}

// Polled rather than a blocking flock under an alarm: no signal handler is touched, and the
// deadline holds whatever the process does with signals.
int RealLinuxSystem::LockExclusive(int descriptor, std::uint32_t waitMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) return 0;
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK) return -error;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return -EWOULDBLOCK;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            kLockRetryInterval, deadline - now));
    }
}

bool RealLinuxSystem::Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> RealLinuxSystem::ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(path.c_str());
    if (directory == nullptr) return names;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

bool RealLinuxSystem::ReadTextFile(const std::string& path, std::string& text) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    char buffer[kTextFileLimit];
    ssize_t length = 0;
    do {
        length = ::read(descriptor, buffer, sizeof(buffer));
    } while (length < 0 && errno == EINTR);
    ::close(descriptor);
    if (length < 0) return false;
    text.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// A target that fills the whole buffer may have been cut short: it is not taken.
bool RealLinuxSystem::ReadLink(const std::string& path, std::string& target) {
    char buffer[kLinkLimit];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof(buffer));
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof(buffer)) return false;
    target.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

}  // namespace vardel
