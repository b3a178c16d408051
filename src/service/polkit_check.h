#pragma once
// Whether the caller may do what it asks, as polkit decides: CheckAuthorization with the caller's
// unique bus name as the subject (never its process id, which another process could take over).

#include <dbus/dbus.h>

#include <string>

namespace vardel::service {

enum class Authorization {
    Granted,
    Denied,
    // polkit would ask the user to authenticate, but the caller did not allow an interaction.
    ChallengeNeeded,
    // polkit could not be asked (not installed, not running, no answer); `problem` says why.
    Unavailable,
};

// `interactive`: the caller set ALLOW_INTERACTIVE_AUTHORIZATION, so polkit may show its
// authentication dialog (the call then waits for the user).
Authorization CheckAuthorization(DBusConnection* connection, const char* callerBusName,
                                 const char* action, bool interactive, std::string& problem);

}  // namespace vardel::service
