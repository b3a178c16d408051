#pragma once
// The system calls and file-system queries the Linux backend makes, behind one interface so that
// tests can run the backend against a directory tree of their own and a drive of their own.
// Every call answers with a value; errors come back as minus errno, never through errno itself.

#include <scsi/sg.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vardel {

class LinuxSystem {
  public:
    virtual ~LinuxSystem() = default;

    // A new descriptor, or minus errno.
    virtual int Open(const std::string& path, int flags) = 0;
    // 0, or minus errno.
    virtual int Close(int descriptor) = 0;
    // One SG_IO ioctl: 0 once the kernel has filled in the header's results, or minus errno.
    virtual int SgIo(int descriptor, sg_io_hdr_t& header) = 0;
    // The device number of the node an open descriptor stands for (fstat's st_rdev: 0 for
    // anything but a device node): 0, or minus errno.
    virtual int DeviceNumber(int descriptor, dev_t& number) = 0;
    // flock(LOCK_EX) on an open descriptor, tried without blocking until it is taken or
    // `waitMilliseconds` have passed: 0, -EWOULDBLOCK when another open file still holds it, or
    // minus errno. Closing the descriptor gives it back.
    virtual int LockExclusive(int descriptor, std::uint32_t waitMilliseconds) = 0;

    virtual bool Exists(const std::string& path) = 0;
    // The entry names of a directory in name order, without "." and ".."; empty when the
    // directory cannot be read.
    virtual std::vector<std::string> ListDirectory(const std::string& path) = 0;
    // The whole of a small text file such as a sysfs attribute; false when it cannot be read.
    virtual bool ReadTextFile(const std::string& path, std::string& text) = 0;
    // The target a symbolic link holds, as it is written; false when `path` is no readable link.
    virtual bool ReadLink(const std::string& path, std::string& target) = 0;
};

// The running kernel and its file systems.
class RealLinuxSystem : public LinuxSystem {
  public:
    int Open(const std::string& path, int flags) override;
    int Close(int descriptor) override;
    int SgIo(int descriptor, sg_io_hdr_t& header) override;
    int DeviceNumber(int descriptor, dev_t& number) override;
    int LockExclusive(int descriptor, std::uint32_t waitMilliseconds) override;
    bool Exists(const std::string& path) override;
    std::vector<std::string> ListDirectory(const std::string& path) override;
    bool ReadTextFile(const std::string& path, std::string& text) override;
    bool ReadLink(const std::string& path, std::string& target) override;
};

}  // namespace vardel
