// The window's reading of a drive service reply as QtDBus hands it over: every field through the
// shared table with its D-Bus type, and a reply with a field missing, of another type or too
// large is unreadable as a whole. (A real reply through a real bus: vardel_qt_service_bus.)

#include <QByteArray>
#include <QStringList>
#include <QTest>
#include <QVariantMap>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

#include "service/outcome_fields.h"
#include "ui/qt/service_reply_variant.h"

namespace vardel::qt {
namespace {

// The service's side of the table, in the types of docs/service.md ("Replies").
class VariantWriter {
  public:
    template <typename Number>
    void Enum(const char* key, const Number& value) {
        map[key] = QVariant::fromValue(static_cast<uint>(value));
    }
    void Bool(const char* key, const bool& value) { map[key] = value; }
    void Byte(const char* key, const std::uint8_t& value) {
        map[key] = QVariant::fromValue(static_cast<uchar>(value));
    }
    void Uint(const char* key, const std::uint32_t& value) {
        map[key] = QVariant::fromValue(static_cast<uint>(value));
    }
    void Int(const char* key, const std::int32_t& value) { map[key] = static_cast<int>(value); }
    void Letter(const char* key, const char& letter) {
        map[key] = letter == 0 ? QString() : QString(QLatin1Char(letter));
    }
    template <std::size_t Size>
    void Bytes(const char* key, const std::uint8_t (&bytes)[Size], const std::uint8_t& length) {
        map[key] = QByteArray(reinterpret_cast<const char*>(bytes), length);
    }
    template <typename Record, typename Fill>
    void Dict(const char* key, const Record& record, Fill fill) {
        VariantWriter inner;
        fill(record, inner);
        map[key] = inner.map;
    }
    QVariantMap map;
};

CommandOutcome FailedWrite() {
    CommandOutcome outcome;
    outcome.command = CommandKind::WriteRaw;
    outcome.code = OutcomeCode::WriteFailed;
    outcome.target = 'F';
    outcome.driveStatus = -5;
    outcome.swapped = true;
    outcome.typesKnown = true;
    outcome.types = {0xA1, 0x05};
    outcome.beforeKnown = true;
    outcome.before = {0x00, 0xA1};
    outcome.row = LunRow::Lun1;
    outcome.requestedType = 0xA1;
    outcome.failedCommand.command = DeviceCommand::WriteConfigBlock;
    outcome.failedCommand.letter = 'F';
    outcome.failedCommand.opened = true;
    outcome.failedCommand.delivered = true;
    outcome.failedCommand.systemError = 0;
    outcome.failedCommand.scsiStatus = 2;
    outcome.failedCommand.senseLength = 18;
    for (std::uint8_t i = 0; i < 18; ++i) {
        outcome.failedCommand.sense[i] = static_cast<std::uint8_t>(0x70 + i);
    }
    outcome.failedCommand.bytesRequested = 528;
    outcome.failedCommand.bytesMoved = 0;
    outcome.scan = {true, 2, 2, 1, 0, 0, {}};
    return outcome;
}

QVariantMap ReplyOf(const CommandOutcome& outcome) {
    VariantWriter writer;
    CommandOutcome copy = outcome;
    service::OutcomeFields(static_cast<const CommandOutcome&>(copy), writer);
    QVariantMap body;
    body[QStringLiteral("outcome")] = writer.map;
    body[QStringLiteral("failedPaths")] = QStringList{QStringLiteral("/dev/sg1")};
    body[QStringLiteral("noRights")] = false;
    body[QStringLiteral("noRightsDisks")] = 0;
    return body;
}

QVariantMap& Outcome(QVariantMap& body) {
    return *reinterpret_cast<QVariantMap*>(body[QStringLiteral("outcome")].data());
}

}  // namespace

class ServiceReplyVariantTest : public QObject {
    Q_OBJECT

  private slots:
    void everyFieldComesBack() {
        const CommandOutcome sent = FailedWrite();
        service::ServiceReply reply;
        QVERIFY(ReadReplyVariant(ReplyOf(sent), {}, reply));
        const CommandOutcome& got = reply.outcome;
        QCOMPARE(got.command, sent.command);
        QCOMPARE(got.code, sent.code);
        QCOMPARE(got.target, 'F');
        QCOMPARE(got.driveStatus, -5);
        QVERIFY(got.swapped && got.typesKnown && got.beforeKnown);
        QCOMPARE(
            (std::array<int, 4>{got.types.lun0, got.types.lun1, got.before.lun0, got.before.lun1}),
            (std::array<int, 4>{0xA1, 0x05, 0x00, 0xA1}));
        QCOMPARE(got.row, LunRow::Lun1);
        QCOMPARE(got.failedCommand.command, DeviceCommand::WriteConfigBlock);
        QCOMPARE(got.failedCommand.scsiStatus, std::uint8_t{2});
        QCOMPARE(got.failedCommand.senseLength, std::uint8_t{18});
        QVERIFY(std::memcmp(got.failedCommand.sense, sent.failedCommand.sense, 18) == 0);
        QCOMPARE(got.failedCommand.bytesRequested, 528u);
        QCOMPARE((std::array<int, 3>{got.scan.letters, got.scan.answeredInquiry,
                                     got.scan.withSignature}),
                 (std::array<int, 3>{2, 2, 1}));
        QCOMPARE(reply.failedPaths, std::vector<std::string>{"/dev/sg1"});
    }

    void aReplyThatIsNotTheServicesIsUnreadable_data() {
        using Spoil = std::function<void(QVariantMap&)>;
        QTest::addColumn<Spoil>("spoil");
        QTest::newRow("no outcome") << Spoil([](QVariantMap& body) { body.remove("outcome"); });
        QTest::newRow("no failedPaths")
            << Spoil([](QVariantMap& body) { body.remove("failedPaths"); });
        QTest::newRow("code signed") << Spoil([](QVariantMap& body) { Outcome(body)["code"] = 0; });
        QTest::newRow("type byte as a number")
            << Spoil([](QVariantMap& body) { Outcome(body)["lun0"] = QVariant::fromValue(161u); });
        QTest::newRow("two letters")
            << Spoil([](QVariantMap& body) { Outcome(body)["target"] = QStringLiteral("EF"); });
        QTest::newRow("sense larger than its record") << Spoil([](QVariantMap& body) {
            QVariantMap detail = Outcome(body)["failedCommand"].toMap();
            detail["sense"] = QByteArray(300, 'x');
            Outcome(body)["failedCommand"] = detail;
        });
        QTest::newRow("scan not a dictionary")
            << Spoil([](QVariantMap& body) { Outcome(body)["scan"] = true; });
    }

    void aReplyThatIsNotTheServicesIsUnreadable() {
        using Spoil = std::function<void(QVariantMap&)>;
        QFETCH(Spoil, spoil);
        QVariantMap body = ReplyOf(FailedWrite());
        spoil(body);
        service::ServiceReply reply;
        QVERIFY(!ReadReplyVariant(body, {}, reply));
        QVERIFY(!ReadReplyVariant(QStringLiteral("a text"), {}, reply));
    }
};

}  // namespace vardel::qt

QTEST_APPLESS_MAIN(vardel::qt::ServiceReplyVariantTest)
#include "service_reply_variant_test.moc"
