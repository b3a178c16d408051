#include "device/sense_key.h"

#include <algorithm>

namespace vardel {
namespace {

// Bit 7 of byte 0 is the fixed format's VALID bit (about the information field), not part of the
// response code.
constexpr std::uint8_t kResponseCodeMask = 0x7F;
constexpr std::uint8_t kSenseKeyMask = 0x0F;
constexpr std::uint8_t kFixedCurrent = 0x70;
constexpr std::uint8_t kFixedDeferred = 0x71;
constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::size_t kFixedKeyOffset = 2;
constexpr std::size_t kDescriptorKeyOffset = 1;
constexpr std::size_t kFixedAscOffset = 12;
constexpr std::size_t kDescriptorAscOffset = 2;
constexpr std::size_t kAdditionalLengthOffset = 7;
constexpr std::size_t kSenseHeaderLength = 8;

}  // namespace

int SenseKey(const std::uint8_t* sense, std::size_t length) {
    if (sense == nullptr || length == 0) return kNoSenseKey;
    std::size_t keyOffset = 0;
    switch (sense[0] & kResponseCodeMask) {
        case kFixedCurrent:
        case kFixedDeferred:
            keyOffset = kFixedKeyOffset;
            break;
        case kDescriptorCurrent:
        case kDescriptorDeferred:
            keyOffset = kDescriptorKeyOffset;
            break;
        default:
            return kNoSenseKey;
    }
    if (length <= keyOffset) return kNoSenseKey;
    return sense[keyOffset] & kSenseKeyMask;
}

SenseFields ReadSense(const std::uint8_t* sense, std::size_t length) {
    SenseFields fields;
    fields.key = SenseKey(sense, length);
    if (fields.key == kNoSenseKey) return fields;
    const std::uint8_t code = sense[0] & kResponseCodeMask;
    const std::size_t ascOffset =
        code == kFixedCurrent || code == kFixedDeferred ? kFixedAscOffset : kDescriptorAscOffset;
    if (length > ascOffset + 1) {
        fields.asc = sense[ascOffset];
        fields.ascq = sense[ascOffset + 1];
    }
    return fields;
}

std::size_t SenseDataLength(const std::uint8_t* sense, std::size_t length) {
    if (length <= kAdditionalLengthOffset || SenseKey(sense, length) == kNoSenseKey) return length;
    return std::min(length, kSenseHeaderLength + sense[kAdditionalLengthOffset]);
}

}  // namespace vardel
