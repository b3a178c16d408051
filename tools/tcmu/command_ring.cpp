#include "tcmu/tcmu_abi.h"  // first: see the note on struct iovec there

#include "tcmu/command_ring.h"

#include <algorithm>
#include <cstring>

namespace vardel::tcmu {
namespace {

template <typename Value>
Value Load(const SharedRegion& region, std::size_t offset) {
    Value value;
    std::memcpy(&value, region.base + offset, sizeof value);
    return value;
}

template <typename Value>
void Store(const SharedRegion& region, std::size_t offset, Value value) {
    std::memcpy(region.base + offset, &value, sizeof value);
}

// [offset, offset + length) inside a region of `size` bytes, without overflow.
bool FitsIn(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

std::size_t EntryStart(const RingGeometry& ring, const RingEntry& entry) {
    return static_cast<std::size_t>(ring.offset) + entry.position;
}

struct Segment {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The i-th data segment of a command entry. The iov array follows the request header inside
// the entry, so the entry's own length bounds how many there can be.
int ReadSegment(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                std::uint32_t index, Segment& segment) {
    const std::uint64_t inEntry = kRequestIovOffset + std::uint64_t{index} * kIovSize;
    if (!FitsIn(inEntry, kIovSize, entry.length)) return kRingBadCommand;
    const std::size_t at = EntryStart(ring, entry) + static_cast<std::size_t>(inEntry);
    segment.offset = Load<std::uint64_t>(region, at + kIovBaseOffset);
    segment.length = Load<std::uint64_t>(region, at + kIovLengthOffset);
    return FitsIn(segment.offset, segment.length, region.size) ? kRingOk : kRingBadCommand;
}

std::uint32_t SegmentCount(const SharedRegion& region, const RingGeometry& ring,
                           const RingEntry& entry) {
    return Load<std::uint32_t>(region, EntryStart(ring, entry) + kRequestIovCountOffset);
}

// Calls `copy(regionOffset, bufferOffset, length)` for each piece of the first `size` bytes of
// the command's data.
template <typename Copy>
int ForEachPiece(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                 std::size_t size, Copy copy) {
    const std::uint32_t count = SegmentCount(region, ring, entry);
    std::size_t done = 0;
    for (std::uint32_t i = 0; i < count && done < size; ++i) {
        Segment segment;
        if (const int error = ReadSegment(region, ring, entry, i, segment)) return error;
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(segment.length, size - done));
        copy(static_cast<std::size_t>(segment.offset), done, piece);
        done += piece;
    }
    return done == size ? kRingOk : kRingShortBuffer;
}

}  // namespace

int ReadGeometry(const SharedRegion& region, RingGeometry& ring) {
    if (region.base == nullptr || region.size < sizeof(tcmu_mailbox)) return kRingBadMailbox;
    if (Load<std::uint16_t>(region, kMailboxVersionOffset) != TCMU_MAILBOX_VERSION) {
        return kRingBadMailbox;
    }
    RingGeometry read;
    read.offset = Load<std::uint32_t>(region, kMailboxRingOffset);
    read.size = Load<std::uint32_t>(region, kMailboxRingSizeOffset);
    read.flags = Load<std::uint16_t>(region, kMailboxFlagsOffset);
    if (read.size == 0 || read.size % kEntryAlignment != 0 || read.offset < sizeof(tcmu_mailbox) ||
        !FitsIn(read.offset, read.size, region.size)) {
        return kRingBadMailbox;
    }
    ring = read;
    return kRingOk;
}

// The kernel moves the head after it has written an entry, and reads the tail to learn which
// entries are free again: acquire on the one, release on the other.
std::uint32_t LoadHead(const SharedRegion& region) {
    return __atomic_load_n(reinterpret_cast<std::uint32_t*>(region.base + kMailboxHeadOffset),
                           __ATOMIC_ACQUIRE);
}

std::uint32_t LoadTail(const SharedRegion& region) {
    return __atomic_load_n(reinterpret_cast<std::uint32_t*>(region.base + kMailboxTailOffset),
                           __ATOMIC_ACQUIRE);
}

void StoreTail(const SharedRegion& region, std::uint32_t tail) {
    __atomic_store_n(reinterpret_cast<std::uint32_t*>(region.base + kMailboxTailOffset), tail,
                     __ATOMIC_RELEASE);
}

int ReadEntry(const SharedRegion& region, const RingGeometry& ring, std::uint32_t position,
              RingEntry& entry) {
    if (position >= ring.size || position % kEntryAlignment != 0 ||
        !FitsIn(position, kEntryHeaderSize, ring.size)) {
        return kRingBadPosition;
    }
    const std::size_t at = static_cast<std::size_t>(ring.offset) + position;
    const std::uint32_t lengthOp = Load<std::uint32_t>(region, at + kEntryLengthOpOffset);
    RingEntry read;
    read.position = position;
    read.length = tcmu_hdr_get_len(lengthOp);
    read.id = Load<std::uint16_t>(region, at + kEntryIdOffset);
    switch (tcmu_hdr_get_op(lengthOp)) {
        case TCMU_OP_PAD:
            read.kind = EntryKind::Pad;
            break;
        case TCMU_OP_CMD:
            read.kind = EntryKind::Command;
            break;
        case TCMU_OP_TMR:
            read.kind = EntryKind::TaskManagement;
            break;
        default:
            read.kind = EntryKind::Unknown;
            break;
    }
    // An entry never wraps: the kernel pads to the end of the ring instead.
    if (read.length == 0 || read.length % kEntryAlignment != 0 ||
        !FitsIn(position, read.length, ring.size)) {
        return kRingBadEntry;
    }
    if (read.kind == EntryKind::Command && read.length < sizeof(tcmu_cmd_entry)) {
        return kRingBadEntry;
    }
    entry = read;
    return kRingOk;
}

std::uint32_t NextPosition(const RingGeometry& ring, const RingEntry& entry) {
    return static_cast<std::uint32_t>((std::uint64_t{entry.position} + entry.length) % ring.size);
}

std::size_t StoredCdbLength(std::uint8_t opcode) {
    constexpr std::size_t kGroupLength[8] = {6, 10, 10, 12, 16, 12, 10, 10};
    return kGroupLength[(opcode >> 5) & 7];
}

int ReadCommand(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                CommandView& command) {
    if (entry.kind != EntryKind::Command) return kRingBadEntry;
    const std::size_t at = EntryStart(ring, entry);
    const std::uint64_t cdbOffset = Load<std::uint64_t>(region, at + kRequestCdbOffset);
    if (!FitsIn(cdbOffset, 1, region.size)) return kRingBadCommand;
    const std::uint8_t opcode = region.base[cdbOffset];
    CommandView read;
    read.cdbLength = StoredCdbLength(opcode);
    if (!FitsIn(cdbOffset, read.cdbLength, region.size)) return kRingBadCommand;
    std::memcpy(read.cdb, region.base + cdbOffset, read.cdbLength);

    read.segmentCount = SegmentCount(region, ring, entry);
    for (std::uint32_t i = 0; i < read.segmentCount; ++i) {
        Segment segment;
        if (const int error = ReadSegment(region, ring, entry, i, segment)) return error;
        read.dataLength += static_cast<std::size_t>(segment.length);
    }
    command = read;
    return kRingOk;
}

int ScatterData(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                const std::uint8_t* data, std::size_t size) {
    return ForEachPiece(region, ring, entry, size,
                        [&](std::size_t at, std::size_t from, std::size_t length) {
                            std::memcpy(region.base + at, data + from, length);
                        });
}

int GatherData(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
               std::uint8_t* data, std::size_t size) {
    return ForEachPiece(region, ring, entry, size,
                        [&](std::size_t at, std::size_t to, std::size_t length) {
                            std::memcpy(data + to, region.base + at, length);
                        });
}

int CompleteCommand(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                    const Completion& completion) {
    if (entry.kind != EntryKind::Command) return kRingBadEntry;
    const std::size_t at = EntryStart(ring, entry);
    Store<std::uint8_t>(region, at + kResponseStatusOffset, completion.status);
    std::uint8_t sense[kSenseCapacity] = {};
    if (completion.sense != nullptr) {
        std::memcpy(sense, completion.sense, std::min(completion.senseLength, kSenseCapacity));
    }
    std::memcpy(region.base + at + kResponseSenseOffset, sense, sizeof sense);

    std::uint8_t userFlags = 0;
    if (completion.returned < completion.dataLength &&
        (ring.flags & TCMU_MAILBOX_FLAG_CAP_READ_LEN) != 0) {
        userFlags = TCMU_UFLAG_READ_LEN;
        Store<std::uint32_t>(region, at + kResponseReadLengthOffset,
                             static_cast<std::uint32_t>(completion.returned));
    }
    Store<std::uint8_t>(region, at + kEntryUserFlagsOffset, userFlags);
    return kRingOk;
}

}  // namespace vardel::tcmu
