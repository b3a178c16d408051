// The handler serves what the target core kept of each CDB: the six bytes of a group-0 command,
// with the LUN in byte 1 for a SCSI-2 device.

#include "tcmu/kept_cdb.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/emulated/emulated_drive.h"
#include "support/case_name.h"

namespace vardel::tcmu {
namespace {

struct KeptCase {
    const char* name;
    std::uint8_t lunIndex;
    std::vector<std::uint8_t> kept;
    std::size_t dataLength;
    std::uint8_t status;
    std::uint8_t asc;  // with CHECK CONDITION
};

class KeptCdbTest : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptCdbTest, TheDriveAnswersTheRestoredCdb) {
    const KeptCase& c = GetParam();
    emulated::Drive drive = emulated::StandardDrive();
    std::vector<std::uint8_t> data(c.dataLength, 0);
    const RestoredCdb cdb = RestoreCdb(c.kept.data(), c.kept.size(), c.lunIndex);
    const scsi_drive::ScsiAnswer answer = scsi_drive::AnswerCommand(
        drive, c.lunIndex, scsi_drive::DriveBehaviour{}, cdb.bytes, cdb.length,
        DirectionOf(c.kept.data(), c.kept.size()), data.data(), data.size());
    EXPECT_EQ(answer.status, c.status);
    if (c.status != 0) {
        EXPECT_EQ(answer.sense[12], c.asc);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeptCdbTest,
    ::testing::Values(
        KeptCase{"VendorReadOnSixBytes", 0, {0x06, 0x05, 'I', 'N', 'F', 'O'}, 528, 0, 0},
        KeptCase{"VendorReadWithTheLunInByteOne", 1, {0x06, 0x25, 'I', 'N', 'F', 'O'}, 528, 0, 0},
        KeptCase{"LunBitsOfAnotherLun", 1, {0x06, 0x45, 'I', 'N', 'F', 'O'}, 528, 2, 0x20},
        KeptCase{"VendorWriteWithTheLunInByteOne", 1, {0x06, 0x26, 0x01, 0, 0, 0}, 512, 0, 0},
        KeptCase{"InquiryWithTheLunInByteOne", 1, {0x12, 0x20, 0, 0, 44, 0}, 44, 0, 0}),
    testing_support::CaseName());

TEST(KeptCdbTest, VendorReadGetsItsTwelveBytesBack) {
    const std::uint8_t kept[6] = {0x06, 0x25, 'I', 'N', 'F', 'O'};
    const RestoredCdb cdb = RestoreCdb(kept, sizeof kept, 1);
    const std::vector<std::uint8_t> expected = {0x06, 0x05, 'I',  'N', 'F', 'O',
                                                0,    0,    0x80, 0,   0,   0};
    EXPECT_EQ(std::vector<std::uint8_t>(cdb.bytes, cdb.bytes + cdb.length), expected);
}

TEST(KeptCdbTest, VendorWriteGetsNoTrailer) {
    const std::uint8_t kept[6] = {0x06, 0x06, 0x01, 0, 0, 0};
    const RestoredCdb cdb = RestoreCdb(kept, sizeof kept, 0);
    EXPECT_EQ(cdb.length, 12u);
    EXPECT_EQ(cdb.bytes[8], 0);
    EXPECT_EQ(DirectionOf(kept, sizeof kept), scsi_drive::DataDirection::FromInitiator);
}

}  // namespace
}  // namespace vardel::tcmu
