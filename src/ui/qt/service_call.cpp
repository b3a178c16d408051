#include "ui/qt/service_call.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QString>
#include <QVariant>

#include "service/bus_names.h"
#include "service/drive_service.h"
#include "service_client/call_end_of_error.h"
#include "service_client/call_timeouts.h"
#include "ui/qt/service_reply_variant.h"

namespace vardel::qt {
namespace {

using service::ServiceMethod;
using service::ServiceRequest;
using service_client::CallEnd;
using service_client::CallResult;

// The window sends only what its buttons run.
bool AppendArguments(QDBusMessage& message, const ServiceRequest& request) {
    const QString device = QString::fromStdString(request.device);
    switch (request.method) {
        case ServiceMethod::Status:
            message << device;
            return true;
        case ServiceMethod::Set:
            message << device << static_cast<uint>(request.lun) << static_cast<uint>(request.type)
                    << request.dryRun;
            return true;
        case ServiceMethod::Write:
            message << device << QString::fromStdString(request.lun0Text)
                    << QString::fromStdString(request.lun1Text) << request.dryRun;
            return true;
        default:
            return false;
    }
}

}  // namespace

CallResult CallServiceFromWindow(const ServiceRequest& request) {
    CallResult result;
    const bool change = service::DriveService::Changes(request);
    result.action = change ? service::kActionChange : service::kActionRead;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        result.end = CallEnd::NoBus;
        result.message = bus.lastError().message().toStdString();
        if (result.message.empty()) result.message = "no connection";
        return result;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(service::kBusName), QLatin1String(service::kObjectPath),
        QLatin1String(service::kInterface),
        QLatin1String(service_client::MethodName(request.method)));
    if (!AppendArguments(call, request)) {
        result.end = CallEnd::Failed;
        result.message = "the window sends no such call";
        return result;
    }
    // Only a change may make polkit ask for a password; the service passes this on.
    call.setInteractiveAuthorizationAllowed(change);
    const QDBusPendingCall pending =
        bus.asyncCall(call, change ? service_client::kChangeTimeoutMilliseconds
                                   : service_client::kReadTimeoutMilliseconds);
    QDBusPendingCallWatcher watcher(pending);
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!watcher.isFinished()) {
        // The program is ending (its loops were told to quit): no answer came.
        result.end = service_client::UnansweredEnd(change);
        result.message = "the window stopped waiting";
        return result;
    }
    const QDBusMessage reply = watcher.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const std::string name = reply.errorName().toStdString();
        result.message = reply.errorMessage().toStdString();
        if (result.message.empty()) result.message = name;
        result.end = service_client::CallEndOfError(name.c_str(), change, result.error);
        return result;
    }
    const QList<QVariant> arguments = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || arguments.size() != 1 ||
        !ReadReplyVariant(arguments.front(), request, result.reply)) {
        result.end = CallEnd::BadReply;
        result.message = "the drive service's reply could not be read";
        return result;
    }
    result.end = CallEnd::Replied;
    return result;
}

}  // namespace vardel::qt
