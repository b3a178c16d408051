#include "service/bus_service.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "service/bus_names.h"
#include "service/bus_reply.h"
#include "service/bus_request.h"
#include "service/introspection.h"

namespace vardel::service {
namespace {

constexpr char kIntrospectable[] = "org.freedesktop.DBus.Introspectable";

void Send(DBusConnection* connection, DBusMessage* message) {
    if (message == nullptr) return;  // out of memory: the caller's call times out
    dbus_connection_send(connection, message, nullptr);
    dbus_message_unref(message);
}

void SendError(DBusConnection* connection, DBusMessage* call, const char* name,
               const std::string& text) {
    Send(connection, dbus_message_new_error(call, name, text.c_str()));
}

bool Is(const char* value, const char* wanted) {
    return value != nullptr && std::strcmp(value, wanted) == 0;
}

const char* MethodName(ServiceMethod method) {
    switch (method) {
        case ServiceMethod::Set:
            return "Set";
        case ServiceMethod::Write:
            return "Write";
        case ServiceMethod::Restore:
            return "Restore";
        case ServiceMethod::Undo:
            return "Undo";
        case ServiceMethod::List:
        case ServiceMethod::Status:
        case ServiceMethod::Backup:
        case ServiceMethod::History:
            break;
    }
    return "a read";
}

// Every change that went to a drive, with who asked for it, goes to the service's log (systemd
// keeps its standard error in the journal): the administrator's trail of what users did.
void LogChange(DBusConnection* connection, DBusMessage* call, const ServiceRequest& request,
               const ServiceReply& reply) {
    const char* caller = dbus_message_get_sender(call);
    const unsigned long uid = dbus_bus_get_unix_user(connection, caller, nullptr);
    // The device as given, on one line whatever it holds.
    std::string device = request.device.empty() ? "the single drive" : request.device;
    for (char& c : device) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    std::fprintf(stderr, "vardel-service: %s for uid %ld (%s) on %s: outcome %u, %s\n",
                 MethodName(request.method),
                 uid == static_cast<unsigned long>(-1) ? -1L : static_cast<long>(uid), caller,
                 device.c_str(), static_cast<unsigned>(reply.outcome.code),
                 reply.outcome.changed ? "the drive's block changed" : "nothing changed");
}

// polkit's answer for the call, as an error sent; true to go on.
bool Authorized(DBusConnection* connection, DBusMessage* call, const ServiceRequest& request,
                Authorizer authorize) {
    const char* action = DriveService::Changes(request) ? kActionChange : kActionRead;
    const char* caller = dbus_message_get_sender(call);
    if (caller == nullptr) {
        SendError(connection, call, kErrorNotAuthorized, "the call carries no sender");
        return false;
    }
    std::string problem;
    switch (authorize(connection, caller, action,
                      dbus_message_get_allow_interactive_authorization(call) != FALSE, problem)) {
        case Authorization::Granted:
            return true;
        case Authorization::Denied:
            SendError(connection, call, kErrorNotAuthorized,
                      std::string("not authorized for ") + action +
                          "; nothing was done (an administrator can grant it with a polkit rule)");
            return false;
        case Authorization::ChallengeNeeded:
            SendError(connection, call, kErrorAuthenticationRequired,
                      std::string(action) +
                          " needs authentication; call again allowing interactive authorization");
            return false;
        case Authorization::Unavailable:
            break;
    }
    SendError(connection, call, kErrorNotAuthorized,
              "polkit could not be asked (" + problem + "); nothing was done");
    return false;
}

void AnswerCall(DBusConnection* connection, DBusMessage* call, DriveService& service,
                Authorizer authorize) {
    ServiceRequest request;
    std::string problem;
    switch (ReadRequest(call, request, problem)) {
        case RequestRead::Read:
            break;
        case RequestRead::UnknownMethod:
            SendError(connection, call, DBUS_ERROR_UNKNOWN_METHOD,
                      std::string("no method ") + dbus_message_get_member(call));
            return;
        case RequestRead::InvalidArguments:
            SendError(connection, call, kErrorInvalidArgument, problem);
            return;
    }
    // What can be refused without a drive is refused before polkit is asked.
    if (const ServiceError error = CheckRequest(request, problem); error != ServiceError::None) {
        SendError(connection, call, ErrorName(error), problem);
        return;
    }
    if (!Authorized(connection, call, request, authorize)) return;
    // A caller that left while polkit asked gets no change made on its behalf.
    if (DriveService::Changes(request) &&
        !dbus_bus_name_has_owner(connection, dbus_message_get_sender(call), nullptr)) {
        return;
    }
    ServiceReply reply;
    try {
        reply = service.Handle(request);
    } catch (const std::exception& failure) {
        SendError(connection, call, kErrorFailed, failure.what());
        return;
    }
    if (reply.error != ServiceError::None) {
        SendError(connection, call, ErrorName(reply.error), reply.message);
        return;
    }
    if (DriveService::Changes(request)) LogChange(connection, call, request, reply);
    DBusMessage* answer = dbus_message_new_method_return(call);
    if (answer != nullptr && !AppendReply(answer, request, reply)) {
        dbus_message_unref(answer);
        SendError(connection, call, kErrorFailed, "out of memory");
        return;
    }
    Send(connection, answer);
}

// Answers one message; true when it was a call (which keeps the service from its idle end).
bool Dispatch(DBusConnection* connection, DBusMessage* message, DriveService& service,
              Authorizer authorize) {
    if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL) return false;
    const char* interface = dbus_message_get_interface(message);
    if (!Is(dbus_message_get_path(message), kObjectPath)) {
        SendError(connection, message, DBUS_ERROR_UNKNOWN_OBJECT, "no such object");
    } else if (Is(interface, kIntrospectable) &&
               Is(dbus_message_get_member(message), "Introspect") &&
               dbus_message_has_signature(message, "")) {
        DBusMessage* answer = dbus_message_new_method_return(message);
        const char* xml = kIntrospectionXml;
        if (answer != nullptr &&
            !dbus_message_append_args(answer, DBUS_TYPE_STRING, &xml, DBUS_TYPE_INVALID)) {
            dbus_message_unref(answer);
            answer = nullptr;
        }
        Send(connection, answer);
    } else if (interface == nullptr || Is(interface, kInterface)) {
        AnswerCall(connection, message, service, authorize);
    } else {
        SendError(connection, message, DBUS_ERROR_UNKNOWN_INTERFACE, "no such interface");
    }
    return true;
}

}  // namespace

int ServeOnBus(DBusConnection* connection, DriveService& service, Authorizer authorize,
               int idleSeconds) {
    DBusError error;
    dbus_error_init(&error);
    const int owned =
        dbus_bus_request_name(connection, kBusName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error);
    if (owned != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "vardel-service: cannot own %s (%s)\n", kBusName,
                     dbus_error_is_set(&error) ? error.message : "another process owns it");
        dbus_error_free(&error);
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastCall = Clock::now();
    while (Clock::now() - lastCall < std::chrono::seconds(idleSeconds)) {
        if (!dbus_connection_read_write(connection, 1000)) return 1;
        while (DBusMessage* message = dbus_connection_pop_message(connection)) {
            if (Dispatch(connection, message, service, authorize)) lastCall = Clock::now();
            dbus_message_unref(message);
        }
    }
    // Idle: the name goes back first, so that a call from now on starts a new service; the calls
    // that came before are still answered.
    dbus_bus_release_name(connection, kBusName, &error);
    dbus_error_free(&error);
    while (dbus_connection_read_write(connection, 0)) {
        DBusMessage* message = dbus_connection_pop_message(connection);
        if (message == nullptr) break;
        Dispatch(connection, message, service, authorize);
        dbus_message_unref(message);
    }
    dbus_connection_flush(connection);
    return 0;
}

}  // namespace vardel::service
