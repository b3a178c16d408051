#pragma once
// The commands behind the buttons. Each runs to its end: it finds the single drive, reads its
// vendor blocks, writes the configuration block where asked, and reports through the status
// texts or a message.

#include <cstdint>

#include "drive/lun_type.h"
#include "platform/platform.h"
#include "ui/command_state.h"
#include "ui/window_operations.h"

namespace vardel {

// Messages, as the user sees them.
constexpr char kUnknownErrorMessage[] = "Unknown error";
constexpr char kNoDriveMessage[] = "No drive found";
constexpr char kMoreDrivesMessage[] = "More drives found, please remove others";
constexpr char kFailMessage[] = "Fail";
constexpr char kWriteSuccessMessage[] = "Write Success";
constexpr char kWriteFailMessage[] = "Write Fail";

struct CommandContext {
    Platform& platform;
    CommandState& state;
    WindowOperations& window;
};

// One binding per mode button: the row it changes, the type it writes, and which block it reads
// first.
struct LunModeBinding {
    LunRow row;
    std::uint8_t type;
    bool readsDeviceBlockFirst;
};

// Shows the type of both LUNs in the status texts (button 1003).
void ReadStatus(CommandContext& context);

// Switches one LUN and confirms by reading the block back (buttons 1005 to 1008).
void SetLunMode(CommandContext& context, const LunModeBinding& binding);

// Writes both type bytes from the status texts (the Write button and Enter).
void WriteRaw(CommandContext& context);

}  // namespace vardel
