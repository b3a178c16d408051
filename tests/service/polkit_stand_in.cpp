#include "service/polkit_stand_in.h"

#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "service/bus_names.h"
#include "service/polkit_check.h"

namespace vardel::testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// CheckAuthorization's action, the second argument; empty when the call is not that.
std::string ActionAsked(DBusMessage* call) {
    if (!dbus_message_is_method_call(call, "org.freedesktop.PolicyKit1.Authority",
                                     "CheckAuthorization") ||
        !dbus_message_has_signature(call, "(sa{sv})sa{ss}us")) {
        return std::string();
    }
    DBusMessageIter at;
    dbus_message_iter_init(call, &at);
    dbus_message_iter_next(&at);
    const char* action = nullptr;
    dbus_message_iter_get_basic(&at, &action);
    return action;
}

DBusMessage* Answer(DBusMessage* call, bool authorized, bool challenge) {
    DBusMessage* answer = dbus_message_new_method_return(call);
    DBusMessageIter body;
    DBusMessageIter result;
    DBusMessageIter details;
    const dbus_bool_t isAuthorized = authorized ? TRUE : FALSE;
    const dbus_bool_t isChallenge = challenge ? TRUE : FALSE;
    dbus_message_iter_init_append(answer, &body);
    dbus_message_iter_open_container(&body, DBUS_TYPE_STRUCT, nullptr, &result);
    dbus_message_iter_append_basic(&result, DBUS_TYPE_BOOLEAN, &isAuthorized);
    dbus_message_iter_append_basic(&result, DBUS_TYPE_BOOLEAN, &isChallenge);
    dbus_message_iter_open_container(&result, DBUS_TYPE_ARRAY, "{ss}", &details);
    dbus_message_iter_close_container(&result, &details);
    dbus_message_iter_close_container(&body, &result);
    return answer;
}

}  // namespace

bool StandInPolicyNamed(const std::string& name, StandInPolicy& policy) {
    const std::pair<const char*, StandInPolicy> named[] = {
        {"grant-change", StandInPolicy::GrantChange},
        {"deny-change", StandInPolicy::DenyChange},
        {"grant-change-slowly", StandInPolicy::GrantChangeSlowly},
        {"challenge-change", StandInPolicy::ChallengeChange},
        {"hold-change", StandInPolicy::HoldChange},
    };
    for (const auto& [text, value] : named) {
        if (name == text) {
            policy = value;
            return true;
        }
    }
    return false;
}

PolkitStandIn::~PolkitStandIn() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (connection_ != nullptr) {
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }
}

bool PolkitStandIn::Start(std::string& problem) {
    DBusError error;
    dbus_error_init(&error);
    connection_ = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (connection_ == nullptr) {
        problem = error.message;
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(connection_, FALSE);
    if (dbus_bus_request_name(connection_, service::kPolkitName, DBUS_NAME_FLAG_DO_NOT_QUEUE,
                              &error) != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        problem = dbus_error_is_set(&error) ? error.message : "the name is taken";
        dbus_error_free(&error);
        return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void PolkitStandIn::Serve() {
    std::vector<std::pair<Clock::time_point, DBusMessage*>> later;
    while (!stop_) {
        if (!dbus_connection_read_write(connection_, 50)) break;
        while (DBusMessage* call = dbus_connection_pop_message(connection_)) {
            if (dbus_message_get_type(call) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
                const std::string action = ActionAsked(call);
                const bool change = action == service::kActionChange;
                DBusMessage* answer = nullptr;
                if (action.empty()) {
                    answer = dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, "no method");
                } else if (!change || policy_ == StandInPolicy::GrantChange ||
                           policy_ == StandInPolicy::GrantChangeSlowly) {
                    answer = Answer(call, true, false);
                } else if (policy_ == StandInPolicy::ChallengeChange) {
                    answer = Answer(call, false, true);
                } else if (policy_ == StandInPolicy::DenyChange) {
                    answer = Answer(call, false, false);
                }
                if (answer != nullptr && change && policy_ == StandInPolicy::GrantChangeSlowly) {
                    later.emplace_back(Clock::now() + std::chrono::seconds(2), answer);
                } else if (answer != nullptr) {
                    dbus_connection_send(connection_, answer, nullptr);
                    dbus_message_unref(answer);
                }
            }
            dbus_message_unref(call);
        }
        for (auto at = later.begin(); at != later.end();) {
            if (at->first > Clock::now()) {
                ++at;
                continue;
            }
            dbus_connection_send(connection_, at->second, nullptr);
            dbus_message_unref(at->second);
            at = later.erase(at);
        }
    }
    for (auto& [due, answer] : later) dbus_message_unref(answer);
    dbus_connection_flush(connection_);
}

}  // namespace vardel::testing_support
