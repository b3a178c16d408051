#pragma once
// The handler's command line: which uio devices it serves (one per LUN of the one drive it
// plays), what that drive is, and where the command log goes.
//
//   vardel_tcmu_handler --uio uio0 [--uio uio1] [options]
//
//   --uio NAME          a uio device of a `user` backstore; the first is LUN 0, the second LUN 1
//   --name TEXT         the drive's name in the log (default "drive")
//   --log FILE          appends one line per command received
//   --serial TEXT       the identity block's serial (default VD0000000001)
//   --swapped           the swapped row layout (identity byte 382 = '#', configuration byte 172 =
//   3)
//   --lun0-type HEX     the type byte shown in row Lun0
//   --lun1-type HEX     the type byte shown in row Lun1
//   --refuse-vendor     vendor commands get CHECK CONDITION, ILLEGAL REQUEST
//   --ignore-writes     vendor writes are acknowledged and the old block kept
//   --identity-bytes N  the identity read returns only N bytes, with status GOOD
//
// Without options the drive is emulated::StandardDrive(): configuration byte 304 = 00 (row Lun0
// removable), byte 305 = A1 (row Lun1 fixed). The row options follow the layout: on a swapped
// drive row Lun0 is byte 305, so --swapped alone shows Lun0 fixed and Lun1 removable.

#include <string>
#include <vector>

#include "platform/emulated/emulated_drive.h"
#include "tcmu/drive_answers.h"

namespace vardel::tcmu {

struct HandlerOptions {
    std::vector<std::string> uioNames;
    std::string name = "drive";
    std::string logPath;
    emulated::Drive drive;
    DriveBehaviour behaviour;
};

// 0 and the options, or 64 and a message naming the bad argument.
int ParseHandlerOptions(int argc, const char* const* argv, HandlerOptions& options,
                        std::string& error);

}  // namespace vardel::tcmu
