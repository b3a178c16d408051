#pragma once
// The window the commands report to, for a console: it draws nothing, because the console
// reports from the outcome the command returns; and what the window's edits would hold comes
// from the command line.

#include <string>
#include <utility>

#include "commands/command_state.h"
#include "commands/silent_window.h"

namespace vardel::cli {

class ConsoleWindow : public SilentWindow {
  public:
    ConsoleWindow(CommandState& state, std::string lun0Text, std::string lun1Text)
        : state_(state), lun0Text_(std::move(lun0Text)), lun1Text_(std::move(lun1Text)) {}

    // The texts as given: the console has no 2-character edit to check them against.
    bool Take() override {
        state_.lun1Text = lun1Text_;
        state_.lun0Text = lun0Text_;
        return true;
    }

  private:
    CommandState& state_;
    std::string lun0Text_;
    std::string lun1Text_;
};

}  // namespace vardel::cli
