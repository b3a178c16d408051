#include "service_client/reply_decoding.h"

#include "service/outcome_fields.h"
#include "service_client/reply_reader.h"

namespace vardel::service_client {

using service::ServiceMethod;

bool ReadReply(DBusMessage* message, const service::ServiceRequest& request,
               service::ServiceReply& reply) {
    DBusMessageIter body;
    if (!dbus_message_iter_init(message, &body)) return false;
    DictReader dict(&body);
    dict.Dict("outcome", reply.outcome, [](CommandOutcome& outcome, DictReader& inner) {
        service::OutcomeFields(outcome, inner);
    });
    dict.Texts("failedPaths", reply.failedPaths);
    dict.Bool("noRights", reply.noRights);
    dict.Int("noRightsDisks", reply.noRightsDisks);
    if (dict.Has("journalProblem")) dict.Text("journalProblem", reply.journalProblem);
    if (request.method == ServiceMethod::Backup) dict.Text("document", reply.document);
    if (request.method == ServiceMethod::Restore || request.method == ServiceMethod::Undo) {
        dict.Bool("blockRead", reply.blockRead);
        if (reply.blockRead) dict.FixedBytes("asRead", reply.asRead, kVendorBlockSize);
    }
    return dict.Ok() && !dbus_message_iter_next(&body);
}

}  // namespace vardel::service_client
