#pragma once
// What a command runs with: the platform it reaches the drives through, the state the front end
// keeps between commands, the window it reports to, and which device it may work on.

#include "commands/command_state.h"
#include "commands/window_operations.h"
#include "commands/write_journal.h"
#include "drive/physical_device.h"
#include "platform/platform.h"

namespace vardel {

struct CommandContext {
    Platform& platform;
    CommandState& state;
    WindowOperations& window;
    // Only the letters on this physical device take part in discovery; null: every device does.
    const PhysicalDevice* device = nullptr;
    // Write reads the block back and counts only what the drive kept. The window does not: its
    // Write ends with the message of the write itself.
    bool confirmWrite = false;
    // A set or Write whose block would leave the drive's configuration block as read sends no
    // write (each one costs the drive a flash write) and ends Done with `unchanged`. The Windows
    // dialog leaves this off: it writes every time, as it always has.
    bool skipUnchangedWrite = false;
    // The console's --dry-run: set and Write read as always and stop where they would write.
    bool dryRun = false;
    // Keeps the block as read before each write; null: the change goes without a journal entry.
    WriteJournal* journal = nullptr;
};

}  // namespace vardel
