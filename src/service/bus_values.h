#pragma once
// Writing a reply's values into a D-Bus message: one dictionary of string keys and variant values
// (a{sv}), nested where a value is itself a dictionary or a list of them. A text that is not UTF-8
// (a disk's vendor as sysfs gives it) goes with '?' for each byte beyond ASCII: the bus takes no
// other, and libdbus ends the process on an invalid one.

#include <dbus/dbus.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vardel::service {

class DictWriter {
  public:
    // Opens an a{sv} inside `parent`; Close (or the destructor) closes it.
    explicit DictWriter(DBusMessageIter* parent);
    ~DictWriter();
    DictWriter(const DictWriter&) = delete;
    DictWriter& operator=(const DictWriter&) = delete;

    void Bool(const char* key, bool value);
    void Byte(const char* key, std::uint8_t value);
    void Uint(const char* key, std::uint32_t value);
    void Int(const char* key, std::int32_t value);
    void Text(const char* key, const std::string& value);
    void Bytes(const char* key, const std::uint8_t* bytes, std::size_t count);
    void Texts(const char* key, const std::vector<std::string>& values);

    // A nested dictionary under `key`: `fill` writes into it.
    template <typename Fill>
    void Dict(const char* key, Fill fill) {
        DBusMessageIter variant;
        if (!OpenValue(key, "a{sv}", variant)) return;
        {
            DictWriter inner(&variant);
            fill(inner);
            ok_ = ok_ && inner.Close();
        }
        CloseValue(variant);
    }

    // A list of dictionaries under `key`, one for each of `items`, written by `fill(writer, item)`.
    template <typename Items, typename Fill>
    void Dicts(const char* key, const Items& items, Fill fill) {
        DBusMessageIter variant;
        if (!OpenValue(key, "aa{sv}", variant)) return;
        DBusMessageIter array;
        if (!dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "a{sv}", &array)) {
            ok_ = false;
        } else {
            for (const auto& item : items) {
                DictWriter inner(&array);
                fill(inner, item);
                ok_ = ok_ && inner.Close();
            }
            ok_ = dbus_message_iter_close_container(&variant, &array) && ok_;
        }
        CloseValue(variant);
    }

    // False when the message ran out of memory somewhere inside.
    bool Close();

  private:
    bool OpenValue(const char* key, const char* signature, DBusMessageIter& variant);
    void CloseValue(DBusMessageIter& variant);
    void Basic(const char* key, int type, const char* signature, const void* value);

    DBusMessageIter* parent_;
    DBusMessageIter array_;
    DBusMessageIter entry_;
    bool open_ = false;
    bool ok_ = true;
};

// `text` when it is UTF-8 without NUL; otherwise with each NUL and byte beyond ASCII as '?'.
std::string ValidUtf8(const std::string& text);

}  // namespace vardel::service
