#pragma once
// Reading a reply's a{sv} back into the records the service wrote it from. Each field must be
// there with the type the service gives it; anything else makes the whole reply unreadable, and
// the caller trusts none of it.

#include <dbus/dbus.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vardel::service_client {

class DictReader {
  public:
    // `iter` is at an a{sv}; the message must outlive the reader.
    explicit DictReader(DBusMessageIter* iter);

    template <typename Named>
    void Enum(const char* key, Named& value) {
        std::uint32_t number = 0;
        Uint(key, number);
        value = static_cast<Named>(number);
    }
    void Bool(const char* key, bool& value);
    void Byte(const char* key, std::uint8_t& value);
    void Uint(const char* key, std::uint32_t& value);
    void Int(const char* key, std::int32_t& value);
    void Letter(const char* key, char& letter);
    void Text(const char* key, std::string& value);
    void Texts(const char* key, std::vector<std::string>& values);
    // Up to `Size` bytes; more is a bad reply.
    template <std::size_t Size>
    void Bytes(const char* key, std::uint8_t (&bytes)[Size], std::uint8_t& length) {
        std::size_t count = 0;
        ByteArray(key, bytes, Size, count);
        length = static_cast<std::uint8_t>(count);
    }
    // Exactly `size` bytes.
    void FixedBytes(const char* key, std::uint8_t* bytes, std::size_t size);
    template <typename Record, typename Fill>
    void Dict(const char* key, Record& record, Fill fill) {
        DBusMessageIter inner;
        if (!Value(key, DBUS_TYPE_ARRAY, inner)) return;
        DictReader reader(&inner);
        fill(record, reader);
        ok_ = ok_ && reader.Ok();
    }

    // A list of dictionaries under `key`, exactly `count` of them: `fill(index, reader)` reads each.
    template <typename Fill>
    void Slots(const char* key, std::size_t count, Fill fill) {
        std::vector<DBusMessageIter> items;
        if (!Items(key, items)) return;
        if (items.size() != count) {
            ok_ = false;
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            DictReader reader(&items[i]);
            fill(i, reader);
            ok_ = ok_ && reader.Ok();
        }
    }
    // A list of dictionaries under `key`, as many records: `fill(record, reader)` reads each.
    template <typename Record, typename Fill>
    void Records(const char* key, std::vector<Record>& records, Fill fill) {
        std::vector<DBusMessageIter> items;
        records.clear();
        if (!Items(key, items)) return;
        records.resize(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            DictReader reader(&items[i]);
            fill(records[i], reader);
            ok_ = ok_ && reader.Ok();
        }
    }

    bool Has(const char* key) const { return values_.count(key) != 0; }
    // False once a field was missing or not of its type.
    bool Ok() const { return ok_; }

  private:
    bool Value(const char* key, int type, DBusMessageIter& value);
    void Basic(const char* key, int type, void* value);
    void ByteArray(const char* key, std::uint8_t* bytes, std::size_t room, std::size_t& count);
    // The elements of the aa{sv} under `key`, each at its a{sv}.
    bool Items(const char* key, std::vector<DBusMessageIter>& items);

    std::map<std::string, DBusMessageIter> values_;
    bool ok_ = true;
};

}  // namespace vardel::service_client
