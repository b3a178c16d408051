// The drive behind Bulk-Only Transport: whole CDBs with the CBW's direction, the sense kept for
// REQUEST SENSE, and the log line.

#include "usb/bot_drive.h"

#include <gtest/gtest.h>

#include <vector>

namespace vardel::usb {
namespace {

Cbw MakeCbw(std::uint8_t lun, std::vector<std::uint8_t> cdb, std::uint32_t dataLength,
            bool dataIn) {
    Cbw cbw;
    cbw.lun = lun;
    cbw.dataLength = dataLength;
    cbw.dataIn = dataIn;
    cbw.cdbLength = static_cast<std::uint8_t>(cdb.size());
    std::copy(cdb.begin(), cdb.end(), cbw.cdb);
    return cbw;
}

Cbw ReadInfo(std::uint8_t lun, std::uint8_t trailer = 0x80) {
    return MakeCbw(lun, {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, trailer, 0, 0, 0}, 528, true);
}

Cbw RequestSense(std::uint8_t lun) {
    return MakeCbw(lun, {0x03, 0, 0, 0, 18, 0}, 18, true);
}

class BotDriveTest : public ::testing::Test {
  protected:
    BotDriveTest() {
        drive_.options.name = "one";
        drive_.options.model = emulated::StandardDrive();
    }

    ServedCommand Serve(const Cbw& cbw) {
        data_.assign(cbw.dataLength, 0);
        return ServeCommand(drive_, cbw, data_.data());
    }

    BotDrive drive_;
    std::vector<std::uint8_t> data_;
};

TEST_F(BotDriveTest, TheWholeCdbReachesTheFirmwareAndTheLog) {
    const ServedCommand read = Serve(ReadInfo(1));
    EXPECT_EQ(read.answer.status, 0);
    EXPECT_EQ(read.answer.moved, 528u);
    EXPECT_EQ(data_[305], 0xA1);
    EXPECT_EQ(read.logLine, "one lun1 06 05 49 4e 46 4f 00 00 80 00 00 00 len=528 GOOD");

    // Nothing puts byte 8 back on this path: without it the firmware refuses the read.
    const ServedCommand bare = Serve(ReadInfo(1, 0x00));
    EXPECT_EQ(bare.answer.status, 2);
    EXPECT_EQ(bare.logLine, "one lun1 06 05 49 4e 46 4f 00 00 00 00 00 00 len=528 CHECK 5/24");
}

TEST_F(BotDriveTest, TheCbwsDirectionReachesTheFirmware) {
    Cbw write = MakeCbw(1, {0x06, 0x06, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 512, false);
    data_.assign(drive_.options.model.configBlock.begin(),
                 drive_.options.model.configBlock.begin() + 512);
    data_[304] = 0xA1;
    const ServedCommand written = ServeCommand(drive_, write, data_.data());
    EXPECT_EQ(written.answer.moved, 512u);
    EXPECT_EQ(written.logLine,
              "one lun1 06 06 01 00 00 00 00 00 00 00 00 00 len=512 GOOD changed=304:00>a1");

    // The same write announced as data-in is refused and changes nothing.
    write.dataIn = true;
    const emulated::Block before = drive_.options.model.configBlock;
    EXPECT_EQ(Serve(write).answer.status, 2);
    EXPECT_EQ(drive_.options.model.configBlock, before);
}

TEST_F(BotDriveTest, RequestSenseGivesTheLastFailureOfItsLunOnce) {
    drive_.options.behaviour.refuseVendor = true;
    EXPECT_EQ(Serve(ReadInfo(1)).answer.status, 2);

    const ServedCommand otherLun = Serve(RequestSense(0));
    EXPECT_EQ(otherLun.answer.status, 0);
    EXPECT_EQ(data_[2], 0);  // no sense

    const ServedCommand sense = Serve(RequestSense(1));
    EXPECT_EQ(sense.answer.status, 0);
    ASSERT_EQ(sense.answer.moved, 18u);
    EXPECT_EQ(data_[0], 0x70);
    EXPECT_EQ(data_[2], 0x05);   // ILLEGAL REQUEST
    EXPECT_EQ(data_[12], 0x20);  // invalid command operation code
    EXPECT_EQ(sense.logLine, "one lun1 03 00 00 00 12 00 len=18 GOOD");

    Serve(RequestSense(1));
    EXPECT_EQ(data_[2], 0);  // given once
}

TEST_F(BotDriveTest, APassingCommandClearsTheKeptSense) {
    Serve(ReadInfo(0, 0x00));
    Serve(ReadInfo(0));
    Serve(RequestSense(0));
    EXPECT_EQ(data_[2], 0);
}

TEST_F(BotDriveTest, AShortAnswerEndsWithItsResidue) {
    drive_.options.model.identityReturned = 300;
    const Cbw cbw = MakeCbw(0, {0x06, 0x05, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0}, 528, true);
    const ServedCommand served = Serve(cbw);
    EXPECT_EQ(served.logLine,
              "one lun0 06 05 00 00 00 00 00 00 80 00 00 00 len=528 GOOD returned=300");
    const CommandEnd end = EndCommand(cbw, served.answer.status, served.answer.moved);
    EXPECT_EQ(end.csw, BuildCsw(0, 228, kCswPassed));
    EXPECT_TRUE(end.haltBulkIn);
}

}  // namespace
}  // namespace vardel::usb
