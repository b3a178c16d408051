#pragma once
// A /dev and /sys of the test's own in a temporary directory, and the real system calls over it
// with SG_IO answered by the test: what the Linux backend finds there is exactly what a test put
// there, and every node it opens is a real open of a real file.

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
    // The disk sdX behind `letter`: its sysfs directory and its block node and, when `sgName` is
    // given, the generic node that sysfs names and its node in /dev.
    void AddDisk(char letter, const char* sgName = nullptr);
    void RemoveDevNode(const std::string& name);
    void RemoveSysBlock(char letter);
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

// The real system calls, but SG_IO goes to `answer` (ENOTTY without one) and opens of the paths
// in `openErrors` fail with that errno.
class TreeSystem : public RealLinuxSystem {
  public:
    using Answer = std::function<int(const std::string& node, sg_io_hdr_t& header)>;

    int Open(const std::string& path, int flags) override;
    int Close(int descriptor) override;
    int SgIo(int descriptor, sg_io_hdr_t& header) override;

    Answer answer;
    std::map<std::string, int> openErrors;
    std::vector<OpenCall> opens;
    std::map<int, std::string> openNodes;  // descriptor -> path, while open
    int sgIoCalls = 0;
};

}  // namespace vardel::testing_support
