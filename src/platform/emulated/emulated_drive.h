#pragma once
// A model of the drive's firmware: the INQUIRY data it answers, its configuration block (read
// with the "INFO" tag, written by the vendor write) and its identity block (read with the zero
// tag). One drive may sit behind several volumes, one per LUN.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vardel::emulated {

constexpr std::size_t kInquirySize = 96;
constexpr std::size_t kBlockSize = 528;
constexpr std::size_t kWrittenSize = 512;  // the firmware ignores bytes 512..527 of a write

using Block = std::array<std::uint8_t, kBlockSize>;

struct Drive {
    std::array<std::uint8_t, kInquirySize> inquiry{};
    Block configBlock{};
    Block identityBlock{};    // byte 385 is answered per volume: the LUN index behind it
    bool keepsWrites = true;  // false: acknowledges a write and keeps its old block
    // Bytes of each block the firmware sends; fewer than 528 is a short answer with status GOOD,
    // which leaves the rest of the caller's buffer as it was.
    std::size_t identityReturned = kBlockSize;
    std::size_t configReturned = kBlockSize;
};

// The pattern that fills every byte nobody interprets, in a block of the standard drive.
Block PatternBlock();

// A drive as most tests want one: vendor "VARDEL", product "USB FLASH DISK", revision "PMAP",
// bytes 36..43 "PMAP1234", LUN 0 removable (304 = 0x00), LUN 1 fixed (305 = 0xA1), not swapped,
// a 12-character serial "VD0000000001", and every byte nobody interprets filled with a
// recognisable pattern so that a lost or changed byte shows.
Drive StandardDrive();

// Writes `text` into inquiry bytes [offset, offset + length), padded with spaces.
void SetInquiryText(Drive& drive, std::size_t offset, std::size_t length, const char* text);
// Copies `length` raw bytes (zero bytes allowed) into the inquiry data at `offset`.
void SetInquiryBytes(Drive& drive, std::size_t offset, const void* bytes, std::size_t length);
// Sets the identity block's serial: flag byte 16 = 1, byte 96 = 2 + 2 * characters, characters
// as 2-byte units, low byte first, from byte 98.
void SetSerial(Drive& drive, const char* serial);

}  // namespace vardel::emulated
