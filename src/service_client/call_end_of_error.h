#pragma once
// How a call on the drive service ended, from the bus error it got: one reading of the error
// names for every client, whichever D-Bus library it speaks through.

#include "service/service_request.h"
#include "service_client/service_client.h"

namespace vardel::service_client {

// The call's end for the error `name`; `change`: the call was one that changes a drive (a call
// that only reads, unanswered, changed nothing); `refusal` is the service's own refusal for
// CallEnd::Refused (None otherwise).
CallEnd CallEndOfError(const char* name, bool change, service::ServiceError& refusal);

// The end of a call that got no answer at all.
CallEnd UnansweredEnd(bool change);

// The method of the service's interface that `method` calls.
const char* MethodName(service::ServiceMethod method);

}  // namespace vardel::service_client
