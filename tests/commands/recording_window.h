#pragma once
// A window that writes down what the commands asked of it, in order.

#include <functional>
#include <string>
#include <vector>

#include "commands/window_operations.h"

namespace vardel::testing_support {

class RecordingWindow : public WindowOperations {
  public:
    void ShowMessage(const CommandOutcome& outcome) override {
        events.push_back(std::string("message ") + OutcomeMessage(outcome));
    }
    void EnableCommandButtons(bool enable) override {
        events.push_back(enable ? "enable" : "disable");
    }
    void Refresh() override { events.push_back("refresh"); }
    bool Take() override {
        events.push_back("take");
        return onTake ? onTake() : true;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& event : events) {
            if (event.rfind("message ", 0) == 0) messages.push_back(event.substr(8));
        }
        return messages;
    }

    std::vector<std::string> events;
    std::function<bool()> onTake;  // stands for the edits' contents arriving in the texts
};

}  // namespace vardel::testing_support
