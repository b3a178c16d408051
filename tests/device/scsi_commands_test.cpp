// What each device command puts on the wire, as the emulated driver sees it, and how the results
// of the platform and the drive come back.

#include "device/scsi_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/scsi_request.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"

namespace vardel {
namespace {

using emulated::CallRecord;
using emulated::EmulatedPlatform;
using emulated::Fault;
using emulated::FaultEffect;
using emulated::Operation;

class DeviceCommandsTest : public ::testing::Test {
  protected:
    DeviceCommandsTest() {
        drive_ = platform_.AddDrive(emulated::StandardDrive());
        platform_.AttachVolume('E', drive_, 0);
        platform_.AttachVolume('F', drive_, 1);
    }

    std::vector<CallRecord> Calls(CallRecord::Kind kind) const {
        std::vector<CallRecord> calls;
        for (const CallRecord& call : platform_.Log()) {
            if (call.kind == kind) calls.push_back(call);
        }
        return calls;
    }

    EmulatedPlatform platform_;
    int drive_ = 0;
};

enum class Command { Inquiry, ReadInfo, ReadIdentity, Write };

struct WireCase {
    const char* name;
    Command command;
    std::uint32_t controlCode;
    std::uint32_t ioSize;
    std::uint8_t dataIn;
    std::uint32_t transferLength;
    std::uint8_t cdb[12];
};

DriveStatus RunCommand(Platform& platform, Command command, char letter) {
    InquiryData inquiry = {};
    alignas(kVendorBlockAlignment) VendorBlock block = {};
    switch (command) {
        case Command::Inquiry:
            return ScsiInquiry(platform, letter, inquiry);
        case Command::ReadInfo:
            return VendorRead(platform, letter, &kInfoTag, block);
        case Command::ReadIdentity:
            return VendorRead(platform, letter, nullptr, block);
        case Command::Write:
            return VendorWrite(platform, letter, block);
    }
    return -1;
}

const std::uint32_t kInquiryIoSize = static_cast<std::uint32_t>(kBufferedDataOffset + 44);
const std::uint32_t kDirectIoSize = static_cast<std::uint32_t>(kDirectSenseOffset + 32);

const WireCase kWireCases[] = {
    {"Inquiry",
     Command::Inquiry,
     kIoctlScsiPassThrough,
     kInquiryIoSize,
     1,
     44,
     {0x12, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {"ReadInfo",
     Command::ReadInfo,
     kIoctlScsiPassThroughDirect,
     kDirectIoSize,
     1,
     528,
     {0x06, 0x05, 0x49, 0x4E, 0x46, 0x4F, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}},
    {"ReadIdentity",
     Command::ReadIdentity,
     kIoctlScsiPassThroughDirect,
     kDirectIoSize,
     1,
     528,
     {0x06, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}},
    {"Write",
     Command::Write,
     kIoctlScsiPassThroughDirect,
     kDirectIoSize,
     0,
     512,
     {0x06, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
};

class WireTest : public DeviceCommandsTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(WireTest, OpensSendsOneRecordAndCloses) {
    const WireCase& expected = GetParam();
    ASSERT_EQ(RunCommand(platform_, expected.command, 'F'), kDriveOk);

    const std::vector<CallRecord>& log = platform_.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, CallRecord::Kind::Open);
    EXPECT_EQ(log[1].kind, CallRecord::Kind::Control);
    EXPECT_EQ(log[2].kind, CallRecord::Kind::Close);

    const CallRecord& call = log[1];
    EXPECT_EQ(call.letter, 'F');
    EXPECT_EQ(call.controlCode, expected.controlCode);
    EXPECT_EQ(call.inSize, expected.ioSize);
    EXPECT_EQ(call.outSize, expected.ioSize);
    EXPECT_EQ(call.cdbLength, 12);
    EXPECT_EQ(call.dataIn, expected.dataIn);
    EXPECT_EQ(call.transferLength, expected.transferLength);
    EXPECT_EQ(call.timeoutSeconds, 10u);
    EXPECT_EQ(call.senseInfoLength, 24);
    std::vector<std::uint8_t> expectedCdb(expected.cdb, expected.cdb + 12);
    expectedCdb.resize(16, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(call.cdb, call.cdb + 16), expectedCdb);
}

INSTANTIATE_TEST_SUITE_P(Commands, WireTest, ::testing::ValuesIn(kWireCases),
                         testing_support::CaseName());

TEST_F(DeviceCommandsTest, OpensTheVolumePathReadWriteSharedUnbuffered) {
    InquiryData inquiry;
    ScsiInquiry(platform_, 'E', inquiry);
    const CallRecord& open = platform_.Log().front();
    ASSERT_EQ(open.kind, CallRecord::Kind::Open);
    EXPECT_EQ(open.name, std::string("\\\\.\\E:"));
    EXPECT_EQ(open.name.size(), 6u);
    EXPECT_EQ(open.access, kGenericRead | kGenericWrite);
    EXPECT_EQ(open.share, kFileShareRead | kFileShareWrite);
    EXPECT_EQ(open.disposition, kOpenExisting);
    EXPECT_EQ(open.flags, kFileFlagNoBuffering);
}

TEST_F(DeviceCommandsTest, InquiryReturnsTheFirst44BytesOfTheDrivesAnswer) {
    InquiryData inquiry;
    std::memset(inquiry, 0xEE, sizeof(inquiry));
    ASSERT_EQ(ScsiInquiry(platform_, 'E', inquiry), kDriveOk);
    EXPECT_EQ(0, std::memcmp(inquiry, platform_.DriveAt(drive_).inquiry.data(), 44));
}

TEST_F(DeviceCommandsTest, VendorReadReturnsTheTaggedBlock) {
    alignas(kVendorBlockAlignment) VendorBlock info;
    alignas(kVendorBlockAlignment) VendorBlock identity;
    ASSERT_EQ(VendorRead(platform_, 'F', &kInfoTag, info), kDriveOk);
    ASSERT_EQ(VendorRead(platform_, 'F', nullptr, identity), kDriveOk);
    const emulated::Drive& drive = platform_.DriveAt(drive_);
    EXPECT_EQ(0, std::memcmp(info, drive.configBlock.data(), 528));
    EXPECT_EQ(0, std::memcmp(identity, drive.identityBlock.data(), 385));
    EXPECT_EQ(identity[385], 1);  // read through F, LUN 1
}

TEST_F(DeviceCommandsTest, WriteSendsExactly512BytesAndKeepsTheLast16ToItself) {
    const emulated::Block before = platform_.DriveAt(drive_).configBlock;
    alignas(kVendorBlockAlignment) VendorBlock block;
    for (std::size_t i = 0; i < sizeof(block); ++i) block[i] = static_cast<std::uint8_t>(~i);
    ASSERT_EQ(VendorWrite(platform_, 'F', block), kDriveOk);

    const CallRecord& call = platform_.Log()[1];
    ASSERT_EQ(call.dataSent.size(), 512u);
    EXPECT_EQ(0, std::memcmp(call.dataSent.data(), block, 512));
    const emulated::Block& after = platform_.DriveAt(drive_).configBlock;
    EXPECT_EQ(0, std::memcmp(after.data(), block, 512));
    EXPECT_EQ(0, std::memcmp(after.data() + 512, before.data() + 512, 16));
}

// A vendor read counts only when all 528 bytes arrived, whatever the status says.
TEST_F(DeviceCommandsTest, AShortVendorReadIsAFailedRead) {
    struct Case {
        std::size_t returned;
        DriveStatus expected;
    } const cases[] = {
        {0, kDriveShortRead}, {300, kDriveShortRead}, {527, kDriveShortRead}, {528, kDriveOk}};
    for (const Case& c : cases) {
        for (const VendorTag* tag : {&kInfoTag, static_cast<const VendorTag*>(nullptr)}) {
            emulated::Drive& drive = platform_.DriveAt(drive_);
            drive.configReturned = tag != nullptr ? c.returned : 528;
            drive.identityReturned = tag != nullptr ? 528 : c.returned;
            alignas(kVendorBlockAlignment) VendorBlock block = {};
            EXPECT_EQ(VendorRead(platform_, 'E', tag, block), c.expected)
                << c.returned << (tag != nullptr ? " INFO" : " ID");
        }
    }
    static_assert(kDriveShortRead > 0, "counts as failure wherever a DriveStatus is examined");
}

// How the platform's and the drive's answers become a DriveStatus, for every command.
struct StatusCase {
    const char* name;
    FaultEffect effect;
    std::uint32_t code;
    DriveStatus expected;
    std::size_t controlCalls;
};

const StatusCase kStatusCases[] = {
    {"OpenFailsWithItsCode", FaultEffect::FailOpen, kErrorAccessDenied, 5, 0},
    {"ControlFailsWithItsCode", FaultEffect::FailControl, kErrorIoDevice, 1117, 1},
    {"CheckConditionIsMinusTwo", FaultEffect::ScsiStatus, 2, -2, 1},
    {"BusyIsMinusEight", FaultEffect::ScsiStatus, 8, -8, 1},
};

std::string StatusCaseName(const ::testing::TestParamInfo<std::tuple<StatusCase, Command>>& info) {
    static const char* const kCommandNames[] = {"Inquiry", "ReadInfo", "ReadIdentity", "Write"};
    return std::string(std::get<0>(info.param).name) + "_" +
           kCommandNames[static_cast<int>(std::get<1>(info.param))];
}

class StatusTest : public DeviceCommandsTest,
                   public ::testing::WithParamInterface<std::tuple<StatusCase, Command>> {};

TEST_P(StatusTest, ReportsTheFirstFailure) {
    const StatusCase& c = std::get<0>(GetParam());
    const Command command = std::get<1>(GetParam());
    Fault fault;
    fault.letter = 'E';
    fault.operation = c.effect == FaultEffect::FailOpen ? Operation::Open
                      : command == Command::Inquiry     ? Operation::Inquiry
                      : command == Command::ReadInfo    ? Operation::ReadConfig
                      : command == Command::Write       ? Operation::Write
                                                        : Operation::ReadIdentity;
    fault.effect = c.effect;
    fault.code = c.code;
    platform_.InjectFault(fault);

    EXPECT_EQ(RunCommand(platform_, command, 'E'), c.expected);
    EXPECT_EQ(Calls(CallRecord::Kind::Control).size(), c.controlCalls);
    // Whatever happened, no handle is left open.
    EXPECT_EQ(Calls(CallRecord::Kind::Close).size(), c.effect == FaultEffect::FailOpen ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Failures, StatusTest,
                         ::testing::Combine(::testing::ValuesIn(kStatusCases),
                                            ::testing::Values(Command::Inquiry, Command::ReadInfo,
                                                              Command::ReadIdentity,
                                                              Command::Write)),
                         StatusCaseName);

TEST_F(DeviceCommandsTest, ALetterWithNoVolumeFailsAtTheOpenWithoutAControlCall) {
    alignas(kVendorBlockAlignment) VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'Q', nullptr, block),
              static_cast<DriveStatus>(kErrorFileNotFound));
    EXPECT_TRUE(Calls(CallRecord::Kind::Control).empty());
}

TEST_F(DeviceCommandsTest, FailedInquiryStillFillsTheCallersBufferFromTheRecord) {
    Fault fault;
    fault.letter = 'E';
    fault.operation = Operation::Inquiry;
    fault.effect = FaultEffect::FailControl;
    fault.code = kErrorIoDevice;
    platform_.InjectFault(fault);

    InquiryData inquiry;
    std::memset(inquiry, 0xEE, sizeof(inquiry));
    EXPECT_EQ(ScsiInquiry(platform_, 'E', inquiry), 1117);
    EXPECT_EQ(std::vector<std::uint8_t>(inquiry, inquiry + 44), std::vector<std::uint8_t>(44, 0));
}

}  // namespace
}  // namespace vardel
