#include "commands/device_listing.h"

#include <algorithm>
#include <cstring>

namespace vardel {
namespace {

// The same choice the commands make: the device's LUN 0 and LUN 1 letters, ordered by reading
// their identity blocks again.
char TargetOf(Platform& platform, const DeviceRecord& record) {
    if (record.lunSlots[0] == 0) return 0;
    char list[kLetterListSize] = {record.lunSlots[0], record.lunSlots[1]};
    OrderByLun(platform, list);
    return SelectTargetLetter(list);
}

}  // namespace

OutcomeCode ListDevices(Platform& platform, const PhysicalDevice* only, DeviceListing& listing,
                        MayHoldDriveTest mayHold) {
    std::memset(&listing, 0, sizeof(listing));
    if (!VersionAccepted(platform)) return OutcomeCode::UnknownError;

    DeviceScan scan;
    ScanDevices(platform, scan, only, mayHold);
    listing.scan = scan.record;
    listing.count = scan.count;
    listing.recorded = std::min(scan.count, static_cast<int>(kMaxDevices));
    for (int j = 0; j < listing.recorded; ++j) {
        ListedDevice& device = listing.devices[j];
        const DeviceRecord& record = scan.table.records[j];
        device.physical = scan.devices[j];
        device.key = device.physical.key;
        std::memcpy(device.identity, scan.identities[j], sizeof(device.identity));
        std::memcpy(device.lunSlots, record.lunSlots, sizeof(device.lunSlots));
        device.target = TargetOf(platform, record);
        for (std::size_t lun = 0; lun < kLunSlotsPerDevice; ++lun) {
            if (record.lunSlots[lun] == 0) continue;
            device.inquiryRead[lun] =
                ScsiInquiry(platform, record.lunSlots[lun], device.inquiry[lun]) == kDriveOk;
        }
    }
    return OutcomeCode::Done;
}

}  // namespace vardel
