#pragma once
// The service on the bus: it owns the well-known name, answers each method call in turn after
// polkit authorized the caller for it, and gives the name back and ends after a while without
// calls (the bus starts it again for the next one).

#include <dbus/dbus.h>

#include <string>

#include "service/drive_service.h"
#include "service/polkit_check.h"

namespace vardel::service {

// Seconds without a call before the service ends.
constexpr int kIdleExitSeconds = 30;

// Who decides whether a caller may run a call: CheckAuthorization (polkit) in the service; a test
// program of the test tree's own passes a stand-in.
using Authorizer = Authorization (*)(DBusConnection* connection, const char* callerBusName,
                                     const char* action, bool interactive, std::string& problem);

// Returns the process's exit code: 0 after an idle end, 1 when the name could not be owned or
// the bus went away.
int ServeOnBus(DBusConnection* connection, DriveService& service, Authorizer authorize,
               int idleSeconds);

}  // namespace vardel::service
