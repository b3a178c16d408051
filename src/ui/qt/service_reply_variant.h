#pragma once
// A service reply's body as QtDBus gives it (an a{sv} as a QVariantMap, nested dictionaries as
// QDBusArgument) read back into the service's reply record, through the same field table the
// service writes it with (service/outcome_fields.h).

#include <QVariant>

#include "service/service_request.h"

namespace vardel::qt {

// Fills what `request`'s method answers for the window (Status, Set, Write): the outcome, the
// failed command's nodes, the rights and the journal's problem. False when a field is missing or
// of another type, or a value does not fit its record.
bool ReadReplyVariant(const QVariant& body, const service::ServiceRequest& request,
                      service::ServiceReply& reply);

}  // namespace vardel::qt
