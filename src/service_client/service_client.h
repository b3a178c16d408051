#pragma once
// Calls on the drive service (vardel-service) on the system bus, for a front end run without
// root: the request and the reply are the service's own records, so that the front end renders
// the outcome as if it had run the command itself. No bus type passes this header.

#include <string>

#include "service/service_request.h"

namespace vardel::service_client {

// How a call ended.
enum class CallEnd {
    Replied,                 // `reply` holds the service's answer
    NoClient,                // this build has no way to reach the service
    NoBus,                   // the system bus could not be reached
    ServiceMissing,          // nobody owns the service's name, and the bus cannot start it
    ServiceNotStarted,       // the bus knows the service, but starting it failed
    NotAuthorized,           // polkit refused the call's action (or could not be asked)
    AuthenticationRequired,  // polkit would ask, but nobody can answer it here
    Refused,                 // the service refused the call before any drive command: `error`
    NoAnswer,                // a change: no answer in time, or the service went away meanwhile
    ReadNotAnswered,         // as NoAnswer, for a call that only reads: nothing was changed
    BadReply,                // an answer that is not what the service sends
    Failed,                  // the service failed itself
};

struct CallResult {
    CallEnd end = CallEnd::NoClient;
    service::ServiceError error = service::ServiceError::None;  // Refused: which
    std::string message;  // the bus's or the service's own words, for people
    // The polkit action the call needed: org.vardel.drives.change for a change, otherwise
    // org.vardel.drives.read.
    const char* action = "";
    service::ServiceReply reply;
};

// Whether a front end on this machine goes through the service unless told otherwise: a build
// that can reach it, run without root.
bool ServiceIsDefault();

// Calls the method of `request` and waits for its answer: a change may wait for the user's
// password (polkit asks), so changes wait up to 6 minutes, reads up to 1. Every method's reply is
// read back into `reply` (reply_decoding.h).
CallResult CallService(const service::ServiceRequest& request);

}  // namespace vardel::service_client
