#pragma once
// A method call on the bus as a service request: its member names the method, its body must carry
// exactly the method's arguments, and every text is measured before it is copied.

#include <dbus/dbus.h>

#include <string>

#include "service/service_request.h"

namespace vardel::service {

enum class RequestRead { Read, UnknownMethod, InvalidArguments };

RequestRead ReadRequest(DBusMessage* message, ServiceRequest& request, std::string& problem);

}  // namespace vardel::service
