#pragma once
// One line of a drive program's log per command received, so that a test can compare what
// reached the drive with what the tool means to send:
//
//   drive lun1 06 25 49 4e 46 4f len=528 GOOD
//   drive lun1 06 05 49 4e 46 4f 00 00 80 00 00 00 len=528 GOOD
//   drive lun1 06 06 01 00 00 00 00 00 00 00 00 00 len=512 GOOD changed=304:00>a1
//   drive lun0 06 05 00 00 00 00 00 00 80 00 00 00 len=528 CHECK 5/20
//   drive lun0 06 05 00 00 00 00 00 00 80 00 00 00 len=528 GOOD returned=300
//
// The CDB bytes are those the drive received: behind the loopback SCSI target the six the target
// core keeps of a group-0 command (with the LUN in byte 1 for a SCSI-2 device), over USB the
// whole CDB as the command block wrapper carries it. `len` is the command's data length;
// `returned` appears when a data-in answer was shorter; `changed` lists the configuration
// block's bytes that a vendor write changed (offset:old>new), and is absent when it changed none.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/emulated/emulated_drive.h"
#include "scsi_drive/drive_answers.h"

namespace vardel::scsi_drive {

std::string FormatCommandLine(const std::string& name, std::uint8_t lunIndex,
                              const std::uint8_t* cdb, std::size_t cdbLength,
                              std::size_t dataLength, DataDirection direction,
                              const ScsiAnswer& answer, const emulated::Block& blockBefore,
                              const emulated::Block& blockAfter);

}  // namespace vardel::scsi_drive
