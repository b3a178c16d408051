#pragma once
// How a call on the drive service ended, from the bus error it got: one reading of the error
// names for every client, whichever D-Bus library it speaks through.

#include "service/service_request.h"
#include "service_client/service_client.h"

namespace vardel::service_client {

// The call's end for the error `name`; `refusal` is the service's own refusal for
// CallEnd::Refused (None otherwise).
CallEnd CallEndOfError(const char* name, service::ServiceError& refusal);

// The method of the service's interface that `method` calls.
const char* MethodName(service::ServiceMethod method);

}  // namespace vardel::service_client
