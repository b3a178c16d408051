// The drive service through the system's D-Bus library, on the bus DBUS_SYSTEM_BUS_ADDRESS names
// (the system bus otherwise).
#include <dbus/dbus.h>
#include <unistd.h>

#include "service/bus_names.h"
#include "service/drive_service.h"
#include "service_client/call_end_of_error.h"
#include "service_client/call_timeouts.h"
#include "service_client/reply_decoding.h"
#include "service_client/service_client.h"

namespace vardel::service_client {
namespace {

using service::ServiceMethod;
using service::ServiceRequest;

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
        case ServiceMethod::Restore: {
            const unsigned char* shown = request.shown;
            const int shownLength = request.shownGiven ? static_cast<int>(kVendorBlockSize) : 0;
            return dbus_message_append_args(message, DBUS_TYPE_STRING, &device, DBUS_TYPE_STRING,
                                            &document, DBUS_TYPE_BOOLEAN, &allowNoSerial,
                                            DBUS_TYPE_BOOLEAN, &dryRun, DBUS_TYPE_ARRAY,
                                            DBUS_TYPE_BYTE, &shown, shownLength,
                                            DBUS_TYPE_INVALID) != 0;
        }
        case ServiceMethod::Undo: {
            const char* time = request.undoNamed ? request.undoTime.c_str() : "";
            const dbus_uint32_t number = request.undoNamed ? request.undoNumber : 0;
            const unsigned char* written = request.undoWritten;
            const int writtenLength = request.undoNamed ? static_cast<int>(kVendorBlockSize) : 0;
            const dbus_bool_t replugged = request.replugged ? TRUE : FALSE;
            return dbus_message_append_args(
                       message, DBUS_TYPE_STRING, &device, DBUS_TYPE_BOOLEAN, &allowNoSerial,
                       DBUS_TYPE_BOOLEAN, &dryRun, DBUS_TYPE_STRING, &time, DBUS_TYPE_UINT32,
                       &number, DBUS_TYPE_ARRAY, DBUS_TYPE_BYTE, &written, writtenLength,
                       DBUS_TYPE_BOOLEAN, &replugged, DBUS_TYPE_INVALID) != 0;
        }
    }
    return false;
}

// Which end an error name means; the service's own refusals by their names.
void TakeError(const DBusError& error, bool change, CallResult& result) {
    const char* name = error.name != nullptr ? error.name : "";
    result.message = error.message != nullptr ? error.message : name;
    result.end = CallEndOfError(name, change, result.error);
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
            TakeError(error, change, result);
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
