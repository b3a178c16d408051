#pragma once
// The window the commands report to where nothing is drawn (a console, the drive service): the
// caller renders the outcome the command returns, and what the window's edits would hold are the
// row texts the caller gave.

#include <string>
#include <utility>

#include "commands/command_state.h"
#include "commands/silent_window.h"

namespace vardel::frontend {

class GivenRowsWindow : public SilentWindow {
  public:
    GivenRowsWindow(CommandState& state, std::string lun0Text, std::string lun1Text)
        : state_(state), lun0Text_(std::move(lun0Text)), lun1Text_(std::move(lun1Text)) {}

    // The texts as given: there is no 2-character edit to check them against.
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

}  // namespace vardel::frontend
