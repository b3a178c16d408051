#pragma once
// The two LUN types, how they are shown, and which type byte of the configuration block belongs
// to which row of the window.

#include <cstddef>
#include <cstdint>

#include "device/scsi_commands.h"

namespace vardel {

constexpr std::uint8_t kLunTypeFixedDisk = 0xA1;
constexpr std::uint8_t kLunTypeRemovable = 0x00;

constexpr const char kFixedDiskText[] = "Fixed Disk";
constexpr const char kRemovableText[] = "Removable";

enum class LunRow { Lun0, Lun1 };

// 0xA1 is "Fixed Disk"; the firmware treats every other value as removable.
const char* LunTypeText(std::uint8_t type);

// Some firmware builds keep LUN 1's type in slot A: their identity block carries the '#' marker
// and their configuration block the selector 3.
bool IsSwappedLayout(const VendorBlock& deviceBlock, const VendorBlock& infoBlock);

// Offset in the configuration block of the type byte shown in `row`.
std::size_t TypeByteOffset(LunRow row, bool swapped);

// The LUN index of the volume through which the identity block was read.
std::uint8_t LunIndexOf(const VendorBlock& deviceBlock);

}  // namespace vardel
