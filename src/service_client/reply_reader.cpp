#include "service_client/reply_reader.h"

#include <cstring>

namespace vardel::service_client {

DictReader::DictReader(DBusMessageIter* iter) {
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_ARRAY ||
        dbus_message_iter_get_element_type(iter) != DBUS_TYPE_DICT_ENTRY) {
        ok_ = false;
        return;
    }
    DBusMessageIter entries;
    dbus_message_iter_recurse(iter, &entries);
    while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        const char* key = nullptr;
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) {
            ok_ = false;
            return;
        }
        dbus_message_iter_get_basic(&entry, &key);
        if (!dbus_message_iter_next(&entry) ||
            dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT) {
            ok_ = false;
            return;
        }
        DBusMessageIter value;
        dbus_message_iter_recurse(&entry, &value);
        values_[key] = value;
        dbus_message_iter_next(&entries);
    }
}

bool DictReader::Value(const char* key, int type, DBusMessageIter& value) {
    const auto found = values_.find(key);
    if (found == values_.end() || dbus_message_iter_get_arg_type(&found->second) != type) {
        ok_ = false;
        return false;
    }
    value = found->second;
    return true;
}

void DictReader::Basic(const char* key, int type, void* value) {
    DBusMessageIter iter;
    if (Value(key, type, iter)) dbus_message_iter_get_basic(&iter, value);
}

void DictReader::Bool(const char* key, bool& value) {
    dbus_bool_t truth = FALSE;
    Basic(key, DBUS_TYPE_BOOLEAN, &truth);
    value = truth != FALSE;
}

void DictReader::Byte(const char* key, std::uint8_t& value) {
    unsigned char byte = 0;
    Basic(key, DBUS_TYPE_BYTE, &byte);
    value = byte;
}

void DictReader::Uint(const char* key, std::uint32_t& value) {
    dbus_uint32_t number = 0;
    Basic(key, DBUS_TYPE_UINT32, &number);
    value = number;
}

void DictReader::Int(const char* key, std::int32_t& value) {
    dbus_int32_t number = 0;
    Basic(key, DBUS_TYPE_INT32, &number);
    value = number;
}

void DictReader::Letter(const char* key, char& letter) {
    std::string text;
    Text(key, text);
    if (text.size() > 1) ok_ = false;
    letter = text.size() == 1 ? text[0] : 0;
}

void DictReader::Text(const char* key, std::string& value) {
    const char* text = nullptr;
    Basic(key, DBUS_TYPE_STRING, &text);
    value = text != nullptr ? text : "";
}

void DictReader::Texts(const char* key, std::vector<std::string>& values) {
    DBusMessageIter array;
    values.clear();
    if (!Value(key, DBUS_TYPE_ARRAY, array)) return;
    if (dbus_message_iter_get_element_type(&array) != DBUS_TYPE_STRING) {
        ok_ = false;
        return;
    }
    DBusMessageIter item;
    dbus_message_iter_recurse(&array, &item);
    while (dbus_message_iter_get_arg_type(&item) == DBUS_TYPE_STRING) {
        const char* text = nullptr;
        dbus_message_iter_get_basic(&item, &text);
        values.emplace_back(text);
        dbus_message_iter_next(&item);
    }
}

void DictReader::ByteArray(const char* key, std::uint8_t* bytes, std::size_t room,
                           std::size_t& count) {
    count = 0;
    DBusMessageIter array;
    if (!Value(key, DBUS_TYPE_ARRAY, array)) return;
    if (dbus_message_iter_get_element_type(&array) != DBUS_TYPE_BYTE) {
        ok_ = false;
        return;
    }
    DBusMessageIter item;
    dbus_message_iter_recurse(&array, &item);
    const unsigned char* data = nullptr;
    int length = 0;
    dbus_message_iter_get_fixed_array(&item, &data, &length);
    if (length < 0 || static_cast<std::size_t>(length) > room) {
        ok_ = false;
        return;
    }
    if (length > 0) std::memcpy(bytes, data, static_cast<std::size_t>(length));
    count = static_cast<std::size_t>(length);
}

bool DictReader::Items(const char* key, std::vector<DBusMessageIter>& items) {
    DBusMessageIter array;
    if (!Value(key, DBUS_TYPE_ARRAY, array)) return false;
    if (dbus_message_iter_get_element_type(&array) != DBUS_TYPE_ARRAY) {
        ok_ = false;
        return false;
    }
    DBusMessageIter item;
    dbus_message_iter_recurse(&array, &item);
    while (dbus_message_iter_get_arg_type(&item) == DBUS_TYPE_ARRAY) {
        items.push_back(item);
        dbus_message_iter_next(&item);
    }
    return true;
}

void DictReader::FixedBytes(const char* key, std::uint8_t* bytes, std::size_t size) {
    std::size_t count = 0;
    ByteArray(key, bytes, size, count);
    if (count != size) ok_ = false;
}

}  // namespace vardel::service_client
