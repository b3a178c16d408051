#pragma once
// A window that shows nothing and takes the texts as they stand, for a caller that reports from
// the outcome a command returns (the console tool, the fuzzers, the benchmarks).

#include "commands/window_operations.h"

namespace vardel {

class SilentWindow : public WindowOperations {
  public:
    void ShowMessage(const CommandOutcome&) override {}
    void EnableCommandButtons(bool) override {}
    void Refresh() override {}
    bool Take() override { return true; }
};

}  // namespace vardel
