#include "ui/qt/service_relay.h"

#include <QString>

#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/call_problem_words.h"

namespace vardel::qt {

service::ServiceRequest RequestOf(const RelayedCommand& command) {
    service::ServiceRequest request;
    switch (command.command) {
        case CommandKind::SetLunMode:
            request.method = service::ServiceMethod::Set;
            break;
        case CommandKind::WriteRaw:
            request.method = service::ServiceMethod::Write;
            break;
        default:
            request.method = service::ServiceMethod::Status;
            break;
    }
    request.lun = command.row == LunRow::Lun1 ? 1 : 0;
    request.type = command.type;
    request.lun0Text = command.lun0Text;
    request.lun1Text = command.lun1Text;
    request.dryRun = command.dryRun;
    return request;
}

CommandRelay ServiceRelay::Relay() {
    return [this](const RelayedCommand& command, CommandOutcome& outcome) {
        return Run(command, outcome);
    };
}

bool ServiceRelay::Run(const RelayedCommand& command, CommandOutcome& outcome) {
    if (busy_) busy_(true);
    service_client::CallResult call = call_(RequestOf(command));
    if (busy_) busy_(false);
    if (call.end != service_client::CallEnd::Replied) {
        lastReply_ = service::ServiceReply();
        boxes_.Show(owner_, CallProblemWords(call), QString::fromUtf8(kApplicationName),
                    MessageIcon::Exclamation);
        return false;
    }
    lastReply_ = std::move(call.reply);
    outcome = lastReply_.outcome;
    return true;
}

}  // namespace vardel::qt
