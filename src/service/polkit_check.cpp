#include "service/polkit_check.h"

namespace vardel::service {
namespace {

constexpr char kPolkitPath[] = "/org/freedesktop/PolicyKit1/Authority";
constexpr char kPolkitInterface[] = "org.freedesktop.PolicyKit1.Authority";
constexpr dbus_uint32_t kAllowUserInteraction = 1;
// A dialog waits for the user; without one polkit answers at once.
constexpr int kInteractiveTimeoutMilliseconds = 5 * 60 * 1000;
constexpr int kTimeoutMilliseconds = 25 * 1000;

// subject (sa{sv}): ("system-bus-name", {"name": <caller>}); action; details a{ss} (none);
// flags; cancellation id ("").
bool AppendQuestion(DBusMessage* call, const char* caller, const char* action, bool interactive) {
    DBusMessageIter body;
    dbus_message_iter_init_append(call, &body);
    DBusMessageIter subject;
    DBusMessageIter details;
    DBusMessageIter entry;
    DBusMessageIter variant;
    const char* kind = "system-bus-name";
    const char* nameKey = "name";
    const char* noCancellation = "";
    const dbus_uint32_t flags = interactive ? kAllowUserInteraction : 0;
    return dbus_message_iter_open_container(&body, DBUS_TYPE_STRUCT, nullptr, &subject) &&
           dbus_message_iter_append_basic(&subject, DBUS_TYPE_STRING, &kind) &&
           dbus_message_iter_open_container(&subject, DBUS_TYPE_ARRAY, "{sv}", &details) &&
           dbus_message_iter_open_container(&details, DBUS_TYPE_DICT_ENTRY, nullptr, &entry) &&
           dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &nameKey) &&
           dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &variant) &&
           dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &caller) &&
           dbus_message_iter_close_container(&entry, &variant) &&
           dbus_message_iter_close_container(&details, &entry) &&
           dbus_message_iter_close_container(&subject, &details) &&
           dbus_message_iter_close_container(&body, &subject) &&
           dbus_message_iter_append_basic(&body, DBUS_TYPE_STRING, &action) &&
           dbus_message_iter_open_container(&body, DBUS_TYPE_ARRAY, "{ss}", &details) &&
           dbus_message_iter_close_container(&body, &details) &&
           dbus_message_iter_append_basic(&body, DBUS_TYPE_UINT32, &flags) &&
           dbus_message_iter_append_basic(&body, DBUS_TYPE_STRING, &noCancellation);
}

}  // namespace

DBusMessage* AuthorizationQuestion(const char* callerBusName, const char* action,
                                   bool interactive) {
    DBusMessage* call = dbus_message_new_method_call(kPolkitName, kPolkitPath, kPolkitInterface,
                                                     "CheckAuthorization");
    if (call == nullptr) return nullptr;
    if (!AppendQuestion(call, callerBusName, action, interactive)) {
        dbus_message_unref(call);
        return nullptr;
    }
    // polkit itself may start on demand, and then interact with the user: it may.
    dbus_message_set_allow_interactive_authorization(call, interactive ? TRUE : FALSE);
    return call;
}

int AuthorizationTimeoutMilliseconds(bool interactive) {
    return interactive ? kInteractiveTimeoutMilliseconds : kTimeoutMilliseconds;
}

Authorization ReadAuthorizationAnswer(DBusMessage* answer, std::string& problem) {
    if (answer == nullptr) {
        problem = "polkit did not answer";
        return Authorization::Unavailable;
    }
    if (dbus_message_get_type(answer) == DBUS_MESSAGE_TYPE_ERROR) {
        DBusError error;
        dbus_error_init(&error);
        dbus_set_error_from_message(&error, answer);
        problem = std::string("polkit did not answer (") + (error.name ? error.name : "") + ": " +
                  (error.message ? error.message : "") + ")";
        dbus_error_free(&error);
        return Authorization::Unavailable;
    }
    if (!dbus_message_has_signature(answer, "(bba{ss})")) {
        problem = std::string("polkit answered (") + dbus_message_get_signature(answer) +
                  "), not (bba{ss})";
        return Authorization::Unavailable;
    }
    DBusMessageIter body;
    DBusMessageIter answered;
    dbus_message_iter_init(answer, &body);
    dbus_message_iter_recurse(&body, &answered);
    dbus_bool_t authorized = FALSE;
    dbus_bool_t challenge = FALSE;
    dbus_message_iter_get_basic(&answered, &authorized);
    dbus_message_iter_next(&answered);
    dbus_message_iter_get_basic(&answered, &challenge);
    return authorized  ? Authorization::Granted
           : challenge ? Authorization::ChallengeNeeded
                       : Authorization::Denied;
}

}  // namespace vardel::service
