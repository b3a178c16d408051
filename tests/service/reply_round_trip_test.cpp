// A reply as the service writes it and as a client reads it back: every field of a command's
// outcome must come back as it went, and a reply that is not the service's must be refused whole.

#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <cstring>

#include "service/bus_reply.h"
#include "service/bus_values.h"
#include "service_client/reply_decoding.h"

namespace vardel::service {
namespace {

bool SameDetail(const CommandDetail& a, const CommandDetail& b) {
    return a.command == b.command && a.letter == b.letter && a.opened == b.opened &&
           a.delivered == b.delivered && a.systemError == b.systemError &&
           a.scsiStatus == b.scsiStatus && a.senseLength == b.senseLength &&
           std::memcmp(a.sense, b.sense, a.senseLength) == 0 &&
           a.bytesRequested == b.bytesRequested && a.bytesMoved == b.bytesMoved;
}

// A field the table lost would come back as its default: none is at its default here.
bool SameOutcome(const CommandOutcome& a, const CommandOutcome& b) {
    return a.command == b.command && a.code == b.code && a.target == b.target &&
           a.driveStatus == b.driveStatus && a.swapped == b.swapped &&
           a.typesKnown == b.typesKnown && a.types.lun0 == b.types.lun0 &&
           a.types.lun1 == b.types.lun1 && a.changed == b.changed && a.row == b.row &&
           a.requestedType == b.requestedType && a.beforeKnown == b.beforeKnown &&
           a.before.lun0 == b.before.lun0 && a.before.lun1 == b.before.lun1 &&
           a.writeSkipped == b.writeSkipped && a.unchanged == b.unchanged &&
           SameDetail(a.failedCommand, b.failedCommand) && a.scan.done == b.scan.done &&
           a.scan.letters == b.scan.letters && a.scan.answeredInquiry == b.scan.answeredInquiry &&
           a.scan.withSignature == b.scan.withSignature;
}

// An outcome with no field at its default, a failed write's detail with sense data among them.
ServiceReply FailedWrite() {
    ServiceReply reply;
    CommandOutcome& outcome = reply.outcome;
    outcome.command = CommandKind::WriteRaw;
    outcome.code = OutcomeCode::NotConfirmed;
    outcome.target = 'F';
    outcome.driveStatus = -3;
    outcome.swapped = true;
    outcome.typesKnown = true;
    outcome.types = {0xA1, 0x07};
    outcome.changed = true;
    outcome.row = LunRow::Lun1;
    outcome.requestedType = 0xA1;
    outcome.beforeKnown = true;
    outcome.before = {0x00, 0xA1};
    outcome.writeSkipped = true;
    outcome.unchanged = true;
    CommandDetail& detail = outcome.failedCommand;
    std::memset(&detail, 0, sizeof(detail));
    detail.command = DeviceCommand::ReadIdentityBlock;
    detail.letter = 'F';
    detail.opened = true;
    detail.delivered = true;
    detail.systemError = 5;
    detail.scsiStatus = 0x02;
    detail.senseLength = 18;
    for (std::uint8_t i = 0; i < detail.senseLength; ++i) detail.sense[i] = 0x70 + i;
    detail.bytesRequested = 528;
    detail.bytesMoved = 512;
    outcome.scan = {true, 4, 3, 1};
    reply.failedPaths = {"/dev/sdf", "/dev/sg5"};
    reply.noRights = true;
    reply.noRightsDisks = 2;
    reply.journalProblem = "/var/lib/vardel/journal: No space left on device";
    return reply;
}

struct Message {
    DBusMessage* message = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_RETURN);
    ~Message() { dbus_message_unref(message); }
};

TEST(ReplyRoundTrip, EveryFieldOfTheOutcomeComesBackAsItWent) {
    for (const ServiceMethod method :
         {ServiceMethod::Status, ServiceMethod::Set, ServiceMethod::Write}) {
        ServiceRequest request;
        request.method = method;
        const ServiceReply sent = FailedWrite();
        Message body;
        ASSERT_TRUE(AppendReply(body.message, request, sent));
        ServiceReply read;
        ASSERT_TRUE(service_client::ReadReply(body.message, request, read));
        EXPECT_TRUE(SameOutcome(sent.outcome, read.outcome));
        EXPECT_EQ(read.failedPaths, sent.failedPaths);
        EXPECT_EQ(read.noRights, sent.noRights);
        EXPECT_EQ(read.noRightsDisks, sent.noRightsDisks);
        EXPECT_EQ(read.journalProblem, sent.journalProblem);
    }
}

TEST(ReplyRoundTrip, AReplyThatIsNotTheServicesIsRefusedWhole) {
    ServiceRequest request;
    request.method = ServiceMethod::Status;
    struct Case {
        const char* what;
        void (*fill)(DBusMessage*);
    } const cases[] = {
        {"no body", [](DBusMessage*) {}},
        {"no outcome",
         [](DBusMessage* message) {
             DBusMessageIter iter;
             dbus_message_iter_init_append(message, &iter);
             DictWriter dict(&iter);
             dict.Texts("failedPaths", {});
             dict.Bool("noRights", false);
             dict.Int("noRightsDisks", 0);
         }},
        {"a field of another type",
         [](DBusMessage* message) {
             DBusMessageIter iter;
             dbus_message_iter_init_append(message, &iter);
             DictWriter dict(&iter);
             dict.Dict("outcome", [](DictWriter&) {});
             dict.Text("failedPaths", "/dev/sdf");
             dict.Bool("noRights", false);
             dict.Int("noRightsDisks", 0);
         }},
        {"a second argument",
         [](DBusMessage* message) {
             ServiceRequest status;
             AppendReply(message, status, FailedWrite());
             const char* more = "more";
             dbus_message_append_args(message, DBUS_TYPE_STRING, &more, DBUS_TYPE_INVALID);
         }},
    };
    for (const Case& c : cases) {
        Message body;
        c.fill(body.message);
        ServiceReply read;
        EXPECT_FALSE(service_client::ReadReply(body.message, request, read)) << c.what;
    }
}

}  // namespace
}  // namespace vardel::service
