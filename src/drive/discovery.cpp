#include "drive/discovery.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_commands.h"
#include "drive/candidate_drive.h"
#include "drive/device_key.h"
#include "drive/lun_type.h"

namespace vardel {
namespace {

// Systems whose minor version number is 3 or more are refused.
constexpr std::uint32_t kHighestMinorVersion = 2;
constexpr int kMaxRecordedDevices = static_cast<int>(kMaxDevices);

char LetterAt(int index) {
    return static_cast<char>('A' + index);
}

std::uint32_t CandidateMask(Platform& platform, ScanRecord& record) {
    const std::uint32_t present = platform.LogicalDriveMask();
    std::uint32_t candidates = 0;
    record.done = true;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((present & (1u << i)) == 0) continue;
        ++record.letters;
        const std::int32_t candidate = IsCandidateDrive(platform, LetterAt(i));
        if (candidate == 0 || candidate == kNoSignature) ++record.answeredInquiry;
        if (candidate == 0) {
            ++record.withSignature;
            candidates |= 1u << i;
        }
    }
    return candidates;
}

}  // namespace

void ScanDevices(Platform& platform, DeviceScan& scan, const PhysicalDevice* only) {
    std::memset(&scan, 0, sizeof(scan));
    DeviceTable& table = scan.table;
    PhysicalDevice* devices = scan.devices;
    int& count = scan.count;

    // All letters are filtered before any identity block is read.
    const std::uint32_t candidates = CandidateMask(platform, scan.record);

    alignas(kVendorBlockAlignment) VendorBlock block;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((candidates & (1u << i)) == 0) continue;
        // Cleared before each read, so that no letter is grouped by another letter's identity.
        std::memset(block, 0, sizeof(block));
        if (VendorRead(platform, LetterAt(i), nullptr, block) != kDriveOk) continue;
        const std::size_t lun = LunIndexOf(block);
        if (lun >= kLunSlotsPerDevice) continue;

        // The key names the drive; where it sits tells it apart from a drive of the same key.
        const PhysicalDevice found =
            ReadPhysicalDevice(platform, LetterAt(i), ExtractDeviceKey(block));
        if (only != nullptr && !SameDevice(found, *only)) continue;
        const int recorded = std::min(count, kMaxRecordedDevices);
        int device = 0;
        while (device < recorded && !SameDevice(devices[device], found)) ++device;
        if (device == recorded) {
            // A new device. Beyond the table's room it is only counted: any count of two or more
            // already stops every command.
            ++count;
            if (device == kMaxRecordedDevices) continue;
            devices[device] = found;
            std::memcpy(scan.identities[device], block, sizeof(block));
        }
        // The later letter of a device wins a slot.
        table.records[device].lunSlots[lun] = LetterAt(i);
    }
}

int ScanDevices(Platform& platform, DeviceTable& table) {
    DeviceScan scan;
    ScanDevices(platform, scan, nullptr);
    table = scan.table;
    return scan.count;
}

bool VersionAccepted(Platform& platform) {
    const std::uint32_t minorVersion = (platform.VersionNumber() >> 8) & 0xFFu;
    return minorVersion <= kHighestMinorVersion;
}

int FindDrives(Platform& platform, char* list, std::size_t size, std::uint8_t& count,
               const PhysicalDevice* only, ScanRecord* looked, PhysicalDevice* first) {
    count = 0;
    if (!VersionAccepted(platform)) return kFindDrivesVersionRefused;

    DeviceScan scan;
    ScanDevices(platform, scan, only);
    if (looked != nullptr) *looked = scan.record;
    if (first != nullptr && scan.count > 0) *first = scan.devices[0];
    const DeviceTable& table = scan.table;
    const int devices = scan.count;
    const int recorded = std::min(devices, kMaxRecordedDevices);

    std::size_t i = 0;
    for (int j = 0; j < recorded; ++j) {
        const DeviceRecord& record = table.records[j];
        if (i >= size) return kFindDrivesListTooSmall;
        list[i++] = record.lunSlots[0];
        if (i >= size) return kFindDrivesListTooSmall;
        if (record.lunSlots[1] != 0) list[i++] = record.lunSlots[1];
        if (i >= size) return kFindDrivesListTooSmall;
        list[i++] = 0;
    }
    if (i >= size) return kFindDrivesListTooSmall;
    list[i] = 0;
    count = static_cast<std::uint8_t>(devices);
    return kFindDrivesOk;
}

void OrderByLun(Platform& platform, char* list) {
    char slots[kOrderedLunSlots] = {};
    // One buffer for all reads, and their results are not examined: a failed read leaves the
    // previous letter's block in place.
    alignas(kVendorBlockAlignment) VendorBlock block = {};
    for (std::size_t i = 0; i < kOrderedLunSlots; ++i) {
        if (list[i] == 0) continue;
        VendorRead(platform, list[i], nullptr, block);
        const std::size_t lun = LunIndexOf(block);
        if (lun < kOrderedLunSlots) slots[lun] = list[i];
    }
    std::memcpy(list, slots, sizeof(slots));
}

char SelectTargetLetter(const char* list) {
    std::size_t k = 0;
    char target = list[k++];
    while (k < kOrderedLunSlots && list[k] != 0) target = list[k++];
    return target;
}

}  // namespace vardel
