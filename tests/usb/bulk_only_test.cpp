// Bulk-Only Transport's framing as the drive program reads and writes it: CBWs, CSWs, how a
// command's data phase ends, and the class requests on the control endpoint.

#include "usb/bulk_only.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/case_name.h"

namespace vardel::usb {
namespace {

struct WrapperFields {
    std::uint32_t signature = 0x43425355;
    std::uint32_t tag = 0x12345678;
    std::uint32_t dataLength = 528;
    std::uint8_t flags = 0x80;
    std::uint8_t lun = 1;
    std::uint8_t cdbLength = 12;
};

std::vector<std::uint8_t> Wrapper(const WrapperFields& fields, std::size_t size = kCbwSize) {
    std::vector<std::uint8_t> bytes(size, 0);
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(fields.signature >> 8 * i);
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(fields.tag >> 8 * i);
        bytes[8 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(fields.dataLength >> 8 * i);
    }
    bytes[12] = fields.flags;
    bytes[13] = fields.lun;
    bytes[14] = fields.cdbLength;
    const std::uint8_t cdb[12] = {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80, 0, 0, 0};
    for (std::size_t i = 0; i < sizeof cdb && 15 + i < size; ++i) bytes[15 + i] = cdb[i];
    return bytes;
}

TEST(BulkOnlyTest, ParsesTheVendorReadAsTheHostWrapsIt) {
    const std::vector<std::uint8_t> bytes = Wrapper({});
    Cbw cbw;
    ASSERT_EQ(ParseCbw(bytes.data(), bytes.size(), cbw), kCbwOk);
    EXPECT_EQ(cbw.tag, 0x12345678u);
    EXPECT_EQ(cbw.dataLength, 528u);
    EXPECT_TRUE(cbw.dataIn);
    EXPECT_EQ(cbw.lun, 1);
    ASSERT_EQ(cbw.cdbLength, 12);
    EXPECT_EQ(cbw.cdb[1], 0x05);
    EXPECT_EQ(cbw.cdb[8], 0x80);  // the byte the loopback target drops
}

struct WrapperCase {
    const char* name;
    WrapperFields fields;
    std::size_t size;
    int result;
    bool valid;  // a CBW to answer, or none (stall until the reset)
};

WrapperFields With(void (*change)(WrapperFields&)) {
    WrapperFields fields;
    change(fields);
    return fields;
}

class CbwCheckTest : public ::testing::TestWithParam<WrapperCase> {};

TEST_P(CbwCheckTest, SortsTheWrapper) {
    const WrapperCase& c = GetParam();
    const std::vector<std::uint8_t> bytes = Wrapper(c.fields, c.size);
    Cbw cbw;
    const int result = ParseCbw(bytes.data(), bytes.size(), cbw);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(IsValidCbw(result), c.valid);
    // A phase error's CSW must carry the tag the host sent.
    if (c.valid) {
        EXPECT_EQ(cbw.tag, c.fields.tag);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CbwCheckTest,
    ::testing::Values(
        WrapperCase{"OneByteShort", {}, kCbwSize - 1, kCbwBadSize, false},
        WrapperCase{"AWholePacket", {}, 512, kCbwBadSize, false},
        WrapperCase{"StatusSignature", With([](WrapperFields& f) { f.signature = 0x53425355; }),
                    kCbwSize, kCbwBadSignature, false},
        WrapperCase{"ALunTheDriveLacks", With([](WrapperFields& f) { f.lun = 2; }), kCbwSize,
                    kCbwBadLun, true},
        WrapperCase{"NoCdb", With([](WrapperFields& f) { f.cdbLength = 0; }), kCbwSize,
                    kCbwBadCdbLength, true},
        WrapperCase{"ACdbOfSeventeenBytes", With([](WrapperFields& f) { f.cdbLength = 17; }),
                    kCbwSize, kCbwBadCdbLength, true},
        WrapperCase{"ReservedFlagBits", With([](WrapperFields& f) { f.flags = 0x81; }), kCbwSize,
                    kCbwBadFlags, true},
        WrapperCase{"ReservedLunBits", With([](WrapperFields& f) { f.lun = 0x11; }), kCbwSize,
                    kCbwBadFlags, true},
        WrapperCase{"DataOut", With([](WrapperFields& f) { f.flags = 0; }), kCbwSize, kCbwOk,
                    true}),
    testing_support::CaseName());

TEST(BulkOnlyTest, CswCarriesSignatureTagResidueAndStatus) {
    const Csw csw = BuildCsw(0x12345678, 228, kCswFailed);
    const Csw expected = {'U', 'S', 'B', 'S', 0x78, 0x56, 0x34, 0x12, 228, 0, 0, 0, 1};
    EXPECT_EQ(csw, expected);
}

struct EndCase {
    const char* name;
    bool dataIn;
    std::uint32_t expected;
    std::uint8_t scsiStatus;
    std::size_t moved;
    std::uint32_t residue;
    std::uint8_t cswStatus;
    bool haltBulkIn;
};

class EndCommandTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndCommandTest, ReportsWhatMoved) {
    const EndCase& c = GetParam();
    Cbw cbw;
    cbw.tag = 7;
    cbw.dataIn = c.dataIn;
    cbw.dataLength = c.expected;
    const CommandEnd end = EndCommand(cbw, c.scsiStatus, c.moved);
    EXPECT_EQ(end.csw, BuildCsw(7, c.residue, c.cswStatus));
    EXPECT_EQ(end.haltBulkIn, c.haltBulkIn);
    EXPECT_FALSE(end.haltBulkOut);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndCommandTest,
    ::testing::Values(EndCase{"AllDataIn", true, 528, 0, 528, 0, kCswPassed, false},
                      EndCase{"ShortDataIn", true, 528, 0, 300, 228, kCswPassed, true},
                      EndCase{"ShortOnAPacketBoundary", true, 528, 0, 512, 16, kCswPassed, true},
                      EndCase{"FailedDataIn", true, 528, 2, 0, 528, kCswFailed, true},
                      EndCase{"AllDataOut", false, 512, 0, 512, 0, kCswPassed, false},
                      EndCase{"RefusedDataOut", false, 512, 2, 0, 512, kCswFailed, false},
                      EndCase{"NoData", false, 0, 0, 0, 0, kCswPassed, false},
                      EndCase{"FailedWithoutData", true, 0, 2, 0, 0, kCswFailed, false},
                      EndCase{"MoreThanExpectedCountsAsAll", true, 44, 0, 96, 0, kCswPassed,
                              false}),
    testing_support::CaseName());

TEST(BulkOnlyTest, PhaseErrorRefusesTheDataPhaseInItsDirection) {
    Cbw cbw;
    cbw.tag = 9;
    cbw.dataLength = 512;
    cbw.dataIn = false;
    CommandEnd end = PhaseError(cbw);
    EXPECT_EQ(end.csw, BuildCsw(9, 512, kCswPhaseError));
    EXPECT_TRUE(end.haltBulkOut);
    EXPECT_FALSE(end.haltBulkIn);
    cbw.dataIn = true;
    end = PhaseError(cbw);
    EXPECT_TRUE(end.haltBulkIn);
    EXPECT_FALSE(end.haltBulkOut);
}

struct ControlCase {
    const char* name;
    ControlRequest request;
    ControlAction action;
    bool resetsTransport;
};

class ControlRequestTest : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlRequestTest, AnswersOnlyTheTwoClassRequests) {
    const ControlCase& c = GetParam();
    const ControlAnswer answer = AnswerControlRequest(c.request, 0);
    EXPECT_EQ(answer.action, c.action);
    EXPECT_EQ(answer.resetsTransport, c.resetsTransport);
    if (c.action == ControlAction::Reply) {
        ASSERT_EQ(answer.replyLength, 1u);
        EXPECT_EQ(answer.reply[0], 1);  // LUNs 0 and 1
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlRequestTest,
    ::testing::Values(
        ControlCase{"GetMaxLun", {0xA1, 0xFE, 0, 0, 1}, ControlAction::Reply, false},
        ControlCase{
            "GetMaxLunOfAnotherInterface", {0xA1, 0xFE, 0, 1, 1}, ControlAction::Stall, false},
        ControlCase{"GetMaxLunWithAValue", {0xA1, 0xFE, 1, 0, 1}, ControlAction::Stall, false},
        ControlCase{"GetMaxLunAsHostToDevice", {0x21, 0xFE, 0, 0, 1}, ControlAction::Stall, false},
        ControlCase{"Reset", {0x21, 0xFF, 0, 0, 0}, ControlAction::Acknowledge, true},
        ControlCase{"ResetWithData", {0x21, 0xFF, 0, 0, 1}, ControlAction::Stall, false},
        ControlCase{"AnotherClassRequest", {0xA1, 0xFC, 0, 0, 1}, ControlAction::Stall, false},
        ControlCase{"AVendorRequest", {0xC1, 0xFE, 0, 0, 1}, ControlAction::Stall, false}),
    testing_support::CaseName());

}  // namespace
}  // namespace vardel::usb
