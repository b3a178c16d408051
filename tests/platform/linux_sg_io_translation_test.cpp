// The record-to-SG_IO translation and back, on records built by the device layer's own builders:
// what the kernel is asked to do, and what of its answer reaches the caller.

#include "platform/linux/sg_io_translation.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "device/scsi_request.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"

namespace vardel {
namespace {

enum class Command { Inquiry, VendorRead, VendorWrite };

constexpr std::uint8_t kCallerPattern = 0xA5;
constexpr std::uint8_t kKernelJunk = 0x5A;

// The record the device layer sends for one command, with the arguments of the control call.
// The direct forms point at `data_`, the caller's 528-byte buffer.
class SgIoTranslationTest : public ::testing::Test {
  protected:
    void Build(Command command) {
        command_ = command;
        std::memset(data_, kCallerPattern, sizeof(data_));
        if (command == Command::Inquiry) {
            const std::uint8_t cdb[6] = {0x12, 0, 0, 0, 44, 0};
            BuildBufferedRequest(*buffered_, sizeof(cdb), cdb, kScsiDataIn, 44, 10);
            controlCode_ = kIoctlScsiPassThrough;
            inSize_ = outSize_ = static_cast<std::uint32_t>(kBufferedDataOffset + 44);
            return;
        }
        const bool read = command == Command::VendorRead;
        const std::uint8_t readCdb[12] = {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80};
        const std::uint8_t writeCdb[12] = {0x06, 0x06, 0x01};
        BuildDirectRequest(direct_, 12, read ? readCdb : writeCdb,
                           read ? kScsiDataIn : kScsiDataOut, read ? 528 : 512, 10, data_);
        controlCode_ = kIoctlScsiPassThroughDirect;
        inSize_ = outSize_ = sizeof(ScsiRequestDirect);
    }

    void* Record() {
        return command_ == Command::Inquiry ? static_cast<void*>(buffered_.get()) : &direct_;
    }
    ScsiPassThrough& BufferedHeader() { return buffered_->header; }
    ScsiPassThroughDirect& DirectHeader() { return direct_.header; }

    int Prepare() {
        return PrepareSgIo(controlCode_, Record(), inSize_, Record(), outSize_, *call_);
    }

    // What the kernel does with a call: fills the bounce buffer with whatever it likes and
    // reports.
    void Answer(std::uint8_t status, unsigned short host, unsigned short driver, int resid,
                std::uint8_t senseWritten) {
        sg_io_hdr_t& header = call_->header;
        if (header.dxferp != nullptr) std::memset(header.dxferp, kKernelJunk, header.dxfer_len);
        for (std::uint8_t i = 0; i < senseWritten; ++i) {
            header.sbp[i] = static_cast<unsigned char>(0x70 + i);
        }
        header.status = status;
        header.host_status = host;
        header.driver_status = driver;
        header.resid = resid;
        header.sb_len_wr = senseWritten;
    }

    Command command_ = Command::VendorRead;
    std::unique_ptr<ScsiRequestBuffered> buffered_ = std::make_unique<ScsiRequestBuffered>();
    ScsiRequestDirect direct_{};
    std::uint8_t data_[528] = {};
    std::uint32_t controlCode_ = 0;
    std::uint32_t inSize_ = 0;
    std::uint32_t outSize_ = 0;
    std::unique_ptr<SgIoCall> call_ = std::make_unique<SgIoCall>();
};

struct TranslationCase {
    const char* name;
    Command command;
    std::uint8_t cdb[12];
    int direction;
    unsigned transferLength;
};

const TranslationCase kTranslationCases[] = {
    {"InquiryBuffered44In",
     Command::Inquiry,
     {0x12, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     SG_DXFER_FROM_DEV,
     44},
    {"VendorReadDirect528In",
     Command::VendorRead,
     {0x06, 0x05, 0x49, 0x4E, 0x46, 0x4F, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00},
     SG_DXFER_FROM_DEV,
     528},
    {"VendorWriteDirect512Out",
     Command::VendorWrite,
     {0x06, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     SG_DXFER_TO_DEV,
     512},
};

class TranslationTest : public SgIoTranslationTest,
                        public ::testing::WithParamInterface<TranslationCase> {};

TEST_P(TranslationTest, AsksTheKernelForTheSameCommand) {
    const TranslationCase& expected = GetParam();
    Build(expected.command);
    for (std::size_t i = 0; i < sizeof(data_); ++i) data_[i] = static_cast<std::uint8_t>(i * 7);
    // The bounce buffer is not cleared on creation: it may hold an earlier call's bytes.
    std::memset(call_->data, kKernelJunk, sizeof(call_->data));
    ASSERT_EQ(Prepare(), 0);

    const sg_io_hdr_t& header = call_->header;
    EXPECT_EQ(header.interface_id, 'S');
    // The 6-byte INQUIRY goes out as announced, 12 bytes long: the drivers take it so.
    ASSERT_EQ(header.cmd_len, 12);
    EXPECT_EQ(std::vector<std::uint8_t>(header.cmdp, header.cmdp + 12),
              std::vector<std::uint8_t>(expected.cdb, expected.cdb + 12));
    EXPECT_EQ(header.dxfer_direction, expected.direction);
    EXPECT_EQ(header.dxfer_len, expected.transferLength);
    EXPECT_EQ(header.timeout, 10000u);
    EXPECT_EQ(header.mx_sb_len, 24);
    EXPECT_NE(header.sbp, nullptr);
    EXPECT_EQ(header.iovec_count, 0);
    // The kernel writes into the backend's own buffer, never the caller's.
    EXPECT_EQ(header.dxferp, call_->data);
    if (expected.direction == SG_DXFER_TO_DEV) {
        EXPECT_EQ(0, std::memcmp(call_->data, data_, expected.transferLength));
    } else {
        // What a drive that sends less than it announced leaves unwritten reads as zeros.
        EXPECT_EQ(std::vector<std::uint8_t>(call_->data, call_->data + expected.transferLength),
                  std::vector<std::uint8_t>(expected.transferLength, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, TranslationTest, ::testing::ValuesIn(kTranslationCases),
                         testing_support::CaseName());

// The kernel's answer to a 528-byte vendor read and what the caller gets of it. The caller's
// buffer starts out as a pattern and the kernel fills the bounce buffer with junk every time.
struct CompletionCase {
    const char* name;
    std::uint8_t status;
    unsigned short hostStatus;
    unsigned short driverStatus;
    int resid;
    std::uint8_t senseWritten;
    int error;                  // of CompleteSgIo
    std::uint32_t transferred;  // DataTransferLength, and the bytes that reach the caller
};

const CompletionCase kCompletionCases[] = {
    {"Good", 0x00, 0, 0, 0, 0, 0, 528},
    {"GoodWithResidue", 0x00, 0, 0, 128, 0, 0, 400},
    {"ResidueBeyondTheLength", 0x00, 0, 0, 1000, 0, 0, 0},
    {"NegativeResidue", 0x00, 0, 0, -4, 0, 0, 528},
    {"CheckConditionWithDriverSense", 0x02, 0, 0x08, 0, 18, 0, 0},
    {"CheckConditionWithSuggestionBits", 0x02, 0, 0x18, 0, 18, 0, 0},
    {"Busy", 0x08, 0, 0, 0, 0, 0, 0},
    {"HostErrorWithGoodStatus", 0x00, 0x07, 0, 0, 0, EIO, 0},
    {"HostTimeOut", 0x00, 0x03, 0, 0, 0, EIO, 0},
    {"HostResetAfterCheckCondition", 0x02, 0x08, 0x08, 0, 18, EIO, 0},
    {"DriverErrorWithGoodStatus", 0x00, 0, 0x04, 0, 0, EIO, 0},
    {"DriverTimeOut", 0x00, 0, 0x06, 0, 0, EIO, 0},
};

class CompletionTest : public SgIoTranslationTest,
                       public ::testing::WithParamInterface<CompletionCase> {};

TEST_P(CompletionTest, OnlyTheDrivesDataReachesTheCaller) {
    const CompletionCase& c = GetParam();
    Build(Command::VendorRead);
    ASSERT_EQ(Prepare(), 0);
    const ScsiRequestDirect before = direct_;
    Answer(c.status, c.hostStatus, c.driverStatus, c.resid, c.senseWritten);

    std::uint32_t returned = 0xEEEE;
    ASSERT_EQ(CompleteSgIo(*call_, &direct_, returned), c.error);

    std::vector<std::uint8_t> expectedData(528, kCallerPattern);
    std::fill_n(expectedData.begin(), c.transferred, kKernelJunk);
    EXPECT_EQ(std::vector<std::uint8_t>(data_, data_ + 528), expectedData);
    if (c.error != 0) {
        EXPECT_EQ(0, std::memcmp(&direct_, &before, sizeof(direct_))) << "record left as it was";
        return;
    }
    EXPECT_EQ(DirectHeader().ScsiStatus, c.status);
    EXPECT_EQ(DirectHeader().DataTransferLength, c.transferred);
    EXPECT_EQ(DirectHeader().SenseInfoLength, c.senseWritten);
    for (std::uint8_t i = 0; i < c.senseWritten; ++i) EXPECT_EQ(direct_.sense[i], 0x70 + i);
    EXPECT_EQ(direct_.sense[c.senseWritten], 0) << "nothing beyond the sense written";
    EXPECT_EQ(DirectHeader().DataBuffer, static_cast<void*>(data_));
    EXPECT_EQ(DirectHeader().Cdb[0], 0x06);
    EXPECT_EQ(returned, sizeof(ScsiPassThroughDirect));
}

INSTANTIATE_TEST_SUITE_P(Answers, CompletionTest, ::testing::ValuesIn(kCompletionCases),
                         testing_support::CaseName());

TEST_F(SgIoTranslationTest, InquiryDataLandsInTheRecordsDataArea) {
    Build(Command::Inquiry);
    ASSERT_EQ(Prepare(), 0);
    Answer(0x00, 0, 0, 8, 0);
    std::uint32_t returned = 0;
    ASSERT_EQ(CompleteSgIo(*call_, buffered_.get(), returned), 0);
    EXPECT_EQ(BufferedHeader().DataTransferLength, 36u);
    std::vector<std::uint8_t> expected(44, 0);
    std::fill_n(expected.begin(), 36, kKernelJunk);
    EXPECT_EQ(std::vector<std::uint8_t>(buffered_->data, buffered_->data + 44), expected);
    EXPECT_EQ(returned, kBufferedDataOffset + 36);
}

TEST_F(SgIoTranslationTest, WriteReportsTheLengthLessTheResidue) {
    Build(Command::VendorWrite);
    ASSERT_EQ(Prepare(), 0);
    Answer(0x00, 0, 0, 12, 0);
    std::uint32_t returned = 0;
    ASSERT_EQ(CompleteSgIo(*call_, &direct_, returned), 0);
    EXPECT_EQ(DirectHeader().DataTransferLength, 500u);
    EXPECT_EQ(std::vector<std::uint8_t>(data_, data_ + 528),
              std::vector<std::uint8_t>(528, kCallerPattern))
        << "a write never changes the caller's block";
}

// Records the backend cannot take, each spoiled from what the device layer builds.
struct Spoilable {
    std::uint32_t& code;
    std::uint32_t& inSize;
    std::uint32_t& outSize;
    ScsiPassThrough& buffered;
    ScsiPassThroughDirect& direct;
};

struct RejectCase {
    const char* name;
    Command command;
    void (*spoil)(Spoilable& call);
};

const RejectCase kRejectCases[] = {
    {"UnknownControlCode", Command::VendorRead, [](Spoilable& c) { c.code = 0x002D1400; }},
    {"InputShorterThanTheHeader", Command::VendorRead,
     [](Spoilable& c) { c.inSize = sizeof(ScsiPassThroughDirect) - 1; }},
    {"OutputShorterThanTheHeader", Command::VendorRead,
     [](Spoilable& c) { c.outSize = sizeof(ScsiPassThroughDirect) - 1; }},
    {"WrongLengthField", Command::VendorRead, [](Spoilable& c) { c.direct.Length += 1; }},
    {"NoCdb", Command::VendorRead, [](Spoilable& c) { c.direct.CdbLength = 0; }},
    {"CdbLongerThan16", Command::VendorRead, [](Spoilable& c) { c.direct.CdbLength = 17; }},
    {"UnknownDirection", Command::VendorRead, [](Spoilable& c) { c.direct.DataIn = 3; }},
    {"UnspecifiedDirectionWithData", Command::VendorWrite,
     [](Spoilable& c) { c.direct.DataIn = kScsiDataUnspecified; }},
    {"SenseInsideTheHeader", Command::VendorRead,
     [](Spoilable& c) { c.direct.SenseInfoOffset = 4; }},
    {"SensePastTheOutput", Command::VendorRead,
     [](Spoilable& c) { c.direct.SenseInfoOffset = c.outSize - 23; }},
    {"SenseOffsetThatWrapsAround", Command::VendorRead,
     [](Spoilable& c) { c.direct.SenseInfoOffset = 0xFFFFFFF0u; }},
    {"DirectWriteWithoutABuffer", Command::VendorWrite,
     [](Spoilable& c) { c.direct.DataBuffer = nullptr; }},
    {"DirectReadWithoutABuffer", Command::VendorRead,
     [](Spoilable& c) { c.direct.DataBuffer = nullptr; }},
    {"TransferLargerThanTheBounceBuffer", Command::VendorRead,
     [](Spoilable& c) { c.direct.DataTransferLength = kBounceBufferSize + 1; }},
    {"TimeOutBeyondMilliseconds", Command::VendorRead,
     [](Spoilable& c) { c.direct.TimeOutValue = 0xFFFFFFFFu / 1000 + 1; }},
    {"BufferedDataPastTheOutput", Command::Inquiry, [](Spoilable& c) { --c.outSize; }},
    {"BufferedDataInsideTheHeader", Command::Inquiry,
     [](Spoilable& c) { c.buffered.DataBufferOffset = 8; }},
    {"BufferedDataOffsetThatWrapsAround", Command::Inquiry,
     [](Spoilable& c) {
         c.buffered.DataBufferOffset = std::numeric_limits<std::uintptr_t>::max() - 10;
     }},
};

class RejectTest : public SgIoTranslationTest, public ::testing::WithParamInterface<RejectCase> {};

TEST_P(RejectTest, FailsWithEinval) {
    const RejectCase& c = GetParam();
    Build(c.command);
    Spoilable call{controlCode_, inSize_, outSize_, BufferedHeader(), DirectHeader()};
    c.spoil(call);
    EXPECT_EQ(Prepare(), EINVAL);
}

INSTANTIATE_TEST_SUITE_P(Records, RejectTest, ::testing::ValuesIn(kRejectCases),
                         testing_support::CaseName());

TEST_F(SgIoTranslationTest, NoRecordIsEinval) {
    Build(Command::VendorRead);
    EXPECT_EQ(PrepareSgIo(controlCode_, nullptr, inSize_, &direct_, outSize_, *call_), EINVAL);
    EXPECT_EQ(PrepareSgIo(controlCode_, &direct_, inSize_, nullptr, outSize_, *call_), EINVAL);
}

TEST_F(SgIoTranslationTest, ACommandWithoutDataMovesNothing) {
    Build(Command::VendorRead);
    DirectHeader().DataTransferLength = 0;
    DirectHeader().DataBuffer = nullptr;
    ASSERT_EQ(Prepare(), 0);
    EXPECT_EQ(call_->header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(call_->header.dxferp, nullptr);
}

}  // namespace
}  // namespace vardel
