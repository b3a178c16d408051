#include "platform/emulated/emulated_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel::emulated {
namespace {

using ::testing::ElementsAre;

constexpr std::uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr std::uint32_t kShareBoth = kFileShareRead | kFileShareWrite;
constexpr std::uint8_t kUntouched = 0xEE;  // in every byte the driver has no business writing
constexpr std::uint8_t kCheckCondition = 2;

using CdbBytes = std::vector<std::uint8_t>;
const CdbBytes kInquiryCdb = {0x12, 0, 0, 0, 96, 0};
const CdbBytes kReadInfoCdb = {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80, 0, 0, 0};
const CdbBytes kReadIdCdb = {0x06, 0x05, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0};
const CdbBytes kWriteCdb = {0x06, 0x06, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Records laid out as the device layer sends them: header, 4-byte filler, 32-byte sense, and for
// the buffered form the data area.
struct BufferedRecord {
    ScsiPassThrough header;
    std::uint32_t filler;
    std::uint8_t sense[32];
    std::uint8_t data[kBlockSize];
};

struct DirectRecord {
    ScsiPassThroughDirect header;
    std::uint32_t filler;
    std::uint8_t sense[32];
};

constexpr auto kHeaderSize = static_cast<std::uint32_t>(sizeof(ScsiPassThrough));
constexpr auto kDirectHeaderSize = static_cast<std::uint32_t>(sizeof(ScsiPassThroughDirect));
constexpr auto kSenseAt = static_cast<std::uint32_t>(offsetof(BufferedRecord, sense));
constexpr auto kDataAt = static_cast<std::uint32_t>(offsetof(BufferedRecord, data));

template <typename Header>
void FillHeader(Header& header, const CdbBytes& cdb, std::uint8_t dataIn, std::uint32_t length) {
    header.Length = sizeof(Header);
    header.ScsiStatus = kUntouched;
    header.CdbLength = static_cast<std::uint8_t>(cdb.size());
    header.SenseInfoLength = 32;
    header.DataIn = dataIn;
    header.DataTransferLength = length;
    header.TimeOutValue = 7;
    std::copy(cdb.begin(), cdb.end(), header.Cdb);
}

BufferedRecord Buffered(const CdbBytes& cdb, std::uint8_t dataIn, std::uint32_t length) {
    BufferedRecord record{};
    FillHeader(record.header, cdb, dataIn, length);
    record.header.DataBufferOffset = kDataAt;
    record.header.SenseInfoOffset = kSenseAt;
    std::fill(std::begin(record.sense), std::end(record.sense), kUntouched);
    std::fill(std::begin(record.data), std::end(record.data), kUntouched);
    return record;
}

DirectRecord Direct(const CdbBytes& cdb, std::uint8_t dataIn, std::uint32_t length, void* data) {
    DirectRecord record{};
    FillHeader(record.header, cdb, dataIn, length);
    record.header.DataBuffer = data;
    record.header.SenseInfoOffset = static_cast<std::uint32_t>(offsetof(DirectRecord, sense));
    std::fill(std::begin(record.sense), std::end(record.sense), kUntouched);
    return record;
}

BufferedRecord BufferedWrite(std::uint8_t first) {
    BufferedRecord record = Buffered(kWriteCdb, kScsiDataOut, kWrittenSize);
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        record.data[i] = static_cast<std::uint8_t>(first + i);
    }
    return record;
}

std::vector<std::uint8_t> Bytes(const std::uint8_t* data, std::size_t size) {
    return std::vector<std::uint8_t>(data, data + size);
}

template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& bytes) {
    return Bytes(bytes.data(), N);
}

class EmulatedPlatformTest : public ::testing::Test {
  protected:
    EmulatedPlatformTest() {
        drive_ = platform_.AddDrive(StandardDrive());
        platform_.AttachVolume('E', drive_, 0);
        platform_.AttachVolume('F', drive_, 1);
        platform_.AddOtherVolume('C');
    }

    VolumeHandle OpenVolume(char letter, std::uint32_t access = kReadWrite) {
        const std::string path = std::string("\\\\.\\") + letter + ":";
        return platform_.Open(path.c_str(), access, kShareBoth, kOpenExisting, 0);
    }

    bool Send(VolumeHandle handle, BufferedRecord& record, std::uint32_t* returned = nullptr) {
        std::uint32_t ignored = 0;
        return platform_.Control(handle, kIoctlScsiPassThrough, &record, sizeof record, &record,
                                 sizeof record, returned != nullptr ? returned : &ignored);
    }

    bool Send(VolumeHandle handle, DirectRecord& record, std::uint32_t* returned = nullptr) {
        std::uint32_t ignored = 0;
        return platform_.Control(handle, kIoctlScsiPassThroughDirect, &record, sizeof record,
                                 &record, sizeof record, returned != nullptr ? returned : &ignored);
    }

    const Drive& TheDrive() { return platform_.DriveAt(drive_); }

    EmulatedPlatform platform_;
    int drive_ = 0;
};

// ---- Commands the firmware accepts ----

TEST_F(EmulatedPlatformTest, InquiryCopiesTheSmallestOfAllocationTransferAndInquirySize) {
    struct Case {
        const char* what;
        CdbBytes cdb;
        std::uint32_t transferLength;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"all 96", kInquiryCdb, 96, 96},
        {"allocation 36", {0x12, 0, 0, 0, 36, 0}, 96, 36},
        {"transfer 64", {0x12, 0, 0, 0, 0xFF, 0}, 64, 64},
        {"two-byte allocation past the data", {0x12, 0, 0, 0x01, 0x2C, 0}, kBlockSize, 96},
        {"12-byte CDB", {0x12, 0, 0, 0, 96, 0, 0, 0, 0, 0, 0, 0}, 96, 96},
    };
    const VolumeHandle handle = OpenVolume('E');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BufferedRecord record = Buffered(c.cdb, kScsiDataIn, c.transferLength);
        std::uint32_t returned = 0;

        ASSERT_TRUE(Send(handle, record, &returned));

        EXPECT_EQ(record.header.ScsiStatus, 0);
        EXPECT_EQ(record.header.DataTransferLength, c.expected);
        EXPECT_EQ(returned, kDataAt + c.expected);
        EXPECT_EQ(Bytes(record.data, c.expected), Bytes(TheDrive().inquiry.data(), c.expected));
        EXPECT_EQ(record.data[c.expected], kUntouched);
        EXPECT_EQ(record.sense[0], kUntouched);
    }
}

TEST_F(EmulatedPlatformTest, DirectInquiryFillsTheCallersBuffer) {
    alignas(16) std::array<std::uint8_t, kInquirySize> data{};
    DirectRecord record = Direct(kInquiryCdb, kScsiDataIn, kInquirySize, data.data());
    std::uint32_t returned = 0;

    ASSERT_TRUE(Send(OpenVolume('E'), record, &returned));

    EXPECT_EQ(record.header.ScsiStatus, 0);
    EXPECT_EQ(record.header.DataTransferLength, kInquirySize);
    EXPECT_EQ(record.header.DataBuffer, data.data());
    EXPECT_EQ(returned, kDirectHeaderSize);
    EXPECT_EQ(data, TheDrive().inquiry);
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("INQUIRY E"));
}

TEST_F(EmulatedPlatformTest, VendorReadAnswersTheBlockOfItsTagWithTheLunOfTheVolume) {
    const VolumeHandle e = OpenVolume('E');
    const VolumeHandle f = OpenVolume('F');
    std::uint32_t returned = 0;

    BufferedRecord info = Buffered(kReadInfoCdb, kScsiDataIn, kBlockSize);
    ASSERT_TRUE(Send(f, info, &returned));
    EXPECT_EQ(info.header.ScsiStatus, 0);
    EXPECT_EQ(info.header.DataTransferLength, kBlockSize);
    EXPECT_EQ(returned, kDataAt + kBlockSize);
    EXPECT_EQ(Bytes(info.data, kBlockSize), Bytes(TheDrive().configBlock));

    for (const auto& [handle, lun] : {std::pair{e, 0}, std::pair{f, 1}}) {
        SCOPED_TRACE(lun);
        BufferedRecord identity = Buffered(kReadIdCdb, kScsiDataIn, kBlockSize);
        ASSERT_TRUE(Send(handle, identity));
        std::vector<std::uint8_t> expected = Bytes(TheDrive().identityBlock);
        expected[385] = static_cast<std::uint8_t>(lun);
        EXPECT_EQ(Bytes(identity.data, kBlockSize), expected);
    }
    EXPECT_EQ(TheDrive().identityBlock[385], 0) << "the per-volume answer is not stored";
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("READ INFO F", "READ ID E", "READ ID F"));
}

// Each drive sits on a port of its own, its volumes on one target, told apart by their LUN; the
// address question reaches no drive, takes any handle, and fails as a fault says.
TEST_F(EmulatedPlatformTest, TheAddressOfAVolumeIsItsDrivesPortAndItsLun) {
    const int second = platform_.AddDrive(StandardDrive());
    platform_.AttachVolume('G', second, 1);
    std::uint32_t error = 0;
    // The bytes returned, or all ones for a call that failed with `error`.
    const auto ask = [this, &error](char letter, ScsiAddress& address, std::uint32_t size) {
        const VolumeHandle handle = OpenVolume(letter, 0);  // no access asked
        std::uint32_t returned = 99;
        const bool answered = platform_.Control(handle, kIoctlScsiGetAddress, nullptr, 0,
                                                &address, size, &returned);
        error = platform_.LastError();
        platform_.Close(handle);
        return answered ? returned : 0xFFFFFFFFu;
    };
    struct Case {
        char letter;
        std::uint8_t port;
        std::uint8_t lun;
    } const cases[] = {{'E', 0, 0}, {'F', 0, 1}, {'G', 1, 1}};
    for (const Case& c : cases) {
        ScsiAddress address = {};
        EXPECT_EQ(ask(c.letter, address, sizeof(address)), sizeof(ScsiAddress)) << c.letter;
        EXPECT_EQ(address.Length, sizeof(ScsiAddress));
        EXPECT_EQ(address.PortNumber, c.port) << c.letter;
        EXPECT_EQ(address.PathId, 0);
        EXPECT_EQ(address.TargetId, 0);
        EXPECT_EQ(address.Lun, c.lun) << c.letter;
    }
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("ADDRESS E", "ADDRESS F", "ADDRESS G"));

    ScsiAddress address = {};
    EXPECT_EQ(ask('E', address, sizeof(address) - 1), 0xFFFFFFFFu);
    EXPECT_EQ(error, kErrorInvalidParameter);
    Fault fails;
    fails.letter = 'F';
    fails.operation = Operation::Address;
    fails.effect = FaultEffect::FailControl;
    fails.code = kErrorIoDevice;
    platform_.InjectFault(fails);
    EXPECT_EQ(ask('F', address, sizeof(address)), 0xFFFFFFFFu);
    EXPECT_EQ(error, kErrorIoDevice);
    EXPECT_EQ(ask('F', address, sizeof(address)), sizeof(ScsiAddress));  // it struck once
}

TEST_F(EmulatedPlatformTest, VendorWriteTakesTheFirst512BytesAndKeepsTheTail) {
    const Block before = TheDrive().configBlock;
    alignas(16) std::array<std::uint8_t, kBlockSize> data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 3);
    DirectRecord record = Direct(kWriteCdb, kScsiDataOut, kWrittenSize, data.data());
    std::uint32_t returned = 0;

    ASSERT_TRUE(Send(OpenVolume('F'), record, &returned));

    EXPECT_EQ(record.header.ScsiStatus, 0);
    EXPECT_EQ(record.header.DataTransferLength, kWrittenSize);
    EXPECT_EQ(returned, kDirectHeaderSize);
    const Block& after = TheDrive().configBlock;
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + kWrittenSize, data.begin()));
    EXPECT_TRUE(
        std::equal(after.begin() + kWrittenSize, after.end(), before.begin() + kWrittenSize));
    EXPECT_EQ(platform_.Log().back().dataSent, Bytes(data.data(), kWrittenSize));
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("WRITE F"));
}

TEST_F(EmulatedPlatformTest, DriveThatDropsWritesAcknowledgesAndKeepsItsBlock) {
    platform_.DriveAt(drive_).keepsWrites = false;
    const Block before = TheDrive().configBlock;
    BufferedRecord record = BufferedWrite(9);

    ASSERT_TRUE(Send(OpenVolume('E'), record));

    EXPECT_EQ(record.header.ScsiStatus, 0);
    EXPECT_EQ(record.header.DataTransferLength, kWrittenSize);
    EXPECT_EQ(TheDrive().configBlock, before);
    EXPECT_EQ(platform_.Log().back().dataSent, Bytes(record.data, kWrittenSize));
}

TEST_F(EmulatedPlatformTest, BufferedDataComesFromTheInputAndGoesToTheOutput) {
    const VolumeHandle handle = OpenVolume('E');
    std::uint32_t returned = 0;

    // A write needs no data area in the output.
    BufferedRecord writeIn = BufferedWrite(40);
    BufferedRecord writeOut = Buffered(kWriteCdb, kScsiDataOut, kWrittenSize);
    ASSERT_TRUE(platform_.Control(handle, kIoctlScsiPassThrough, &writeIn, sizeof writeIn,
                                  &writeOut, kDataAt, &returned));
    EXPECT_EQ(writeOut.header.ScsiStatus, 0);
    EXPECT_EQ(returned, kHeaderSize);
    EXPECT_EQ(Bytes(TheDrive().configBlock.data(), kWrittenSize),
              Bytes(writeIn.data, kWrittenSize));

    BufferedRecord readIn = Buffered(kReadInfoCdb, kScsiDataIn, kBlockSize);
    BufferedRecord readOut{};
    ASSERT_TRUE(platform_.Control(handle, kIoctlScsiPassThrough, &readIn, sizeof readIn, &readOut,
                                  sizeof readOut, &returned));
    EXPECT_EQ(readOut.header.Length, kHeaderSize) << "the header is echoed into the output";
    EXPECT_EQ(readOut.header.DataTransferLength, kBlockSize);
    EXPECT_EQ(Bytes(readOut.data, kBlockSize), Bytes(TheDrive().configBlock));
    EXPECT_EQ(readIn.data[0], kUntouched);
}

TEST_F(EmulatedPlatformTest, RecordAtAnOddAddressIsReadAndAnswered) {
    const BufferedRecord record = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    std::vector<std::uint8_t> buffer(sizeof record + 1);
    std::memcpy(buffer.data() + 1, &record, sizeof record);

    std::uint32_t returned = 0;
    ASSERT_TRUE(platform_.Control(OpenVolume('E'), kIoctlScsiPassThrough, buffer.data() + 1,
                                  sizeof record, buffer.data() + 1, sizeof record, &returned));

    BufferedRecord answered;
    std::memcpy(&answered, buffer.data() + 1, sizeof answered);
    EXPECT_EQ(answered.header.ScsiStatus, 0);
    EXPECT_EQ(Bytes(answered.data, kInquirySize), Bytes(TheDrive().inquiry));
}

TEST_F(EmulatedPlatformTest, OtherVolumeAnswersOnlyAPlainInquiry) {
    const VolumeHandle handle = OpenVolume('C');
    BufferedRecord inquiry = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    ASSERT_TRUE(Send(handle, inquiry));
    EXPECT_EQ(inquiry.header.ScsiStatus, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(inquiry.data + 8), 8), "OTHER   ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(inquiry.data + 32), 4), "1.00");
    EXPECT_EQ(Bytes(inquiry.data + 36, 8), std::vector<std::uint8_t>(8, 0));

    BufferedRecord read = Buffered(kReadInfoCdb, kScsiDataIn, kBlockSize);
    ASSERT_TRUE(Send(handle, read));
    EXPECT_EQ(read.header.ScsiStatus, kCheckCondition);
    EXPECT_EQ(read.sense[12], 0x20);
    EXPECT_EQ(read.data[0], kUntouched);
}

// ---- CHECK CONDITION ----

TEST_F(EmulatedPlatformTest, CommandsTheFirmwareRefusesEndInCheckConditionWithSense) {
    struct Case {
        const char* what;
        CdbBytes cdb;
        std::uint8_t dataIn;
        std::uint32_t transferLength;
        std::uint8_t asc;
        const char* trace;
    };
    const CdbBytes kVpdInquiryCdb = {0x12, 0x01, 0x80, 0, 96, 0};
    const CdbBytes kReadNoTrailerCdb = {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0, 0, 0, 0};
    const CdbBytes kUnknownTagCdb = {0x06, 0x05, 'I', 'N', 'F', 'X', 0, 0, 0x80, 0, 0, 0};
    const Case cases[] = {
        {"unknown opcode", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, kScsiDataIn, 512, 0x20, "OTHER E"},
        {"unknown vendor command", {0x06, 0x07, 0, 0, 0, 0}, kScsiDataIn, 528, 0x20, "OTHER E"},
        {"inquiry for a VPD page", kVpdInquiryCdb, kScsiDataIn, 96, 0x24, "INQUIRY E"},
        {"inquiry sending data", kInquiryCdb, kScsiDataOut, 96, 0x24, "INQUIRY E"},
        {"read sending data", kReadInfoCdb, kScsiDataOut, 528, 0x24, "READ INFO E"},
        {"read of 512 bytes", kReadInfoCdb, kScsiDataIn, 512, 0x24, "READ INFO E"},
        {"read without 0x80", kReadNoTrailerCdb, kScsiDataIn, 528, 0x24, "READ INFO E"},
        {"unknown tag", kUnknownTagCdb, kScsiDataIn, 528, 0x24, "OTHER E"},
        {"write receiving data", kWriteCdb, kScsiDataIn, 512, 0x24, "WRITE E"},
        {"write of 528 bytes", kWriteCdb, kScsiDataOut, 528, 0x24, "WRITE E"},
    };
    const Block before = TheDrive().configBlock;
    const VolumeHandle handle = OpenVolume('E');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform_.ClearLog();
        BufferedRecord record = Buffered(c.cdb, c.dataIn, c.transferLength);
        if (c.dataIn == kScsiDataOut) std::fill(std::begin(record.data), std::end(record.data), 1);

        ASSERT_TRUE(Send(handle, record));

        EXPECT_EQ(record.header.ScsiStatus, kCheckCondition);
        EXPECT_EQ(record.header.DataTransferLength, 0u);
        EXPECT_EQ(record.sense[0], 0x70);
        EXPECT_EQ(record.sense[2], 0x05);
        EXPECT_EQ(record.sense[7], 10);
        EXPECT_EQ(record.sense[12], c.asc);
        EXPECT_EQ(record.sense[18], kUntouched);
        EXPECT_EQ(TheDrive().configBlock, before);
        EXPECT_TRUE(platform_.Log().back().dataSent.empty());
        EXPECT_EQ(platform_.Log().back().scsiStatus, kCheckCondition);
        EXPECT_THAT(platform_.CommandTrace(), ElementsAre(c.trace));
    }
}

TEST_F(EmulatedPlatformTest, FirmwareSeesOnlyTheAnnouncedCdbBytes) {
    BufferedRecord record = Buffered(kReadIdCdb, kScsiDataIn, kBlockSize);
    record.header.CdbLength = 6;  // byte 8 (0x80) stays behind

    ASSERT_TRUE(Send(OpenVolume('E'), record));

    EXPECT_EQ(record.header.ScsiStatus, kCheckCondition);
    EXPECT_EQ(record.sense[12], 0x24);
    EXPECT_EQ(record.data[0], kUntouched);
}

TEST_F(EmulatedPlatformTest, SenseIsCutToTheRoomTheCallerGave) {
    const VolumeHandle handle = OpenVolume('E');
    for (const std::uint8_t room : {std::uint8_t{0}, std::uint8_t{8}}) {
        SCOPED_TRACE(room);
        BufferedRecord record = Buffered({0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kScsiDataIn, 0);
        record.header.SenseInfoLength = room;

        ASSERT_TRUE(Send(handle, record));

        EXPECT_EQ(record.header.ScsiStatus, kCheckCondition);
        EXPECT_EQ(record.sense[0], room > 0 ? 0x70 : kUntouched);
        EXPECT_EQ(record.sense[room], kUntouched);
    }
}

// ---- Records the driver refuses ----

struct Sizes {
    std::uint32_t in = sizeof(BufferedRecord);
    std::uint32_t out = sizeof(BufferedRecord);
    bool noIn = false;
    bool noOut = false;
};

TEST_F(EmulatedPlatformTest, MalformedBufferedRecordNeverReachesTheFirmware) {
    using Header = ScsiPassThrough;
    struct Case {
        const char* what;
        std::function<void(BufferedRecord&, Sizes&)> spoil;
        const char* trace;
    };
    const Case cases[] = {
        {"no input", [](BufferedRecord&, Sizes& s) { s.noIn = true; }, "failed OTHER E"},
        {"no output", [](BufferedRecord&, Sizes& s) { s.noOut = true; }, "failed WRITE E"},
        {"input shorter than a header", [](BufferedRecord&, Sizes& s) { s.in = kHeaderSize - 1; },
         "failed OTHER E"},
        {"output shorter than a header", [](BufferedRecord&, Sizes& s) { s.out = kHeaderSize - 1; },
         "failed WRITE E"},
        {"header length not the structure's",
         [](BufferedRecord& r, Sizes&) { r.header.Length = sizeof(Header) + 8; }, "failed WRITE E"},
        {"empty CDB", [](BufferedRecord& r, Sizes&) { r.header.CdbLength = 0; }, "failed WRITE E"},
        {"CDB over 16 bytes", [](BufferedRecord& r, Sizes&) { r.header.CdbLength = 17; },
         "failed WRITE E"},
        {"unknown direction", [](BufferedRecord& r, Sizes&) { r.header.DataIn = 3; },
         "failed WRITE E"},
        {"time-out of 0", [](BufferedRecord& r, Sizes&) { r.header.TimeOutValue = 0; },
         "failed WRITE E"},
        {"sense inside the header",
         [](BufferedRecord& r, Sizes&) { r.header.SenseInfoOffset = kHeaderSize - 8; },
         "failed WRITE E"},
        {"sense past the output", [](BufferedRecord&, Sizes& s) { s.out = kSenseAt + 31; },
         "failed WRITE E"},
        {"sense offset wrapping around",
         [](BufferedRecord& r, Sizes&) { r.header.SenseInfoOffset = 0xFFFFFFF0u; },
         "failed WRITE E"},
        {"data inside the header",
         [](BufferedRecord& r, Sizes&) { r.header.DataBufferOffset = kHeaderSize - 8; },
         "failed WRITE E"},
        {"data-out past the input", [](BufferedRecord&, Sizes& s) { s.in = kDataAt + 511; },
         "failed WRITE E"},
        {"data offset wrapping around",
         [](BufferedRecord& r, Sizes&) {
             r.header.DataBufferOffset = ~decltype(r.header.DataBufferOffset){0} - 255;
         },
         "failed WRITE E"},
        {"data-in past the output",
         [](BufferedRecord& r, Sizes& s) {
             r = Buffered(kReadInfoCdb, kScsiDataIn, kBlockSize);
             s.out = kDataAt + kBlockSize - 1;
         },
         "failed READ INFO E"},
    };
    const Block before = TheDrive().configBlock;
    const VolumeHandle handle = OpenVolume('E');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform_.ClearLog();
        BufferedRecord record = BufferedWrite(1);
        Sizes sizes;
        c.spoil(record, sizes);
        std::vector<std::uint8_t> sent(sizeof record);
        std::memcpy(sent.data(), &record, sizeof record);
        std::uint32_t returned = 0;

        EXPECT_FALSE(platform_.Control(handle, kIoctlScsiPassThrough,
                                       sizes.noIn ? nullptr : &record, sizes.in,
                                       sizes.noOut ? nullptr : &record, sizes.out, &returned));

        EXPECT_EQ(platform_.LastError(), kErrorInvalidParameter);
        EXPECT_EQ(std::memcmp(&record, sent.data(), sizeof record), 0);
        EXPECT_EQ(TheDrive().configBlock, before);
        EXPECT_THAT(platform_.CommandTrace(), ElementsAre(c.trace));
    }
}

TEST_F(EmulatedPlatformTest, MalformedDirectRecordNeverReachesTheFirmware) {
    alignas(16) std::array<std::uint8_t, kBlockSize + 1> data{};
    data.fill(1);
    struct Case {
        const char* what;
        std::function<void(DirectRecord&, std::uint32_t&)> spoil;
        const char* trace;
    };
    const Case cases[] = {
        {"input shorter than a header",
         [](DirectRecord&, std::uint32_t& in) { in = kDirectHeaderSize - 1; }, "failed OTHER E"},
        {"header length not the structure's",
         [](DirectRecord& r, std::uint32_t&) { r.header.Length = kDirectHeaderSize + 8; },
         "failed WRITE E"},
        {"data without a buffer",
         [](DirectRecord& r, std::uint32_t&) { r.header.DataBuffer = nullptr; }, "failed WRITE E"},
        {"buffer off the adapter's 16-byte alignment",
         [&data](DirectRecord& r, std::uint32_t&) { r.header.DataBuffer = data.data() + 1; },
         "failed WRITE E"},
        {"time-out of 0", [](DirectRecord& r, std::uint32_t&) { r.header.TimeOutValue = 0; },
         "failed WRITE E"},
    };
    const Block before = TheDrive().configBlock;
    const VolumeHandle handle = OpenVolume('E');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform_.ClearLog();
        DirectRecord record = Direct(kWriteCdb, kScsiDataOut, kWrittenSize, data.data());
        std::uint32_t inSize = sizeof record;
        c.spoil(record, inSize);
        std::uint32_t returned = 0;

        EXPECT_FALSE(platform_.Control(handle, kIoctlScsiPassThroughDirect, &record, inSize,
                                       &record, sizeof record, &returned));

        EXPECT_EQ(platform_.LastError(), kErrorInvalidParameter);
        EXPECT_EQ(record.header.ScsiStatus, kUntouched);
        EXPECT_EQ(TheDrive().configBlock, before);
        EXPECT_THAT(platform_.CommandTrace(), ElementsAre(c.trace));
    }
}

TEST_F(EmulatedPlatformTest, DriverRefusesCallsWithoutAUsableHandleOrCode) {
    struct Case {
        const char* what;
        std::uint32_t access;
        bool closedFirst;
        std::uint32_t controlCode;
        std::uint32_t error;
        const char* trace;
    };
    const Case cases[] = {
        {"opened for reading only", kGenericRead, false, kIoctlScsiPassThrough, kErrorAccessDenied,
         "failed WRITE E"},
        {"opened for writing only", kGenericWrite, false, kIoctlScsiPassThrough, kErrorAccessDenied,
         "failed WRITE E"},
        {"opened without access", 0, false, kIoctlScsiPassThrough, kErrorAccessDenied,
         "failed WRITE E"},
        {"closed handle", kReadWrite, true, kIoctlScsiPassThrough, kErrorInvalidHandle,
         "failed WRITE ?"},
        {"storage property query", kReadWrite, false, 0x002D1400u, 1, "failed OTHER E"},
    };
    const Block before = TheDrive().configBlock;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform_.ClearLog();
        const VolumeHandle handle = OpenVolume('E', c.access);
        if (c.closedFirst) platform_.Close(handle);
        BufferedRecord record = BufferedWrite(1);
        std::uint32_t returned = 0;

        EXPECT_FALSE(platform_.Control(handle, c.controlCode, &record, sizeof record, &record,
                                       sizeof record, &returned));

        EXPECT_EQ(platform_.LastError(), c.error);
        EXPECT_EQ(platform_.Log().back().error, c.error);
        EXPECT_EQ(record.header.ScsiStatus, kUntouched);
        EXPECT_EQ(TheDrive().configBlock, before);
        EXPECT_THAT(platform_.CommandTrace(), ElementsAre(c.trace));
    }
}

// ---- Open and Close ----

TEST_F(EmulatedPlatformTest, OpenAcceptsOnlyTheVolumePathOfAnExistingLetter) {
    platform_.SetLetterExists('F', false);
    struct Case {
        const char* path;
        std::uint32_t disposition;
        std::uint32_t error;
        char letter;
    };
    const Case cases[] = {
        {"\\\\.\\E:", kOpenExisting, kErrorSuccess, 'E'},
        {"\\\\.\\C:", kOpenExisting, kErrorSuccess, 'C'},
        {"\\\\.\\E:\\", kOpenExisting, kErrorFileNotFound, 0},
        {"\\\\?\\E:", kOpenExisting, kErrorFileNotFound, 0},
        {"E:", kOpenExisting, kErrorFileNotFound, 0},
        {"\\\\.\\G:", kOpenExisting, kErrorFileNotFound, 'G'},
        {"\\\\.\\F:", kOpenExisting, kErrorFileNotFound, 'F'},  // attached, letter gone
        {"\\\\.\\E:", 1, kErrorInvalidParameter, 'E'},          // CREATE_NEW
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const VolumeHandle handle =
            platform_.Open(c.path, kReadWrite, kShareBoth, c.disposition, kFileFlagNoBuffering);

        EXPECT_EQ(handle == kInvalidVolumeHandle, c.error != kErrorSuccess);
        EXPECT_EQ(platform_.LastError(), c.error);
        const CallRecord& call = platform_.Log().back();
        EXPECT_EQ(call.kind, CallRecord::Kind::Open);
        EXPECT_EQ(call.name, c.path);
        EXPECT_EQ(call.letter, c.letter);
        EXPECT_EQ(call.access, kReadWrite);
        EXPECT_EQ(call.share, kShareBoth);
        EXPECT_EQ(call.disposition, c.disposition);
        EXPECT_EQ(call.flags, kFileFlagNoBuffering);
        EXPECT_EQ(call.succeeded, c.error == kErrorSuccess);
        EXPECT_EQ(call.error, c.error);
    }
}

TEST_F(EmulatedPlatformTest, OpenForWritingNeedsWriteSharingOfTheMountedVolume) {
    struct Case {
        std::uint32_t access;
        std::uint32_t share;
        std::uint32_t error;
    };
    const Case cases[] = {
        {kReadWrite, kShareBoth, kErrorSuccess},
        {kReadWrite, kFileShareRead, kErrorSharingViolation},
        {kGenericWrite, 0, kErrorSharingViolation},
        {kGenericRead, kFileShareRead, kErrorSuccess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "access " << c.access << ", share " << c.share);
        const VolumeHandle handle =
            platform_.Open("\\\\.\\E:", c.access, c.share, kOpenExisting, kFileFlagNoBuffering);
        EXPECT_EQ(handle == kInvalidVolumeHandle, c.error != kErrorSuccess);
        EXPECT_EQ(platform_.LastError(), c.error);
    }
}

TEST_F(EmulatedPlatformTest, ControlWithoutAReturnedByteCountFailsBeforeTheFirmware) {
    const Block before = TheDrive().configBlock;
    BufferedRecord record = BufferedWrite(1);
    EXPECT_FALSE(platform_.Control(OpenVolume('E'), kIoctlScsiPassThrough, &record, sizeof record,
                                   &record, sizeof record, nullptr));
    EXPECT_EQ(platform_.LastError(), kErrorNoAccess);
    EXPECT_EQ(record.header.ScsiStatus, kUntouched);
    EXPECT_EQ(TheDrive().configBlock, before);
}

TEST_F(EmulatedPlatformTest, EachOpenGivesItsOwnHandleUntilClosed) {
    const VolumeHandle first = OpenVolume('E');
    const VolumeHandle second = OpenVolume('E');
    ASSERT_NE(first, kInvalidVolumeHandle);
    EXPECT_NE(first, second);
    EXPECT_NE(first, kNullVolumeHandle);

    EXPECT_TRUE(platform_.Close(first));
    EXPECT_FALSE(platform_.Close(first));
    EXPECT_EQ(platform_.LastError(), kErrorInvalidHandle);
    EXPECT_EQ(platform_.Log().back().kind, CallRecord::Kind::Close);

    BufferedRecord record = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    EXPECT_TRUE(Send(second, record)) << "closing one handle leaves the other open";
}

TEST_F(EmulatedPlatformTest, ControlLogHoldsTheRecordAsTheDriverSawIt) {
    BufferedRecord record = BufferedWrite(5);
    record.header.TimeOutValue = 30;
    ASSERT_TRUE(Send(OpenVolume('F'), record));

    const CallRecord& call = platform_.Log().back();
    EXPECT_EQ(call.kind, CallRecord::Kind::Control);
    EXPECT_EQ(call.operation, Operation::Write);
    EXPECT_EQ(call.letter, 'F');
    EXPECT_EQ(call.controlCode, kIoctlScsiPassThrough);
    EXPECT_EQ(call.inSize, sizeof record);
    EXPECT_EQ(call.outSize, sizeof record);
    EXPECT_EQ(Bytes(call.cdb, 12), kWriteCdb);
    EXPECT_EQ(call.cdbLength, 12);
    EXPECT_EQ(call.dataIn, kScsiDataOut);
    EXPECT_EQ(call.senseInfoLength, 32);
    EXPECT_EQ(call.transferLength, kWrittenSize);
    EXPECT_EQ(call.timeoutSeconds, 30u);
    EXPECT_EQ(call.dataSent, Bytes(record.data, kWrittenSize));
    EXPECT_TRUE(call.succeeded);
    EXPECT_EQ(call.scsiStatus, 0);
}

// ---- Faults ----

TEST_F(EmulatedPlatformTest, FaultLetsSkipCallsThroughThenStrikesTimesCalls) {
    struct Case {
        int skip;
        int times;
        const char* pattern;  // x: the call failed
    };
    const Case cases[] = {{0, 1, "x...."}, {2, 2, "..xx."}, {1, -1, ".xxxx"}, {0, 0, "....."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EmulatedPlatform platform;
        platform.AttachVolume('E', platform.AddDrive(StandardDrive()), 0);
        platform.InjectFault(
            {'E', Operation::Inquiry, c.skip, c.times, FaultEffect::FailControl, kErrorIoDevice});
        std::uint32_t returned = 0;
        const VolumeHandle handle =
            platform.Open("\\\\.\\E:", kReadWrite, kShareBoth, kOpenExisting, 0);
        std::string pattern;
        for (int i = 0; i < 5; ++i) {
            BufferedRecord record = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
            pattern += platform.Control(handle, kIoctlScsiPassThrough, &record, sizeof record,
                                        &record, sizeof record, &returned)
                           ? '.'
                           : 'x';
        }
        EXPECT_EQ(pattern, c.pattern);
    }
}

TEST_F(EmulatedPlatformTest, FailControlStopsTheCallBeforeTheFirmware) {
    platform_.InjectFault({'F', Operation::Write, 0, -1, FaultEffect::FailControl, kErrorNotReady});
    const Block before = TheDrive().configBlock;

    BufferedRecord onF = BufferedWrite(3);
    EXPECT_FALSE(Send(OpenVolume('F'), onF));
    EXPECT_EQ(platform_.LastError(), kErrorNotReady);
    EXPECT_EQ(onF.header.ScsiStatus, kUntouched);
    EXPECT_EQ(TheDrive().configBlock, before);
    EXPECT_TRUE(platform_.Log().back().dataSent.empty());

    BufferedRecord readOnF = Buffered(kReadInfoCdb, kScsiDataIn, kBlockSize);
    EXPECT_TRUE(Send(OpenVolume('F'), readOnF)) << "another operation on the volume";
    BufferedRecord onE = BufferedWrite(3);
    EXPECT_TRUE(Send(OpenVolume('E'), onE)) << "the same operation on another volume";

    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("failed WRITE F", "READ INFO F", "WRITE E"));
}

TEST_F(EmulatedPlatformTest, ScsiStatusFaultSucceedsWithThatStatusAndNoData) {
    platform_.InjectFault({0, Operation::ReadIdentity, 0, 1, FaultEffect::ScsiStatus, 0x08});
    BufferedRecord record = Buffered(kReadIdCdb, kScsiDataIn, kBlockSize);

    ASSERT_TRUE(Send(OpenVolume('F'), record));

    EXPECT_EQ(record.header.ScsiStatus, 0x08);
    EXPECT_EQ(record.header.DataTransferLength, 0u);
    EXPECT_EQ(record.data[0], kUntouched);
    EXPECT_EQ(record.sense[0], kUntouched);
    EXPECT_EQ(platform_.Log().back().scsiStatus, 0x08);
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("READ ID F"));
}

// A drive that was reset or replugged turns the next command away with UNIT ATTENTION, power on
// or reset (6/29/00), in the sense area and within the room the caller gave, like the
// firmware's own sense; the command does not run.
TEST_F(EmulatedPlatformTest, UnitAttentionFaultAnswersCheckConditionWithResetSense) {
    platform_.InjectFault({'F', Operation::Write, 0, 1, FaultEffect::UnitAttention, 0});
    platform_.InjectFault({'F', Operation::ReadIdentity, 0, 1, FaultEffect::UnitAttention, 0});
    const Block before = TheDrive().configBlock;
    const VolumeHandle handle = OpenVolume('F');

    BufferedRecord write = BufferedWrite(3);
    ASSERT_TRUE(Send(handle, write));
    EXPECT_EQ(write.header.ScsiStatus, kCheckCondition);
    EXPECT_EQ(write.header.DataTransferLength, 0u);
    EXPECT_EQ(Bytes(write.sense, 19),
              (std::vector<std::uint8_t>{0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0, 0, 0,
                                         0, 0, kUntouched}));
    EXPECT_EQ(TheDrive().configBlock, before);
    EXPECT_TRUE(platform_.Log().back().dataSent.empty());
    EXPECT_EQ(platform_.Log().back().scsiStatus, kCheckCondition);

    alignas(16) std::array<std::uint8_t, kBlockSize> data;
    data.fill(kUntouched);
    DirectRecord read = Direct(kReadIdCdb, kScsiDataIn, kBlockSize, data.data());
    read.header.SenseInfoLength = 3;
    ASSERT_TRUE(Send(handle, read));
    EXPECT_EQ(read.header.ScsiStatus, kCheckCondition);
    EXPECT_EQ(Bytes(read.sense, 4), (std::vector<std::uint8_t>{0x70, 0, 0x06, kUntouched}));
    EXPECT_EQ(Bytes(data), std::vector<std::uint8_t>(kBlockSize, kUntouched));

    // Struck once each: the commands sent again run as ever.
    BufferedRecord again = BufferedWrite(3);
    ASSERT_TRUE(Send(handle, again));
    EXPECT_EQ(again.header.ScsiStatus, 0);
    EXPECT_EQ(again.sense[0], kUntouched);
    EXPECT_EQ(Bytes(TheDrive().configBlock.data(), kWrittenSize), Bytes(again.data, kWrittenSize));
    EXPECT_THAT(platform_.CommandTrace(), ElementsAre("WRITE F", "READ ID F", "WRITE F"));
}

TEST_F(EmulatedPlatformTest, FirstArmedFaultThatStrikesWins) {
    platform_.InjectFault({'E', Operation::Inquiry, 1, 1, FaultEffect::ScsiStatus, 0x08});
    platform_.InjectFault({0, Operation::Inquiry, 0, 2, FaultEffect::FailControl, kErrorIoDevice});
    const VolumeHandle handle = OpenVolume('E');

    BufferedRecord first = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    EXPECT_FALSE(Send(handle, first));
    BufferedRecord second = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    EXPECT_TRUE(Send(handle, second));
    EXPECT_EQ(second.header.ScsiStatus, 0x08);
    BufferedRecord third = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    EXPECT_TRUE(Send(handle, third));
    EXPECT_EQ(third.header.ScsiStatus, 0);
}

TEST_F(EmulatedPlatformTest, OpenFaultsStrikeOpensOnly) {
    platform_.InjectFault({0, Operation::Open, 1, 1, FaultEffect::FailOpen, kErrorAccessDenied});
    platform_.InjectFault({'F', Operation::Open, 0, -1, FaultEffect::FailOpen, 32});
    // Effects that do not belong to the operation never strike.
    platform_.InjectFault({0, Operation::Inquiry, 0, -1, FaultEffect::FailOpen, 99});
    platform_.InjectFault({0, Operation::Open, 0, -1, FaultEffect::FailControl, 99});

    EXPECT_NE(OpenVolume('E'), kInvalidVolumeHandle);
    EXPECT_EQ(OpenVolume('E'), kInvalidVolumeHandle);
    EXPECT_EQ(platform_.LastError(), kErrorAccessDenied);
    EXPECT_FALSE(platform_.Log().back().succeeded);
    EXPECT_EQ(OpenVolume('F'), kInvalidVolumeHandle);
    EXPECT_EQ(platform_.LastError(), 32u);

    const VolumeHandle handle = OpenVolume('E');
    ASSERT_NE(handle, kInvalidVolumeHandle);
    BufferedRecord record = Buffered(kInquiryCdb, kScsiDataIn, kInquirySize);
    EXPECT_TRUE(Send(handle, record));
}

// ---- System information ----

TEST_F(EmulatedPlatformTest, LogicalDriveMaskFollowsTheLetters) {
    EXPECT_EQ(platform_.LogicalDriveMask(), (1u << 2) | (1u << 4) | (1u << 5));
    platform_.SetLetterExists('F', false);
    platform_.SetLetterExists('Z', true);
    EXPECT_EQ(platform_.LogicalDriveMask(), (1u << 2) | (1u << 4) | (1u << 25));
    EXPECT_EQ(platform_.Log().back().kind, CallRecord::Kind::LogicalDrives);
}

TEST_F(EmulatedPlatformTest, OnlyTheMountedDevicesKeyOpensForReading) {
    struct Case {
        const char* what;
        RegistryKey root;
        const char* subKey;
        std::uint32_t access;
        std::int32_t result;
    };
    const Case cases[] = {
        {"the key", kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, 0},
        {"other case", kHkeyLocalMachine, "SYSTEM\\mounteddevices", 0x0001, 0},
        {"current user", 0x80000001u, "System\\MountedDevices", kKeyRead, 2},
        {"a sub key of it", kHkeyLocalMachine, "System\\MountedDevices\\X", kKeyRead, 2},
        {"write access only", kHkeyLocalMachine, "System\\MountedDevices", 0x0002, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryKey key = 0;
        EXPECT_EQ(platform_.OpenRegistryKey(c.root, c.subKey, c.access, &key), c.result);
        const CallRecord& call = platform_.Log().back();
        EXPECT_EQ(call.kind, CallRecord::Kind::RegistryOpen);
        EXPECT_EQ(call.name, c.subKey);
        EXPECT_EQ(call.access, c.access);
        if (c.result == 0) {
            EXPECT_EQ(platform_.CloseRegistryKey(key), 0);
        }
    }
}

TEST_F(EmulatedPlatformTest, MountedEntriesAnswerAsTheRegistryDoes) {
    platform_.SetMountedEntry('F', MountedEntry::TooLong);
    platform_.SetMountedEntry('C', MountedEntry::Absent);
    struct Case {
        const char* name;
        std::uint32_t room;  // 0: no data buffer, size only
        std::int32_t result;
        char letter;
    };
    const Case cases[] = {
        {"\\DosDevices\\E:", 1024, 0, 'E'},   {"\\dosdevices\\e:", 1024, 0, 'E'},
        {"\\DosDevices\\E:", 0, 0, 'E'},      {"\\DosDevices\\E:", 4, 234, 'E'},
        {"\\DosDevices\\F:", 1024, 234, 'F'}, {"\\DosDevices\\F:", 0, 0, 'F'},
        {"\\DosDevices\\C:", 1024, 2, 'C'},   {"\\DosDevices\\G:", 1024, 2, 'G'},
        {"\\DosDevices\\E", 1024, 2, 0},      {"\\??\\Volume{0}", 1024, 2, 0},
    };
    RegistryKey key = 0;
    ASSERT_EQ(
        platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &key), 0);
    std::uint32_t presentSize = 0;
    ASSERT_EQ(platform_.QueryRegistryValue(key, "\\DosDevices\\E:", nullptr, &presentSize), 0);
    ASSERT_GT(presentSize, 4u);
    ASSERT_LT(presentSize, 1024u);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.room));
        std::vector<std::uint8_t> data(1024, kUntouched);
        std::uint32_t size = c.room;
        const std::int32_t result =
            platform_.QueryRegistryValue(key, c.name, c.room > 0 ? data.data() : nullptr, &size);

        EXPECT_EQ(result, c.result);
        if (result == 0 || result == 234) {
            EXPECT_EQ(size, c.letter == 'F' ? 2048u : presentSize);
        }
        const bool copied = result == 0 && c.room > 0;
        EXPECT_EQ(data[0] != kUntouched, copied);
        EXPECT_EQ(data[presentSize], kUntouched);
        const CallRecord& call = platform_.Log().back();
        EXPECT_EQ(call.kind, CallRecord::Kind::RegistryQuery);
        EXPECT_EQ(call.name, c.name);
        EXPECT_EQ(call.letter, c.letter);
    }
}

TEST_F(EmulatedPlatformTest, RegistryKeysAreKnownOnlyWhileOpen) {
    RegistryKey key = 0;
    ASSERT_EQ(
        platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &key), 0);
    RegistryKey other = 0;
    ASSERT_EQ(
        platform_.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &other),
        0);
    EXPECT_NE(key, other);

    EXPECT_EQ(platform_.CloseRegistryKey(key), 0);
    EXPECT_EQ(platform_.Log().back().kind, CallRecord::Kind::RegistryClose);
    EXPECT_EQ(platform_.CloseRegistryKey(key), 6);
    std::uint32_t size = 0;
    EXPECT_EQ(platform_.QueryRegistryValue(key, "\\DosDevices\\E:", nullptr, &size), 6);
    EXPECT_EQ(platform_.QueryRegistryValue(other, "\\DosDevices\\E:", nullptr, &size), 0);
}

TEST_F(EmulatedPlatformTest, VersionIsWindows8UnlessSet) {
    EXPECT_EQ(platform_.VersionNumber(), 0x23F00206u);
    platform_.SetVersionNumber(0x1DB10106u);
    EXPECT_EQ(platform_.VersionNumber(), 0x1DB10106u);
    EXPECT_EQ(platform_.Log().back().kind, CallRecord::Kind::Version);
}

// ---- The standard drive ----

TEST(StandardDriveTest, CarriesTheBytesTheToolReads) {
    const Drive drive = StandardDrive();
    const auto text = [&](std::size_t offset, std::size_t length) {
        return std::string(reinterpret_cast<const char*>(drive.inquiry.data() + offset), length);
    };
    EXPECT_EQ(drive.inquiry[0], 0x00);
    EXPECT_EQ(drive.inquiry[1], 0x80);
    EXPECT_EQ(drive.inquiry[4], 91);
    EXPECT_EQ(text(8, 8), "VARDEL  ");
    EXPECT_EQ(text(16, 16), "USB FLASH DISK  ");
    EXPECT_EQ(text(32, 12), "PMAPPMAP1234");

    EXPECT_EQ(drive.configBlock[172], 0);
    EXPECT_EQ(drive.configBlock[304], 0x00);
    EXPECT_EQ(drive.configBlock[305], 0xA1);

    const std::uint8_t serialUnits[] = {'V', 0, 'D', 0, '0', 0};
    EXPECT_EQ(drive.identityBlock[16], 1);
    EXPECT_EQ(drive.identityBlock[96], 2 + 2 * 12);
    EXPECT_EQ(Bytes(drive.identityBlock.data() + 98, 6), Bytes(serialUnits, 6));
    EXPECT_EQ(drive.identityBlock[98 + 2 * 11], '1');
    EXPECT_EQ(drive.identityBlock[382], 0);
    EXPECT_EQ(drive.identityBlock[385], 0);
    EXPECT_TRUE(drive.keepsWrites);
}

TEST(StandardDriveTest, InquiryTextIsPaddedAndKeptInsideTheData) {
    Drive drive = StandardDrive();
    SetInquiryText(drive, 8, 8, "AB");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(drive.inquiry.data() + 8), 8), "AB      ");
    EXPECT_EQ(drive.inquiry[16], 'U') << "the next field is left alone";

    SetInquiryText(drive, 90, 20, "XXXXXXXXXXXXXXXXXXXX");  // would run past byte 95
    EXPECT_EQ(drive.inquiry[95], 'X');

    const std::uint8_t raw[] = {0, 1, 0, 2};
    SetInquiryBytes(drive, 36, raw, sizeof raw);
    EXPECT_EQ(Bytes(drive.inquiry.data() + 36, 4), Bytes(raw, 4));
}

// ---- The drive's lock ----

// One lock per drive, whichever letter takes it; in one process nothing waits. A fault stands for
// another process that holds it (busy) or a system that refuses it.
TEST_F(EmulatedPlatformTest, EachDriveIsOneLockWhicheverLetterTakesIt) {
    EXPECT_EQ(platform_.LockDrive('f', 5000), DriveLockResult::Held);
    EXPECT_TRUE(platform_.DriveLocked('F'));
    EXPECT_EQ(platform_.LockDrive('E', 5000), DriveLockResult::Busy);
    EXPECT_EQ(platform_.LockDrive('C', 0), DriveLockResult::Held);  // a volume of its own
    EXPECT_EQ(platform_.LockDrive('G', 0), DriveLockResult::Failed);
    EXPECT_EQ(platform_.LastError(), kErrorFileNotFound);
    EXPECT_FALSE(platform_.UnlockDrive('E'));
    EXPECT_TRUE(platform_.UnlockDrive('F'));
    EXPECT_FALSE(platform_.DriveLocked('F'));
    EXPECT_EQ(platform_.LockDrive('E', 0), DriveLockResult::Held);
    EXPECT_EQ(platform_.Log().back().kind, CallRecord::Kind::Lock);
    EXPECT_EQ(platform_.Log().back().letter, 'E');

    platform_.InjectFault({'F', Operation::Lock, 0, 1, FaultEffect::Busy, 0});
    platform_.InjectFault({'F', Operation::Lock, 1, 1, FaultEffect::FailControl, 5});
    EXPECT_TRUE(platform_.UnlockDrive('E'));
    EXPECT_EQ(platform_.LockDrive('F', 0), DriveLockResult::Busy);
    EXPECT_EQ(platform_.LockDrive('F', 0), DriveLockResult::Failed);
    EXPECT_EQ(platform_.LastError(), 5u);
    EXPECT_EQ(platform_.LockDrive('F', 0), DriveLockResult::Held);
}

}  // namespace
}  // namespace vardel::emulated
