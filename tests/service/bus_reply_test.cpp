// The service's replies as D-Bus messages: texts the system hands over unchecked (a disk's vendor
// from sysfs) must reach the bus as UTF-8, or libdbus would end the service.

#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <string>

#include "service/bus_reply.h"
#include "service/bus_values.h"

namespace vardel::service {
namespace {

TEST(ValidUtf8, KeepsUtf8AndMarksEveryOtherByte) {
    struct Case {
        std::string text;
        std::string sent;
    } const cases[] = {
        {"VARDEL  ", "VARDEL  "},
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"},  // UTF-8 stays
        {"AB\xff\xfe", "AB??"},
        {"\xe4\xb8", "??"},  // a character cut short
        {std::string("A\0B", 3), "A?B"},
        {"\xe4\xb8\xad\xff",
         "???"
         "?"},  // not UTF-8 as a whole: only ASCII is kept
    };
    for (const Case& c : cases) EXPECT_EQ(ValidUtf8(c.text), c.sent);
}

// The first string under "vendor" anywhere in the message.
std::string FindVendor(DBusMessageIter& at) {
    do {
        const int type = dbus_message_iter_get_arg_type(&at);
        if (type == DBUS_TYPE_DICT_ENTRY) {
            DBusMessageIter entry;
            dbus_message_iter_recurse(&at, &entry);
            const char* key = nullptr;
            dbus_message_iter_get_basic(&entry, &key);
            dbus_message_iter_next(&entry);
            DBusMessageIter value;
            dbus_message_iter_recurse(&entry, &value);
            if (std::string(key) == "vendor") {
                const char* text = nullptr;
                dbus_message_iter_get_basic(&value, &text);
                return text;
            }
            const std::string inner = FindVendor(value);
            if (!inner.empty()) return inner;
        } else if (type == DBUS_TYPE_ARRAY || type == DBUS_TYPE_VARIANT) {
            DBusMessageIter inner;
            dbus_message_iter_recurse(&at, &inner);
            if (dbus_message_iter_get_arg_type(&inner) != DBUS_TYPE_INVALID) {
                const std::string found = FindVendor(inner);
                if (!found.empty()) return found;
            }
        }
    } while (dbus_message_iter_next(&at));
    return "";
}

TEST(AppendReply, SendsADisksTextsAsUtf8) {
    ServiceRequest request;
    request.method = ServiceMethod::List;
    ServiceReply reply;
    reply.driveCount = 1;
    reply.drives.emplace_back();
    reply.drives[0].disks[0].vendor =
        "VAR\xff"
        "DEL";
    DBusMessage* message = dbus_message_new_method_call("org.vardel.Drives1", "/org/vardel/Drives1",
                                                        "org.vardel.Drives1", "List");
    ASSERT_NE(message, nullptr);
    ASSERT_TRUE(AppendReply(message, request, reply));
    EXPECT_TRUE(dbus_message_has_signature(message, "a{sv}"));
    DBusMessageIter body;
    ASSERT_TRUE(dbus_message_iter_init(message, &body));
    EXPECT_EQ(FindVendor(body), "VAR?DEL");
    dbus_message_unref(message);
}

}  // namespace
}  // namespace vardel::service
