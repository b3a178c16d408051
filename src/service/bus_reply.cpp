#include "service/bus_reply.h"

#include <cstring>

#include "service/bus_names.h"
#include "service/bus_values.h"
#include "service/outcome_fields.h"
#include "service/record_fields.h"
#include "texts/serial_text.h"

namespace vardel::service {
namespace {

std::string LetterText(char letter) {
    return letter != 0 ? std::string(1, letter) : std::string();
}

// The records' tables (outcome_fields.h, record_fields.h) written into a dictionary.
class RecordWriter {
  public:
    explicit RecordWriter(DictWriter& dict) : dict_(dict) {}

    template <typename Number>
    void Enum(const char* key, const Number& value) {
        dict_.Uint(key, static_cast<std::uint32_t>(value));
    }
    void Bool(const char* key, const bool& value) { dict_.Bool(key, value); }
    void Byte(const char* key, const std::uint8_t& value) { dict_.Byte(key, value); }
    void Uint(const char* key, const std::uint32_t& value) { dict_.Uint(key, value); }
    void Int(const char* key, const std::int32_t& value) { dict_.Int(key, value); }
    void Letter(const char* key, const char& letter) { dict_.Text(key, LetterText(letter)); }
    void Text(const char* key, const std::string& value) { dict_.Text(key, value); }
    void Texts(const char* key, const std::vector<std::string>& values) {
        dict_.Texts(key, values);
    }
    template <std::size_t Size>
    void Bytes(const char* key, const std::uint8_t (&bytes)[Size], const std::uint8_t& length) {
        dict_.Bytes(key, bytes, length < Size ? length : Size);
    }
    void FixedBytes(const char* key, const std::uint8_t* bytes, std::size_t size) {
        dict_.Bytes(key, bytes, size);
    }
    template <typename Record, typename Fill>
    void Dict(const char* key, const Record& record, Fill fill) {
        dict_.Dict(key, [&record, &fill](DictWriter& inner) {
            RecordWriter writer(inner);
            fill(record, writer);
        });
    }
    template <typename Fill>
    void Slots(const char* key, std::size_t count, Fill fill) {
        std::vector<std::size_t> indexes(count);
        for (std::size_t i = 0; i < count; ++i) indexes[i] = i;
        dict_.Dicts(key, indexes, [&fill](DictWriter& inner, std::size_t index) {
            RecordWriter writer(inner);
            fill(index, writer);
        });
    }

  private:
    DictWriter& dict_;
};

void WriteOutcome(DictWriter& dict, const CommandOutcome& outcome) {
    RecordWriter writer(dict);
    OutcomeFields(outcome, writer);
}

void WriteDrive(DictWriter& dict, const ServiceDrive& drive) {
    RecordWriter writer(dict);
    DriveFields(drive, writer);
    // For people reading the reply; a client takes the key itself.
    dict.Text("serialKey", frontend::SerialTextOf(drive.listed.key));
}

void WriteRefusedDisk(DictWriter& dict, const ServiceRefusedDisk& refused) {
    RecordWriter writer(dict);
    RefusedDiskFields(refused, writer);
}

void WriteEntry(DictWriter& dict, const frontend::JournalEntry& entry) {
    RecordWriter writer(dict);
    JournalEntryFields(entry, writer);
}

}  // namespace

bool AppendReply(DBusMessage* message, const ServiceRequest& request, const ServiceReply& reply) {
    DBusMessageIter body;
    dbus_message_iter_init_append(message, &body);
    DictWriter dict(&body);
    switch (request.method) {
        case ServiceMethod::List:
            dict.Uint("listingCode", static_cast<std::uint32_t>(reply.listingCode));
            dict.Int("driveCount", reply.driveCount);
            dict.Dicts("drives", reply.drives, WriteDrive);
            dict.Dicts("notOpened", reply.notOpened, WriteRefusedDisk);
            dict.Bool("noRights", reply.noRights);
            dict.Int("noRightsDisks", reply.noRightsDisks);
            {
                // What the listing's scan looked at, and the disks that did not answer.
                RecordWriter writer(dict);
                writer.Dict(
                    "scan", reply.outcome.scan,
                    [](const ScanRecord& scan, RecordWriter& inner) { ScanFields(scan, inner); });
            }
            return dict.Close();
        case ServiceMethod::History: {
            struct Numbered {
                const frontend::JournalEntry* entry;
                const std::string* file;
            };
            std::vector<Numbered> entries;
            for (std::size_t i = 0; i < reply.history.size(); ++i) {
                entries.push_back({&reply.history[i], i < reply.historyFiles.size()
                                                          ? &reply.historyFiles[i]
                                                          : nullptr});
            }
            dict.Dicts("history", entries, [](DictWriter& inner, const Numbered& numbered) {
                WriteEntry(inner, *numbered.entry);
                inner.Text("file", numbered.file != nullptr ? *numbered.file : std::string());
            });
            dict.Text("journal", reply.journalFolder);
            return dict.Close();
        }
        case ServiceMethod::Backup:
            dict.Text("document", reply.document);
            if (reply.hasBackup) {
                dict.Dict("blocks", [&reply](DictWriter& inner) {
                    RecordWriter writer(inner);
                    BackupFields(reply.backup, writer);
                });
            }
            break;
        case ServiceMethod::Restore:
        case ServiceMethod::Undo:
            dict.Bool("blockRead", reply.blockRead);
            if (reply.blockRead) dict.Bytes("asRead", reply.asRead, kVendorBlockSize);
            if (reply.hasUndone) {
                dict.Dict("undone",
                          [&reply](DictWriter& inner) { WriteEntry(inner, reply.undone); });
                dict.Text("journalFile", reply.journalFile);
            }
            break;
        case ServiceMethod::Status:
        case ServiceMethod::Set:
        case ServiceMethod::Write:
            break;
    }
    dict.Dict("outcome", [&reply](DictWriter& inner) { WriteOutcome(inner, reply.outcome); });
    dict.Texts("failedPaths", reply.failedPaths);
    dict.Bool("noRights", reply.noRights);
    dict.Int("noRightsDisks", reply.noRightsDisks);
    if (!reply.journalProblem.empty()) dict.Text("journalProblem", reply.journalProblem);
    return dict.Close();
}

const char* ErrorName(ServiceError error) {
    switch (error) {
        case ServiceError::InvalidArgument:
            return kErrorInvalidArgument;
        case ServiceError::UnknownDrive:
            return kErrorUnknownDrive;
        case ServiceError::AmbiguousDrive:
            return kErrorAmbiguousDrive;
        case ServiceError::NoJournal:
            return kErrorNoJournal;
        case ServiceError::NothingToUndo:
            return kErrorNothingToUndo;
        case ServiceError::TooManyCalls:
            return kErrorTooManyCalls;
        case ServiceError::None:
            break;
    }
    return kErrorFailed;
}

}  // namespace vardel::service
