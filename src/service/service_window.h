#pragma once
// The window the commands report to, for the service: it draws nothing (the caller renders the
// outcome), and the rows Write takes are the caller's texts.

#include <string>
#include <utility>

#include "commands/command_state.h"
#include "commands/silent_window.h"

namespace vardel::service {

class ServiceWindow : public SilentWindow {
  public:
    ServiceWindow(CommandState& state, std::string lun0Text, std::string lun1Text)
        : state_(state), lun0Text_(std::move(lun0Text)), lun1Text_(std::move(lun1Text)) {}
    bool Take() override {
        state_.lun0Text = lun0Text_;
        state_.lun1Text = lun1Text_;
        return true;
    }

  private:
    CommandState& state_;
    std::string lun0Text_;
    std::string lun1Text_;
};

}  // namespace vardel::service
