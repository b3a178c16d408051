#pragma once
// Taking both vendor blocks of the single drive as they are, and putting a configuration block
// taken that way back onto the same drive: the way back from a bad write.

#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "commands/write_journal.h"
#include "device/scsi_commands.h"
#include "drive/device_key.h"
#include "drive/physical_device.h"
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
CommandOutcome BackupBlocks(Platform& platform, CommandState& state, const PhysicalDevice* device,
                            BlockBackup& backup);

// What a restore found on the drive before it would write, for a front end that shows the
// change first. With `dryRun` the restore ends there and writes nothing.
struct RestoreView {
    bool dryRun;
    bool blockRead;  // `asRead` holds the drive's configuration block as read before the write
    alignas(kVendorBlockAlignment) VendorBlock asRead;
};

// What every restore writes through, and what an undo adds to it.
struct RestoreGuard {
    // Keeps the block as read before the write; null: no journal entry.
    WriteJournal* journal = nullptr;
    // Undo: the change put back. The drive must still hold what it wrote (bytes 0..511), and the
    // journal must still keep it as the drive's last change, or nothing is written
    // (NotAsChanged): anything else came later, and would be lost. Null: a restore.
    const NamedChange* undoes = nullptr;
    // What the caller showed before asking: the drive must still hold these bytes 0..511, or
    // nothing is written (NotAsChanged), since the change shown is no longer the one made. Null:
    // nothing was shown.
    const VendorBlock* shown = nullptr;
};

// Writes bytes 0..511 of `info` onto the single drive, only when its identity block carries the
// very serial of `identity`, the identity block taken with the backup (WrongDevice otherwise).
// Blocks without a serial cannot show that they belong to one drive: NoSerial, unless
// `allowNoSerial`, which lets a drive without serial take a backup without serial. It reads the
// drive's configuration block whole before it writes, and confirms by reading it back. A drive
// that already holds those bytes is not written (Done, not changed). Unless it runs dry, it holds
// the drive's lock (drive_lock.h) from the identity read to the read-back, or ends Busy.
// `view`, when given, receives the block as read; a dry run ends Done with the rows the write
// would leave. With `guard.undoes` the command is an Undo.
CommandOutcome RestoreConfigBlock(Platform& platform, CommandState& state,
                                  const PhysicalDevice* device, const VendorBlock& info,
                                  const VendorBlock& identity, bool allowNoSerial,
                                  RestoreView* view = nullptr, const RestoreGuard& guard = {});

}  // namespace vardel
