#include "platform/linux_test_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vardel::testing_support {
namespace fs = std::filesystem;

namespace {

// The kernel's numbering: sda..sdp on major 8, the next sixteen disks on major 65, sixteen
// minors (the partitions) to a disk.
std::string DiskNumber(char letter) {
    const int index = DiskName(letter)[2] - 'a';
    return std::to_string(index < 16 ? 8 : 65) + ":" + std::to_string(16 * (index % 16));
}

// "sgN" is minor N of major 21.
std::string GenericNodeNumber(const std::string& sgName) {
    return "21:" + sgName.substr(2);
}

}  // namespace

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

void LinuxTestTree::AddDisk(char letter, const char* sgName, const char* scsiDevice) {
    const std::string disk = DiskName(letter);
    const std::string sysBlock = root_ + "/sys/block/" + disk;
    const std::string scsiName =
        scsiDevice != nullptr ? scsiDevice : std::to_string(disk[2] - 'a') + ":0:0:0";
    fs::create_directories(root_ + "/sys/devices/" + scsiName);
    fs::create_directories(sysBlock);
    // As in sysfs, a link that climbs out of the disk's directory.
    fs::create_directory_symlink("../../devices/" + scsiName, sysBlock + "/device");
    std::ofstream(sysBlock + "/dev") << DiskNumber(letter) << '\n';
    SetNodeNumber(disk, DiskNumber(letter));
    if (sgName != nullptr) {
        const std::string generic = sysBlock + "/device/scsi_generic/" + sgName;
        fs::create_directories(generic);
        std::ofstream(generic + "/dev") << GenericNodeNumber(sgName) << '\n';
        SetNodeNumber(sgName, GenericNodeNumber(sgName));
    }
}

void LinuxTestTree::RemoveDevNode(const std::string& name) {
    fs::remove(root_ + "/dev/" + name);
}

void LinuxTestTree::RemoveSysBlock(char letter) {
    const std::string sysBlock = root_ + "/sys/block/" + DiskName(letter);
    std::error_code noDevice;
    const fs::path scsiDevice = fs::canonical(sysBlock + "/device", noDevice);
    if (!noDevice) fs::remove_all(scsiDevice);
    fs::remove_all(sysBlock);
}

void LinuxTestTree::RemoveSysEntry(char letter, const std::string& entry) {
    fs::remove_all(root_ + "/sys/block/" + DiskName(letter) + "/" + entry);
}

void LinuxTestTree::SetNodeNumber(const std::string& name, const std::string& number) {
    std::ofstream(root_ + "/dev/" + name, std::ios::trunc) << number;
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

int TreeSystem::DeviceNumber(int descriptor, dev_t& number) {
    const int result = RealLinuxSystem::DeviceNumber(descriptor, number);
    if (result != 0) return result;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    char text[32] = {};
    unsigned int major = 0;
    unsigned int minor = 0;
    if (::pread(descriptor, text, sizeof(text) - 1, 0) > 0 &&
        std::sscanf(text, "%u:%u", &major, &minor) == 2) {
        number = makedev(major, minor);
    }
    return 0;
}

bool TreeSystem::Exists(const std::string& path) {
    lookups.push_back("exists " + path);
    return RealLinuxSystem::Exists(path);
}

std::vector<std::string> TreeSystem::ListDirectory(const std::string& path) {
    lookups.push_back("list " + path);
    return RealLinuxSystem::ListDirectory(path);
}

bool TreeSystem::ReadTextFile(const std::string& path, std::string& text) {
    lookups.push_back("read " + path);
    return RealLinuxSystem::ReadTextFile(path, text);
}

bool TreeSystem::ReadLink(const std::string& path, std::string& target) {
    lookups.push_back("link " + path);
    return RealLinuxSystem::ReadLink(path, target);
}

}  // namespace vardel::testing_support
