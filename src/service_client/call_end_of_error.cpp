#include "service_client/call_end_of_error.h"

#include <cstring>

#include "service/bus_names.h"

namespace vardel::service_client {
namespace {

bool Starts(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool Is(const char* name, const char* known) {
    return std::strcmp(name, known) == 0;
}

}  // namespace

CallEnd UnansweredEnd(bool change) {
    return change ? CallEnd::NoAnswer : CallEnd::ReadNotAnswered;
}

CallEnd CallEndOfError(const char* name, bool change, service::ServiceError& refusal) {
    refusal = service::ServiceError::None;
    if (name == nullptr) name = "";
    struct Named {
        const char* name;
        service::ServiceError error;
    };
    const Named refusals[] = {
        {service::kErrorInvalidArgument, service::ServiceError::InvalidArgument},
        {service::kErrorUnknownDrive, service::ServiceError::UnknownDrive},
        {service::kErrorAmbiguousDrive, service::ServiceError::AmbiguousDrive},
        {service::kErrorNoJournal, service::ServiceError::NoJournal},
        {service::kErrorNothingToUndo, service::ServiceError::NothingToUndo},
        {service::kErrorTooManyCalls, service::ServiceError::TooManyCalls},
    };
    for (const Named& named : refusals) {
        if (Is(name, named.name)) {
            refusal = named.error;
            return CallEnd::Refused;
        }
    }
    if (Is(name, service::kErrorNotAuthorized)) return CallEnd::NotAuthorized;
    if (Is(name, service::kErrorAuthenticationRequired) ||
        Is(name, "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired")) {
        return CallEnd::AuthenticationRequired;
    }
    if (Is(name, "org.freedesktop.DBus.Error.ServiceUnknown") ||
        Is(name, "org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return CallEnd::ServiceMissing;
    }
    if (Starts(name, "org.freedesktop.DBus.Error.Spawn.") ||
        Starts(name, "org.freedesktop.systemd1.")) {
        return CallEnd::ServiceNotStarted;
    }
    if (Is(name, "org.freedesktop.DBus.Error.NoReply") ||
        Is(name, "org.freedesktop.DBus.Error.Timeout") ||
        Is(name, "org.freedesktop.DBus.Error.Disconnected")) {
        return UnansweredEnd(change);
    }
    // Another version of the service, without this call or with other arguments.
    if (Is(name, "org.freedesktop.DBus.Error.UnknownMethod") ||
        Is(name, "org.freedesktop.DBus.Error.InvalidArgs")) {
        return CallEnd::BadReply;
    }
    return CallEnd::Failed;
}

const char* MethodName(service::ServiceMethod method) {
    using service::ServiceMethod;
    switch (method) {
        case ServiceMethod::List:
            return "List";
        case ServiceMethod::Status:
            return "Status";
        case ServiceMethod::Set:
            return "Set";
        case ServiceMethod::Write:
            return "Write";
        case ServiceMethod::Backup:
            return "Backup";
        case ServiceMethod::Restore:
            return "Restore";
        case ServiceMethod::History:
            return "History";
        case ServiceMethod::Undo:
            return "Undo";
    }
    return "Status";
}

}  // namespace vardel::service_client
