#include "service/bus_values.h"

namespace vardel::service {

DictWriter::DictWriter(DBusMessageIter* parent) : parent_(parent) {
    open_ = dbus_message_iter_open_container(parent_, DBUS_TYPE_ARRAY, "{sv}", &array_) != 0;
    ok_ = open_;
}

DictWriter::~DictWriter() {
    Close();
}

bool DictWriter::Close() {
    if (open_) {
        ok_ = dbus_message_iter_close_container(parent_, &array_) && ok_;
        open_ = false;
    }
    return ok_;
}

bool DictWriter::OpenValue(const char* key, const char* signature, DBusMessageIter& variant) {
    if (!ok_) return false;
    if (!dbus_message_iter_open_container(&array_, DBUS_TYPE_DICT_ENTRY, nullptr, &entry_) ||
        !dbus_message_iter_append_basic(&entry_, DBUS_TYPE_STRING, &key) ||
        !dbus_message_iter_open_container(&entry_, DBUS_TYPE_VARIANT, signature, &variant)) {
        ok_ = false;
        return false;
    }
    return true;
}

void DictWriter::CloseValue(DBusMessageIter& variant) {
    ok_ = dbus_message_iter_close_container(&entry_, &variant) && ok_;
    ok_ = dbus_message_iter_close_container(&array_, &entry_) && ok_;
}

void DictWriter::Basic(const char* key, int type, const char* signature, const void* value) {
    DBusMessageIter variant;
    if (!OpenValue(key, signature, variant)) return;
    ok_ = dbus_message_iter_append_basic(&variant, type, value) && ok_;
    CloseValue(variant);
}

void DictWriter::Bool(const char* key, bool value) {
    const dbus_bool_t truth = value ? TRUE : FALSE;
    Basic(key, DBUS_TYPE_BOOLEAN, "b", &truth);
}

void DictWriter::Byte(const char* key, std::uint8_t value) {
    Basic(key, DBUS_TYPE_BYTE, "y", &value);
}

void DictWriter::Uint(const char* key, std::uint32_t value) {
    const dbus_uint32_t number = value;
    Basic(key, DBUS_TYPE_UINT32, "u", &number);
}

void DictWriter::Int(const char* key, std::int32_t value) {
    const dbus_int32_t number = value;
    Basic(key, DBUS_TYPE_INT32, "i", &number);
}

void DictWriter::Text(const char* key, const std::string& value) {
    const std::string valid = ValidUtf8(value);
    const char* text = valid.c_str();
    Basic(key, DBUS_TYPE_STRING, "s", &text);
}

void DictWriter::Bytes(const char* key, const std::uint8_t* bytes, std::size_t count) {
    DBusMessageIter variant;
    if (!OpenValue(key, "ay", variant)) return;
    DBusMessageIter array;
    if (!dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "y", &array)) {
        ok_ = false;
    } else {
        ok_ = dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_BYTE, &bytes,
                                                   static_cast<int>(count)) &&
              ok_;
        ok_ = dbus_message_iter_close_container(&variant, &array) && ok_;
    }
    CloseValue(variant);
}

void DictWriter::Texts(const char* key, const std::vector<std::string>& values) {
    DBusMessageIter variant;
    if (!OpenValue(key, "as", variant)) return;
    DBusMessageIter array;
    if (!dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "s", &array)) {
        ok_ = false;
    } else {
        for (const std::string& value : values) {
            const std::string valid = ValidUtf8(value);
            const char* text = valid.c_str();
            ok_ = dbus_message_iter_append_basic(&array, DBUS_TYPE_STRING, &text) && ok_;
        }
        ok_ = dbus_message_iter_close_container(&variant, &array) && ok_;
    }
    CloseValue(variant);
}

std::string ValidUtf8(const std::string& text) {
    if (text.find('\0') == std::string::npos && dbus_validate_utf8(text.c_str(), nullptr)) {
        return text;
    }
    // Not UTF-8 as a whole: only its plain ASCII is sure to mean what it says.
    std::string plain = text;
    for (char& c : plain) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return plain;
}

}  // namespace vardel::service
