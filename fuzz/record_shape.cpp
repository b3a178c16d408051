#include "record_shape.h"

#include <cstring>

#include "platform/emulated/pass_through_record.h"
#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel::fuzz {
namespace {

constexpr std::size_t kLargestRecord = 2048;
constexpr std::size_t kRoomAfterHeader = 36 + 528;  // sense, then one block of data

struct ServedCommand {
    std::uint8_t cdb[12];
    std::uint8_t dataIn;
    std::uint32_t transferLength;
};
constexpr ServedCommand kServedCommands[] = {
    {{0x12, 0, 0, 0, 44, 0}, kScsiDataIn, 44},
    {{0x06, 0x05, 0, 0, 0, 0, 0, 0, 0x80}, kScsiDataIn, 528},
    {{0x06, 0x05, 'I', 'N', 'F', 'O', 0, 0, 0x80}, kScsiDataIn, 528},
    {{0x06, 0x06, 0x01}, kScsiDataOut, 512},
};

template <typename Field>
void Put(std::vector<std::uint8_t>& bytes, std::size_t offset, Field value) {
    if (offset + sizeof value <= bytes.size()) std::memcpy(&bytes[offset], &value, sizeof value);
}

template <typename Field>
Field Get(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    Field value{};
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, &bytes[offset], sizeof value);
    return value;
}

// Both header forms share the offsets of every field but the data's place.
template <typename Header>
void ShapeFields(FuzzInput& input, std::uint8_t shape, std::vector<std::uint8_t>& bytes) {
    if (shape & 0x01) {
        Put(bytes, offsetof(Header, Length), static_cast<std::uint16_t>(sizeof(Header)));
    }
    if (shape & 0x02) {
        Put(bytes, offsetof(Header, CdbLength), static_cast<std::uint8_t>(1 + input.Below(16)));
    }
    if (shape & 0x04) Put(bytes, offsetof(Header, TimeOutValue), std::uint32_t{10});
    if (shape & 0x08) {
        const ServedCommand& command =
            kServedCommands[input.Below(sizeof kServedCommands / sizeof kServedCommands[0])];
        if (offsetof(Header, Cdb) + sizeof command.cdb <= bytes.size()) {
            std::memcpy(&bytes[offsetof(Header, Cdb)], command.cdb, sizeof command.cdb);
        }
        Put(bytes, offsetof(Header, CdbLength), std::uint8_t{12});
        Put(bytes, offsetof(Header, DataIn), command.dataIn);
        Put(bytes, offsetof(Header, DataTransferLength), command.transferLength);
    }
    if (shape & 0x10) {
        Put(bytes, offsetof(Header, SenseInfoOffset), static_cast<std::uint32_t>(sizeof(Header)));
        Put(bytes, offsetof(Header, SenseInfoLength), static_cast<std::uint8_t>(input.Below(33)));
    }
}

}  // namespace

FuzzRecord ShapeRecord(FuzzInput& input, PointerCheck check, std::size_t largestMove) {
    FuzzRecord record;
    switch (input.Below(4)) {
        case 0:
            record.controlCode = kIoctlScsiPassThrough;
            break;
        case 1:
            record.controlCode = input.U32();
            break;
        default:
            record.controlCode = kIoctlScsiPassThroughDirect;
    }
    const bool direct = record.controlCode == kIoctlScsiPassThroughDirect;
    const std::size_t headerSize = direct ? sizeof(ScsiPassThroughDirect) : sizeof(ScsiPassThrough);
    const std::uint8_t shape = input.Byte();
    const std::size_t size =
        (shape & 0x20) ? headerSize + kRoomAfterHeader : input.U16() % (kLargestRecord + 1);
    record.bytes.resize(size);
    input.Bytes(record.bytes.data(), size);
    if (direct) {
        ShapeFields<ScsiPassThroughDirect>(input, shape, record.bytes);
    } else {
        ShapeFields<ScsiPassThrough>(input, shape, record.bytes);
        if (shape & 0x40) {
            Put(record.bytes, offsetof(ScsiPassThrough, DataBufferOffset),
                static_cast<std::uintptr_t>(headerSize + 36));
        }
    }
    record.transferLength = Get<std::uint32_t>(
        record.bytes, direct ? offsetof(ScsiPassThroughDirect, DataTransferLength)
                             : offsetof(ScsiPassThrough, DataTransferLength));
    if (!direct || size < headerSize) return record;

    constexpr std::size_t kPointerOffset = offsetof(ScsiPassThroughDirect, DataBuffer);
    const auto raw = Get<std::uintptr_t>(record.bytes, kPointerOffset);
    const bool neverFollowed =
        raw == 0 || record.transferLength == 0 ||
        (check == PointerCheck::Alignment && (raw & emulated::kAdapterAlignmentMask) != 0);
    const std::size_t choice = input.Below(4);
    if (choice == 0 && neverFollowed) return record;  // the input's own pointer
    if (choice == 1) {
        Put(record.bytes, kPointerOffset, std::uintptr_t{0});
        return record;
    }
    const std::size_t room =
        record.transferLength < largestMove ? record.transferLength : largestMove;
    const std::size_t misalignment = choice == 3 ? 1 + input.Below(15) : 0;
    record.dataBuffer = std::make_unique<OwnedBuffer>(room, misalignment);
    input.Bytes(record.dataBuffer->data(), room);
    Put(record.bytes, kPointerOffset, reinterpret_cast<std::uintptr_t>(record.dataBuffer->data()));
    return record;
}

}  // namespace vardel::fuzz
