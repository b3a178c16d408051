#pragma once
// The start of every command: discovery must find exactly one drive, and the letter that its
// block commands go to.

#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "drive/discovery.h"
#include "drive/physical_device.h"
#include "platform/platform.h"

namespace vardel {

// Clears and fills the state's letter list and sets its target letter. Done when there is one
// drive with a letter to send to; otherwise the discovery outcome, and nothing but INQUIRY and
// identity reads and address questions was sent. `device` narrows discovery to the letters on
// one physical device (null: all).
// `record`, when given, gets what discovery looked at.
//
// A disk that may hold a drive of the kind but did not answer (ScanRecord::unanswered) makes the
// drive found not the only one: a command that may change a drive (`changes`, dry runs too, so
// that a preview shows what the run would do) ends SeveralDrives, and the user chooses with the
// device; a read goes on, and its front end says what was passed over. No drive found at all stays
// NoDrive.
OutcomeCode FindSingleDrive(Platform& platform, CommandState& state, const PhysicalDevice* device,
                            ScanRecord* record, bool changes);

}  // namespace vardel
