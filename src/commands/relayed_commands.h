#pragma once
// The buttons' commands run by another process (the drive service, for a window with no rights on
// the drive): the window gets the same steps as from the commands in lun_mode_commands.h (its
// buttons, its status texts, the message) around the outcome the other process sends back.
// Nothing here reaches a drive.

#include <cstdint>
#include <functional>
#include <string>

#include "commands/command_context.h"
#include "commands/command_outcome.h"
#include "commands/lun_mode_commands.h"

namespace vardel {

// What the other process is asked to run.
struct RelayedCommand {
    CommandKind command = CommandKind::ReadStatus;  // ReadStatus, SetLunMode or WriteRaw
    LunRow row = LunRow::Lun0;                      // SetLunMode
    std::uint8_t type = 0;                          // SetLunMode
    std::string lun0Text;                           // WriteRaw: the rows as the window took them
    std::string lun1Text;
    bool dryRun = false;
};

// Runs `command` elsewhere and fills `outcome` with how it ended there. False when no outcome
// came back: the relay has told the user why, and the window's texts stay as they were.
using CommandRelay = std::function<bool(const RelayedCommand& command, CommandOutcome& outcome)>;

// As ReadStatus, SetLunMode and WriteRaw, with context.dryRun passed on; the context's platform
// is not used. Without an outcome the result is UnknownError, not changed, no types known.
CommandOutcome RelayReadStatus(CommandContext& context, const CommandRelay& relay);
CommandOutcome RelaySetLunMode(CommandContext& context, const LunModeBinding& binding,
                               const CommandRelay& relay);
CommandOutcome RelayWriteRaw(CommandContext& context, const CommandRelay& relay);

}  // namespace vardel
