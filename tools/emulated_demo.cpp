// Finds the drive on an emulated machine (one drive over E and F) and shows the type of its two
// LUNs, printing every command that reached the drive on the way.

#include <cstdint>
#include <cstdio>
#include <string>

#include "device/scsi_commands.h"
#include "drive/discovery.h"
#include "drive/lun_type.h"
#include "platform/emulated/emulated_platform.h"

int main() {
    using namespace vardel;
    emulated::EmulatedPlatform platform;
    emulated::SetUpStandardMachine(platform);

    char list[kLetterListSize] = {};
    std::uint8_t count = 0;
    const int found = FindDrives(platform, list, sizeof(list), count);
    if (found != kFindDrivesOk || count != 1 || list[0] == 0) {
        std::printf("discovery: result %d, %d devices\n", found, count);
        return 1;
    }
    OrderByLun(platform, list);
    const char target = SelectTargetLetter(list);
    std::printf("Drive found: LUN 0 on %c:, LUN 1 on %c:, commands go to %c:\n", list[0],
                list[1] != 0 ? list[1] : '-', target);

    alignas(kVendorBlockAlignment) VendorBlock identity = {};
    alignas(kVendorBlockAlignment) VendorBlock info = {};
    if (VendorRead(platform, target, nullptr, identity) != kDriveOk ||
        VendorRead(platform, target, &kInfoTag, info) != kDriveOk) {
        std::printf("The vendor blocks could not be read\n");
        return 1;
    }
    const bool swapped = IsSwappedLayout(identity, info);
    std::printf("Lun0: %s\n", LunTypeText(info[TypeByteOffset(LunRow::Lun0, swapped)]));
    std::printf("Lun1: %s\n", LunTypeText(info[TypeByteOffset(LunRow::Lun1, swapped)]));

    std::printf("\nCommands sent:\n");
    for (const std::string& line : platform.CommandTrace()) std::printf("  %s\n", line.c_str());
    return 0;
}
