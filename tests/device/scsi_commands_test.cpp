// What each device command puts on the wire, as the emulated driver sees it, and how the results
// of the platform and the drive come back.

#include "device/scsi_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "device/scsi_request.h"
#include "device/sense_key.h"
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

// How the platform's and the drive's answers become a DriveStatus, for every command. A unit
// attention is sent once more on the same handle; a CHECK CONDITION without sense is not.
struct StatusCase {
    const char* name;
    FaultEffect effect;
    std::uint32_t code;
    DriveStatus expected;
    std::size_t controlCalls;
    int times = 1;
};

const StatusCase kStatusCases[] = {
    {"OpenFailsWithItsCode", FaultEffect::FailOpen, kErrorAccessDenied, 5, 0},
    {"ControlFailsWithItsCode", FaultEffect::FailControl, kErrorIoDevice, 1117, 1},
    {"CheckConditionIsMinusTwo", FaultEffect::ScsiStatus, 2, -2, 1},
    {"BusyIsMinusEight", FaultEffect::ScsiStatus, 8, -8, 1},
    {"UnitAttentionIsSentOnceMore", FaultEffect::UnitAttention, 0, kDriveOk, 2},
    {"UnitAttentionAgainIsMinusTwo", FaultEffect::UnitAttention, 0, -2, 2, -1},
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
    fault.times = c.times;
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

Operation OperationOf(Command command) {
    switch (command) {
        case Command::Inquiry:
            return Operation::Inquiry;
        case Command::ReadInfo:
            return Operation::ReadConfig;
        case Command::ReadIdentity:
            return Operation::ReadIdentity;
        case Command::Write:
            return Operation::Write;
    }
    return Operation::OtherCommand;
}

// The driver has written status, lengths and sense over the first record; the resend must carry
// the record as first built (a transfer length left at 0 by the refused call, say, would read
// or write nothing).
TEST_P(WireTest, AUnitAttentionSendsTheSameRecordOnceMoreOnTheSameOpenVolume) {
    const WireCase& expected = GetParam();
    platform_.InjectFault(
        {'F', OperationOf(expected.command), 0, 1, FaultEffect::UnitAttention, 0});
    ASSERT_EQ(RunCommand(platform_, expected.command, 'F'), kDriveOk);

    const std::vector<CallRecord>& log = platform_.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, CallRecord::Kind::Open);
    EXPECT_EQ(log[3].kind, CallRecord::Kind::Close);
    const CallRecord& first = log[1];
    const CallRecord& resend = log[2];
    ASSERT_EQ(first.kind, CallRecord::Kind::Control);
    ASSERT_EQ(resend.kind, CallRecord::Kind::Control);
    EXPECT_EQ(first.scsiStatus, 2);
    EXPECT_EQ(resend.scsiStatus, 0);
    EXPECT_EQ(resend.controlCode, expected.controlCode);
    EXPECT_EQ(resend.inSize, expected.ioSize);
    EXPECT_EQ(resend.transferLength, expected.transferLength);
    EXPECT_EQ(resend.senseInfoLength, 24);
    EXPECT_EQ(std::vector<std::uint8_t>(resend.cdb, resend.cdb + 16),
              std::vector<std::uint8_t>(first.cdb, first.cdb + 16));
}

TEST_F(DeviceCommandsTest, AfterAUnitAttentionTheCallerGetsTheDrivesAnswer) {
    for (Operation operation : {Operation::Inquiry, Operation::ReadIdentity, Operation::Write}) {
        platform_.InjectFault({'F', operation, 0, 1, FaultEffect::UnitAttention, 0});
    }
    InquiryData inquiry;
    std::memset(inquiry, 0xEE, sizeof(inquiry));
    ASSERT_EQ(ScsiInquiry(platform_, 'F', inquiry), kDriveOk);
    EXPECT_EQ(0, std::memcmp(inquiry, platform_.DriveAt(drive_).inquiry.data(), 44));

    alignas(kVendorBlockAlignment) VendorBlock identity;
    ASSERT_EQ(VendorRead(platform_, 'F', nullptr, identity), kDriveOk);
    EXPECT_EQ(0, std::memcmp(identity, platform_.DriveAt(drive_).identityBlock.data(), 385));

    alignas(kVendorBlockAlignment) VendorBlock block;
    for (std::size_t i = 0; i < sizeof(block); ++i) block[i] = static_cast<std::uint8_t>(i * 3);
    ASSERT_EQ(VendorWrite(platform_, 'F', block), kDriveOk);
    EXPECT_EQ(0, std::memcmp(platform_.DriveAt(drive_).configBlock.data(), block, 512));
    // The refused write took no data; the resend took it once.
    std::size_t writesTaken = 0;
    for (const CallRecord& call : Calls(CallRecord::Kind::Control)) {
        writesTaken += call.dataSent.empty() ? 0 : 1;
    }
    EXPECT_EQ(writesTaken, 1u);
}

TEST_F(DeviceCommandsTest, AResendThatFailsGivesItsCodeAndClosesTheVolume) {
    platform_.InjectFault({'E', Operation::ReadConfig, 0, 1, FaultEffect::UnitAttention, 0});
    platform_.InjectFault(
        {'E', Operation::ReadConfig, 1, 1, FaultEffect::FailControl, kErrorIoDevice});
    alignas(kVendorBlockAlignment) VendorBlock block;
    EXPECT_EQ(VendorRead(platform_, 'E', &kInfoTag, block), 1117);
    EXPECT_EQ(Calls(CallRecord::Kind::Control).size(), 2u);
    EXPECT_EQ(Calls(CallRecord::Kind::Close).size(), 1u);
}

// Passes every call to the emulated machine and puts `sense` into the record of each call it
// answered with CHECK CONDITION, its length in the header's SenseInfoLength, as a driver that
// reports the sense it wrote does. Gives the device layer sense the emulated drive never sends.
class SenseWritingPlatform : public Platform {
  public:
    SenseWritingPlatform(EmulatedPlatform& machine, std::vector<std::uint8_t> sense,
                         std::uint8_t senseLength)
        : machine_(machine), sense_(std::move(sense)), senseLength_(senseLength) {}

    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override {
        return machine_.Open(path, access, share, disposition, flags);
    }
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        const bool sent =
            machine_.Control(handle, controlCode, in, inSize, out, outSize, bytesReturned);
        if (sent && controlCode == kIoctlScsiPassThroughDirect) {
            WriteSense<ScsiPassThroughDirect>(out);
        } else if (sent) {
            WriteSense<ScsiPassThrough>(out);
        }
        return sent;
    }
    bool Close(VolumeHandle handle) override { return machine_.Close(handle); }
    std::uint32_t LastError() override { return machine_.LastError(); }
    std::uint32_t LogicalDriveMask() override { return machine_.LogicalDriveMask(); }
    std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                 RegistryKey* key) override {
        return machine_.OpenRegistryKey(root, subKey, access, key);
    }
    std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName, std::uint8_t* data,
                                    std::uint32_t* dataSize) override {
        return machine_.QueryRegistryValue(key, valueName, data, dataSize);
    }
    std::int32_t CloseRegistryKey(RegistryKey key) override {
        return machine_.CloseRegistryKey(key);
    }
    std::uint32_t VersionNumber() override { return machine_.VersionNumber(); }
    DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) override {
        return machine_.LockDrive(letter, waitMilliseconds);
    }
    bool UnlockDrive(char letter) override { return machine_.UnlockDrive(letter); }

  private:
    template <typename Header>
    void WriteSense(void* out) {
        Header header;
        std::memcpy(&header, out, sizeof header);
        if (header.ScsiStatus != 2) return;
        std::memcpy(static_cast<std::uint8_t*>(out) + header.SenseInfoOffset, sense_.data(),
                    sense_.size());
        header.SenseInfoLength = senseLength_;
        std::memcpy(out, &header, sizeof header);
    }

    EmulatedPlatform& machine_;
    std::vector<std::uint8_t> sense_;
    std::uint8_t senseLength_;
};

// Which sense makes a CHECK CONDITION a unit attention worth a second send.
struct SenseCase {
    const char* name;
    std::vector<std::uint8_t> sense;
    std::uint8_t senseLength;  // what the driver reports it wrote
    DriveStatus expected;
    std::size_t controlCalls;
};

const SenseCase kSenseCases[] = {
    {"FixedUnitAttention", {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29}, 18, kDriveOk, 2},
    {"FixedWithTheValidBit", {0xF0, 0, 0x06}, 18, kDriveOk, 2},
    {"DescriptorUnitAttention", {0x72, 0x06, 0x29, 0x00, 0, 0, 0, 0}, 8, kDriveOk, 2},
    {"DeferredDescriptor", {0x73, 0x06, 0x29, 0x00}, 8, kDriveOk, 2},
    {"IllegalRequest", {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24}, 18, -2, 1},
    {"DescriptorIllegalRequest", {0x72, 0x05, 0x24, 0x00}, 8, -2, 1},
    // Fixed format keeps the key in byte 2: a descriptor reading would take the 0x06 in byte 1.
    {"FixedKeepsTheKeyInByte2", {0x70, 0x06, 0x05}, 18, -2, 1},
    {"KeyPastTheReportedLength", {0x70, 0, 0x06}, 2, -2, 1},
    {"NoSenseReported", {0x70, 0, 0x06}, 0, -2, 1},
    {"UnknownResponseCode", {0x7F, 0x06, 0x06}, 18, -2, 1},
};

class SenseTest : public DeviceCommandsTest, public ::testing::WithParamInterface<SenseCase> {};

TEST_P(SenseTest, OnlyAUnitAttentionIsSentOnceMore) {
    const SenseCase& c = GetParam();
    for (Operation operation : {Operation::Inquiry, Operation::ReadConfig}) {
        platform_.InjectFault({'E', operation, 0, 1, FaultEffect::ScsiStatus, 2});
    }
    SenseWritingPlatform platform(platform_, c.sense, c.senseLength);
    for (Command command : {Command::Inquiry, Command::ReadInfo}) {
        platform_.ClearLog();
        EXPECT_EQ(RunCommand(platform, command, 'E'), c.expected);
        EXPECT_EQ(Calls(CallRecord::Kind::Control).size(), c.controlCalls);
        EXPECT_EQ(Calls(CallRecord::Kind::Close).size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Sense, SenseTest, ::testing::ValuesIn(kSenseCases),
                         testing_support::CaseName());

TEST(SenseKeyTest, ReadsTheKeyOfBothFormatsWithinTheLength) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> sense;
        std::size_t length;
        int expected;
    };
    const Case cases[] = {
        {"fixed, current", {0x70, 0x00, 0x06}, 3, 6},
        {"fixed, deferred", {0x71, 0x00, 0x03}, 18, 3},
        {"fixed, valid bit set", {0xF0, 0x00, 0x05}, 18, 5},
        {"fixed, flag bits above the key", {0x70, 0x00, 0xE6}, 3, 6},
        {"fixed, too short for the key", {0x70, 0x06, 0x06}, 2, kNoSenseKey},
        {"descriptor, current", {0x72, 0x06}, 2, 6},
        {"descriptor, deferred", {0x73, 0x0B}, 8, 11},
        {"descriptor, reserved bits above the key", {0x72, 0xF2}, 2, 2},
        {"descriptor, too short for the key", {0x72, 0x06}, 1, kNoSenseKey},
        {"nothing", {0x70, 0x00, 0x06}, 0, kNoSenseKey},
        {"zeros: no sense came back", {0x00, 0x00, 0x06}, 18, kNoSenseKey},
        {"vendor-specific response code", {0x7F, 0x06, 0x06}, 18, kNoSenseKey},
        {"response code 0x74", {0x74, 0x06, 0x06}, 18, kNoSenseKey},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> sense = c.sense;
        sense.resize(32, 0);
        EXPECT_EQ(SenseKey(sense.data(), c.length), c.expected) << c.what;
    }
    EXPECT_EQ(SenseKey(nullptr, 18), kNoSenseKey);
}

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
