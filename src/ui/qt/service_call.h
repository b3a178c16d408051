#pragma once
// The window's calls on the drive service, through QtDBus on the bus DBUS_SYSTEM_BUS_ADDRESS
// names (the system bus otherwise). No bus type passes this header.

#include "service/service_request.h"
#include "service_client/service_client.h"

namespace vardel::qt {

// Sends the call and waits for its answer in an event loop of its own, so that the window keeps
// drawing (and the desktop's polkit agent can ask for the password) while the caller's code
// waits: a change waits up to 6 minutes, a read up to 1. Only a change allows polkit to ask.
service_client::CallResult CallServiceFromWindow(const service::ServiceRequest& request);

}  // namespace vardel::qt
