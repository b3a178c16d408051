#pragma once
// The commands behind the buttons. Each runs to its end: it finds the single drive, reads its
// vendor blocks, writes the configuration block where asked, reports through the status texts or
// a message, and returns what happened. Set and Write hold the drive's lock (drive_lock.h) from
// their first block read to their last, and end Busy when another program keeps it.

#include <cstdint>

#include "commands/command_context.h"
#include "commands/command_outcome.h"
#include "drive/lun_type.h"

namespace vardel {

// One binding per mode button: the row it changes, the type it writes, and which block it reads
// first.
struct LunModeBinding {
    LunRow row;
    std::uint8_t type;
    bool readsDeviceBlockFirst;
};

// The four mode buttons (1005 to 1008). Only the one that makes LUN 1 removable (1006) reads
// the identity block first.
constexpr LunModeBinding kLun0RemovableBinding = {LunRow::Lun0, kLunTypeRemovable, false};
constexpr LunModeBinding kLun1RemovableBinding = {LunRow::Lun1, kLunTypeRemovable, true};
constexpr LunModeBinding kLun0FixedBinding = {LunRow::Lun0, kLunTypeFixedDisk, false};
constexpr LunModeBinding kLun1FixedBinding = {LunRow::Lun1, kLunTypeFixedDisk, false};

// Shows the type of both LUNs in the status texts (button 1003).
CommandOutcome ReadStatus(CommandContext& context);

// Switches one LUN and confirms by reading the block back (buttons 1005 to 1008).
CommandOutcome SetLunMode(CommandContext& context, const LunModeBinding& binding);

// Writes both type bytes from the status texts (the Write button and Enter).
CommandOutcome WriteRaw(CommandContext& context);

}  // namespace vardel
