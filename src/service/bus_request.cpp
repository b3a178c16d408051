#include "service/bus_request.h"

#include <cstring>

namespace vardel::service {
namespace {

struct MethodShape {
    const char* member;
    ServiceMethod method;
    const char* signature;
    // The same call with what a client adds after showing the change and asking; null: none.
    const char* confirmed;
};

constexpr MethodShape kMethods[] = {
    {"List", ServiceMethod::List, "s", nullptr},
    {"Status", ServiceMethod::Status, "s", nullptr},
    {"Set", ServiceMethod::Set, "suub", nullptr},
    {"Write", ServiceMethod::Write, "sssb", nullptr},
    {"Backup", ServiceMethod::Backup, "s", nullptr},
    {"Restore", ServiceMethod::Restore, "ssbb", "ssbbay"},
    {"History", ServiceMethod::History, "s", nullptr},
    {"Undo", ServiceMethod::Undo, "sbb", "sbbsuayb"},
};

// The next argument, a text of at most `most` bytes.
bool TakeText(DBusMessageIter& at, std::size_t most, const char* name, std::string& text,
              std::string& problem) {
    const char* value = nullptr;
    dbus_message_iter_get_basic(&at, &value);
    dbus_message_iter_next(&at);
    // The bus already holds the whole message; only its length is measured here, not copied.
    if (strnlen(value, most + 1) > most) {
        problem = std::string(name) + ": longer than " + std::to_string(most) + " bytes";
        return false;
    }
    text = value;
    return true;
}

std::uint32_t TakeNumber(DBusMessageIter& at) {
    dbus_uint32_t value = 0;
    dbus_message_iter_get_basic(&at, &value);
    dbus_message_iter_next(&at);
    return value;
}

// The next argument, a block: empty (`given` false) or exactly a whole vendor block.
bool TakeBlock(DBusMessageIter& at, const char* name, bool& given, VendorBlock& block,
               std::string& problem) {
    DBusMessageIter bytes;
    dbus_message_iter_recurse(&at, &bytes);
    const unsigned char* data = nullptr;
    int length = 0;
    dbus_message_iter_get_fixed_array(&bytes, &data, &length);
    dbus_message_iter_next(&at);
    given = length != 0;
    if (!given) return true;
    if (static_cast<std::size_t>(length) != kVendorBlockSize) {
        problem = std::string(name) + ": empty, or " + std::to_string(kVendorBlockSize) + " bytes";
        return false;
    }
    std::memcpy(block, data, kVendorBlockSize);
    return true;
}

bool TakeTruth(DBusMessageIter& at) {
    dbus_bool_t value = FALSE;
    dbus_message_iter_get_basic(&at, &value);
    dbus_message_iter_next(&at);
    return value != FALSE;
}

}  // namespace

RequestRead ReadRequest(DBusMessage* message, ServiceRequest& request, std::string& problem) {
    const char* member = dbus_message_get_member(message);
    const MethodShape* shape = nullptr;
    for (const MethodShape& candidate : kMethods) {
        if (member != nullptr && std::strcmp(member, candidate.member) == 0) shape = &candidate;
    }
    if (shape == nullptr) return RequestRead::UnknownMethod;
    const bool confirmed =
        shape->confirmed != nullptr && dbus_message_has_signature(message, shape->confirmed);
    if (!confirmed && !dbus_message_has_signature(message, shape->signature)) {
        problem = std::string(shape->member) + " takes (" + shape->signature + ")" +
                  (shape->confirmed != nullptr ? std::string(" or (") + shape->confirmed + ")"
                                               : std::string()) +
                  ", not (" + dbus_message_get_signature(message) + ")";
        return RequestRead::InvalidArguments;
    }
    request = ServiceRequest{};
    request.method = shape->method;
    DBusMessageIter at;
    dbus_message_iter_init(message, &at);
    // The first argument is the device, or History's serial.
    const bool history = shape->method == ServiceMethod::History;
    if (!TakeText(at, history ? kMaxSerialLength : kMaxDeviceNameLength,
                  history ? "serial" : "device", history ? request.serial : request.device,
                  problem)) {
        return RequestRead::InvalidArguments;
    }
    bool read = true;
    switch (shape->method) {
        case ServiceMethod::Set:
            request.lun = TakeNumber(at);
            request.type = TakeNumber(at);
            request.dryRun = TakeTruth(at);
            break;
        case ServiceMethod::Write:
            read = TakeText(at, kMaxRowTextLength, "lun0", request.lun0Text, problem) &&
                   TakeText(at, kMaxRowTextLength, "lun1", request.lun1Text, problem);
            if (read) request.dryRun = TakeTruth(at);
            break;
        case ServiceMethod::Restore:
            read = TakeText(at, kMaxBackupDocumentLength, "document", request.document, problem);
            if (read) {
                request.allowNoSerial = TakeTruth(at);
                request.dryRun = TakeTruth(at);
            }
            if (read && confirmed) {
                read = TakeBlock(at, "shown", request.shownGiven, request.shown, problem);
            }
            break;
        case ServiceMethod::Undo:
            request.allowNoSerial = TakeTruth(at);
            request.dryRun = TakeTruth(at);
            if (confirmed) {
                bool written = false;
                read = TakeText(at, kMaxTimeLength, "time", request.undoTime, problem);
                if (read) request.undoNumber = TakeNumber(at);
                read = read && TakeBlock(at, "written", written, request.undoWritten, problem);
                if (read) request.replugged = TakeTruth(at);
                // A change is named by both, or not at all.
                if (read && written != !request.undoTime.empty()) {
                    problem = "time, written: both empty, or both given";
                    read = false;
                }
                request.undoNamed = written;
            }
            break;
        case ServiceMethod::List:
        case ServiceMethod::Status:
        case ServiceMethod::Backup:
        case ServiceMethod::History:
            break;
    }
    return read ? RequestRead::Read : RequestRead::InvalidArguments;
}

}  // namespace vardel::service
