#pragma once
// What discovery sees, for a front end to show: every physical device of the served kind with its
// key, where it sits, its identity block, its letters by LUN slot, the letter the commands would go to, and each letter's INQUIRY data. It
// only reads.

#include "commands/command_outcome.h"
#include "device/scsi_commands.h"
#include "drive/device_key.h"
#include "drive/discovery.h"
#include "platform/platform.h"

namespace vardel {

struct ListedDevice {
    DeviceKey key;            // the drive's name
    PhysicalDevice physical;  // what narrows the commands to this device alone
    VendorBlock identity;     // as read through its first letter: the whole serial
    char lunSlots[kLunSlotsPerDevice];  // drive letter by LUN index, 0 for none
    // Where the commands would send their block commands (0: none, they would say "Unknown
    // error"), as discovery's LUN ordering picks it.
    char target;
    InquiryData inquiry[kLunSlotsPerDevice];  // of the letter in the same slot
    bool inquiryRead[kLunSlotsPerDevice];
};

struct DeviceListing {
    ListedDevice devices[kMaxDevices];
    int recorded;  // entries filled in `devices`
    int count;     // devices found, which may exceed the room
    ScanRecord scan;  // what discovery looked at, and the disks that did not answer
};

// Done, or UnknownError when the system's version is refused. `only` narrows the scan to one
// device as it does for the commands; `mayHold` as for the commands (CommandState).
OutcomeCode ListDevices(Platform& platform, const PhysicalDevice* only, DeviceListing& listing,
                        MayHoldDriveTest mayHold = nullptr);

}  // namespace vardel
