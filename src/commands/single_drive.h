#pragma once
// The start of every command: discovery must find exactly one drive, and the letter that its
// block commands go to.

#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "drive/physical_device.h"
#include "platform/platform.h"

namespace vardel {

// Clears and fills the state's letter list and sets its target letter. Done when there is one
// drive with a letter to send to; otherwise the discovery outcome, and nothing but INQUIRY and
// identity reads and address questions was sent. `device` narrows discovery to the letters on
// one physical device (null: all).
OutcomeCode FindSingleDrive(Platform& platform, CommandState& state, const PhysicalDevice* device);

}  // namespace vardel
