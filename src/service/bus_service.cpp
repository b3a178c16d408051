#include "service/bus_service.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <set>
#include <string>

#include "service/bus_names.h"
#include "service/bus_reply.h"
#include "service/bus_request.h"
#include "service/bus_timeouts.h"
#include "service/introspection.h"
#include "service/polkit_check.h"
#include "service/waiting_calls.h"

namespace vardel::service {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kIntrospectable[] = "org.freedesktop.DBus.Introspectable";
// How long one wait on the bus may last, so that the idle end is seen in time.
constexpr int kLongestWaitMilliseconds = 1000;

// What the loop keeps between messages.
struct Server {
    DBusConnection* connection;
    DriveService& service;
    WaitingCalls waiting;
    // polkit's questions not answered yet, each holding its call (WaitingCall).
    std::set<DBusPendingCall*> questions;
    Clock::time_point lastCall = Clock::now();
};

// A call waiting for polkit's answer.
struct WaitingCall {
    Server* server;
    DBusMessage* call;  // a reference of its own
    ServiceRequest request;
    std::string caller;
    long user;
    bool dialog;
};

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

// The caller's user id as the bus knows it, -1 when it does not.
long UserOf(DBusConnection* connection, const char* caller) {
    const unsigned long uid = dbus_bus_get_unix_user(connection, caller, nullptr);
    return uid == static_cast<unsigned long>(-1) ? -1L : static_cast<long>(uid);
}

// Every change that went to a drive, with who asked for it, goes to the service's log (systemd
// keeps its standard error in the journal): the administrator's trail of what users did.
void LogChange(const WaitingCall& waiting, const ServiceReply& reply) {
    const long uid = waiting.user >= 0 ? waiting.user
                                       : UserOf(waiting.server->connection, waiting.caller.c_str());
    // The device as given, on one line whatever it holds.
    std::string device =
        waiting.request.device.empty() ? "the single drive" : waiting.request.device;
    for (char& c : device) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    std::fprintf(stderr, "vardel-service: %s for uid %ld (%s) on %s: outcome %u, %s\n",
                 MethodName(waiting.request.method), uid, waiting.caller.c_str(), device.c_str(),
                 static_cast<unsigned>(reply.outcome.code),
                 reply.outcome.changed ? "the drive's block changed" : "nothing changed");
}

// polkit's answer for the call, as an error sent; true to go on.
bool Authorized(DBusConnection* connection, DBusMessage* call, const char* action,
                Authorization answer, const std::string& problem) {
    switch (answer) {
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

// The call, once polkit has answered: the drive's work and the reply.
void Proceed(const WaitingCall& waiting, Authorization answer, const std::string& problem) {
    DBusConnection* connection = waiting.server->connection;
    DBusMessage* call = waiting.call;
    const ServiceRequest& request = waiting.request;
    const bool changes = DriveService::Changes(request);
    if (!Authorized(connection, call, changes ? kActionChange : kActionRead, answer, problem)) {
        return;
    }
    // A caller that left while polkit asked gets no change made on its behalf.
    if (changes && !dbus_bus_name_has_owner(connection, waiting.caller.c_str(), nullptr)) return;
    ServiceReply reply;
    try {
        reply = waiting.server->service.Handle(request);
    } catch (const std::exception& failure) {
        SendError(connection, call, kErrorFailed, failure.what());
        return;
    }
    if (reply.error != ServiceError::None) {
        SendError(connection, call, ErrorName(reply.error), reply.message);
        return;
    }
    if (changes) LogChange(waiting, reply);
    DBusMessage* message = dbus_message_new_method_return(call);
    if (message != nullptr && !AppendReply(message, request, reply)) {
        dbus_message_unref(message);
        SendError(connection, call, kErrorFailed, "out of memory");
        return;
    }
    Send(connection, message);
}

void Forget(void* data) {
    WaitingCall* waiting = static_cast<WaitingCall*>(data);
    dbus_message_unref(waiting->call);
    delete waiting;
}

// polkit's answer (or the bus library's error when none came in time).
void Answered(DBusPendingCall* question, void* data) {
    const WaitingCall& waiting = *static_cast<WaitingCall*>(data);
    Server& server = *waiting.server;
    DBusMessage* answer = dbus_pending_call_steal_reply(question);
    std::string problem;
    const Authorization authorization = ReadAuthorizationAnswer(answer, problem);
    if (answer != nullptr) dbus_message_unref(answer);
    server.questions.erase(question);
    server.waiting.Leave(waiting.caller, waiting.user, waiting.dialog);
    server.lastCall = Clock::now();
    Proceed(waiting, authorization, problem);
    // The question's last reference: Forget frees the call with it.
    dbus_pending_call_unref(question);
}

std::string TooManyText(Admission admission) {
    switch (admission) {
        case Admission::CallerFull:
            return "this caller already has " + std::to_string(kMostWaitingPerCaller) +
                   " calls waiting for polkit's answer; nothing was done: call again once they "
                   "are answered";
        case Admission::UserFull:
            return "this user already has " + std::to_string(kMostDialogsPerUser) +
                   " calls waiting for a password; nothing was done: answer or close those "
                   "dialogs first";
        case Admission::AllFull:
        case Admission::Admitted:
            break;
    }
    return std::to_string(kMostDialogs) +
           " calls are waiting for a password; nothing was done: call again in a while";
}

// Asks polkit about the call; the answer comes to Answered.
void Ask(Server& server, DBusMessage* call, const ServiceRequest& request, const char* caller) {
    DBusConnection* connection = server.connection;
    const bool dialog = dbus_message_get_allow_interactive_authorization(call) != FALSE;
    // Only a question that may wait for someone's password counts against the user's dialogs,
    // and only then is the bus asked who the caller is.
    const long user = dialog ? UserOf(connection, caller) : -1;
    const Admission admission = server.waiting.Enter(caller, user, dialog);
    if (admission != Admission::Admitted) {
        SendError(connection, call, kErrorTooManyCalls, TooManyText(admission));
        return;
    }
    const char* action = DriveService::Changes(request) ? kActionChange : kActionRead;
    DBusMessage* question = AuthorizationQuestion(caller, action, dialog);
    DBusPendingCall* pending = nullptr;
    const bool sent = question != nullptr &&
                      dbus_connection_send_with_reply(connection, question, &pending,
                                                      AuthorizationTimeoutMilliseconds(dialog)) &&
                      pending != nullptr;
    if (question != nullptr) dbus_message_unref(question);
    WaitingCall* waiting =
        sent ? new WaitingCall{&server, call, request, caller, user, dialog} : nullptr;
    if (waiting != nullptr) dbus_message_ref(call);
    if (waiting == nullptr || !dbus_pending_call_set_notify(pending, Answered, waiting, Forget)) {
        if (waiting != nullptr) Forget(waiting);
        if (pending != nullptr) {
            dbus_pending_call_cancel(pending);
            dbus_pending_call_unref(pending);
        }
        server.waiting.Leave(caller, user, dialog);
        SendError(connection, call, kErrorNotAuthorized,
                  "polkit could not be asked (the question could not be sent); nothing was done");
        return;
    }
    server.questions.insert(pending);
}

void AnswerCall(Server& server, DBusMessage* call) {
    DBusConnection* connection = server.connection;
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
    const char* caller = dbus_message_get_sender(call);
    if (caller == nullptr) {
        SendError(connection, call, kErrorNotAuthorized, "the call carries no sender");
        return;
    }
    Ask(server, call, request, caller);
}

// Every message the bus hands over: the calls are answered (or wait for polkit), the rest is left
// to the library (a pending question's answer never comes here).
DBusHandlerResult Dispatch(DBusConnection* connection, DBusMessage* message, void* data) {
    Server& server = *static_cast<Server*>(data);
    if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL) {
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }
    server.lastCall = Clock::now();
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
        AnswerCall(server, message);
    } else {
        SendError(connection, message, DBUS_ERROR_UNKNOWN_INTERFACE, "no such interface");
    }
    return DBUS_HANDLER_RESULT_HANDLED;
}

// One turn of the loop: the due timeouts, then one message handled or a wait for the next.
bool Turn(DBusConnection* connection, BusTimeouts& timeouts, int mostMilliseconds) {
    timeouts.RunDue();
    return dbus_connection_read_write_dispatch(
               connection, timeouts.MillisecondsToNext(mostMilliseconds)) != FALSE;
}

bool NothingLeft(DBusConnection* connection, const Server& server) {
    return server.questions.empty() &&
           dbus_connection_get_dispatch_status(connection) == DBUS_DISPATCH_COMPLETE;
}

// Unanswered questions go with the service (an end without the bus); their callers are gone too.
void DropQuestions(Server& server) {
    for (DBusPendingCall* pending : server.questions) {
        dbus_pending_call_cancel(pending);
        dbus_pending_call_unref(pending);
    }
    server.questions.clear();
}

}  // namespace

int ServeOnBus(DBusConnection* connection, DriveService& service, int idleSeconds) {
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
    Server server{connection, service, {}, {}, Clock::now()};
    BusTimeouts timeouts(connection);
    if (!dbus_connection_add_filter(connection, Dispatch, &server, nullptr)) {
        std::fprintf(stderr, "vardel-service: out of memory\n");
        return 1;
    }
    int code = 0;
    // Idle only once no call waits for polkit either: a password may take minutes.
    while (Clock::now() - server.lastCall < std::chrono::seconds(idleSeconds) ||
           !server.questions.empty()) {
        if (!Turn(connection, timeouts, kLongestWaitMilliseconds)) {
            code = 1;
            break;
        }
    }
    if (code == 0) {
        // Idle: the name goes back first, so that a call from now on starts a new service; the
        // calls that came before are still answered, after polkit's answers.
        dbus_bus_release_name(connection, kBusName, &error);
        dbus_error_free(&error);
        bool connected = true;
        while (connected) {
            while (connected && !NothingLeft(connection, server)) {
                connected = Turn(connection, timeouts, kLongestWaitMilliseconds);
            }
            // What came on the socket meanwhile, without waiting for more.
            if (connected) {
                connected = dbus_connection_read_write(connection, 0) != FALSE;
                if (NothingLeft(connection, server)) break;
            }
        }
        dbus_connection_flush(connection);
    }
    DropQuestions(server);
    dbus_connection_remove_filter(connection, Dispatch, &server);
    return code;
}

}  // namespace vardel::service
