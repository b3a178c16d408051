#include "tcmu/kept_cdb.h"

#include <algorithm>

namespace vardel::tcmu {
namespace {

constexpr std::uint8_t kOpWrite6 = 0x0A;
constexpr std::uint8_t kOpWrite10 = 0x2A;
constexpr std::uint8_t kOpWrite16 = 0x8A;
constexpr std::uint8_t kOpVendor = 0x06;
constexpr std::uint8_t kVendorRead = 0x05;
constexpr std::uint8_t kVendorWrite = 0x06;
constexpr std::size_t kVendorCdbLength = 12;
constexpr std::size_t kVendorReadTrailerOffset = 8;
constexpr std::uint8_t kVendorReadTrailer = 0x80;
constexpr int kLunShift = 5;

}  // namespace

RestoredCdb RestoreCdb(const std::uint8_t* kept, std::size_t keptLength, std::uint8_t lunIndex) {
    RestoredCdb cdb;
    cdb.length = std::min(keptLength, sizeof cdb.bytes);
    std::copy_n(kept, cdb.length, cdb.bytes);
    // Only this LUN's own bits are the midlayer's; other bits stay for the firmware to refuse.
    if (cdb.length > 1 && (cdb.bytes[1] >> kLunShift) == lunIndex) {
        cdb.bytes[1] = static_cast<std::uint8_t>(cdb.bytes[1] & ((1u << kLunShift) - 1));
    }
    if (cdb.length > 0 && cdb.bytes[0] == kOpVendor && cdb.length < kVendorCdbLength) {
        cdb.length = kVendorCdbLength;
        if (cdb.bytes[1] == kVendorRead) cdb.bytes[kVendorReadTrailerOffset] = kVendorReadTrailer;
    }
    return cdb;
}

scsi_drive::DataDirection DirectionOf(const std::uint8_t* cdb, std::size_t cdbLength) {
    using scsi_drive::DataDirection;
    if (cdbLength == 0) return DataDirection::None;
    switch (cdb[0]) {
        case kOpWrite6:
        case kOpWrite10:
        case kOpWrite16:
            return DataDirection::FromInitiator;
        case kOpVendor:
            return cdbLength > 1 && (cdb[1] & 0x1F) == kVendorWrite ? DataDirection::FromInitiator
                                                                    : DataDirection::ToInitiator;
        default:
            return DataDirection::ToInitiator;
    }
}

}  // namespace vardel::tcmu
