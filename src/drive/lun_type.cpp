#include "drive/lun_type.h"

#include "drive/vendor_blocks.h"

namespace vardel {

const char* LunTypeText(std::uint8_t type) {
    return type == kLunTypeFixedDisk ? kFixedDiskText : kRemovableText;
}

bool IsSwappedLayout(const VendorBlock& deviceBlock, const VendorBlock& infoBlock) {
    return deviceBlock[kLayoutMarkerOffset] == kSwappedLayoutMarker &&
           infoBlock[kLayoutSelectorOffset] == kSwappedLayoutSelector;
}

std::size_t TypeByteOffset(LunRow row, bool swapped) {
    const bool slotA = (row == LunRow::Lun0) != swapped;
    return slotA ? kTypeSlotAOffset : kTypeSlotBOffset;
}

std::uint8_t LunIndexOf(const VendorBlock& deviceBlock) {
    return deviceBlock[kLunIndexOffset];
}

}  // namespace vardel
