#include "outcome/unanswered_disks.h"

#include <cstdio>
#include <system_error>

#include "machine/machine_platform.h"
#include "texts/display_text.h"
#include "texts/sense_text.h"

namespace vardel::frontend {
namespace {

std::string StatusText(DriveStatus status, bool nativeErrors) {
    if (status < 0) {
        // The sense that came with the status was not kept: the status alone, as storage tools
        // name it.
        const char* name = ScsiStatusName(-status);
        char number[8];
        std::snprintf(number, sizeof(number), "0x%02X", static_cast<unsigned>(-status) & 0xFFu);
        return "the drive answered " + std::string(name != nullptr ? name : "status") +
               " (status " + number + ")";
    }
    if (status == kDriveShortRead) return "the drive answered with less than the whole block";
    std::string text = "system error " + std::to_string(status);
    if (nativeErrors) text += " (" + std::system_category().message(status) + ")";
    return text;
}

}  // namespace

std::vector<UnansweredDisk> UnansweredDisks(const ScanRecord& scan, bool machine,
                                            bool nativeErrors) {
    std::vector<UnansweredDisk> disks;
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((scan.unanswered & (1u << i)) == 0) continue;
        UnansweredDisk disk;
        disk.letter = static_cast<char>('A' + i);
        DiskDescription description;
        if (machine && DescribeMachineDisk(disk.letter, description)) {
            disk.paths = description.paths;
        }
        disk.withSignature = (scan.unansweredWithSignature & (1u << i)) != 0;
        const std::string status = StatusText(scan.unansweredStatus[i], nativeErrors);
        disk.why = disk.withSignature
                       ? "it carries the drive's signature, but its identity block could not be "
                         "read: " +
                             status
                       : "it could not be opened or did not answer INQUIRY: " + status;
        disks.push_back(disk);
    }
    return disks;
}

std::string UnansweredDisksText(const std::vector<UnansweredDisk>& disks) {
    std::string text;
    for (const UnansweredDisk& disk : disks) {
        if (!text.empty()) text += "; ";
        text += std::string(1, disk.letter) + ":";
        for (std::size_t i = 0; i < disk.paths.size(); ++i) {
            text += (i == 0 ? " (" : ", ") + DisplayText(disk.paths[i]) +
                    (i + 1 == disk.paths.size() ? ")" : "");
        }
        text += ", " + disk.why;
    }
    return text;
}

}  // namespace vardel::frontend
