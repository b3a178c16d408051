#pragma once
// A service reply's body read back into the service's reply record (docs/service.md, "Replies").

#include <dbus/dbus.h>

#include "service/service_request.h"

namespace vardel::service_client {

// Fills what `request`'s method answers: the outcome, the failed command's nodes, the rights and
// the journal's problem, and the method's own keys (List's drives and disks not opened; Backup's
// document and blocks; Restore's and Undo's block as read; Undo's change put back and its file;
// History's changes, their files and the journal's folder). False when a field is missing, of
// another type, or the body holds more.
bool ReadReply(DBusMessage* message, const service::ServiceRequest& request,
               service::ServiceReply& reply);

}  // namespace vardel::service_client
