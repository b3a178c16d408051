#include "platform/emulated/emulated_drive.h"

#include <algorithm>
#include <cstring>

namespace vardel::emulated {
namespace {

// Bytes nobody interprets carry this pattern, so that a byte lost or moved on the way shows up
// as a mismatch instead of blending in with zeros.
template <std::size_t N>
void FillWithPattern(std::array<std::uint8_t, N>& bytes) {
    for (std::size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    }
}

constexpr std::size_t kSerialFlagOffset = 16;
constexpr std::size_t kSerialLengthOffset = 96;
constexpr std::size_t kSerialTextOffset = 98;
// The length byte counts 2 + 2 per character and must fit in one byte.
constexpr std::size_t kMaxSerialCharacters = 126;

constexpr std::size_t kSwapFlagOffset = 172;
constexpr std::size_t kLun0TypeOffset = 304;
constexpr std::size_t kLun1TypeOffset = 305;
constexpr std::uint8_t kRemovableLun = 0x00;
constexpr std::uint8_t kFixedLun = 0xA1;
constexpr std::size_t kIdentityFlag382Offset = 382;
constexpr std::size_t kLunIndexOffset = 385;

}  // namespace

Block PatternBlock() {
    Block block;
    FillWithPattern(block);
    return block;
}

Drive StandardDrive() {
    Drive drive;
    FillWithPattern(drive.inquiry);
    FillWithPattern(drive.configBlock);
    FillWithPattern(drive.identityBlock);

    drive.inquiry[0] = 0x00;  // direct-access block device
    drive.inquiry[1] = 0x80;  // removable medium
    drive.inquiry[2] = 0x02;
    drive.inquiry[3] = 0x02;
    drive.inquiry[4] = static_cast<std::uint8_t>(kInquirySize - 5);
    SetInquiryText(drive, 8, 8, "VARDEL");
    SetInquiryText(drive, 16, 16, "USB FLASH DISK");
    SetInquiryText(drive, 32, 4, "PMAP");
    SetInquiryText(drive, 36, 8, "PMAP1234");

    drive.configBlock[kSwapFlagOffset] = 0;
    drive.configBlock[kLun0TypeOffset] = kRemovableLun;
    drive.configBlock[kLun1TypeOffset] = kFixedLun;

    SetSerial(drive, "VD0000000001");
    drive.identityBlock[kIdentityFlag382Offset] = 0;
    drive.identityBlock[kLunIndexOffset] = 0;
    return drive;
}

void SetInquiryText(Drive& drive, std::size_t offset, std::size_t length, const char* text) {
    if (offset >= kInquirySize) return;
    length = std::min(length, kInquirySize - offset);
    const std::size_t textLength = text == nullptr ? 0 : std::strlen(text);
    for (std::size_t i = 0; i < length; ++i) {
        drive.inquiry[offset + i] = i < textLength ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
}

void SetInquiryBytes(Drive& drive, std::size_t offset, const void* bytes, std::size_t length) {
    if (offset >= kInquirySize || bytes == nullptr) return;
    length = std::min(length, kInquirySize - offset);
    std::memcpy(drive.inquiry.data() + offset, bytes, length);
}

void SetSerial(Drive& drive, const char* serial) {
    const std::size_t characters =
        serial == nullptr ? 0 : std::min(std::strlen(serial), kMaxSerialCharacters);
    drive.identityBlock[kSerialFlagOffset] = 1;
    drive.identityBlock[kSerialLengthOffset] = static_cast<std::uint8_t>(2 + 2 * characters);
    for (std::size_t i = 0; i < characters; ++i) {
        drive.identityBlock[kSerialTextOffset + 2 * i] = static_cast<std::uint8_t>(serial[i]);
        drive.identityBlock[kSerialTextOffset + 2 * i + 1] = 0;
    }
}

}  // namespace vardel::emulated
