#include "service_client/reply_decoding.h"

#include "service/outcome_fields.h"
#include "service/record_fields.h"
#include "service_client/reply_reader.h"

namespace vardel::service_client {

using service::ServiceMethod;
namespace {

bool ReadList(DictReader& dict, service::ServiceReply& reply) {
    dict.Enum("listingCode", reply.listingCode);
    dict.Int("driveCount", reply.driveCount);
    dict.Records("drives", reply.drives, [](service::ServiceDrive& drive, DictReader& inner) {
        service::DriveFields(drive, inner);
        drive.listed.physical.key = drive.listed.key;
    });
    dict.Records("notOpened", reply.notOpened,
                 [](service::ServiceRefusedDisk& refused, DictReader& inner) {
                     service::RefusedDiskFields(refused, inner);
                 });
    dict.Bool("noRights", reply.noRights);
    dict.Int("noRightsDisks", reply.noRightsDisks);
    dict.Dict("scan", reply.outcome.scan,
              [](ScanRecord& scan, DictReader& inner) { service::ScanFields(scan, inner); });
    // A listing holds no more drives than discovery's room, and counts at least those it holds.
    return reply.drives.size() <= kMaxDevices &&
           reply.driveCount >= static_cast<int>(reply.drives.size());
}

bool ReadHistory(DictReader& dict, service::ServiceReply& reply) {
    struct Numbered {
        frontend::JournalEntry entry;
        std::string file;
    };
    std::vector<Numbered> entries;
    dict.Records("history", entries, [](Numbered& numbered, DictReader& inner) {
        service::JournalEntryFields(numbered.entry, inner);
        inner.Text("file", numbered.file);
        numbered.entry.key = ExtractDeviceKey(numbered.entry.identity);
    });
    dict.Text("journal", reply.journalFolder);
    for (Numbered& numbered : entries) {
        reply.history.push_back(numbered.entry);
        reply.historyFiles.push_back(numbered.file);
    }
    return true;
}

}  // namespace

bool ReadReply(DBusMessage* message, const service::ServiceRequest& request,
               service::ServiceReply& reply) {
    DBusMessageIter body;
    if (!dbus_message_iter_init(message, &body)) return false;
    DictReader dict(&body);
    bool whole = true;
    if (request.method == ServiceMethod::List) {
        whole = ReadList(dict, reply);
    } else if (request.method == ServiceMethod::History) {
        whole = ReadHistory(dict, reply);
    } else {
        dict.Dict("outcome", reply.outcome, [](CommandOutcome& outcome, DictReader& inner) {
            service::OutcomeFields(outcome, inner);
        });
        dict.Texts("failedPaths", reply.failedPaths);
        dict.Bool("noRights", reply.noRights);
        dict.Int("noRightsDisks", reply.noRightsDisks);
        if (dict.Has("journalProblem")) dict.Text("journalProblem", reply.journalProblem);
    }
    if (request.method == ServiceMethod::Backup) {
        dict.Text("document", reply.document);
        // A backup taken carries its blocks; a client writes its file from them.
        reply.hasBackup = reply.outcome.code == OutcomeCode::Done;
        if (reply.hasBackup) {
            dict.Dict("blocks", reply.backup,
                      [](BlockBackup& backup, DictReader& inner) {
                          service::BackupFields(backup, inner);
                      });
            reply.backup.key = ExtractDeviceKey(reply.backup.identity);
        }
    }
    if (request.method == ServiceMethod::Restore || request.method == ServiceMethod::Undo) {
        dict.Bool("blockRead", reply.blockRead);
        if (reply.blockRead) dict.FixedBytes("asRead", reply.asRead, kVendorBlockSize);
    }
    if (request.method == ServiceMethod::Undo) {
        reply.hasUndone = dict.Has("undone");
        if (reply.hasUndone) {
            dict.Dict("undone", reply.undone, [](frontend::JournalEntry& entry, DictReader& inner) {
                service::JournalEntryFields(entry, inner);
            });
            dict.Text("journalFile", reply.journalFile);
            reply.undone.key = ExtractDeviceKey(reply.undone.identity);
        }
    }
    return whole && dict.Ok() && !dbus_message_iter_next(&body);
}

}  // namespace vardel::service_client
