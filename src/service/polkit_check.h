#pragma once
// Whether the caller may do what it asks, as polkit decides: CheckAuthorization with the caller's
// unique bus name as the subject (never its process id, which another process could take over).
// The question goes out and its answer comes back as two steps, so that the service goes on
// answering other callers while polkit waits for someone's password.

#include <dbus/dbus.h>

#include <string>

namespace vardel::service {

constexpr char kPolkitName[] = "org.freedesktop.PolicyKit1";

enum class Authorization {
    Granted,
    Denied,
    // polkit would ask the user to authenticate, but the caller did not allow an interaction.
    ChallengeNeeded,
    // polkit could not be asked (not installed, not running, no answer); `problem` says why.
    Unavailable,
};

// The question for polkit, or nullptr without memory. `interactive`: the caller set
// ALLOW_INTERACTIVE_AUTHORIZATION, so polkit may show its authentication dialog (the answer then
// waits for the user).
DBusMessage* AuthorizationQuestion(const char* callerBusName, const char* action, bool interactive);

// How long the answer is waited for: a dialog waits for the user, otherwise polkit answers at once.
int AuthorizationTimeoutMilliseconds(bool interactive);

// polkit's answer (or the bus's error in its place, nullptr for none at all).
Authorization ReadAuthorizationAnswer(DBusMessage* answer, std::string& problem);

}  // namespace vardel::service
