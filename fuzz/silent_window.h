#pragma once
// A window for the commands that shows nothing and takes the texts as they are.

#include "commands/window_operations.h"

namespace vardel::fuzz {

class SilentWindow : public WindowOperations {
  public:
    void ShowMessage(const char*) override {}
    void EnableCommandButtons(bool) override {}
    void Refresh() override {}
    bool Take() override { return true; }
};

}  // namespace vardel::fuzz
