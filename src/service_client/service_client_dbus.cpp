// The drive service through the system's D-Bus library, on the bus DBUS_SYSTEM_BUS_ADDRESS names
// (the system bus otherwise).
#include <dbus/dbus.h>
#include <unistd.h>

#include <cstring>

#include "service/bus_names.h"
#include "service/drive_service.h"
#include "service_client/reply_decoding.h"
#include "service_client/service_client.h"

namespace vardel::service_client {
namespace {

using service::ServiceMethod;
using service::ServiceRequest;

// A change may wait for polkit's dialog (the service waits up to 5 minutes) and then for the
// drive's lock; a read waits only for the lock.
constexpr int kChangeTimeoutMilliseconds = 6 * 60 * 1000;
constexpr int kReadTimeoutMilliseconds = 60 * 1000;

const char* MethodName(ServiceMethod method) {
    switch (method) {
        case ServiceMethod::List:
            return "List";
        case ServiceMethod::Status:
            return "Status";
        case ServiceMethod::Set:
            return "Set";
        case ServiceMethod::Write:
            return "Write";
        case ServiceMethod::Backup:
            return "Backup";
        case ServiceMethod::Restore:
            return "Restore";
        case ServiceMethod::History:
            return "History";
        case ServiceMethod::Undo:
            return "Undo";
    }
    return "Status";
}

bool AppendArguments(DBusMessage* message, const ServiceRequest& request) {
    const char* device = request.device.c_str();
    const char* serial = request.serial.c_str();
    const char* lun0 = request.lun0Text.c_str();
    const char* lun1 = request.lun1Text.c_str();
    const char* document = request.document.c_str();
    const dbus_uint32_t lun = request.lun;
    const dbus_uint32_t type = request.type;
    const dbus_bool_t dryRun = request.dryRun ? TRUE : FALSE;
    const dbus_bool_t allowNoSerial = request.allowNoSerial ? TRUE : FALSE;
    switch (request.method) {
        case ServiceMethod::List:
        case ServiceMethod::Status:
        case ServiceMethod::Backup:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device,
                                            DBUS_TYPE_INVALID) != 0;
        case ServiceMethod::History:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &serial,
                                            DBUS_TYPE_INVALID) != 0;
        case ServiceMethod::Set:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device, DBUS_TYPE_UINT32,
                                            &lun, DBUS_TYPE_UINT32, &type, DBUS_TYPE_BOOLEAN,
                                            &dryRun, DBUS_TYPE_INVALID) != 0;
        case ServiceMethod::Write:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device, DBUS_TYPE_STRING,
                                            &lun0, DBUS_TYPE_STRING, &lun1, DBUS_TYPE_BOOLEAN,
                                            &dryRun, DBUS_TYPE_INVALID) != 0;
        case ServiceMethod::Restore:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device, DBUS_TYPE_STRING,
                                            &document, DBUS_TYPE_BOOLEAN, &allowNoSerial,
                                            DBUS_TYPE_BOOLEAN, &dryRun, DBUS_TYPE_INVALID) != 0;
        case ServiceMethod::Undo:
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device, DBUS_TYPE_BOOLEAN,
                                            &allowNoSerial, DBUS_TYPE_BOOLEAN, &dryRun,
                                            DBUS_TYPE_INVALID) != 0;
    }
    return false;
}

bool Starts(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Which end an error name means; the service's own refusals by their names.
void TakeError(const DBusError& error, CallResult& result) {
    const char* name = error.name != nullptr ? error.name : "";
    result.message = error.message != nullptr ? error.message : name;
    struct Named {
        const char* name;
        service::ServiceError error;
    };
    const Named refusals[] = {
        {service::kErrorInvalidArgument, service::ServiceError::InvalidArgument},
        {service::kErrorUnknownDrive, service::ServiceError::UnknownDrive},
        {service::kErrorAmbiguousDrive, service::ServiceError::AmbiguousDrive},
        {service::kErrorNoJournal, service::ServiceError::NoJournal},
        {service::kErrorNothingToUndo, service::ServiceError::NothingToUndo},
    };
    for (const Named& refusal : refusals) {
        if (std::strcmp(name, refusal.name) == 0) {
            result.end = CallEnd::Refused;
            result.error = refusal.error;
            return;
        }
    }
    if (std::strcmp(name, service::kErrorNotAuthorized) == 0) {
        result.end = CallEnd::NotAuthorized;
    } else if (std::strcmp(name, service::kErrorAuthenticationRequired) == 0 ||
               std::strcmp(name, DBUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED) == 0) {
        result.end = CallEnd::AuthenticationRequired;
    } else if (std::strcmp(name, DBUS_ERROR_SERVICE_UNKNOWN) == 0 ||
               std::strcmp(name, DBUS_ERROR_NAME_HAS_NO_OWNER) == 0) {
        result.end = CallEnd::ServiceMissing;
    } else if (Starts(name, "org.freedesktop.DBus.Error.Spawn.") ||
               Starts(name, "org.freedesktop.systemd1.")) {
        result.end = CallEnd::ServiceNotStarted;
    } else if (std::strcmp(name, DBUS_ERROR_NO_REPLY) == 0 ||
               std::strcmp(name, DBUS_ERROR_TIMEOUT) == 0 ||
               std::strcmp(name, DBUS_ERROR_DISCONNECTED) == 0) {
        result.end = CallEnd::NoAnswer;
    } else if (std::strcmp(name, DBUS_ERROR_UNKNOWN_METHOD) == 0 ||
               std::strcmp(name, DBUS_ERROR_INVALID_ARGS) == 0) {
        // Another version of the service, without this call.
        result.end = CallEnd::BadReply;
    } else {
        result.end = CallEnd::Failed;
    }
}

}  // namespace

bool ServiceIsDefault() {
    return geteuid() != 0;
}

CallResult CallService(const ServiceRequest& request) {
    CallResult result;
    const bool change = service::DriveService::Changes(request);
    result.action = change ? service::kActionChange : service::kActionRead;
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (connection == nullptr) {
        result.end = CallEnd::NoBus;
        result.message = error.message != nullptr ? error.message : "no connection";
        dbus_error_free(&error);
        return result;
    }
    // A bus that goes away ends the call, not the program.
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    DBusMessage* call = dbus_message_new_method_call(
        service::kBusName, service::kObjectPath, service::kInterface, MethodName(request.method));
    if (call != nullptr && AppendArguments(call, request)) {
        // Only a change may make polkit ask for a password; the service passes this on.
        dbus_message_set_allow_interactive_authorization(call, change ? TRUE : FALSE);
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(
            connection, call, change ? kChangeTimeoutMilliseconds : kReadTimeoutMilliseconds,
            &error);
        if (reply == nullptr) {
            TakeError(error, result);
            dbus_error_free(&error);
        } else {
            result.end =
                ReadReply(reply, request, result.reply) ? CallEnd::Replied : CallEnd::BadReply;
            if (result.end == CallEnd::BadReply) {
                result.message = "the drive service's reply could not be read";
            }
            dbus_message_unref(reply);
        }
    } else {
        result.end = CallEnd::Failed;
        result.message = "out of memory";
    }
    if (call != nullptr) dbus_message_unref(call);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return result;
}

}  // namespace vardel::service_client
