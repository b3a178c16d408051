#pragma once
// The service on the bus: it owns the well-known name, asks polkit about each method call and
// answers it once polkit has, and gives the name back and ends after a while without calls (the
// bus starts it again for the next one). polkit's questions wait on their own: a call waiting for
// someone's password holds up no other caller. The drives' work itself runs one call at a time.

#include <dbus/dbus.h>

#include "service/drive_service.h"

namespace vardel::service {

// Seconds without a call before the service ends.
constexpr int kIdleExitSeconds = 30;

// Asks the polkit authority on the connection's bus (org.freedesktop.PolicyKit1) about every
// call. Returns the process's exit code: 0 after an idle end, 1 when the name could not be owned
// or the bus went away.
int ServeOnBus(DBusConnection* connection, DriveService& service, int idleSeconds);

}  // namespace vardel::service
