#pragma once
// Finding the drives of the served kind behind the machine's drive letters and grouping their
// letters into physical devices, one letter per LUN.

#include <cstddef>
#include <cstdint>

#include "device/scsi_commands.h"
#include "drive/physical_device.h"
#include "platform/platform.h"

namespace vardel {

constexpr std::size_t kLetterListSize = 256;
constexpr std::size_t kMaxDevices = 16;
constexpr std::size_t kLunSlotsPerDevice = 12;
constexpr std::size_t kOrderedLunSlots = 8;
constexpr int kDriveLetterCount = 26;

struct DeviceRecord {
    char lunSlots[kLunSlotsPerDevice];  // drive letter by LUN index, 0 for none
};

struct DeviceTable {
    DeviceRecord records[kMaxDevices];
};

enum FindDrivesResult : int {
    kFindDrivesOk = 0,
    kFindDrivesVersionRefused = 1,
    kFindDrivesListTooSmall = 2,
};

// Whether the disk behind a letter whose open or INQUIRY failed with `failed` may still be a drive
// of the served kind, as the machine tells it (Linux: the disk is attached through USB, and was
// not refused for lack of rights). Without it only a letter that showed the signature can be one.
using MayHoldDriveTest = bool (*)(char letter, DriveStatus failed);

// What one scan looked at, counted letter by letter: the letters present (the disks), those whose
// INQUIRY answered, and of them those that carry the signature. A front end tells from it why no
// drive was found.
//
// `unanswered` (a bit per letter from A) are the disks that may hold a drive of the kind but did
// not answer whole, so that no command takes the drive it found for the only one: a letter that
// showed the signature and whose identity block could not be read, and a letter whose open or
// INQUIRY failed where the machine says its disk may be such a drive. A letter whose SCSI address
// is that of a device found is a LUN of that device, not another drive; and a scan narrowed to
// one device keeps none, as the user chose that device.
struct ScanRecord {
    bool done;  // a scan ran; a command that ended before discovery leaves it false
    int letters;
    int answeredInquiry;
    int withSignature;
    std::uint32_t unanswered;
    std::uint32_t unansweredWithSignature;  // of them, those whose identity block failed
    DriveStatus unansweredStatus[kDriveLetterCount];  // of the call that failed, by letter
};

// What one scan found: each recorded device's letters by LUN index, what it is and the identity
// block of its first letter (entry j of `devices` and `identities` belongs to record j), and the
// number of distinct devices, which may exceed the table's room.
struct DeviceScan {
    DeviceTable table;
    PhysicalDevice devices[kMaxDevices];
    VendorBlock identities[kMaxDevices];
    int count;
    ScanRecord record;
};

// Walks the 26 letters: first filters all of them to the candidates, then reads each candidate's
// identity block and SCSI address and groups the letters by physical device (SameDevice).
// Returns the number of distinct devices, which may exceed the table's room; the devices beyond
// it are counted but not recorded. A letter whose LUN index does not fit a record is left out.
int ScanDevices(Platform& platform, DeviceTable& table);

// The same scan, keeping what each device is. `scan` is cleared first. With `only`, a letter on
// another device is left out after its identity block and address were read, so the commands
// sent stay the same.
// `mayHold` extends the unanswered disks (ScanRecord) to letters that showed nothing; null: none.
void ScanDevices(Platform& platform, DeviceScan& scan, const PhysicalDevice* only,
                 MayHoldDriveTest mayHold = nullptr);

// The operating-system gate of FindDrives: systems whose minor version number is 3 or more are
// refused.
bool VersionAccepted(Platform& platform);

// Fills `list` with one group per device (LUN 0 letter, LUN 1 letter if any, 0) and a closing 0.
// `count` is 0 on entry and the number of devices on success. With `only`, the letters are those
// on that device: at most one device.
// `looked`, when given, gets the scan's counts; `mayHold` as for ScanDevices; `first`, when
// given, the first device found.
int FindDrives(Platform& platform, char* list, std::size_t size, std::uint8_t& count,
               const PhysicalDevice* only = nullptr, ScanRecord* looked = nullptr,
               MayHoldDriveTest mayHold = nullptr, PhysicalDevice* first = nullptr);

// Rewrites list bytes 0..7 as LUN slots 0..7, reading each letter's LUN index from its identity
// block. A letter whose LUN index is 8 or more is left out.
void OrderByLun(Platform& platform, char* list);

// The letter of the last filled slot of the run that starts at slot 0 (slot 0 counts even when
// empty): the LUN 1 letter when there is one, else the LUN 0 letter, 0 when slot 0 is empty.
char SelectTargetLetter(const char* list);

}  // namespace vardel
