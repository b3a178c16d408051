// How a client reads the bus's errors: the service's own refusals, polkit's answers, and a call
// that got no answer, which says nothing changed when the call only reads.

#include <gtest/gtest.h>

#include "service/bus_names.h"
#include "service_client/call_end_of_error.h"

namespace vardel::service_client {
namespace {

using service::ServiceError;

struct ErrorCase {
    const char* name;
    bool change;
    CallEnd end;
    ServiceError refusal;
};

TEST(CallEndOfError, NamesTheEndAndAnUnansweredReadChangedNothing) {
    const ErrorCase cases[] = {
        {"org.freedesktop.DBus.Error.NoReply", true, CallEnd::NoAnswer, ServiceError::None},
        {"org.freedesktop.DBus.Error.NoReply", false, CallEnd::ReadNotAnswered, ServiceError::None},
        {"org.freedesktop.DBus.Error.Timeout", false, CallEnd::ReadNotAnswered, ServiceError::None},
        {"org.freedesktop.DBus.Error.Disconnected", true, CallEnd::NoAnswer, ServiceError::None},
        {service::kErrorTooManyCalls, true, CallEnd::Refused, ServiceError::TooManyCalls},
        {service::kErrorNotAuthorized, false, CallEnd::NotAuthorized, ServiceError::None},
        {service::kErrorAuthenticationRequired, true, CallEnd::AuthenticationRequired,
         ServiceError::None},
        {service::kErrorUnknownDrive, false, CallEnd::Refused, ServiceError::UnknownDrive},
    };
    for (const ErrorCase& c : cases) {
        ServiceError refusal = ServiceError::InvalidArgument;
        EXPECT_EQ(CallEndOfError(c.name, c.change, refusal), c.end) << c.name << " " << c.change;
        EXPECT_EQ(refusal, c.refusal) << c.name;
    }
}

}  // namespace
}  // namespace vardel::service_client
