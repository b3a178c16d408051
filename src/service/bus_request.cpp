#include "service/bus_request.h"

#include <cstring>

namespace vardel::service {
namespace {

struct MethodShape {
    const char* member;
    ServiceMethod method;
    const char* signature;
};

constexpr MethodShape kMethods[] = {
    {"List", ServiceMethod::List, "s"},       {"Status", ServiceMethod::Status, "s"},
    {"Set", ServiceMethod::Set, "suub"},      {"Write", ServiceMethod::Write, "sssb"},
    {"Backup", ServiceMethod::Backup, "s"},   {"Restore", ServiceMethod::Restore, "ssbb"},
    {"History", ServiceMethod::History, "s"}, {"Undo", ServiceMethod::Undo, "sbb"},
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
    if (!dbus_message_has_signature(message, shape->signature)) {
        problem = std::string(shape->member) + " takes (" + shape->signature + "), not (" +
                  dbus_message_get_signature(message) + ")";
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
            break;
        case ServiceMethod::Undo:
            request.allowNoSerial = TakeTruth(at);
            request.dryRun = TakeTruth(at);
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
