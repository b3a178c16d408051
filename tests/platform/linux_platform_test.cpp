// The Linux backend over a /dev and /sys of the test's own, with SG_IO answered by the test: which
// node a volume opens, what the system's errors become, and the device commands and discovery
// running through it to a drive.

#include "platform/linux/linux_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "commands/block_backup.h"
#include "device/device_address.h"
#include "device/scsi_commands.h"
#include "device/scsi_request.h"
#include "device/volume.h"
#include "drive/candidate_drive.h"
#include "drive/discovery.h"
#include "platform/emulated/firmware.h"
#include "platform/linux/linux_disk_info.h"
#include "platform/linux_test_tree.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"

namespace vardel {
namespace {

using testing_support::LinuxTestTree;
using testing_support::OpenCall;
using testing_support::TreeSystem;

constexpr int kOpenFlags = O_RDWR | O_NONBLOCK;
constexpr std::uint8_t kCallerPattern = 0xA5;

class LinuxPlatformTest : public ::testing::Test {
  protected:
    std::vector<std::string> OpenedPaths() const {
        std::vector<std::string> paths;
        for (const OpenCall& open : system_.opens) paths.push_back(open.path);
        return paths;
    }

    // Answers every SG_IO with `status` and nothing else.
    void AnswerWithStatus(std::uint8_t status) {
        system_.answer = [status](const std::string&, sg_io_hdr_t& header) {
            header.status = status;
            return 0;
        };
    }

    LinuxTestTree tree_;
    TreeSystem system_;
    LinuxPlatform platform_{system_, tree_.Paths()};
};

TEST_F(LinuxPlatformTest, OpensTheGenericNodeThatSysfsNames) {
    tree_.AddDisk('E', "sg2");
    VolumeHandle handle = OpenVolume(platform_, 'E');
    ASSERT_NE(handle, kInvalidVolumeHandle);
    ASSERT_EQ(system_.opens.size(), 1u);
    EXPECT_EQ(system_.opens[0].path, tree_.DevNode("sg2"));
    EXPECT_EQ(system_.opens[0].flags, kOpenFlags);
    CloseVolume(platform_, handle);
    EXPECT_TRUE(system_.openNodes.empty());
}

TEST_F(LinuxPlatformTest, OpensTheBlockNodeOfADiskWithoutAGenericNode) {
    tree_.AddDisk('E');
    VolumeHandle handle = OpenVolume(platform_, 'E');
    ASSERT_NE(handle, kInvalidVolumeHandle);
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>{tree_.DevNode("sde")});
    EXPECT_EQ(system_.opens[0].flags, kOpenFlags);
    CloseVolume(platform_, handle);
}

TEST_F(LinuxPlatformTest, FallsBackToTheBlockNodeWhenDevLacksTheGenericNode) {
    tree_.AddDisk('E', "sg2");
    tree_.RemoveDevNode("sg2");
    VolumeHandle handle = OpenVolume(platform_, 'E');
    ASSERT_NE(handle, kInvalidVolumeHandle);
    EXPECT_EQ(OpenedPaths(),
              (std::vector<std::string>{tree_.DevNode("sg2"), tree_.DevNode("sde")}));
    CloseVolume(platform_, handle);
}

// Without the udev rule the generic node refuses the user; the block node would take INQUIRY
// and then refuse the vendor commands, so the refusal is reported as it is.
TEST_F(LinuxPlatformTest, ARightsProblemOnTheGenericNodeIsReportedAsItIs) {
    tree_.AddDisk('E', "sg2");
    system_.openErrors[tree_.DevNode("sg2")] = EACCES;
    InquiryData inquiry;
    EXPECT_EQ(ScsiInquiry(platform_, 'E', inquiry), EACCES);
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>{tree_.DevNode("sg2")});
    EXPECT_EQ(system_.sgIoCalls, 0);
}

TEST_F(LinuxPlatformTest, AMissingDiskFailsWithEnoentAndNoIoctl) {
    tree_.AddDisk('F');
    tree_.RemoveDevNode("sdf");  // listed by the kernel, but no node
    VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'E', nullptr, block), ENOENT);
    EXPECT_EQ(VendorRead(platform_, 'F', nullptr, block), ENOENT);
    EXPECT_EQ(system_.sgIoCalls, 0);
}

// A letter stays with the device it first opened onto. sde starts as generic node sg1 of the
// SCSI device 6:0:0:0; after one command through E the kernel's view of sde changes.
void ReplugE(LinuxTestTree& tree, const char* sgName, const char* scsiDevice) {
    tree.RemoveSysBlock('E');
    tree.RemoveDevNode("sg1");
    tree.AddDisk('E', sgName, scsiDevice);
}

struct LetterChangeCase {
    const char* name;
    std::function<void(LinuxTestTree&)> change;
    int error;  // of the next command through E; 0: it goes through
};

const LetterChangeCase kLetterChangeCases[] = {
    {"TheSameDeviceAgain", [](LinuxTestTree& tree) { ReplugE(tree, "sg1", "6:0:0:0"); }, 0},
    {"AnotherScsiDevice", [](LinuxTestTree& tree) { ReplugE(tree, "sg1", "7:0:0:0"); }, ENODEV},
    {"AnotherGenericNode", [](LinuxTestTree& tree) { ReplugE(tree, "sg3", "6:0:0:0"); }, ENODEV},
    // A static /dev keeps both node files.
    {"GoneFromSysfs", [](LinuxTestTree& tree) { tree.RemoveSysBlock('E'); }, ENODEV},
};

class LetterChangeTest : public LinuxPlatformTest,
                         public ::testing::WithParamInterface<LetterChangeCase> {};

TEST_P(LetterChangeTest, ALetterOpensOnlyTheDeviceItFirstOpened) {
    const LetterChangeCase& c = GetParam();
    tree_.AddDisk('E', "sg1", "6:0:0:0");
    AnswerWithStatus(0);
    VendorBlock block;
    ASSERT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), kDriveOk);

    c.change(tree_);
    system_.opens.clear();
    system_.sgIoCalls = 0;
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), c.error);
    // The letter's case makes no second pin.
    VolumeHandle lower =
        platform_.Open("\\\\.\\e:", kGenericRead | kGenericWrite, 0, kOpenExisting, 0);
    if (c.error == 0) {
        ASSERT_NE(lower, kInvalidVolumeHandle);
        CloseVolume(platform_, lower);
        return;
    }
    EXPECT_EQ(lower, kInvalidVolumeHandle);
    EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(c.error));
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>{}) << "no node of another device is opened";
    EXPECT_EQ(system_.sgIoCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(Changes, LetterChangeTest, ::testing::ValuesIn(kLetterChangeCases),
                         testing_support::CaseName());

TEST_F(LinuxPlatformTest, ALetterIsPinnedAtItsFirstOpenNotBefore) {
    tree_.AddDisk('E', "sg1", "6:0:0:0");
    tree_.AddDisk('F', "sg2", "6:0:0:1");
    AnswerWithStatus(0);
    VendorBlock block;
    ASSERT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), kDriveOk);

    // F changes hands before anything went through it: the newcomer is F's device from now on.
    tree_.RemoveSysBlock('F');
    tree_.RemoveDevNode("sg2");
    tree_.AddDisk('F', "sg3", "7:0:0:0");
    EXPECT_EQ(VendorRead(platform_, 'F', &kInfoTag, block), kDriveOk);
    tree_.RemoveSysBlock('F');
    tree_.AddDisk('F', "sg2", "6:0:0:1");
    EXPECT_EQ(VendorRead(platform_, 'F', &kInfoTag, block), ENODEV);
}

// A node is taken only when it is the device that sysfs names for the letter's disk; a disk that
// sysfs cannot tie to a device is refused as well.
struct UnnamedNodeCase {
    const char* name;
    const char* sgName;
    std::function<void(LinuxTestTree&)> change;
};

const UnnamedNodeCase kUnnamedNodeCases[] = {
    {"StaleGenericNode", "sg1", [](LinuxTestTree& tree) { tree.SetNodeNumber("sg1", "21:7"); }},
    {"StaleBlockNode", nullptr, [](LinuxTestTree& tree) { tree.SetNodeNumber("sde", "8:80"); }},
    {"GenericNodeWithoutNumber", "sg1",
     [](LinuxTestTree& tree) { tree.RemoveSysEntry('E', "device/scsi_generic/sg1/dev"); }},
    {"BlockNodeWithoutNumber", nullptr,
     [](LinuxTestTree& tree) { tree.RemoveSysEntry('E', "dev"); }},
    {"DiskWithoutScsiDevice", nullptr,
     [](LinuxTestTree& tree) { tree.RemoveSysEntry('E', "device"); }},
};

class UnnamedNodeTest : public LinuxPlatformTest,
                        public ::testing::WithParamInterface<UnnamedNodeCase> {};

TEST_P(UnnamedNodeTest, IsClosedAgainAndGetsNoCommand) {
    const UnnamedNodeCase& c = GetParam();
    tree_.AddDisk('E', c.sgName);
    c.change(tree_);
    AnswerWithStatus(0);
    VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), ENODEV);
    EXPECT_EQ(system_.opens.size(), 1u);
    EXPECT_TRUE(system_.openNodes.empty());
    EXPECT_EQ(system_.sgIoCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(Nodes, UnnamedNodeTest, ::testing::ValuesIn(kUnnamedNodeCases),
                         testing_support::CaseName());

TEST_F(LinuxPlatformTest, APathThatNamesNoVolumeIsEinval) {
    for (const char* path : {"\\\\.\\1:", "\\\\.\\E", "E:", "\\\\?\\E:", "\\\\.\\E:\\"}) {
        EXPECT_EQ(platform_.Open(path, kGenericRead | kGenericWrite, 0, kOpenExisting, 0),
                  kInvalidVolumeHandle)
            << path;
        EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EINVAL)) << path;
    }
    EXPECT_TRUE(system_.opens.empty());
}

TEST_F(LinuxPlatformTest, HandlesItDidNotOpenAreEbadf) {
    tree_.AddDisk('E', "sg2");
    ScsiRequestDirect record{};
    std::uint32_t returned = 7;
    for (const VolumeHandle handle : {kNullVolumeHandle, kInvalidVolumeHandle, VolumeHandle{4}}) {
        EXPECT_FALSE(platform_.Control(handle, kIoctlScsiPassThroughDirect, &record, sizeof(record),
                                       &record, sizeof(record), &returned));
        EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EBADF));
        EXPECT_EQ(returned, 0u);
        EXPECT_FALSE(platform_.Close(handle));
        EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EBADF));
    }
    const VolumeHandle handle = OpenVolume(platform_, 'E');
    EXPECT_TRUE(platform_.Close(handle));
    EXPECT_FALSE(platform_.Close(handle)) << "closed twice";
    EXPECT_EQ(system_.sgIoCalls, 0);
}

TEST_F(LinuxPlatformTest, ARecordItCannotTakeIsEinvalWithoutIoctl) {
    tree_.AddDisk('E', "sg2");
    VolumeHandle handle = OpenVolume(platform_, 'E');
    ScsiRequestDirect record{};
    EXPECT_FALSE(platform_.Control(handle, kIoctlScsiPassThroughDirect, &record, sizeof(record),
                                   &record, sizeof(record), nullptr));
    EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EINVAL));
    EXPECT_EQ(system_.sgIoCalls, 0);
    CloseVolume(platform_, handle);
}

TEST_F(LinuxPlatformTest, AnInterruptedIoctlIsIssuedAgain) {
    tree_.AddDisk('E', "sg2");
    system_.answer = [calls = 0](const std::string&, sg_io_hdr_t& header) mutable {
        if (++calls < 3) return -EINTR;
        header.status = 0;
        return 0;
    };
    VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), kDriveOk);
    EXPECT_EQ(system_.sgIoCalls, 3);
}

TEST_F(LinuxPlatformTest, AFailedIoctlGivesItsErrno) {
    tree_.AddDisk('E');
    system_.answer = [](const std::string&, sg_io_hdr_t&) { return -EPERM; };
    VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), EPERM);
    EXPECT_TRUE(system_.openNodes.empty()) << "the volume is closed after a failed call";
}

// The kernel's answers as the device layer sees them. The caller's buffer holds a pattern, and
// the kernel scribbles over the whole buffer it was given each time.
struct KernelAnswerCase {
    const char* name;
    std::uint8_t status;
    unsigned short hostStatus;
    unsigned short driverStatus;
    DriveStatus expected;
    bool dataReachesCaller;
};

const KernelAnswerCase kKernelAnswerCases[] = {
    {"Good", 0x00, 0, 0, kDriveOk, true},
    {"CheckConditionWithSense", 0x02, 0, 0x08, -2, false},
    {"HostErrorDespiteGoodStatus", 0x00, 0x07, 0, EIO, false},
    {"DriverErrorDespiteGoodStatus", 0x00, 0, 0x04, EIO, false},
};

class KernelAnswerTest : public LinuxPlatformTest,
                         public ::testing::WithParamInterface<KernelAnswerCase> {};

TEST_P(KernelAnswerTest, BecomesTheDriveStatusAndKeepsStaleBytesFromTheCaller) {
    const KernelAnswerCase& c = GetParam();
    tree_.AddDisk('E', "sg2");
    system_.answer = [&c](const std::string&, sg_io_hdr_t& header) {
        std::memset(header.dxferp, 0x00, header.dxfer_len);
        header.status = c.status;
        header.host_status = c.hostStatus;
        header.driver_status = c.driverStatus;
        if (c.driverStatus == 0x08) {
            std::memset(header.sbp, 0x70, 18);
            header.sb_len_wr = 18;
        }
        return 0;
    };
    VendorBlock block;
    std::memset(block, kCallerPattern, sizeof(block));
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), c.expected);
    EXPECT_EQ(
        std::vector<std::uint8_t>(block, block + sizeof(block)),
        std::vector<std::uint8_t>(sizeof(block), c.dataReachesCaller ? 0x00 : kCallerPattern));
}

INSTANTIATE_TEST_SUITE_P(Answers, KernelAnswerTest, ::testing::ValuesIn(kKernelAnswerCases),
                         testing_support::CaseName());

// One listing of /sys/block serves the platform's command; the next command's platform lists
// again.
TEST_F(LinuxPlatformTest, LettersAreTheDisksTheKernelListsWhenTheCommandStarts) {
    tree_.AddDisk('A');
    tree_.AddDisk('E', "sg1");
    tree_.AddDisk('Z');
    tree_.AddDisk('F');
    tree_.RemoveDevNode("sdf");  // the kernel's list decides, not /dev
    EXPECT_EQ(platform_.LogicalDriveMask(), (1u << 0) | (1u << 4) | (1u << 5) | (1u << 25));
    std::uint8_t data[64];
    std::uint32_t size = sizeof(data);
    RegistryKey key = 0;
    ASSERT_EQ(
        platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &key), 0);
    EXPECT_EQ(platform_.QueryRegistryValue(key, "\\DosDevices\\e:", data, &size), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), tree_.DevNode("sde"));
    EXPECT_EQ(system_.lookups, std::vector<std::string>{"list " + tree_.Paths().sys + "/block"});

    tree_.RemoveSysBlock('E');
    EXPECT_EQ(platform_.LogicalDriveMask(), (1u << 0) | (1u << 4) | (1u << 5) | (1u << 25));
    LinuxPlatform nextCommand(system_, tree_.Paths());
    EXPECT_EQ(nextCommand.LogicalDriveMask(), (1u << 0) | (1u << 5) | (1u << 25));
}

// A letter's later opens reach the node its first open found, asking sysfs only whether the disk
// name still leads to the same SCSI device (and that device to the same generic node).
TEST_F(LinuxPlatformTest, ALaterOpenOfALetterListsNoFolderAndReadsNoAttribute) {
    tree_.AddDisk('E', "sg1");
    tree_.AddDisk('F', "sg2");
    tree_.RemoveDevNode("sg2");  // F opens through its block node
    tree_.AddDisk('G');
    const std::string block = tree_.Paths().sys + "/block/";
    const struct {
        char letter;
        std::vector<std::string> lookups;
        std::string node;
    } cases[] = {
        {'E',
         {"link " + block + "sde/device", "exists " + block + "sde/device/scsi_generic/sg1"},
         tree_.DevNode("sg1")},
        {'F', {"link " + block + "sdf/device"}, tree_.DevNode("sdf")},
        {'G', {"link " + block + "sdg/device"}, tree_.DevNode("sdg")},
    };
    for (const auto& c : cases) {
        VolumeHandle first = OpenVolume(platform_, c.letter);
        CloseVolume(platform_, first);
        system_.lookups.clear();
        system_.opens.clear();
        VolumeHandle again = OpenVolume(platform_, c.letter);
        ASSERT_NE(again, kInvalidVolumeHandle) << c.letter;
        EXPECT_EQ(system_.lookups, c.lookups) << c.letter;
        EXPECT_EQ(OpenedPaths(), std::vector<std::string>{c.node}) << c.letter;
        CloseVolume(platform_, again);
    }
}

// The node file of a later open is checked by its number: a /dev node that has come to stand
// for another device is closed again unused.
TEST_F(LinuxPlatformTest, ALaterOpenRefusesANodeWhoseNumberChanged) {
    tree_.AddDisk('E', "sg1");
    tree_.AddDisk('F');
    AnswerWithStatus(0);
    const struct {
        char letter;
        const char* node;
        const char* number;
    } cases[] = {{'E', "sg1", "21:7"}, {'F', "sdf", "8:96"}};
    for (const auto& c : cases) {
        VendorBlock block;
        ASSERT_EQ(VendorRead(platform_, c.letter, &kInfoTag, block), kDriveOk) << c.letter;
        tree_.SetNodeNumber(c.node, c.number);
        system_.opens.clear();
        system_.sgIoCalls = 0;
        EXPECT_EQ(VendorRead(platform_, c.letter, &kInfoTag, block), ENODEV) << c.letter;
        EXPECT_EQ(OpenedPaths(), std::vector<std::string>{tree_.DevNode(c.node)}) << c.letter;
        EXPECT_TRUE(system_.openNodes.empty()) << c.letter;
        EXPECT_EQ(system_.sgIoCalls, 0) << c.letter;
    }
}

TEST_F(LinuxPlatformTest, MountedEntriesFollowTheKernelsDisks) {
    tree_.AddDisk('E', "sg1");
    RegistryKey key = 0;
    ASSERT_EQ(
        platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &key), 0);
    ASSERT_NE(key, 0u);

    std::uint8_t data[1024];
    std::uint32_t size = sizeof(data);
    EXPECT_EQ(platform_.QueryRegistryValue(key, "\\DosDevices\\E:", data, &size), 0);
    EXPECT_GT(size, 0u);
    EXPECT_LE(size, sizeof(data));

    for (const char* absent :
         {"\\DosDevices\\D:", "\\DosDevices\\E", "\\DosDevices\\?:", "\\??\\Volume{0}", ""}) {
        size = sizeof(data);
        EXPECT_EQ(platform_.QueryRegistryValue(key, absent, data, &size),
                  static_cast<std::int32_t>(kErrorFileNotFound))
            << absent;
    }

    size = 1;  // an entry longer than the caller's room is a failed query
    EXPECT_EQ(platform_.QueryRegistryValue(key, "\\DosDevices\\E:", data, &size),
              static_cast<std::int32_t>(kErrorMoreData));
    EXPECT_EQ(platform_.QueryRegistryValue(key + 1, "\\DosDevices\\E:", data, &size),
              static_cast<std::int32_t>(kErrorInvalidHandle));
    EXPECT_EQ(platform_.CloseRegistryKey(key), 0);

    RegistryKey other = 0;
    EXPECT_EQ(platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\Elsewhere", kKeyRead, &other),
              static_cast<std::int32_t>(kErrorFileNotFound));
}

TEST_F(LinuxPlatformTest, TheVersionGateLetsTheSystemThrough) {
    EXPECT_LE((platform_.VersionNumber() >> 8) & 0xFFu, 2u);
    char list[kLetterListSize] = {};
    std::uint8_t count = 0xEE;
    EXPECT_EQ(FindDrives(platform_, list, sizeof(list), count), kFindDrivesOk);
    EXPECT_EQ(count, 0);
}

TEST(LinuxPlatformLifetime, DescriptorsLeftOpenAreClosedWithThePlatform) {
    LinuxTestTree tree;
    TreeSystem system;
    tree.AddDisk('E', "sg2");
    {
        LinuxPlatform platform(system, tree.Paths());
        ASSERT_NE(OpenVolume(platform, 'E'), kInvalidVolumeHandle);
        ASSERT_EQ(system.openNodes.size(), 1u);
    }
    EXPECT_TRUE(system.openNodes.empty());
}

// The drive's lock is flock on a descriptor of its own of the node the letter opens onto: a
// second platform (another process) over the same nodes is Busy until the first lets go, and the
// volumes the commands open and close meanwhile do not let it go.
TEST_F(LinuxPlatformTest, TheDrivesLockIsAFlockOnTheLettersOwnNode) {
    tree_.AddDisk('E', "sg2");
    LinuxPlatform other(system_, tree_.Paths());
    ASSERT_EQ(platform_.LockDrive('e', 0), DriveLockResult::Held);
    EXPECT_EQ(OpenedPaths(), std::vector<std::string>{tree_.DevNode("sg2")});
    EXPECT_EQ(system_.opens[0].flags, kOpenFlags);
    EXPECT_EQ(platform_.LockDrive('E', 0), DriveLockResult::Busy);  // held here already

    VolumeHandle volume = OpenVolume(platform_, 'E');
    ASSERT_NE(volume, kInvalidVolumeHandle);
    CloseVolume(platform_, volume);
    EXPECT_EQ(other.LockDrive('E', 60), DriveLockResult::Busy);

    EXPECT_TRUE(platform_.UnlockDrive('E'));
    EXPECT_FALSE(platform_.UnlockDrive('E'));
    EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EBADF));
    EXPECT_EQ(other.LockDrive('E', 0), DriveLockResult::Held);
    EXPECT_EQ(platform_.LockDrive('E', 0), DriveLockResult::Busy);
}

// A lock that cannot be opened fails with the open's error and keeps nothing open; one that
// was held goes with the platform.
TEST_F(LinuxPlatformTest, ALockThatCannotOpenFailsWithTheSystemsError) {
    tree_.AddDisk('E', "sg2");
    tree_.AddDisk('F', "sg3");
    system_.openErrors[tree_.DevNode("sg2")] = EACCES;
    EXPECT_EQ(platform_.LockDrive('E', 0), DriveLockResult::Failed);
    EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(EACCES));
    EXPECT_EQ(platform_.LockDrive('G', 0), DriveLockResult::Failed);
    EXPECT_EQ(platform_.LastError(), static_cast<std::uint32_t>(ENOENT));
    EXPECT_TRUE(system_.openNodes.empty());
    {
        LinuxPlatform holder(system_, tree_.Paths());
        ASSERT_EQ(holder.LockDrive('F', 0), DriveLockResult::Held);
        EXPECT_EQ(platform_.LockDrive('F', 0), DriveLockResult::Busy);
    }
    EXPECT_TRUE(system_.openNodes.empty());
    EXPECT_EQ(platform_.LockDrive('F', 0), DriveLockResult::Held);
}

TEST(RealLinuxPlatform, ALetterWithNoDiskIsNoCandidateAndOpensNothing) {
    LinuxPlatform platform;
    const std::uint32_t mask = platform.LogicalDriveMask();
    char absent = 0;
    for (char letter = 'Z'; letter >= 'A' && absent == 0; --letter) {
        if ((mask & (1u << (letter - 'A'))) == 0) absent = letter;
    }
    ASSERT_NE(absent, 0) << "every letter is taken on this machine";
    EXPECT_EQ(IsCandidateDrive(platform, absent), static_cast<std::int32_t>(kErrorFileNotFound));
    VendorBlock block;
    EXPECT_EQ(VendorRead(platform, absent, nullptr, block), ENOENT);
    EXPECT_FALSE(DescribeDisk(absent).present);
}

// A machine with a system disk sda (no generic node) and one drive of ours seen as sde (LUN 0)
// and sdf (LUN 1); SG_IO reaches the drive model behind the node that was opened.
class LinuxDriveTest : public LinuxPlatformTest {
  protected:
    struct Lun {
        emulated::Drive* drive;
        std::uint8_t index;
    };

    LinuxDriveTest() {
        tree_.AddDisk('A');
        tree_.AddDisk('E', "sg1", "6:0:0:0");
        tree_.AddDisk('F', "sg2", "6:0:0:1");
        drive_ = emulated::StandardDrive();
        luns_[tree_.DevNode("sg1")] = Lun{&drive_, 0};
        luns_[tree_.DevNode("sg2")] = Lun{&drive_, 1};
        system_.answer = [this](const std::string& node, sg_io_hdr_t& header) {
            return AnswerAsDrive(node, header);
        };
    }

    int AnswerAsDrive(const std::string& node, sg_io_hdr_t& header) {
        const auto lun = luns_.find(node);
        emulated::PassThroughRecord record;
        record.cdbLength = header.cmd_len;
        std::copy_n(header.cmdp, header.cmd_len, record.cdb.begin());
        record.dataIn = header.dxfer_direction == SG_DXFER_TO_DEV ? kScsiDataOut : kScsiDataIn;
        record.transferLength = header.dxfer_len;
        record.senseInfoLength = header.mx_sb_len;
        const emulated::FirmwareAnswer answer =
            emulated::RunFirmware(lun != luns_.end() ? lun->second.drive : nullptr,
                                  lun != luns_.end() ? lun->second.index : 0, record,
                                  static_cast<std::uint8_t*>(header.dxferp));
        header.status = answer.status;
        header.resid = static_cast<int>(header.dxfer_len - answer.moved);
        if (answer.status == emulated::kStatusCheckCondition) {
            emulated::WriteSense(record, header.sbp, answer.asc);
            header.sb_len_wr = std::min<unsigned char>(header.mx_sb_len, 18);
            header.driver_status = 0x08;
        }
        return 0;
    }

    emulated::Drive drive_;
    std::map<std::string, Lun> luns_;  // by node
};

TEST_F(LinuxDriveTest, DiscoveryFindsTheOneDriveThroughItsTwoDisks) {
    EXPECT_EQ(IsCandidateDrive(platform_, 'A'), kNoSignature);
    char list[kLetterListSize] = {};
    std::uint8_t count = 0;
    ASSERT_EQ(FindDrives(platform_, list, sizeof(list), count), kFindDrivesOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::string(list, 4), std::string("EF\0\0", 4));
    OrderByLun(platform_, list);
    EXPECT_EQ(SelectTargetLetter(list), 'F');
    EXPECT_TRUE(system_.openNodes.empty());
}

// A second drive with the very same serial on another SCSI host is another drive.
TEST_F(LinuxDriveTest, DiscoveryTellsTwoDrivesOfOneSerialApartByTheirHost) {
    emulated::Drive twin = emulated::StandardDrive();
    tree_.AddDisk('G', "sg3", "7:0:0:0");
    tree_.AddDisk('H', "sg4", "7:0:0:1");
    luns_[tree_.DevNode("sg3")] = Lun{&twin, 0};
    luns_[tree_.DevNode("sg4")] = Lun{&twin, 1};
    char list[kLetterListSize] = {};
    std::uint8_t count = 0;
    ASSERT_EQ(FindDrives(platform_, list, sizeof(list), count), kFindDrivesOk);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::string(list, 7), std::string("EF\0GH\0\0", 7));
}

TEST_F(LinuxDriveTest, TheThreeCommandsReachTheDrive) {
    InquiryData inquiry;
    ASSERT_EQ(ScsiInquiry(platform_, 'F', inquiry), kDriveOk);
    EXPECT_EQ(0, std::memcmp(inquiry, drive_.inquiry.data(), sizeof(inquiry)));

    VendorBlock block;
    ASSERT_EQ(VendorRead(platform_, 'F', &kInfoTag, block), kDriveOk);
    EXPECT_EQ(0, std::memcmp(block, drive_.configBlock.data(), sizeof(block)));

    const emulated::Block before = drive_.configBlock;
    block[305] = 0x00;
    block[520] ^= 0xFF;  // past the 512 bytes a write sends
    ASSERT_EQ(VendorWrite(platform_, 'F', block), kDriveOk);
    EXPECT_EQ(0, std::memcmp(drive_.configBlock.data(), block, 512));
    EXPECT_EQ(0, std::memcmp(drive_.configBlock.data() + 512, before.data() + 512, 16));

    VendorBlock readBack;
    ASSERT_EQ(VendorRead(platform_, 'F', &kInfoTag, readBack), kDriveOk);
    EXPECT_EQ(readBack[305], 0x00);
    EXPECT_TRUE(system_.openNodes.empty());
}

TEST_F(LinuxDriveTest, ACommandTheDriveRefusesIsMinusCheckCondition) {
    VendorBlock block;
    std::memset(block, kCallerPattern, sizeof(block));
    EXPECT_EQ(VendorRead(platform_, 'A', &kInfoTag, block), -2);
    EXPECT_EQ(block[0], kCallerPattern);
}

// Another drive takes the disk names of ours between the restore's identity check and its
// write, with SCSI devices and generic nodes of its own: the write reaches neither drive.
TEST_F(LinuxDriveTest, ADriveSwappedInDuringARestoreGetsNothing) {
    emulated::Drive newcomer = emulated::StandardDrive();
    const emulated::Block newcomerBlock = newcomer.configBlock;
    const emulated::Block ourBlock = drive_.configBlock;
    alignas(kVendorBlockAlignment) VendorBlock info;
    alignas(kVendorBlockAlignment) VendorBlock identity;
    std::memcpy(info, drive_.configBlock.data(), sizeof(info));
    std::memcpy(identity, drive_.identityBlock.data(), sizeof(identity));
    info[305] = 0x00;  // LUN 1 removable: the restore has a byte to write

    bool swapped = false;
    int newcomerCalls = 0;
    system_.answer = [&](const std::string& node, sg_io_hdr_t& header) {
        if (luns_.count(node) != 0 && luns_.at(node).drive == &newcomer) ++newcomerCalls;
        const int result = AnswerAsDrive(node, header);
        emulated::Cdb cdb{};
        std::copy_n(header.cmdp, header.cmd_len, cdb.begin());
        // The block is read whole only after the identity check.
        if (!swapped && emulated::ClassifyCommand(cdb) == emulated::Operation::ReadConfig) {
            swapped = true;
            for (const char letter : {'E', 'F'}) tree_.RemoveSysBlock(letter);
            tree_.RemoveDevNode("sg1");
            tree_.RemoveDevNode("sg2");
            tree_.AddDisk('E', "sg3", "7:0:0:0");
            tree_.AddDisk('F', "sg4", "7:0:0:1");
            luns_[tree_.DevNode("sg3")] = Lun{&newcomer, 0};
            luns_[tree_.DevNode("sg4")] = Lun{&newcomer, 1};
        }
        return result;
    };

    CommandState state;
    const CommandOutcome outcome =
        RestoreConfigBlock(platform_, state, nullptr, info, identity, false);
    ASSERT_TRUE(swapped) << "the restore never read the block";
    EXPECT_NE(outcome.code, OutcomeCode::Done);
    EXPECT_EQ(outcome.driveStatus, ENODEV);
    EXPECT_EQ(newcomerCalls, 0);
    EXPECT_EQ(newcomer.configBlock, newcomerBlock);
    EXPECT_EQ(drive_.configBlock, ourBlock);
    EXPECT_TRUE(system_.openNodes.empty());
}

// A volume's SCSI address is the "host:channel:target:lun" its letter was pinned to: the open
// is the only system call, and a device whose name is no address gives none.
TEST_F(LinuxPlatformTest, AnAddressIsThePinnedScsiDevicesName) {
    struct Case {
        const char* scsiDevice;
        DriveStatus status;
        DeviceAddress address;
    } const cases[] = {
        {"6:0:2:1", kDriveOk, {6, 0, 2, 1}},
        {"12:3:4:5", kDriveOk, {12, 3, 4, 5}},
        // Host numbers grow with every plug; only the low byte is kept.
        {"262:0:0:1", kDriveOk, {6, 0, 0, 1}},
        {"target6:0:0", ENODEV, {0, 0, 0, 0}},
        {"6:0:0", ENODEV, {0, 0, 0, 0}},
        {"6:0:0:1:2", ENODEV, {0, 0, 0, 0}},
    };
    char letter = 'E';
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scsiDevice);
        tree_.AddDisk(letter, "sg1", c.scsiDevice);
        system_.lookups.clear();
        system_.opens.clear();
        DeviceAddress address = {9, 9, 9, 9};
        EXPECT_EQ(ReadDeviceAddress(platform_, letter, address), c.status);
        EXPECT_EQ(address.port, c.address.port);
        EXPECT_EQ(address.path, c.address.path);
        EXPECT_EQ(address.target, c.address.target);
        EXPECT_EQ(address.lun, c.address.lun);
        EXPECT_EQ(system_.opens.size(), 1u);
        EXPECT_EQ(system_.sgIoCalls, 0);
        EXPECT_TRUE(system_.openNodes.empty());
        // A second question asks sysfs only what any later open asks.
        system_.lookups.clear();
        VolumeHandle handle = OpenVolume(platform_, letter);
        const std::vector<std::string> openLookups = system_.lookups;
        system_.lookups.clear();
        CloseVolume(platform_, handle);
        ReadDeviceAddress(platform_, letter, address);
        EXPECT_EQ(system_.lookups, openLookups);
        ++letter;
    }
}

TEST_F(LinuxPlatformTest, DescribeDiskGivesTheNodesAndTheIdentityFromSysfs) {
    tree_.AddDisk('E', "sg3");
    tree_.WriteDeviceAttribute('E', "vendor", "VARDEL  \n");
    tree_.WriteDeviceAttribute('E', "model", "USB FLASH DISK  \n");
    tree_.WriteDeviceAttribute('E', "rev", "PMAP\n");
    const LinuxDiskInfo info = DescribeDisk(system_, tree_.Paths(), 'E');
    EXPECT_TRUE(info.present);
    EXPECT_EQ(info.blockNode, tree_.DevNode("sde"));
    EXPECT_EQ(info.sgNode, tree_.DevNode("sg3"));
    EXPECT_EQ(info.vendor, "VARDEL");
    EXPECT_EQ(info.product, "USB FLASH DISK");
    EXPECT_EQ(info.revision, "PMAP");

    const LinuxDiskInfo absent = DescribeDisk(system_, tree_.Paths(), 'G');
    EXPECT_FALSE(absent.present);
    EXPECT_TRUE(absent.sgNode.empty());
    EXPECT_TRUE(absent.vendor.empty());
    EXPECT_TRUE(DescribeDisk(system_, tree_.Paths(), '?').blockNode.empty());
}

// A disk that could not be opened may still hold a drive of the served kind, unless sysfs places
// it on a path without a USB controller: /sys/block/sdX links to its place in the device tree.
TEST_F(LinuxPlatformTest, DescribeDiskTellsADiskNotOnUsb) {
    namespace fs = std::filesystem;
    const std::string sys = tree_.Paths().sys;
    const auto placeAt = [&](char letter, const std::string& place) {
        tree_.AddDisk(letter);
        const std::string disk = std::string("sd") + static_cast<char>(letter - 'A' + 'a');
        const std::string target = sys + "/devices/" + place + "/block/" + disk;
        fs::create_directories(fs::path(target).parent_path());
        fs::rename(sys + "/block/" + disk, target);
        fs::create_directory_symlink("../devices/" + place + "/block/" + disk,
                                     sys + "/block/" + disk);
    };
    placeAt('E', "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0");
    placeAt('F', "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0");
    tree_.AddDisk('G');  // a directory, not a link: nothing tells where it sits

    EXPECT_TRUE(DescribeDisk(system_, tree_.Paths(), 'E').present);
    EXPECT_FALSE(DescribeDisk(system_, tree_.Paths(), 'E').notOnUsb);
    EXPECT_TRUE(DescribeDisk(system_, tree_.Paths(), 'F').present);
    EXPECT_TRUE(DescribeDisk(system_, tree_.Paths(), 'F').notOnUsb);
    EXPECT_FALSE(DescribeDisk(system_, tree_.Paths(), 'G').notOnUsb);
}

}  // namespace
}  // namespace vardel
