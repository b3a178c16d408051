#pragma once
// Where the firmware keeps what the tool reads and writes in its two 528-byte vendor blocks.
// Every other byte is carried along unread and written back as it was read.

#include <cstddef>
#include <cstdint>

namespace vardel {

// Configuration block, read with the "INFO" tag and written back by the vendor write.
constexpr std::size_t kLayoutSelectorOffset = 172;
constexpr std::size_t kTypeSlotAOffset = 304;
constexpr std::size_t kTypeSlotBOffset = 305;
constexpr std::uint8_t kSwappedLayoutSelector = 3;

// Identity block, read with the zero tag.
constexpr std::size_t kSerialPresentOffset = 16;
constexpr std::size_t kSerialDescriptorLengthOffset = 96;  // counts the 2-byte descriptor header
constexpr std::size_t kSerialCharactersOffset = 98;        // 2 bytes a character, low byte first
constexpr std::size_t kSerialBytesRead = 24;               // bytes 98..121
constexpr std::size_t kLayoutMarkerOffset = 382;
constexpr std::size_t kLunIndexOffset =
    385;  // the LUN behind the volume the block was read through
constexpr std::uint8_t kSwappedLayoutMarker = 0x23;  // '#'

}  // namespace vardel
