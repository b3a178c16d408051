#pragma once
// The command ring that target_core_user shares with its handler: the mailbox at the start of the
// mapped region, the ring of entries the kernel fills between the tail and the head, and the
// data segments each command entry points at. Only arithmetic over a byte region lives here, so
// that the walk can be checked without a kernel; the uio device and its mapping belong to the
// handler's main loop.
//
// Every offset and length read from the region is checked before use: the region is written by
// the kernel, but a bad entry must end in an error code, never in a read outside the mapping.

#include <cstddef>
#include <cstdint>

namespace vardel::tcmu {

constexpr int kRingOk = 0;
constexpr int kRingBadMailbox = 1;   // version, ring offset or size do not fit the region
constexpr int kRingBadPosition = 2;  // a tail or head outside the ring, or not 8-byte aligned
constexpr int kRingBadEntry = 3;     // an entry of length 0, unaligned, or running past the ring
constexpr int kRingBadCommand = 4;   // a CDB or data segment outside the region
constexpr int kRingShortBuffer = 5;  // the caller's buffer is smaller than the data

struct SharedRegion {
    std::uint8_t* base = nullptr;
    std::size_t size = 0;
};

struct RingGeometry {
    std::uint32_t offset = 0;  // of the ring's first byte, from the start of the region
    std::uint32_t size = 0;
    std::uint16_t flags = 0;  // the kernel's capabilities (TCMU_MAILBOX_FLAG_CAP_*)
};

enum class EntryKind { Pad, Command, TaskManagement, Unknown };

struct RingEntry {
    EntryKind kind = EntryKind::Unknown;
    std::uint32_t position = 0;  // from the start of the ring
    std::uint32_t length = 0;
    std::uint16_t id = 0;
};

// Longest CDB the target core ever stores (a 16-byte group 4 command).
constexpr std::size_t kMaxCdbLength = 16;

struct CommandView {
    std::uint8_t cdb[kMaxCdbLength] = {};
    std::size_t cdbLength = 0;  // as much as the target core kept of the CDB
    std::uint32_t segmentCount = 0;
    std::size_t dataLength = 0;  // all data segments together
};

int ReadGeometry(const SharedRegion& region, RingGeometry& ring);
std::uint32_t LoadHead(const SharedRegion& region);
std::uint32_t LoadTail(const SharedRegion& region);
void StoreTail(const SharedRegion& region, std::uint32_t tail);

// The entry at `position` (a tail between the old tail and the head).
int ReadEntry(const SharedRegion& region, const RingGeometry& ring, std::uint32_t position,
              RingEntry& entry);
// The position after `entry`, wrapping at the end of the ring.
std::uint32_t NextPosition(const RingGeometry& ring, const RingEntry& entry);

// How many CDB bytes the target core stores for an opcode: the length of the opcode's group, as
// the kernel's own table gives it (a 12-byte vendor CDB of group 0 keeps only its first 6).
std::size_t StoredCdbLength(std::uint8_t opcode);

// The command's CDB and data segments, every one checked against the region.
int ReadCommand(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                CommandView& command);
// Copies `size` bytes into the command's segments, in order (data to the initiator).
int ScatterData(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                const std::uint8_t* data, std::size_t size);
// Copies the first `size` bytes of the command's segments out (data from the initiator).
int GatherData(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
               std::uint8_t* data, std::size_t size);

struct Completion {
    std::uint8_t status = 0;
    const std::uint8_t* sense = nullptr;
    std::size_t senseLength = 0;
    // Bytes sent to the initiator; reported to the kernel only when below the data length and
    // the kernel can take the length (TCMU_MAILBOX_FLAG_CAP_READ_LEN).
    std::size_t returned = 0;
    std::size_t dataLength = 0;
};

// Writes the response over the command's entry. The caller moves the tail afterwards.
int CompleteCommand(const SharedRegion& region, const RingGeometry& ring, const RingEntry& entry,
                    const Completion& completion);

// Walks the entries between the tail and the head: `serve(entry)` (returning 0 or an error) for
// each command, nothing for padding and task management entries, and the tail moved past each
// entry once it is done, so that the kernel can take the completions as they come. Returns 0,
// or the first error, with the tail left at the entry that failed. `served` counts the entries
// passed.
template <typename Serve>
int ServePending(const SharedRegion& region, const RingGeometry& ring, Serve serve, int& served) {
    served = 0;
    std::uint32_t tail = LoadTail(region);
    while (tail != LoadHead(region)) {
        RingEntry entry;
        if (const int error = ReadEntry(region, ring, tail, entry)) return error;
        if (entry.kind == EntryKind::Command) {
            if (const int error = serve(entry)) return error;
        }
        tail = NextPosition(ring, entry);
        StoreTail(region, tail);
        ++served;
    }
    return kRingOk;
}

}  // namespace vardel::tcmu
