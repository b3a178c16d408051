#pragma once
// A service reply as the body of a D-Bus method return: one a{sv} (docs/service.md, "Replies").

#include <dbus/dbus.h>

#include "service/service_request.h"

namespace vardel::service {

// False when the message ran out of memory.
bool AppendReply(DBusMessage* message, const ServiceRequest& request, const ServiceReply& reply);

// The D-Bus error name of a refusal: org.vardel.Drives1.Error.InvalidArgument, ...
const char* ErrorName(ServiceError error);

}  // namespace vardel::service
