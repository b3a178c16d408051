#pragma once
// A /dev and /sys of the test's own in a temporary directory, and the real system calls over it
// with SG_IO answered by the test: what the Linux backend finds there is exactly what a test put
// there, and every node it opens is a real open of a real file. The node files are plain files
// that hold, as text, the device number they stand for.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/disk_nodes.h"
#include "platform/linux/linux_system.h"

namespace vardel::testing_support {

class LinuxTestTree {
  public:
    LinuxTestTree();
    ~LinuxTestTree();
    LinuxTestTree(const LinuxTestTree&) = delete;
    LinuxTestTree& operator=(const LinuxTestTree&) = delete;

    LinuxPaths Paths() const;
    // The disk sdX behind `letter`: its sysfs directory with its device number and its link to
    // the SCSI device `scsiDevice` ("host:channel:target:lun"; null: one of the letter's own), its
    // block node and, when `sgName` is given, the generic node that sysfs names with its number,
    // and its node in /dev. The numbers are the kernel's: 8 or 65 for sdX, 21 for sgN.
    void AddDisk(char letter, const char* sgName = nullptr, const char* scsiDevice = nullptr);
    void RemoveDevNode(const std::string& name);
    // The disk's sysfs directory and the SCSI device it links to, as when the drive is unplugged.
    void RemoveSysBlock(char letter);
    // One entry under /sys/block/sdX, such as "dev" or the "device" link.
    void RemoveSysEntry(char letter, const std::string& entry);
    // Makes the /dev node `name` stand for the device number `number` ("MAJOR:MINOR").
    void SetNodeNumber(const std::string& name, const std::string& number);
    void WriteDeviceAttribute(char letter, const char* attribute, const std::string& text);
    // The /dev path of a node name, as the backend forms it.
    std::string DevNode(const std::string& name) const;

  private:
    std::string root_;
};

struct OpenCall {
    std::string path;
    int flags = 0;
};

// The real system calls, but SG_IO goes to `answer` (ENOTTY without one), opens of the paths
// in `openErrors` fail with that errno, and a descriptor of a plain file has the device number
// the file holds. Every question to the file system is written down in `lookups`, as
// "list PATH", "exists PATH", "read PATH" or "link PATH".
class TreeSystem : public RealLinuxSystem {
  public:
    using Answer = std::function<int(const std::string& node, sg_io_hdr_t& header)>;

    int Open(const std::string& path, int flags) override;
    int Close(int descriptor) override;
    int SgIo(int descriptor, sg_io_hdr_t& header) override;
    int DeviceNumber(int descriptor, dev_t& number) override;
    bool Exists(const std::string& path) override;
    std::vector<std::string> ListDirectory(const std::string& path) override;
    bool ReadTextFile(const std::string& path, std::string& text) override;
    bool ReadLink(const std::string& path, std::string& target) override;

    Answer answer;
    std::map<std::string, int> openErrors;
    std::vector<OpenCall> opens;
    std::map<int, std::string> openNodes;  // descriptor -> path, while open
    std::vector<std::string> lookups;
    int sgIoCalls = 0;
};

}  // namespace vardel::testing_support
