#pragma once
// What the command benchmarks share: the emulated machine of 26 letters, and a window that
// shows nothing.

#include "commands/window_operations.h"
#include "platform/emulated/emulated_platform.h"

namespace vardel::bench {

// All 26 letters present with mounted-device entries; one standard drive over E (LUN 0) and F
// (LUN 1); every other letter a disk of another maker.
void SetUpTwentySixLetters(emulated::EmulatedPlatform& platform);

class SilentWindow : public WindowOperations {
  public:
    void ShowMessage(const CommandOutcome&) override {}
    void EnableCommandButtons(bool) override {}
    void Refresh() override {}
    bool Take() override { return true; }
};

}  // namespace vardel::bench
