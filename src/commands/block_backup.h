#pragma once
// Taking both vendor blocks of the single drive as they are, and putting a configuration block
// taken that way back onto the same drive: the way back from a bad write.

#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "device/scsi_commands.h"
#include "drive/device_key.h"
#include "platform/platform.h"

namespace vardel {

struct BlockBackup {
    alignas(kVendorBlockAlignment) VendorBlock info;
    alignas(kVendorBlockAlignment) VendorBlock identity;
    InquiryData inquiry;
    DeviceKey key;  // from `identity`
    char lun0Letter;
    char lun1Letter;
    char target;  // the letter the blocks were read through
};

// Reads the INQUIRY data and both blocks through the target letter; it writes nothing. Done only
// when all three came whole; the outcome's types are the rows as read.
CommandOutcome BackupBlocks(Platform& platform, CommandState& state, const DeviceKey* device,
                            BlockBackup& backup);

// Writes bytes 0..511 of `info` onto the single drive, only when its identity key matches `key`
// (WrongDevice otherwise), after reading its configuration block whole, and confirms by reading
// it back. A drive that already holds those bytes is not written (Done, not changed).
CommandOutcome RestoreConfigBlock(Platform& platform, CommandState& state, const DeviceKey* device,
                                  const VendorBlock& info, const DeviceKey& key);

}  // namespace vardel
