#pragma once
// What the commands need of the window they run in.

#include "commands/command_outcome.h"

namespace vardel {

class WindowOperations {
  public:
    virtual ~WindowOperations() = default;
    // Tells the user how the command ended: a box with the outcome's message (OutcomeMessage),
    // caption " ", an OK button only, no icon, owned by the window; returns when closed.
    virtual void ShowMessage(const CommandOutcome& outcome) = 0;
    // Enables or disables the Write button (IDOK) and the status button together.
    virtual void EnableCommandButtons(bool enable) = 0;
    // Puts the two status texts into their edits.
    virtual void Refresh() = 0;
    // Reads the edits into the two status texts with the 2-character check; false when the check
    // stopped the exchange.
    virtual bool Take() = 0;
};

}  // namespace vardel
