#include "ui/qt/service_reply_variant.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QStringList>
#include <QVariantMap>

#include "service/outcome_fields.h"

namespace vardel::qt {
namespace {

// An a{sv}, nested or not, as a map; false for anything else.
bool AsMap(const QVariant& value, QVariantMap& map) {
    if (value.metaType() == QMetaType::fromType<QVariantMap>()) {
        map = value.toMap();
        return true;
    }
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{sv}")) return false;
    argument >> map;
    return true;
}

// The reader side of the field table: each field must be there with the type the service gives
// it; anything else makes the whole reply unreadable.
class VariantReader {
  public:
    explicit VariantReader(const QVariantMap& map) : map_(map) {}

    template <typename Named>
    void Enum(const char* key, Named& value) {
        std::uint32_t number = 0;
        Uint(key, number);
        value = static_cast<Named>(number);
    }
    void Bool(const char* key, bool& value) {
        const QVariant found = Take(key, QMetaType::fromType<bool>());
        value = found.toBool();
    }
    void Byte(const char* key, std::uint8_t& value) {
        const QVariant found = Take(key, QMetaType::fromType<uchar>());
        value = static_cast<std::uint8_t>(found.value<uchar>());
    }
    void Uint(const char* key, std::uint32_t& value) {
        const QVariant found = Take(key, QMetaType::fromType<uint>());
        value = found.toUInt();
    }
    void Int(const char* key, std::int32_t& value) {
        const QVariant found = Take(key, QMetaType::fromType<int>());
        value = found.toInt();
    }
    void Text(const char* key, std::string& value) {
        const QVariant found = Take(key, QMetaType::fromType<QString>());
        value = found.toString().toStdString();
    }
    void Letter(const char* key, char& letter) {
        std::string text;
        Text(key, text);
        if (text.size() > 1) ok_ = false;
        letter = text.size() == 1 ? text[0] : 0;
    }
    void Texts(const char* key, std::vector<std::string>& values) {
        const QVariant found = Take(key, QMetaType::fromType<QStringList>());
        values.clear();
        for (const QString& text : found.toStringList()) values.push_back(text.toStdString());
    }
    // Up to `Size` bytes; more is a bad reply.
    template <std::size_t Size>
    void Bytes(const char* key, std::uint8_t (&bytes)[Size], std::uint8_t& length) {
        const QByteArray found = Take(key, QMetaType::fromType<QByteArray>()).toByteArray();
        if (static_cast<std::size_t>(found.size()) > Size) {
            ok_ = false;
            length = 0;
            return;
        }
        for (qsizetype i = 0; i < found.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(found[i]);
        }
        length = static_cast<std::uint8_t>(found.size());
    }
    template <typename Record, typename Fill>
    void Dict(const char* key, Record& record, Fill fill) {
        QVariantMap inner;
        if (!map_.contains(QLatin1String(key)) || !AsMap(map_.value(QLatin1String(key)), inner)) {
            ok_ = false;
            return;
        }
        VariantReader reader(inner);
        fill(record, reader);
        ok_ = ok_ && reader.Ok();
    }

    bool Has(const char* key) const { return map_.contains(QLatin1String(key)); }
    bool Ok() const { return ok_; }

  private:
    QVariant Take(const char* key, QMetaType type) {
        const auto found = map_.constFind(QLatin1String(key));
        if (found == map_.constEnd() || found->metaType() != type) {
            ok_ = false;
            return QVariant(type);
        }
        return *found;
    }

    QVariantMap map_;
    bool ok_ = true;
};

}  // namespace

bool ReadReplyVariant(const QVariant& body, const service::ServiceRequest&,
                      service::ServiceReply& reply) {
    QVariantMap map;
    if (!AsMap(body, map)) return false;
    VariantReader dict(map);
    dict.Dict("outcome", reply.outcome, [](CommandOutcome& outcome, VariantReader& inner) {
        service::OutcomeFields(outcome, inner);
    });
    dict.Texts("failedPaths", reply.failedPaths);
    dict.Bool("noRights", reply.noRights);
    dict.Int("noRightsDisks", reply.noRightsDisks);
    if (dict.Has("journalProblem")) dict.Text("journalProblem", reply.journalProblem);
    return dict.Ok();
}

}  // namespace vardel::qt
