// What a drive program answers, on whole CDBs as the drive receives them over USB.

#include "scsi_drive/drive_answers.h"
#include "scsi_drive/drive_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/emulated/emulated_drive.h"
#include "support/case_name.h"

namespace vardel::scsi_drive {
namespace {

constexpr auto kIn = DataDirection::ToInitiator;
constexpr auto kOut = DataDirection::FromInitiator;
constexpr auto kNone = DataDirection::None;

struct AnswerCase {
    const char* name;
    std::vector<std::uint8_t> cdb;
    DataDirection direction;
    std::size_t dataLength;
    bool refuseVendor;
    std::uint8_t status;
    std::size_t moved;
    std::uint8_t asc;  // with CHECK CONDITION
};

class DriveAnswersTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(DriveAnswersTest, AnswersLikeTheDrive) {
    const AnswerCase& c = GetParam();
    emulated::Drive drive = emulated::StandardDrive();
    DriveBehaviour behaviour;
    behaviour.refuseVendor = c.refuseVendor;
    std::vector<std::uint8_t> data(c.dataLength, 0);
    const ScsiAnswer answer = AnswerCommand(drive, 0, behaviour, c.cdb.data(), c.cdb.size(),
                                            c.direction, data.data(), data.size());
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 0) {
        EXPECT_EQ(answer.moved, c.moved);
    } else {
        ASSERT_EQ(answer.senseLength, 18u);
        EXPECT_EQ(answer.sense[2], 0x05);  // ILLEGAL REQUEST
        EXPECT_EQ(answer.sense[12], c.asc);
    }
}

const std::vector<std::uint8_t> kReadInfo = {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80, 0, 0, 0};
const std::vector<std::uint8_t> kReadInfoWithoutTrailer = {0x06, 0x05, 'I', 'N', 'F', 'O',
                                                           0,    0,    0,   0,   0,   0};

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveAnswersTest,
    ::testing::Values(
        AnswerCase{"VendorRead", kReadInfo, kIn, 528, false, 0, 528, 0},
        AnswerCase{"VendorReadWithoutByteEight", kReadInfoWithoutTrailer, kIn, 528, false, 2, 0,
                   0x24},
        AnswerCase{"VendorReadAnnouncedAsDataOut", kReadInfo, kOut, 528, false, 2, 0, 0x24},
        AnswerCase{"VendorReadOfAnotherLength", kReadInfo, kIn, 512, false, 2, 0, 0x24},
        AnswerCase{"VendorReadOfAnUnknownTag",
                   {0x06, 0x05, 'X', 0, 0, 0, 0, 0, 0x80, 0, 0, 0},
                   kIn,
                   528,
                   false,
                   2,
                   0,
                   0x24},
        AnswerCase{"RefusedVendorRead", kReadInfo, kIn, 528, true, 2, 0, 0x20},
        AnswerCase{"InquiryAsTheKernelSendsIt", {0x12, 0, 0, 0, 36, 0}, kIn, 36, false, 0, 36, 0},
        AnswerCase{"InquiryAsTheToolSendsIt",
                   {0x12, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0},
                   kIn,
                   44,
                   false,
                   0,
                   44,
                   0},
        AnswerCase{
            "InquiryForAVitalProductPage", {0x12, 0x01, 0, 0, 255, 0}, kIn, 255, false, 2, 0, 0x24},
        AnswerCase{"TestUnitReady", {0x00, 0, 0, 0, 0, 0}, kNone, 0, false, 0, 0, 0},
        AnswerCase{
            "ReadTenGivesZeros", {0x28, 0, 0, 0, 0, 0, 0, 0, 8, 0}, kIn, 4096, false, 0, 4096, 0},
        AnswerCase{"ModeSenseHeaderOnly", {0x1A, 0, 0x3F, 0, 4, 0}, kIn, 4, false, 0, 4, 0},
        AnswerCase{"ReportSupportedOperationCodes",
                   {0xA3, 0x0C, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0},
                   kIn,
                   512,
                   false,
                   2,
                   0,
                   0x20}),
    testing_support::CaseName());

TEST(DriveAnswersTest, VendorWriteKeepsTheFirst512Bytes) {
    emulated::Drive drive = emulated::StandardDrive();
    std::vector<std::uint8_t> block(drive.configBlock.begin(), drive.configBlock.begin() + 512);
    block[304] = 0xA1;
    const std::uint8_t cdb[12] = {0x06, 0x06, 0x01};
    const emulated::Block before = drive.configBlock;

    const ScsiAnswer answer = AnswerCommand(drive, 1, DriveBehaviour{}, cdb, sizeof cdb, kOut,
                                            block.data(), block.size());

    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(answer.moved, 512u);
    EXPECT_EQ(drive.configBlock[304], 0xA1);
    EXPECT_EQ(std::memcmp(drive.configBlock.data(), block.data(), 512), 0);
    EXPECT_EQ(std::memcmp(drive.configBlock.data() + 512, before.data() + 512, 16), 0);
}

TEST(DriveAnswersTest, IdentityReadAnswersTheLunBehindTheDevice) {
    emulated::Drive drive = emulated::StandardDrive();
    const std::uint8_t cdb[12] = {0x06, 0x05, 0, 0, 0, 0, 0, 0, 0x80};
    for (const std::uint8_t lun : {std::uint8_t{0}, std::uint8_t{1}}) {
        std::vector<std::uint8_t> data(528);
        const ScsiAnswer answer = AnswerCommand(drive, lun, DriveBehaviour{}, cdb, sizeof cdb, kIn,
                                                data.data(), data.size());
        ASSERT_EQ(answer.status, 0);
        EXPECT_EQ(data[385], lun);
        EXPECT_EQ(data[16], 1);  // the serial is there
    }
}

TEST(DriveAnswersTest, ReadCapacityGivesTheLastBlock) {
    emulated::Drive drive = emulated::StandardDrive();
    const std::uint8_t cdb[10] = {0x25};
    std::uint8_t data[8] = {};
    const ScsiAnswer answer =
        AnswerCommand(drive, 0, DriveBehaviour{}, cdb, sizeof cdb, kIn, data, sizeof data);
    ASSERT_EQ(answer.status, 0);
    const std::uint8_t expected[8] = {0, 0, 0x07, 0xFF, 0, 0, 0x02, 0};  // block 2047, 512 bytes
    EXPECT_EQ(std::memcmp(data, expected, sizeof data), 0);
}

// The drive programs play a drive of the kind known only by one of its two signatures.
TEST(DriveOptionsTest, RevisionAndSignatureAreTheInquiryBytesGiven) {
    const char* const argv[] = {"drive", "--revision", "1100", "--signature", "NONE"};
    DriveOptions options;
    std::string error;
    ASSERT_EQ(ParseDriveOptions(5, argv, {}, options, error), 0) << error;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&options.model.inquiry[32]), 12),
              "1100NONE    ");

    const char* const tooLong[] = {"drive", "--revision", "PMAP1"};
    EXPECT_EQ(ParseDriveOptions(3, tooLong, {}, options, error), kUsage);
    EXPECT_EQ(error, "--revision: at most 4 characters");
}

}  // namespace
}  // namespace vardel::scsi_drive
