#include "drive/discovery.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_commands.h"
#include "device/device_address.h"
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

void NoteUnanswered(ScanRecord& record, int index, DriveStatus status, bool withSignature) {
    record.unanswered |= 1u << index;
    if (withSignature) record.unansweredWithSignature |= 1u << index;
    record.unansweredStatus[index] = status;
}

std::uint32_t CandidateMask(Platform& platform, ScanRecord& record, MayHoldDriveTest mayHold) {
    const std::uint32_t present = platform.LogicalDriveMask();
    std::uint32_t candidates = 0;
    record.done = true;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((present & (1u << i)) == 0) continue;
        ++record.letters;
        const CandidateCheck check = CheckCandidate(platform, LetterAt(i));
        if (check.step == CandidateStep::InquiryFailed && mayHold != nullptr &&
            mayHold(LetterAt(i), check.code)) {
            NoteUnanswered(record, i, check.code, false);
        }
        if (check.step == CandidateStep::NoSignature || check.step == CandidateStep::Candidate) {
            ++record.answeredInquiry;
        }
        if (check.step == CandidateStep::Candidate) {
            ++record.withSignature;
            candidates |= 1u << i;
        }
    }
    return candidates;
}

bool AtAddressOf(const DeviceAddress& address, const PhysicalDevice& device) {
    return device.addressKnown && device.port == address.port && device.path == address.path &&
           device.target == address.target;
}

// A letter that did not answer but sits where a device found sits is one of that device's LUNs.
void KeepOtherDevices(Platform& platform, DeviceScan& scan) {
    ScanRecord& record = scan.record;
    const int recorded = std::min(scan.count, kMaxRecordedDevices);
    for (int i = 0; i < kDriveLetterCount && recorded > 0; ++i) {
        if ((record.unanswered & (1u << i)) == 0) continue;
        DeviceAddress address;
        if (ReadDeviceAddress(platform, LetterAt(i), address) != kDriveOk) continue;
        for (int j = 0; j < recorded; ++j) {
            if (!AtAddressOf(address, scan.devices[j])) continue;
            record.unanswered &= ~(1u << i);
            record.unansweredWithSignature &= ~(1u << i);
            record.unansweredStatus[i] = 0;
            break;
        }
    }
}

}  // namespace

void ScanDevices(Platform& platform, DeviceScan& scan, const PhysicalDevice* only,
                 MayHoldDriveTest mayHold) {
    std::memset(&scan, 0, sizeof(scan));
    DeviceTable& table = scan.table;
    PhysicalDevice* devices = scan.devices;
    int& count = scan.count;

    // All letters are filtered before any identity block is read.
    const std::uint32_t candidates = CandidateMask(platform, scan.record, mayHold);

    alignas(kVendorBlockAlignment) VendorBlock block;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((candidates & (1u << i)) == 0) continue;
        // Cleared before each read, so that no letter is grouped by another letter's identity.
        std::memset(block, 0, sizeof(block));
        const DriveStatus read = VendorRead(platform, LetterAt(i), nullptr, block);
        if (read != kDriveOk) {
            NoteUnanswered(scan.record, i, read, true);
            continue;
        }
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

    if (only != nullptr) {
        // The user chose the device: no other one can be taken for it.
        scan.record.unanswered = 0;
        scan.record.unansweredWithSignature = 0;
        std::memset(scan.record.unansweredStatus, 0, sizeof(scan.record.unansweredStatus));
        return;
    }
    KeepOtherDevices(platform, scan);
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
               const PhysicalDevice* only, ScanRecord* looked, MayHoldDriveTest mayHold,
               PhysicalDevice* first) {
    count = 0;
    if (!VersionAccepted(platform)) return kFindDrivesVersionRefused;

    DeviceScan scan;
    ScanDevices(platform, scan, only, mayHold);
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
