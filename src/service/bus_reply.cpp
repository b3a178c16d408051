#include "service/bus_reply.h"

#include <cstring>

#include "frontend_common/serial_text.h"
#include "service/bus_names.h"
#include "service/bus_values.h"
#include "service/outcome_fields.h"

namespace vardel::service {
namespace {

std::string LetterText(char letter) {
    return letter != 0 ? std::string(1, letter) : std::string();
}

// The outcome's table (outcome_fields.h) written into a dictionary.
class OutcomeWriter {
  public:
    explicit OutcomeWriter(DictWriter& dict) : dict_(dict) {}

    template <typename Number>
    void Enum(const char* key, const Number& value) {
        dict_.Uint(key, static_cast<std::uint32_t>(value));
    }
    void Bool(const char* key, const bool& value) { dict_.Bool(key, value); }
    void Byte(const char* key, const std::uint8_t& value) { dict_.Byte(key, value); }
    void Uint(const char* key, const std::uint32_t& value) { dict_.Uint(key, value); }
    void Int(const char* key, const std::int32_t& value) { dict_.Int(key, value); }
    void Letter(const char* key, const char& letter) { dict_.Text(key, LetterText(letter)); }
    template <std::size_t Size>
    void Bytes(const char* key, const std::uint8_t (&bytes)[Size], const std::uint8_t& length) {
        dict_.Bytes(key, bytes, length < Size ? length : Size);
    }
    template <typename Record, typename Fill>
    void Dict(const char* key, const Record& record, Fill fill) {
        dict_.Dict(key, [&record, &fill](DictWriter& inner) {
            OutcomeWriter writer(inner);
            fill(record, writer);
        });
    }

  private:
    DictWriter& dict_;
};

void WriteOutcome(DictWriter& dict, const CommandOutcome& outcome) {
    OutcomeWriter writer(dict);
    OutcomeFields(outcome, writer);
}

void WriteDisk(DictWriter& dict, const frontend::DiskDescription& disk) {
    dict.Texts("paths", disk.paths);
    dict.Text("vendor", disk.vendor);
    dict.Text("product", disk.product);
    dict.Text("revision", disk.revision);
    dict.Bool("notOnUsb", disk.notOnUsb);
}

void WriteDrive(DictWriter& dict, const ServiceDrive& drive) {
    const ListedDevice& listed = drive.listed;
    dict.Text("serial", drive.serial);
    dict.Text("serialKey", frontend::SerialTextOf(listed.key));
    dict.Bytes("key", listed.key.bytes, kDeviceKeySize);
    dict.Bool("addressKnown", listed.physical.addressKnown);
    dict.Byte("port", listed.physical.port);
    dict.Byte("path", listed.physical.path);
    dict.Byte("targetId", listed.physical.target);
    dict.Text("target", LetterText(listed.target));
    dict.Bytes("identity", listed.identity, kVendorBlockSize);
    const ServiceDrive* const self = &drive;
    struct Lun {
        std::size_t index;
    };
    const Lun luns[] = {{0}, {1}};
    dict.Dicts("luns", luns, [self](DictWriter& inner, const Lun& lun) {
        const ListedDevice& device = self->listed;
        inner.Text("letter", LetterText(device.lunSlots[lun.index]));
        inner.Bool("inquiryRead", device.inquiryRead[lun.index]);
        inner.Bytes("inquiry", device.inquiry[lun.index], kInquiryLength);
        inner.Dict("disk",
                   [self, &lun](DictWriter& disk) { WriteDisk(disk, self->disks[lun.index]); });
    });
}

void WriteEntry(DictWriter& dict, const frontend::JournalEntry& entry) {
    dict.Text("time", entry.time);
    dict.Text("command", entry.command);
    dict.Text("tool", entry.tool);
    dict.Text("serial", entry.serial);
    dict.Text("target", LetterText(entry.target));
    dict.Bytes("identity", entry.identity, kVendorBlockSize);
    dict.Bytes("asRead", entry.asRead, kVendorBlockSize);
    dict.Bytes("written", entry.written, kVendorBlockSize);
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
            dict.Bool("noRights", reply.noRights);
            return dict.Close();
        case ServiceMethod::History:
            dict.Dicts("history", reply.history, WriteEntry);
            return dict.Close();
        case ServiceMethod::Backup:
            dict.Text("document", reply.document);
            break;
        case ServiceMethod::Restore:
        case ServiceMethod::Undo:
            dict.Bool("blockRead", reply.blockRead);
            if (reply.blockRead) dict.Bytes("asRead", reply.asRead, kVendorBlockSize);
            if (reply.hasUndone) {
                dict.Dict("undone",
                          [&reply](DictWriter& inner) { WriteEntry(inner, reply.undone); });
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
        case ServiceError::None:
            break;
    }
    return kErrorFailed;
}

}  // namespace vardel::service
