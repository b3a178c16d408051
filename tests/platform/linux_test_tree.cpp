#include "platform/linux_test_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vardel::testing_support {
namespace fs = std::filesystem;

LinuxTestTree::LinuxTestTree() {
    std::string pattern = (fs::temp_directory_path() / "vardel-linux-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) ADD_FAILURE() << "no temporary directory";
    root_ = pattern;
    fs::create_directories(root_ + "/dev");
    fs::create_directories(root_ + "/sys/block");
}

LinuxTestTree::~LinuxTestTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

LinuxPaths LinuxTestTree::Paths() const {
    return LinuxPaths{root_ + "/dev", root_ + "/sys"};
}

void LinuxTestTree::AddDisk(char letter, const char* sgName) {
    const std::string disk = DiskName(letter);
    const std::string device = root_ + "/sys/block/" + disk + "/device";
    fs::create_directories(device);
    std::ofstream(root_ + "/dev/" + disk).put('\0');
    if (sgName != nullptr) {
        fs::create_directories(device + "/scsi_generic/" + sgName);
        std::ofstream(root_ + "/dev/" + sgName).put('\0');
    }
}

void LinuxTestTree::RemoveDevNode(const std::string& name) {
    fs::remove(root_ + "/dev/" + name);
}

void LinuxTestTree::RemoveSysBlock(char letter) {
    fs::remove_all(root_ + "/sys/block/" + DiskName(letter));
}

void LinuxTestTree::WriteDeviceAttribute(char letter, const char* attribute,
                                         const std::string& text) {
    std::ofstream(root_ + "/sys/block/" + DiskName(letter) + "/device/" + attribute) << text;
}

std::string LinuxTestTree::DevNode(const std::string& name) const {
    return root_ + "/dev/" + name;
}

int TreeSystem::Open(const std::string& path, int flags) {
    opens.push_back(OpenCall{path, flags});
    const auto error = openErrors.find(path);
    if (error != openErrors.end()) return -error->second;
    const int descriptor = RealLinuxSystem::Open(path, flags);
    if (descriptor >= 0) openNodes[descriptor] = path;
    return descriptor;
}

int TreeSystem::Close(int descriptor) {
    openNodes.erase(descriptor);
    return RealLinuxSystem::Close(descriptor);
}

int TreeSystem::SgIo(int descriptor, sg_io_hdr_t& header) {
    ++sgIoCalls;
    if (!answer) return -ENOTTY;
    const auto node = openNodes.find(descriptor);
    return answer(node != openNodes.end() ? node->second : std::string(), header);
}

}  // namespace vardel::testing_support
