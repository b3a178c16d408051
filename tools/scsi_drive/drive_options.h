#pragma once
// The command-line options every drive program shares (the TCMU handler, the USB drive program):
// what the drive is, how it misbehaves, and where the command log goes. Each program names its
// own options for its way to the kernel (such as --uio NAME); their values come back in order.
//
//   --name TEXT         the drive's name in the log (default "drive")
//   --log FILE          appends one line per command received
//   --serial TEXT       the identity block's serial (default VD0000000001)
//   --swapped           the swapped row layout (identity byte 382 = '#', configuration byte 172 =
//                       3)
//   --lun0-type HEX     the type byte shown in row Lun0
//   --lun1-type HEX     the type byte shown in row Lun1
//   --refuse-vendor     vendor commands get CHECK CONDITION, ILLEGAL REQUEST
//   --ignore-writes     vendor writes are acknowledged and the old block kept
//   --identity-bytes N  the identity read returns only N bytes, with status GOOD
//   --revision TEXT     the INQUIRY product revision, bytes 32..35 (default PMAP)
//   --signature TEXT    the INQUIRY vendor-specific bytes 36..43 (default PMAP1234)
//
// Without options the drive is emulated::StandardDrive(): configuration byte 304 = 00 (row Lun0
// removable), byte 305 = A1 (row Lun1 fixed). The row options follow the layout: on a swapped
// drive row Lun0 is byte 305, so --swapped alone shows Lun0 fixed and Lun1 removable.

#include <string>
#include <utility>
#include <vector>

#include "platform/emulated/emulated_drive.h"
#include "scsi_drive/drive_answers.h"

namespace vardel::scsi_drive {

struct DriveOptions {
    std::string name = "drive";
    std::string logPath;
    emulated::Drive model;
    DriveBehaviour behaviour;
    // The program's own options (each takes one value), in the order given.
    std::vector<std::pair<std::string, std::string>> transport;
};

constexpr int kUsage = 64;

// 0 and the options, or kUsage and a message naming the bad argument. `transportOptions` are the
// program's own option names.
int ParseDriveOptions(int argc, const char* const* argv,
                      const std::vector<std::string>& transportOptions, DriveOptions& options,
                      std::string& error);

}  // namespace vardel::scsi_drive
