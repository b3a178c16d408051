// A build without the system's D-Bus library: the drives are reached directly.
#include "service_client/service_client.h"

namespace vardel::service_client {

bool ServiceIsDefault() {
    return false;
}

CallResult CallService(const service::ServiceRequest&) {
    CallResult result;
    result.end = CallEnd::NoClient;
    result.message = "this build cannot reach the drive service";
    return result;
}

}  // namespace vardel::service_client
