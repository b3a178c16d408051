#pragma once
// A drive of ours behind Bulk-Only Transport: each CBW's whole CDB goes to the shared answers
// (tools/scsi_drive) as the host sent it, with the direction and length the CBW announces. The
// transport has no automatic sense, so the drive keeps the sense of each LUN's last command and
// answers REQUEST SENSE with it, as the host's driver asks right after a failed command.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scsi_drive/drive_answers.h"
#include "scsi_drive/drive_options.h"
#include "usb/bulk_only.h"

namespace vardel::usb {

struct KeptSense {
    std::uint8_t bytes[scsi_drive::kFixedSenseLength] = {};
    std::size_t length = 0;  // 0: the last command passed, REQUEST SENSE answers "no sense"
};

struct BotDrive {
    scsi_drive::DriveOptions options;
    std::array<KeptSense, kMaxLunIndex + 1> sense{};
};

struct ServedCommand {
    scsi_drive::ScsiAnswer answer;
    std::string logLine;  // in the format of tools/scsi_drive/command_log.h
};

// Runs the command of `cbw` (a meaningful one: ParseCbw gave kCbwOk) on `data`, which holds
// cbw.dataLength bytes: the host's data for data-out, room for the answer for data-in.
ServedCommand ServeCommand(BotDrive& drive, const Cbw& cbw, std::uint8_t* data);

}  // namespace vardel::usb
