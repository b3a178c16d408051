// The ring walk and the command entries as the kernel lays them out, on a region built in
// memory with the kernel's own structures.

#include "tcmu/tcmu_abi.h"  // first: see the note on struct iovec there

#include "tcmu/command_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/case_name.h"

namespace vardel::tcmu {
namespace {

constexpr std::uint32_t kRingOffset = sizeof(tcmu_mailbox);
constexpr std::uint32_t kRingSize = 1024;
constexpr std::size_t kDataOffset = kRingOffset + kRingSize;
constexpr std::size_t kRegionSize = kDataOffset + 4096;

struct Segment {
    std::uint64_t offset;
    std::uint64_t length;
};

// A region as target_core_user maps it: the mailbox, the ring, then the data area.
class FakeRegion {
  public:
    explicit FakeRegion(std::uint16_t flags = TCMU_MAILBOX_FLAG_CAP_READ_LEN)
        : bytes_(kRegionSize, 0) {
        tcmu_mailbox mailbox = {};
        mailbox.version = TCMU_MAILBOX_VERSION;
        mailbox.flags = flags;
        mailbox.cmdr_off = kRingOffset;
        mailbox.cmdr_size = kRingSize;
        std::memcpy(bytes_.data(), &mailbox, sizeof mailbox);
    }

    SharedRegion Region() { return {bytes_.data(), bytes_.size()}; }
    RingGeometry Geometry() {
        RingGeometry ring;
        EXPECT_EQ(ReadGeometry(Region(), ring), kRingOk);
        return ring;
    }
    std::uint8_t* At(std::size_t offset) { return bytes_.data() + offset; }

    void SetHead(std::uint32_t head) {
        std::memcpy(At(offsetof(tcmu_mailbox, cmd_head)), &head, sizeof head);
    }
    void SetTail(std::uint32_t tail) { StoreTail(Region(), tail); }

    void PutHeader(std::uint32_t position, std::uint32_t length, tcmu_opcode op) {
        tcmu_cmd_entry_hdr header = {};
        std::uint32_t lengthOp = 0;
        tcmu_hdr_set_op(&lengthOp, op);
        tcmu_hdr_set_len(&lengthOp, length);
        header.len_op = lengthOp;
        header.cmd_id = static_cast<std::uint16_t>(position);
        std::memcpy(At(kRingOffset + position), &header, sizeof header);
    }

    // A command entry as the kernel writes it: header, request, iovs, then the CDB bytes.
    void PutCommand(std::uint32_t position, std::uint32_t length,
                    const std::vector<std::uint8_t>& cdb, const std::vector<Segment>& segments) {
        PutHeader(position, length, TCMU_OP_CMD);
        const std::size_t entry = kRingOffset + position;
        const std::uint32_t count = static_cast<std::uint32_t>(segments.size());
        std::memcpy(At(entry + kRequestIovCountOffset), &count, sizeof count);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            iovec iov = {reinterpret_cast<void*>(segments[i].offset), segments[i].length};
            std::memcpy(At(entry + kRequestIovOffset + i * sizeof iov), &iov, sizeof iov);
        }
        const std::uint64_t cdbOffset = entry + kRequestIovOffset + segments.size() * kIovSize;
        std::memcpy(At(entry + kRequestCdbOffset), &cdbOffset, sizeof cdbOffset);
        if (!cdb.empty()) std::memcpy(At(cdbOffset), cdb.data(), cdb.size());
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

constexpr std::uint32_t kCommandLength = 128;  // a command with one iov and a 12-byte CDB

TEST(CommandRingTest, ReadsTheMailbox) {
    FakeRegion fake;
    const RingGeometry ring = fake.Geometry();
    EXPECT_EQ(ring.offset, kRingOffset);
    EXPECT_EQ(ring.size, kRingSize);

    RingGeometry unchanged;
    SharedRegion tooSmall = fake.Region();
    tooSmall.size = kRingOffset + kRingSize - 8;
    EXPECT_EQ(ReadGeometry(tooSmall, unchanged), kRingBadMailbox);
    fake.At(0)[0] = 1;  // mailbox version 1
    EXPECT_EQ(ReadGeometry(fake.Region(), unchanged), kRingBadMailbox);
}

enum class Put { Command, Pad, TaskManagement, ZeroLength };

struct PutEntry {
    Put kind;
    std::uint32_t position;
    std::uint32_t length;
};

struct WalkCase {
    const char* name;
    std::uint32_t tail;
    std::vector<PutEntry> entries;
    std::uint32_t head;
    int result;
    std::vector<std::uint32_t> served;  // positions of the commands served, in order
    std::uint32_t finalTail;
};

class RingWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(RingWalkTest, ServesCommandsAndMovesTheTail) {
    const WalkCase& c = GetParam();
    FakeRegion fake;
    for (const PutEntry& entry : c.entries) {
        switch (entry.kind) {
            case Put::Command:
                fake.PutCommand(entry.position, entry.length, {0x00}, {});
                break;
            case Put::Pad:
                fake.PutHeader(entry.position, entry.length, TCMU_OP_PAD);
                break;
            case Put::TaskManagement:
                fake.PutHeader(entry.position, entry.length, TCMU_OP_TMR);
                break;
            case Put::ZeroLength:
                fake.PutHeader(entry.position, 0, TCMU_OP_CMD);
                break;
        }
    }
    fake.SetTail(c.tail);
    fake.SetHead(c.head);

    std::vector<std::uint32_t> served;
    int passed = 0;
    const int result = ServePending(
        fake.Region(), fake.Geometry(),
        [&](const RingEntry& entry) {
            served.push_back(entry.position);
            return kRingOk;
        },
        passed);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(served, c.served);
    EXPECT_EQ(LoadTail(fake.Region()), c.finalTail);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RingWalkTest,
    ::testing::Values(
        WalkCase{"OneCommand", 0, {{Put::Command, 0, 128}}, 128, kRingOk, {0}, 128},
        WalkCase{"TwoCommands",
                 128,
                 {{Put::Command, 128, 128}, {Put::Command, 256, 192}},
                 448,
                 kRingOk,
                 {128, 256},
                 448},
        WalkCase{"PaddingToTheEndThenACommandAtTheStart",
                 896,
                 {{Put::Pad, 896, 128}, {Put::Command, 0, 128}},
                 128,
                 kRingOk,
                 {0},
                 128},
        WalkCase{"CommandEndingAtTheRingsEndWrapsToZero",
                 896,
                 {{Put::Command, 896, 128}},
                 0,
                 kRingOk,
                 {896},
                 0},
        WalkCase{"TaskManagementEntryIsPassed",
                 0,
                 {{Put::TaskManagement, 0, 64}, {Put::Command, 64, 128}},
                 192,
                 kRingOk,
                 {64},
                 192},
        WalkCase{"NothingPending", 256, {}, 256, kRingOk, {}, 256},
        WalkCase{"ZeroLengthEntryStopsTheWalk",
                 0,
                 {{Put::Command, 0, 128}, {Put::ZeroLength, 128, 0}},
                 384,
                 kRingBadEntry,
                 {0},
                 128},
        WalkCase{
            "EntryRunningPastTheEnd", 960, {{Put::Command, 960, 128}}, 64, kRingBadEntry, {}, 960},
        WalkCase{"CommandShorterThanAnEntry", 0, {{Put::Command, 0, 64}}, 64, kRingBadEntry, {}, 0},
        WalkCase{"UnalignedTail", 4, {}, 128, kRingBadPosition, {}, 4}),
    testing_support::CaseName());

TEST(CommandRingTest, KeepsTheCdbLengthOfTheOpcodesGroup) {
    struct Group {
        std::uint8_t opcode;
        std::size_t length;
    };
    for (const Group group : {Group{0x06, 6}, Group{0x12, 6}, Group{0x28, 10}, Group{0x5A, 10},
                              Group{0x88, 16}, Group{0xA3, 12}, Group{0xC0, 10}}) {
        EXPECT_EQ(StoredCdbLength(group.opcode), group.length) << int{group.opcode};
    }

    // A 12-byte vendor read arrives with its first six bytes only.
    FakeRegion fake;
    fake.PutCommand(0, kCommandLength, {0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80, 0, 0, 0},
                    {{kDataOffset, 528}});
    CommandView command;
    ASSERT_EQ(ReadCommand(fake.Region(), fake.Geometry(),
                          RingEntry{EntryKind::Command, 0, kCommandLength, 0}, command),
              kRingOk);
    EXPECT_EQ(command.cdbLength, 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(command.cdb, command.cdb + 6),
              (std::vector<std::uint8_t>{0x06, 0x05, 'I', 'N', 'F', 'O'}));
    EXPECT_EQ(command.segmentCount, 1u);
    EXPECT_EQ(command.dataLength, 528u);
}

TEST(CommandRingTest, RefusesSegmentsOutsideTheRegionOrTheEntry) {
    const RingEntry entry{EntryKind::Command, 0, kCommandLength, 0};
    CommandView command;
    {
        FakeRegion fake;
        fake.PutCommand(0, kCommandLength, {0x06}, {{kRegionSize - 100, 528}});
        EXPECT_EQ(ReadCommand(fake.Region(), fake.Geometry(), entry, command), kRingBadCommand);
    }
    {
        FakeRegion fake;
        fake.PutCommand(0, kCommandLength, {0x06}, {{kDataOffset, 528}});
        const std::uint32_t tooMany = 1000;  // more iovs than the entry holds
        std::memcpy(fake.At(kRingOffset + kRequestIovCountOffset), &tooMany, sizeof tooMany);
        EXPECT_EQ(ReadCommand(fake.Region(), fake.Geometry(), entry, command), kRingBadCommand);
    }
}

TEST(CommandRingTest, ScattersAndGathersAcrossSegments) {
    FakeRegion fake;
    const std::uint32_t length = 192;  // room for two iovs
    fake.PutCommand(0, length, {0x06}, {{kDataOffset + 1000, 100}, {kDataOffset, 428}});
    const RingEntry entry{EntryKind::Command, 0, length, 0};
    std::vector<std::uint8_t> block(528);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);

    ASSERT_EQ(ScatterData(fake.Region(), fake.Geometry(), entry, block.data(), block.size()),
              kRingOk);
    EXPECT_EQ(std::memcmp(fake.At(kDataOffset + 1000), block.data(), 100), 0);
    EXPECT_EQ(std::memcmp(fake.At(kDataOffset), block.data() + 100, 428), 0);

    std::vector<std::uint8_t> back(528);
    ASSERT_EQ(GatherData(fake.Region(), fake.Geometry(), entry, back.data(), back.size()), kRingOk);
    EXPECT_EQ(back, block);
    std::vector<std::uint8_t> tooLong(600);
    EXPECT_EQ(ScatterData(fake.Region(), fake.Geometry(), entry, tooLong.data(), tooLong.size()),
              kRingShortBuffer);
}

TEST(CommandRingTest, CompletionReportsAShortAnswerOnlyToAKernelThatTakesIt) {
    const std::uint8_t sense[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24};
    for (const std::uint16_t flags :
         {std::uint16_t{TCMU_MAILBOX_FLAG_CAP_READ_LEN}, std::uint16_t{0}}) {
        FakeRegion fake(flags);
        fake.PutCommand(0, kCommandLength, {0x06}, {{kDataOffset, 528}});
        const RingEntry entry{EntryKind::Command, 0, kCommandLength, 0};
        Completion completion;
        completion.status = 2;
        completion.sense = sense;
        completion.senseLength = sizeof sense;
        completion.returned = 300;
        completion.dataLength = 528;
        ASSERT_EQ(CompleteCommand(fake.Region(), fake.Geometry(), entry, completion), kRingOk);

        tcmu_cmd_entry written;
        std::memcpy(&written, fake.At(kRingOffset), sizeof written);
        EXPECT_EQ(written.rsp.scsi_status, 2);
        EXPECT_EQ(std::memcmp(written.rsp.sense_buffer, sense, sizeof sense), 0);
        if (flags != 0) {
            EXPECT_EQ(written.hdr.uflags, TCMU_UFLAG_READ_LEN);
            EXPECT_EQ(written.rsp.read_len, 300u);
        } else {
            EXPECT_EQ(written.hdr.uflags, 0);
        }
    }
}

}  // namespace
}  // namespace vardel::tcmu
