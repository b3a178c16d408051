#pragma once
// The window's buttons through the drive service: each command goes to the service as its call,
// the reply's outcome comes back to the window's own steps (commands/relayed_commands.h), and a
// call that gave no outcome is a message box. No bus type passes this header.

#include <functional>
#include <utility>

#include "commands/relayed_commands.h"
#include "service/service_request.h"
#include "service_client/service_client.h"
#include "ui/qt/message_boxes.h"

class QWidget;

namespace vardel::qt {

class ServiceRelay {
  public:
    using Call = std::function<service_client::CallResult(const service::ServiceRequest&)>;
    // Around each call: true before it (the window then starts nothing else), false after.
    using Busy = std::function<void(bool busy)>;

    ServiceRelay(Call call, MessageBoxes& boxes, QWidget* owner, Busy busy)
        : call_(std::move(call)), boxes_(boxes), owner_(owner), busy_(std::move(busy)) {}

    // For LunModeDialogModel::SetRelay; the relay must outlive the model's use of it.
    CommandRelay Relay();

    // What the last reply said beside its outcome: the failed command's nodes and the rights.
    const service::ServiceReply& LastReply() const { return lastReply_; }

  private:
    bool Run(const RelayedCommand& command, CommandOutcome& outcome);

    Call call_;
    MessageBoxes& boxes_;
    QWidget* owner_;
    Busy busy_;
    service::ServiceReply lastReply_;
};

// The service's call for a button's command (the single drive, as the window's own discovery).
service::ServiceRequest RequestOf(const RelayedCommand& command);

}  // namespace vardel::qt
