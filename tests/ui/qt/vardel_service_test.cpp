// The window through the drive service, as the program sets it up (VardelSession), on the bus
// DBUS_SYSTEM_BUS_ADDRESS names: tests/service/bus_test.py starts the real service's bus glue on
// the standard emulated machine with a stand-in for polkit and runs one case of this program per
// service (VARDEL_SERVICE_CASE): the same presses on a window through the service and on a window
// on the standard emulated machine itself must look the same; a refused change shows the
// client's words; a window that waits for the service takes no other command.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "resource.h"
#include "service_client/call_problem_text.h"
#include "ui/qt/application.h"
#include "ui/qt/call_problem_words.h"
#include "ui/qt/launch_options.h"
#include "ui/qt/window_texts.h"
#include "window_fixtures.h"

namespace vardel::qt {
namespace {

constexpr int kWriteId = 1;  // IDOK

// One window as the program starts it: through the service, or on the emulated machine itself.
class Session {
  public:
    explicit Session(bool throughService) {
        LaunchOptions options;
        options.emulate = !throughService;
        session_ = std::make_unique<VardelSession>(options, throughService, boxes, err_);
        std::string problem;
        int code = 0;
        started = session_->SetUp(problem, code);
    }
    LunModeWindow& Window() { return session_->Window(); }
    QString Row(int editId) { return qobject_cast<QLineEdit*>(Window().Control(editId))->text(); }
    // What the user saw of a command: the rows, the boxes, the questions and the status line.
    QStringList Seen() {
        QStringList seen{Row(IDC_LUN0_EDIT), Row(IDC_LUN1_EDIT), Window().StatusLine()->text()};
        for (const ShownBox& box : boxes.shown) seen << QStringLiteral("box: ") + box.text;
        for (const ShownBox& box : boxes.asked) seen << QStringLiteral("asked: ") + box.text;
        boxes.shown.clear();
        boxes.asked.clear();
        return seen;
    }

    RecordingBoxes boxes;
    bool started = false;

  private:
    std::ostringstream err_;
    std::unique_ptr<VardelSession> session_;
};

QByteArray Case() {
    return qgetenv("VARDEL_SERVICE_CASE");
}

}  // namespace

class VardelServiceTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // The direct window's journal of the emulated machine goes to a folder of the test's own.
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_STATE_HOME", home_.path().toUtf8());
    }

    // The service serves the standard emulated machine (grant-change): each press must show what
    // the same press shows on a window on that machine itself, step by step.
    void theWindowThroughTheServiceLooksAsTheDirectOne() {
        if (Case() != "same-as-direct") QSKIP("another case of bus_test.py");
        Session served(true);
        Session direct(false);
        QVERIFY(served.started && direct.started);
        struct Press {
            const char* what;
            int controlId;
            const char* lun0;  // for Write: the rows' texts typed first
            const char* lun1;
        };
        const Press presses[] = {
            {"status", IDC_STATUS_BUTTON, nullptr, nullptr},
            {"LUN 0 fixed", IDC_LUN0_FIXED, nullptr, nullptr},
            {"LUN 1 removable", IDC_LUN1_REMOVABLE, nullptr, nullptr},
            {"LUN 1 removable again", IDC_LUN1_REMOVABLE, nullptr, nullptr},
            {"write, answered no", kWriteId, "Removable", "A1"},
            {"write, answered yes", kWriteId, "Removable", "A1"},
            {"write of what the drive holds", kWriteId, "Removable", "Fixed Disk"},
            {"a text the drive cannot take", kWriteId, "xyz", ""},
            {"status at the end", IDC_STATUS_BUTTON, nullptr, nullptr},
        };
        for (const Press& press : presses) {
            for (Session* session : {&served, &direct}) {
                session->boxes.answer = QByteArray(press.what).endsWith("yes");
                if (press.lun0 != nullptr) {
                    qobject_cast<QLineEdit*>(session->Window().Control(IDC_LUN0_EDIT))
                        ->setText(QString::fromUtf8(press.lun0));
                    qobject_cast<QLineEdit*>(session->Window().Control(IDC_LUN1_EDIT))
                        ->setText(QString::fromUtf8(press.lun1));
                }
                session->Window().RunCommand(press.controlId);
            }
            QCOMPARE(served.Seen(), direct.Seen());
            QVERIFY2(served.Window().isEnabled(), press.what);
        }
        QCOMPARE(served.Row(IDC_LUN0_EDIT), QStringLiteral("Removable"));
        QCOMPARE(served.Row(IDC_LUN1_EDIT), QStringLiteral("Fixed Disk"));
    }

    // deny-change: reading works; a change is a box with the client's words, nothing written.
    void aRefusedChangeSaysSoAndChangesNothing() {
        if (Case() != "refused") QSKIP("another case of bus_test.py");
        Session served(true);
        QVERIFY(served.started);
        served.Window().RunCommand(IDC_STATUS_BUTTON);
        QCOMPARE(served.Seen(), (QStringList{"Removable", "Fixed Disk", ""}));

        service_client::CallResult refused;
        refused.end = service_client::CallEnd::NotAuthorized;
        refused.action = "org.vardel.drives.change";
        const QString words =
            QStringLiteral("box: ") +
            QString::fromStdString(service_client::CallProblemText(refused, WindowOtherWays()));
        served.Window().RunCommand(IDC_LUN0_FIXED);
        QCOMPARE(served.Seen(), (QStringList{"Removable", "Fixed Disk", "", words}));
        // Write reads first (allowed), asks, and then the change is refused.
        served.boxes.answer = true;
        qobject_cast<QLineEdit*>(served.Window().Control(IDC_LUN0_EDIT))
            ->setText(QStringLiteral("Fixed Disk"));
        served.Window().RunCommand(kWriteId);
        const QStringList seen = served.Seen();
        QCOMPARE(seen.size(), 5);
        QCOMPARE(seen[3], words);
        QVERIFY(seen[4].startsWith(QStringLiteral("asked: ")));
        QVERIFY(served.Window().isEnabled());
        QVERIFY(!served.Window().UndoAction()->isEnabled());
    }

    // grant-change-slowly: while polkit "asks", the window draws but takes nothing else.
    void aWindowThatWaitsStartsNothingElse() {
        if (Case() != "slow") QSKIP("another case of bus_test.py");
        Session served(true);
        QVERIFY(served.started);
        served.Window().show();
        bool checked = false;
        QTimer::singleShot(500, [&] {
            LunModeWindow& window = served.Window();
            QVERIFY(window.Busy());
            QVERIFY(!window.isEnabled());
            QVERIFY(!window.Control(IDC_STATUS_BUTTON)->isEnabled());
            // Neither another command nor closing the window.
            window.RunCommand(IDC_LUN1_REMOVABLE);
            QVERIFY(!window.close());
            window.reject();
            QVERIFY(window.isVisible());
            checked = true;
        });
        served.Window().RunCommand(IDC_LUN0_FIXED);
        QVERIFY(checked);
        QVERIFY(!served.Window().Busy());
        QVERIFY(served.Window().isEnabled());
        // Only the one press reached the drive.
        QCOMPARE(served.Seen(), (QStringList{"Fixed Disk", "", Utf8(kReplugReminder)}));
    }

  private:
    QTemporaryDir home_;
};

}  // namespace vardel::qt

QTEST_MAIN(vardel::qt::VardelServiceTest)
#include "vardel_service_test.moc"
