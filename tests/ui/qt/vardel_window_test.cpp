// The Qt window on an emulated drive, on Qt's offscreen platform: its buttons and keys reach the
// dialog model, its boxes and its about box look as on Windows, its controls sit where the
// template puts them.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/command_messages.h"
#include "frontend_common/access_watch.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "resource.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/about_box.h"
#include "ui/qt/dialog_layout.h"
#include "ui/qt/launch_options.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/window_platform.h"
#include "ui_texts.h"

namespace vardel::qt {
namespace {

constexpr int kWriteId = 1;  // IDOK

struct ShownBox {
    QWidget* owner;
    QString text;
    QString caption;
    MessageIcon icon;
};

// Answers every box at once and keeps what it was asked to show.
class RecordingBoxes : public MessageBoxes {
  public:
    void Show(QWidget* owner, const QString& text, const QString& caption,
              MessageIcon icon) override {
        shown.push_back({owner, text, caption, icon});
    }
    std::vector<ShownBox> shown;
};

// Runs `inspect` on the modal window that the next event loop opens, then closes it.
void InspectNextModal(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        inspect(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
    });
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// One start of the window on a scenario file, wired as the program wires it: after every command
// the drives' state goes back into the file.
class ScenarioWindow {
  public:
    explicit ScenarioWindow(const QString& file) {
        LaunchOptions options;
        options.emulate = true;
        options.scenarioFile = file.toStdString();
        if (!platform_.SetUp(options, problem_)) return;
        window_ = std::make_unique<LunModeWindow>(platform_.Watched(), boxes_);
        window_->SetAfterCommand([this] { saved_ = platform_.AfterCommand(problem_); });
    }

    bool Started() const { return window_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    const std::vector<ShownBox>& Shown() const { return boxes_.shown; }

    // True when the file held the drives' state after the command.
    bool Run(int controlId) {
        saved_ = false;
        problem_.clear();
        window_->RunCommand(controlId);
        return saved_;
    }

    QString Row(int editId) const {
        return qobject_cast<QLineEdit*>(window_->Control(editId))->text();
    }

  private:
    WindowPlatform platform_;
    RecordingBoxes boxes_;
    std::unique_ptr<LunModeWindow> window_;
    bool saved_ = false;
    std::string problem_;
};

// A copy of the standard scenario in a folder of its own.
QString CopyOfPlainScenario(const QString& folder) {
    const QString file = folder + QStringLiteral("/drive.json");
    if (!QDir().mkpath(folder) ||
        !QFile::copy(QStringLiteral(VARDEL_SCENARIO_DIR "/plain.json"), file)) {
        return QString();
    }
    return file;
}

}  // namespace

class VardelWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<emulated::EmulatedPlatform> platform_;
    int drive_ = 0;
    std::unique_ptr<RecordingBoxes> boxes_;
    std::unique_ptr<LunModeWindow> window_;

    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(window_->Control(id)); }
    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(window_->Control(id)); }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

  private slots:
    void init() {
        platform_ = std::make_unique<emulated::EmulatedPlatform>();
        drive_ = emulated::SetUpStandardMachine(*platform_);
        boxes_ = std::make_unique<RecordingBoxes>();
        window_ = std::make_unique<LunModeWindow>(*platform_, *boxes_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup() {
        window_.reset();
        boxes_.reset();
        platform_.reset();
    }

    void statusButtonShowsBothRowsAndTheWindowIsSaved() {
        Click(IDC_STATUS_BUTTON);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), QStringLiteral("Removable"));
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), QStringLiteral("Fixed Disk"));
        QVERIFY(boxes_->shown.empty());
        // The status button gave the focus away while it was disabled, and has it back.
        QVERIFY(Button(IDC_STATUS_BUTTON)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), window_->Control(IDC_STATUS_BUTTON));

        const QString folder = QStringLiteral(VARDEL_SCREENSHOT_DIR);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(window_->grab().save(folder + QStringLiteral("/vardel.png")));
    }

    void modeButtonSwitchesItsRow_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shownLun0");
        QTest::addColumn<QString>("shownLun1");
        QTest::addColumn<QString>("statusLun0");
        QTest::addColumn<QString>("statusLun1");
        // clang-format off
        QTest::newRow("LUN 0 fixed")
            << IDC_LUN0_FIXED << "Fixed Disk" << "" << "Fixed Disk" << "Fixed Disk";
        QTest::newRow("LUN 1 removable")
            << IDC_LUN1_REMOVABLE << "" << "Removable" << "Removable" << "Removable";
        QTest::newRow("LUN 0 removable, as it was")
            << IDC_LUN0_REMOVABLE << "Removable" << "" << "Removable" << "Fixed Disk";
        QTest::newRow("LUN 1 fixed, as it was")
            << IDC_LUN1_FIXED << "" << "Fixed Disk" << "Removable" << "Fixed Disk";
        // clang-format on
    }

    // The row the button switched shows the new type; a status read afterwards shows the drive.
    void modeButtonSwitchesItsRow() {
        QFETCH(int, button);
        QFETCH(QString, shownLun0);
        QFETCH(QString, shownLun1);
        QFETCH(QString, statusLun0);
        QFETCH(QString, statusLun1);
        Click(button);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), shownLun0);
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), shownLun1);
        QVERIFY(boxes_->shown.empty());
        Click(IDC_STATUS_BUTTON);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), statusLun0);
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), statusLun1);
    }

    void enterFromTheFirstEditWritesAfterOnePromptForEdit1004() {
        Click(IDC_STATUS_BUTTON);
        const emulated::Block before = platform_->DriveAt(drive_).configBlock;
        platform_->ClearLog();
        QLineEdit* lun0 = Edit(IDC_LUN0_EDIT);
        lun0->setFocus();
        QTest::keyClick(lun0, Qt::Key_Return);

        QCOMPARE(boxes_->shown.size(), std::size_t{2});
        QCOMPARE(boxes_->shown[0].text, Utf8("請輸入少於 2個文字."));
        QCOMPARE(boxes_->shown[0].caption, Utf8(kApplicationName));
        QVERIFY(boxes_->shown[0].icon == MessageIcon::Exclamation);
        QCOMPARE(boxes_->shown[1].text, Utf8(kWriteSuccessMessage));
        QCOMPARE(boxes_->shown[1].caption, QStringLiteral(" "));
        QVERIFY(boxes_->shown[1].icon == MessageIcon::None);
        for (const ShownBox& box : boxes_->shown) QCOMPARE(box.owner, window_.get());

        const std::vector<std::string> trace = platform_->CommandTrace();
        QVERIFY(std::count(trace.begin(), trace.end(), "WRITE F") == 1);
        QVERIFY(platform_->DriveAt(drive_).configBlock == before);
        // The prompt left edit 1004 chosen, its text selected.
        QCOMPARE(QApplication::focusWidget(), window_->Control(IDC_LUN1_EDIT));
        QVERIFY(Edit(IDC_LUN1_EDIT)->hasSelectedText());
    }

    void enterOnAButtonClicksThatButton() {
        QPushButton* status = Button(IDC_STATUS_BUTTON);
        status->setFocus();
        QTest::keyClick(status, Qt::Key_Return);
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), QStringLiteral("Fixed Disk"));
        QVERIFY(boxes_->shown.empty());
    }

    void escapeClosesTheWindow() {
        QSignalSpy finished(window_.get(), &QDialog::finished);
        QTest::keyClick(Edit(IDC_LUN0_EDIT), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!window_->isVisible());
    }

    void tabGoesThroughTheControlsInTheTemplatesOrder() {
        const int expected[] = {IDC_STATUS_BUTTON,  IDC_LUN1_EDIT,  IDC_LUN0_REMOVABLE,
                                IDC_LUN1_REMOVABLE, IDC_LUN0_FIXED, IDC_LUN1_FIXED,
                                IDC_LUN0_EDIT};
        QCOMPARE(QApplication::focusWidget(), window_->Control(IDC_LUN0_EDIT));
        for (int id : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), window_->Control(id));
        }
    }

    void controlsSitWhereTheTemplatePutsThem() {
        QCOMPARE(window_->windowTitle(), Utf8(VARDEL_TEXT_MAIN_CAPTION));
        const DialogUnits units(window_->font());
        QCOMPARE(window_->font().pointSize(), kMainDialogPointSize);
        QCOMPARE(window_->size(), units.ToPixels(kMainDialogWidth, kMainDialogHeight));
        QCOMPARE(window_->Control(IDC_LUN0_EDIT)->geometry(), units.ToPixels(kLun0EditRect));
        QCOMPARE(window_->Control(IDC_LUN1_FIXED)->geometry(), units.ToPixels(kLun1FixedRect));
        QCOMPARE(Button(IDC_STATUS_BUTTON)->text(), Utf8(VARDEL_TEXT_STATUS_BUTTON));
        QCOMPARE(Button(IDC_LUN0_REMOVABLE)->text(), Utf8(VARDEL_TEXT_REMOVABLE_BUTTON));
        QCOMPARE(Button(IDC_LUN1_FIXED)->text(), Utf8(VARDEL_TEXT_FIXED_BUTTON));
        QVERIFY(Edit(IDC_LUN0_EDIT)->isReadOnly() && Edit(IDC_LUN1_EDIT)->isReadOnly());
        QPushButton* write = Button(kWriteId);
        QVERIFY(write->isDefault() && write->isHidden());
        QCOMPARE(write->text(), Utf8(VARDEL_TEXT_WRITE_BUTTON));
        // A click on an edit reaches the edit, not the group box drawn around it.
        const QRect edit = window_->Control(IDC_LUN1_EDIT)->geometry();
        QCOMPARE(window_->childAt(edit.center()), window_->Control(IDC_LUN1_EDIT));
    }

    // Halves round away from zero, as the system's scaling does: 7 * 6 / 4 = 10.5 becomes 11.
    void dialogUnitsRoundAsTheSystemDoes() {
        const DialogUnits units(6, 13);
        QCOMPARE(units.ToPixels(DialogRect{7, 18, 15, 8}), QRect(11, 29, 23, 13));
        QCOMPARE(units.ToPixels(236, 78), QSize(354, 127));
    }

    void theWaitCursorShowsWhileTheDriveIsAsked() {
        std::vector<bool> waiting;
        platform_->SetAfterCallHook([&waiting](const emulated::CallRecord&) {
            const QCursor* cursor = QApplication::overrideCursor();
            waiting.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        });
        Click(IDC_STATUS_BUTTON);
        QVERIFY(!waiting.empty());
        QVERIFY(std::all_of(waiting.begin(), waiting.end(), [](bool w) { return w; }));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The boxes as the program shows them: OK only; a command's with caption " " and no icon, the
    // prompt with the exclamation icon.
    void messageBoxesHaveOkOnlyAndTheirIcon() {
        platform_->SetLetterExists('E', false);
        platform_->SetLetterExists('F', false);
        ModalMessageBoxes modal;
        LunModeWindow window(*platform_, modal);
        window.show();
        QString text, caption;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::Critical;
        InspectNextModal([&](QWidget* shown) {
            auto* box = qobject_cast<QMessageBox*>(shown);
            if (box == nullptr) return;
            text = box->text();
            caption = box->windowTitle();
            buttons = box->standardButtons();
            icon = box->icon();
        });
        QTest::mouseClick(qobject_cast<QPushButton*>(window.Control(IDC_STATUS_BUTTON)),
                          Qt::LeftButton);
        QCOMPARE(text, Utf8(kNoDriveMessage));
        QCOMPARE(caption, QStringLiteral(" "));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(icon, QMessageBox::NoIcon);

        const auto prompt = MakeMessageBox(&window, QStringLiteral("x"), Utf8(kApplicationName),
                                           MessageIcon::Exclamation);
        QCOMPARE(prompt->icon(), QMessageBox::Warning);
        QCOMPARE(prompt->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void aboutBoxFromTheContextMenu() {
        QAction* about = window_->AboutAction();
        QCOMPARE(about->text(), Utf8(VARDEL_TEXT_ABOUT_MENU_ENTRY));
        QVERIFY(window_->actions().contains(about));
        QCOMPARE(window_->contextMenuPolicy(), Qt::ActionsContextMenu);

        QString caption, okText;
        QStringList labels;
        bool hasIcon = false;
        InspectNextModal([&](QWidget* shown) {
            auto* box = dynamic_cast<AboutBox*>(shown);
            if (box == nullptr) return;
            caption = box->windowTitle();
            okText = box->OkButton()->text();
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (!label->pixmap().isNull()) hasIcon = true;
                if (!label->text().isEmpty()) labels << label->text();
            }
            const QString folder = QStringLiteral(VARDEL_SCREENSHOT_DIR);
            QDir().mkpath(folder);
            box->grab().save(folder + QStringLiteral("/about.png"));
        });
        about->trigger();
        QCOMPARE(caption, Utf8(VARDEL_TEXT_ABOUT_CAPTION));
        QCOMPARE(okText, Utf8(VARDEL_TEXT_ABOUT_OK));
        QCOMPARE(labels, QStringList{Utf8(VARDEL_TEXT_ABOUT_VERSION)});
        QVERIFY(hasIcon);
    }

    // "No drive found" says how to get the rights when an open was refused for lack of them,
    // and only then.
    void noDriveTellsHowToGetTheRights_data() {
        QTest::addColumn<bool>("refused");
        QTest::newRow("opens refused") << true;
        QTest::newRow("no drive attached") << false;
    }

    void noDriveTellsHowToGetTheRights() {
        QFETCH(bool, refused);
        if (refused) {
            emulated::Fault fault;
            fault.times = -1;
            fault.code = kErrorAccessDenied;
            platform_->InjectFault(fault);
        } else {
            platform_->SetLetterExists('E', false);
            platform_->SetLetterExists('F', false);
        }
        frontend::AccessWatch watch(*platform_, frontend::IsEmulatedNoRightsError);
        RecordingBoxes shown;
        LunModeWindow window(watch, shown);
        window.SetNoDriveHint(
            [&watch] { return std::string(watch.SawNoRights() ? "ADVICE" : ""); });
        window.RunCommand(IDC_STATUS_BUTTON);
        QCOMPARE(shown.shown.size(), std::size_t{1});
        const QString noDrive = Utf8(kNoDriveMessage);
        QCOMPARE(shown.shown[0].text, refused ? noDrive + QStringLiteral("\n\nADVICE") : noDrive);
    }
    // --emulate=FILE: each command's change goes back into the file, so that the next start of the
    // window sees it; a change undone in the same run is undone in the file as well.
    void aScenarioFileKeepsTheWindowsChanges_data() {
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<QString>("lun0");
        QTest::addColumn<QString>("lun1");
        // clang-format off
        QTest::newRow("LUN 0 fixed") << QList<int>{IDC_LUN0_FIXED} << "Fixed Disk" << "Fixed Disk";
        QTest::newRow("LUN 0 fixed, then removable again")
            << QList<int>{IDC_LUN0_FIXED, IDC_LUN0_REMOVABLE} << "Removable" << "Fixed Disk";
        QTest::newRow("both rows swapped")
            << QList<int>{IDC_LUN0_FIXED, IDC_LUN1_REMOVABLE} << "Fixed Disk" << "Removable";
        // clang-format on
    }

    void aScenarioFileKeepsTheWindowsChanges() {
        QFETCH(QList<int>, commands);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString file = CopyOfPlainScenario(folder.path());
        QVERIFY(!file.isEmpty());
        {
            ScenarioWindow first(file);
            QVERIFY2(first.Started(), first.Problem().c_str());
            for (int command : commands) QVERIFY2(first.Run(command), first.Problem().c_str());
            QVERIFY(first.Shown().empty());
        }
        ScenarioWindow again(file);
        QVERIFY2(again.Started(), again.Problem().c_str());
        again.Run(IDC_STATUS_BUTTON);
        QTEST(again.Row(IDC_LUN0_EDIT), "lun0");
        QTEST(again.Row(IDC_LUN1_EDIT), "lun1");
    }

    // A write-back that fails leaves the change pending: the command after the obstacle is gone
    // (here a status read, which changes nothing itself) writes it. The obstacle binds root too:
    // the scenario's folder is moved away and a plain file takes its name.
    void aFailedWriteBackIsWrittenAfterTheNextCommand() {
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString folder = base.filePath(QStringLiteral("scenarios"));
        const QString aside = base.filePath(QStringLiteral("aside"));
        const QString file = CopyOfPlainScenario(folder);
        QVERIFY(!file.isEmpty());
        {
            ScenarioWindow window(file);
            QVERIFY2(window.Started(), window.Problem().c_str());

            QVERIFY(QDir().rename(folder, aside));
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            QVERIFY(!window.Run(IDC_LUN0_FIXED));
            QVERIFY2(window.Problem().find("drive.json") != std::string::npos,
                     window.Problem().c_str());
            QCOMPARE(window.Row(IDC_LUN0_EDIT), QStringLiteral("Fixed Disk"));

            QVERIFY(QFile::remove(folder));
            QVERIFY(QDir().rename(aside, folder));
            QVERIFY2(window.Run(IDC_STATUS_BUTTON), window.Problem().c_str());
        }
        ScenarioWindow again(file);
        QVERIFY2(again.Started(), again.Problem().c_str());
        again.Run(IDC_STATUS_BUTTON);
        QCOMPARE(again.Row(IDC_LUN0_EDIT), QStringLiteral("Fixed Disk"));
        QCOMPARE(again.Row(IDC_LUN1_EDIT), QStringLiteral("Fixed Disk"));
    }

    void aScenarioThatCannotBeReadIsNamed_data() {
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("broken JSON") << false << "not valid JSON";
        QTest::newRow("a folder") << true << "is a folder";
    }

    void aScenarioThatCannotBeReadIsNamed() {
        QFETCH(bool, isFolder);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("broken.json"));
        if (isFolder) {
            QVERIFY(QDir().mkdir(file));
        } else {
            QFile broken(file);
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write("{\"drives\": [");
            broken.close();
        }
        LaunchOptions options;
        options.emulate = true;
        options.scenarioFile = file.toStdString();
        WindowPlatform platform;
        std::string problem;
        QVERIFY(!platform.SetUp(options, problem));
        QVERIFY2(problem.rfind(file.toStdString() + ": ", 0) == 0, problem.c_str());
        QVERIFY2(problem.find(reason.toStdString()) != std::string::npos, problem.c_str());
    }

    void launchOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("emulate");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("screenshot");
        // clang-format off
        QTest::newRow("none") << QStringList{} << true << false << "" << "";
        QTest::newRow("emulate") << QStringList{"--emulate"} << true << true << "" << "";
        QTest::newRow("scenario") << QStringList{"--emulate=d.json"} << true << true << "d.json" << "";
        QTest::newRow("screenshot") << QStringList{"--emulate", "--screenshot-after-status=s.png"}
                                    << true << true << "" << "s.png";
        QTest::newRow("empty scenario") << QStringList{"--emulate="} << false << false << "" << "";
        QTest::newRow("empty screenshot") << QStringList{"--screenshot-after-status="}
                                          << false << false << "" << "";
        QTest::newRow("unknown") << QStringList{"--emulated"} << false << false << "" << "";
        QTest::newRow("a command") << QStringList{"status"} << false << false << "" << "";
        // clang-format on
    }

    void launchOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, accepted);
        std::vector<std::string> words;
        for (const QString& argument : arguments) words.push_back(argument.toStdString());
        LaunchOptions options;
        std::string problem;
        QCOMPARE(ParseLaunchOptions(words, options, problem), accepted);
        QCOMPARE(problem.empty(), accepted);
        if (!accepted) return;
        QTEST(options.emulate, "emulate");
        QTEST(QString::fromStdString(options.scenarioFile), "scenario");
        QTEST(QString::fromStdString(options.screenshotFile), "screenshot");
    }
};

}  // namespace vardel::qt

QTEST_MAIN(vardel::qt::VardelWindowTest)
#include "vardel_window_test.moc"
