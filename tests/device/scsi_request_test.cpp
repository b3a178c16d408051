// The request builders: what they refuse, and the header every command shares.

#include "device/scsi_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vardel {
namespace {

const std::uint8_t kSeventeenBytes[17] = {1,  2,  3,  4,  5,  6,  7,  8, 9,
                                          10, 11, 12, 13, 14, 15, 16, 17};

TEST(RequestBuilder, RefusesMoreThan16CommandBytesWithoutTouchingTheRecord) {
    ScsiRequestDirect direct;
    std::memset(&direct, 0xAB, sizeof(direct));
    std::uint8_t data[4];
    EXPECT_EQ(BuildDirectRequest(direct, 17, kSeventeenBytes, kScsiDataIn, 4, 10, data), -1);
    const std::vector<std::uint8_t> untouched(sizeof(direct), 0xAB);
    EXPECT_EQ(0, std::memcmp(&direct, untouched.data(), sizeof(direct)));

    ScsiRequestBuffered buffered;
    std::memset(&buffered, 0xAB, sizeof(buffered));
    EXPECT_EQ(BuildBufferedRequest(buffered, 17, kSeventeenBytes, kScsiDataIn, 4, 10), -1);
    const std::vector<std::uint8_t> untouchedBuffered(sizeof(buffered), 0xAB);
    EXPECT_EQ(0, std::memcmp(&buffered, untouchedBuffered.data(), sizeof(buffered)));
}

TEST(RequestBuilder, SixteenBytesFillTheCdbAndTheLengthStaysTwelve) {
    ScsiRequestDirect direct;
    std::uint8_t data[4];
    ASSERT_EQ(BuildDirectRequest(direct, 16, kSeventeenBytes, kScsiDataOut, 4, 10, data), 0);
    EXPECT_EQ(0, std::memcmp(direct.header.Cdb, kSeventeenBytes, 16));
    EXPECT_EQ(direct.header.CdbLength, 12);
}

TEST(RequestBuilder, RefusesATransferLongerThanTheDataArea) {
    ScsiRequestBuffered buffered;
    const std::uint8_t inquiry[6] = {0x12};
    EXPECT_EQ(BuildBufferedRequest(buffered, 6, inquiry, kScsiDataIn,
                                   static_cast<std::uint32_t>(kBufferedDataAreaSize) + 1, 10),
              -1);
}

// Only the part of the record that takes part in the call is cleared: the data area past the
// transfer is never handed to the driver.
TEST(RequestBuilder, ZeroFillsTheRecordAndSetsTheSharedHeader) {
    ScsiRequestBuffered buffered;
    std::memset(&buffered, 0xAB, sizeof(buffered));
    const std::uint8_t inquiry[6] = {0x12, 0, 0, 0, 44, 0};
    ASSERT_EQ(BuildBufferedRequest(buffered, 6, inquiry, kScsiDataIn, 44, 10), 0);

    const ScsiPassThrough& h = buffered.header;
    EXPECT_EQ(h.Length, sizeof(ScsiPassThrough));
    EXPECT_EQ(h.ScsiStatus, 0);
    EXPECT_EQ(h.PathId, 0);
    EXPECT_EQ(h.TargetId, 1);
    EXPECT_EQ(h.Lun, 0);
    EXPECT_EQ(h.CdbLength, 12);
    EXPECT_EQ(h.SenseInfoLength, 24);
    EXPECT_EQ(h.DataIn, 1);
    EXPECT_EQ(h.DataTransferLength, 44u);
    EXPECT_EQ(h.TimeOutValue, 10u);
    EXPECT_EQ(h.DataBufferOffset, kBufferedDataOffset);
    EXPECT_EQ(h.SenseInfoOffset, kBufferedSenseOffset);
    EXPECT_EQ(buffered.filler, 0u);
    const std::vector<std::uint8_t> zeros(44, 0);
    EXPECT_EQ(0, std::memcmp(buffered.data, zeros.data(), zeros.size()));
    EXPECT_EQ(buffered.data[44], 0xAB);
    EXPECT_EQ(0, std::memcmp(buffered.sense, zeros.data(), sizeof(buffered.sense)));
    EXPECT_EQ(0, std::memcmp(h.Cdb + 6, zeros.data(), 10));
}

TEST(RequestBuilder, DirectFormCarriesTheCallersBuffer) {
    ScsiRequestDirect direct;
    std::uint8_t data[528];
    const std::uint8_t read[12] = {0x06, 0x05};
    ASSERT_EQ(BuildDirectRequest(direct, 12, read, kScsiDataIn, 528, 10, data), 0);
    EXPECT_EQ(direct.header.DataBuffer, static_cast<void*>(data));
    EXPECT_EQ(direct.header.Length, sizeof(ScsiPassThroughDirect));
    EXPECT_EQ(direct.header.SenseInfoOffset, kDirectSenseOffset);
}

}  // namespace
}  // namespace vardel
