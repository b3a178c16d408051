#include "device/sense_key.h"

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

}  // namespace vardel
