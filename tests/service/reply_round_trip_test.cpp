// A reply as the service writes it and as a client reads it back: every field of a command's
// outcome must come back as it went, and a reply that is not the service's must be refused whole.

#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

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
           a.scan.withSignature == b.scan.withSignature &&
           a.scan.unanswered == b.scan.unanswered &&
           a.scan.unansweredWithSignature == b.scan.unansweredWithSignature &&
           std::equal(std::begin(a.scan.unansweredStatus), std::end(a.scan.unansweredStatus),
                      std::begin(b.scan.unansweredStatus));
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
    outcome.scan = {true, 4, 3, 1, 0, 0, {}};
    // F showed the signature and failed its identity read; G did not open.
    outcome.scan.unanswered = (1u << 5) | (1u << 6);
    outcome.scan.unansweredWithSignature = 1u << 5;
    outcome.scan.unansweredStatus[5] = -2;
    outcome.scan.unansweredStatus[6] = 16;
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

// Distinct bytes in every place, so that a block read into the wrong field shows.
void Fill(std::uint8_t* bytes, std::size_t size, std::uint8_t seed) {
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
}

frontend::JournalEntry Entry(std::uint8_t seed) {
    frontend::JournalEntry entry;
    entry.time = "2026-12-11T01:23:45Z";
    entry.command = "restore";
    entry.tool = "vardelctl 1.0.0.3";
    entry.serial = "VD0000000001";
    entry.target = 'F';
    Fill(entry.identity, kVendorBlockSize, seed);
    Fill(entry.asRead, kVendorBlockSize, static_cast<std::uint8_t>(seed + 1));
    Fill(entry.written, kVendorBlockSize, static_cast<std::uint8_t>(seed + 2));
    entry.key = ExtractDeviceKey(entry.identity);
    return entry;
}

bool SameEntry(const frontend::JournalEntry& a, const frontend::JournalEntry& b) {
    return a.time == b.time && a.command == b.command && a.tool == b.tool &&
           a.serial == b.serial && a.target == b.target &&
           std::memcmp(a.identity, b.identity, kVendorBlockSize) == 0 &&
           std::memcmp(a.asRead, b.asRead, kVendorBlockSize) == 0 &&
           std::memcmp(a.written, b.written, kVendorBlockSize) == 0 &&
           std::memcmp(a.key.bytes, b.key.bytes, kDeviceKeySize) == 0;
}

ServiceReply RoundTrip(ServiceMethod method, const ServiceReply& sent) {
    ServiceRequest request;
    request.method = method;
    Message body;
    EXPECT_TRUE(AppendReply(body.message, request, sent));
    ServiceReply read;
    EXPECT_TRUE(service_client::ReadReply(body.message, request, read));
    return read;
}

TEST(ReplyRoundTrip, AListedDriveComesBackAsTheListingShowsIt) {
    ServiceReply sent;
    sent.listingCode = OutcomeCode::Done;
    sent.driveCount = 3;  // one beyond those held
    for (std::uint8_t j = 0; j < 2; ++j) {
        ServiceDrive drive{};
        ListedDevice& listed = drive.listed;
        Fill(listed.identity, kVendorBlockSize, j);
        listed.key = ExtractDeviceKey(listed.identity);
        listed.physical = {true, static_cast<std::uint8_t>(j + 1), 2, 3, listed.key};
        listed.lunSlots[0] = static_cast<char>('E' + 2 * j);
        listed.lunSlots[1] = static_cast<char>('F' + 2 * j);
        listed.target = listed.lunSlots[1];
        listed.inquiryRead[1] = true;
        Fill(listed.inquiry[1], kInquiryLength, static_cast<std::uint8_t>(j + 9));
        drive.serial = j == 0 ? "VD0000000001" : "";
        drive.disks[1].paths = {"/dev/sdf", "/dev/sg5"};
        drive.disks[1].vendor = "VARDEL";
        drive.disks[0].notOnUsb = j == 1;
        sent.drives.push_back(drive);
    }
    ServiceRefusedDisk refused;
    refused.letter = 'C';
    refused.described = true;
    refused.disk.paths = {"/dev/sdc"};
    sent.notOpened = {refused};
    sent.noRights = true;
    sent.noRightsDisks = 1;

    const ServiceReply read = RoundTrip(ServiceMethod::List, sent);
    EXPECT_EQ(read.driveCount, 3);
    ASSERT_EQ(read.drives.size(), 2u);
    for (std::size_t j = 0; j < 2; ++j) {
        const ServiceDrive& a = sent.drives[j];
        const ServiceDrive& b = read.drives[j];
        EXPECT_EQ(b.serial, a.serial);
        EXPECT_EQ(std::memcmp(b.listed.identity, a.listed.identity, kVendorBlockSize), 0);
        EXPECT_EQ(std::memcmp(b.listed.key.bytes, a.listed.key.bytes, kDeviceKeySize), 0);
        EXPECT_EQ(std::memcmp(b.listed.physical.key.bytes, a.listed.key.bytes, kDeviceKeySize),
                  0);
        EXPECT_EQ(b.listed.physical.port, a.listed.physical.port);
        EXPECT_TRUE(b.listed.physical.addressKnown);
        EXPECT_EQ(std::string(b.listed.lunSlots, 2), std::string(a.listed.lunSlots, 2));
        EXPECT_EQ(b.listed.target, a.listed.target);
        EXPECT_EQ(b.listed.inquiryRead[1], true);
        EXPECT_EQ(std::memcmp(b.listed.inquiry[1], a.listed.inquiry[1], kInquiryLength), 0);
        EXPECT_EQ(b.disks[1].paths, a.disks[1].paths);
        EXPECT_EQ(b.disks[1].vendor, "VARDEL");
        EXPECT_EQ(b.disks[0].notOnUsb, a.disks[0].notOnUsb);
    }
    ASSERT_EQ(read.notOpened.size(), 1u);
    EXPECT_EQ(read.notOpened[0].letter, 'C');
    EXPECT_EQ(read.notOpened[0].disk.paths, refused.disk.paths);
    EXPECT_EQ(read.noRightsDisks, 1);
}

TEST(ReplyRoundTrip, JournalEntriesAndABackupsBlocksComeBackWhole) {
    ServiceReply history;
    history.history = {Entry(1), Entry(40)};
    history.historyFiles = {"/var/lib/vardel/journal/a.json", "/var/lib/vardel/journal/b.json"};
    history.journalFolder = "/var/lib/vardel/journal";
    const ServiceReply readHistory = RoundTrip(ServiceMethod::History, history);
    ASSERT_EQ(readHistory.history.size(), 2u);
    EXPECT_TRUE(SameEntry(readHistory.history[1], history.history[1]));
    EXPECT_EQ(readHistory.historyFiles, history.historyFiles);
    EXPECT_EQ(readHistory.journalFolder, history.journalFolder);

    ServiceReply undo = FailedWrite();
    undo.outcome.command = CommandKind::Undo;
    undo.blockRead = true;
    Fill(undo.asRead, kVendorBlockSize, 5);
    undo.hasUndone = true;
    undo.undone = Entry(77);
    undo.journalFile = "/var/lib/vardel/journal/VD0000000001.json";
    const ServiceReply readUndo = RoundTrip(ServiceMethod::Undo, undo);
    EXPECT_TRUE(readUndo.hasUndone);
    EXPECT_TRUE(SameEntry(readUndo.undone, undo.undone));
    EXPECT_EQ(readUndo.journalFile, undo.journalFile);
    EXPECT_EQ(std::memcmp(readUndo.asRead, undo.asRead, kVendorBlockSize), 0);

    ServiceReply backup;
    backup.outcome.command = CommandKind::Backup;
    backup.outcome.code = OutcomeCode::Done;
    backup.document = "{}";
    backup.hasBackup = true;
    Fill(backup.backup.info, kVendorBlockSize, 3);
    Fill(backup.backup.identity, kVendorBlockSize, 4);
    Fill(backup.backup.inquiry, kInquiryLength, 6);
    backup.backup.key = ExtractDeviceKey(backup.backup.identity);
    backup.backup.lun0Letter = 'E';
    backup.backup.lun1Letter = 'F';
    backup.backup.target = 'F';
    const ServiceReply readBackup = RoundTrip(ServiceMethod::Backup, backup);
    ASSERT_TRUE(readBackup.hasBackup);
    const BlockBackup& a = backup.backup;
    const BlockBackup& b = readBackup.backup;
    EXPECT_EQ(std::memcmp(b.info, a.info, kVendorBlockSize), 0);
    EXPECT_EQ(std::memcmp(b.identity, a.identity, kVendorBlockSize), 0);
    EXPECT_EQ(std::memcmp(b.inquiry, a.inquiry, kInquiryLength), 0);
    EXPECT_EQ(std::memcmp(b.key.bytes, a.key.bytes, kDeviceKeySize), 0);
    EXPECT_EQ(std::string({b.lun0Letter, b.lun1Letter, b.target}), "EFF");
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
