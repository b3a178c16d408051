// The Qt window on an emulated drive, on Qt's offscreen platform: its buttons and keys reach the
// dialog model, its boxes and its about box look as on Windows, its controls sit where the
// template puts them. CTest runs it at scale 1 and again at QT_SCALE_FACTOR=2.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_messages.h"
#include "drive/vendor_blocks.h"
#include "files/file_lock.h"
#include "journal/drive_journal.h"
#include "journal/journal_file.h"
#include "machine/access_watch.h"
#include "outcome/exit_codes.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "resource.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/about_box.h"
#include "ui/qt/dialog_layout.h"
#include "ui/qt/launch_options.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/translated_text.h"
#include "ui/qt/window_captions.h"
#include "ui/qt/window_platform.h"
#include "ui/qt/window_texts.h"
#include "window_fixtures.h"

namespace vardel::qt {
namespace {

constexpr int kWriteId = 1;  // IDOK

// The label whose buddy is `control`.
QLabel* LabelOf(const QWidget& window, const QWidget* control) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy() == control) return label;
    }
    return nullptr;
}

// Lines of `text` that a label `width` pixels wide in `font` shows ragged: a line that the text
// breaks itself, followed by more of the same paragraph, yet wrapped by the label as well, so
// that a short piece stands between two long lines; a word (a path) split over two lines; any
// line wider than the label.
QStringList RaggedLines(const QString& text, const QFont& font, int width) {
    QStringList ragged;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QTextLayout layout(lines[i], font);
        layout.beginLayout();
        int count = 0;
        qreal widest = 0;
        bool wordSplit = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            widest = std::max(widest, line.naturalTextWidth());
            const int end = line.textStart() + line.textLength();
            if (end < lines[i].size() && !lines[i].at(end - 1).isSpace()) wordSplit = true;
            ++count;
        }
        layout.endLayout();
        const bool paragraphGoesOn = i + 1 < lines.size() && !lines[i + 1].isEmpty();
        if ((count > 1 && paragraphGoesOn) || wordSplit || widest > width) ragged << lines[i];
    }
    return ragged;
}

// One start of the window on a scenario file, wired as the program wires it: after every command
// the drives' state goes back into the file.
class ScenarioWindow {
  public:
    explicit ScenarioWindow(const QString& file) {
        LaunchOptions options;
        options.emulate = true;
        options.scenarioFile = file.toStdString();
        if (!platform_.SetUp(options, false, problem_)) return;
        window_ = std::make_unique<LunModeWindow>(platform_.Watched(), boxes_);
        window_->SetBeforeCommand([this] {
            held_ = platform_.BeforeCommand(problem_, exitCode_);
            if (held_ && afterHold) afterHold();
            return held_;
        });
        window_->SetAfterCommand([this] {
            saved_ = platform_.AfterCommand(problem_);
            return saved_;
        });
    }

    bool Started() const { return window_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    const std::vector<ShownBox>& Shown() const { return boxes_.shown; }

    // Whether the command ran: false when the file was held by another program.
    bool Held() const { return held_; }
    // Runs once the command holds the file, before the command itself.
    std::function<void()> afterHold;
    int ExitCode() const { return exitCode_; }

    // True when the file held the drives' state after the command.
    bool Run(int controlId) {
        saved_ = false;
        held_ = false;
        problem_.clear();
        window_->RunCommand(controlId);
        return saved_;
    }

    QString Row(int editId) const {
        return qobject_cast<QLineEdit*>(window_->Control(editId))->text();
    }
    QString StatusLine() const { return window_->StatusLine()->text(); }
    // The line's text has room in it, whole.
    bool StatusLineFits() const {
        const QLabel* line = window_->StatusLine();
        return line->heightForWidth(line->width()) <= line->height();
    }

  private:
    WindowPlatform platform_;
    RecordingBoxes boxes_;
    std::unique_ptr<LunModeWindow> window_;
    bool saved_ = false;
    bool held_ = false;
    int exitCode_ = 0;
    std::string problem_;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

        QVERIFY(window_->grab().save(ScreenshotPath(*window_, "vardel")));
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
        platform_->ClearLog();
        Click(button);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), shownLun0);
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), shownLun1);
        QVERIFY(boxes_->shown.empty());
        // A type the LUN already has is not written again: each write costs a flash write.
        bool wrote = false;
        for (const std::string& command : platform_->CommandTrace()) {
            wrote = wrote || command.rfind("WRITE", 0) == 0;
        }
        QCOMPARE(wrote, QString::fromLatin1(QTest::currentDataTag()).indexOf("as it was") < 0);
        Click(IDC_STATUS_BUTTON);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), statusLun0);
        QCOMPARE(Edit(IDC_LUN1_EDIT)->text(), statusLun1);
    }

    // Enter (the hidden Write) reads the drive, shows each row as it is and as it would be, and
    // writes only after a yes; a no sends nothing. There is no length prompt for the edits' texts.
    void enterAsksBeforeItWrites_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes writes") << true;
        QTest::newRow("no writes nothing") << false;
    }

    void enterAsksBeforeItWrites() {
        QFETCH(bool, answer);
        Click(IDC_STATUS_BUTTON);
        // The drive now holds LUN 0 fixed; the window still shows LUN 0 removable.
        Click(IDC_LUN0_FIXED);
        Edit(IDC_LUN0_EDIT)->setText(QStringLiteral("Removable"));
        Edit(IDC_LUN1_EDIT)->setText(QStringLiteral("Fixed Disk"));
        const emulated::Block before = platform_->DriveAt(drive_).configBlock;
        platform_->ClearLog();
        boxes_->answer = answer;
        QLineEdit* lun0 = Edit(IDC_LUN0_EDIT);
        lun0->setFocus();
        QTest::keyClick(lun0, Qt::Key_Return);

        QCOMPARE(boxes_->asked.size(), std::size_t{1});
        const ShownBox& question = boxes_->asked[0];
        QCOMPARE(question.owner, window_.get());
        QCOMPARE(question.caption, Utf8(kApplicationName));
        QCOMPARE(question.text,
                 Utf8(kWriteQuestion) + QStringLiteral("\n\nLUN 0: Fixed Disk \u2192 Removable"
                                                       "\nLUN 1: Fixed Disk (unchanged)"));
        const std::vector<std::string> trace = platform_->CommandTrace();
        QCOMPARE(std::count(trace.begin(), trace.end(), "WRITE F"), answer ? 1 : 0);
        if (answer) {
            QCOMPARE(boxes_->shown.size(), std::size_t{1});
            QCOMPARE(boxes_->shown[0].text, Utf8(kWriteSuccessMessage));
            Click(IDC_STATUS_BUTTON);
            QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), QStringLiteral("Removable"));
            QVERIFY(window_->UndoAction()->isEnabled());
        } else {
            QVERIFY(boxes_->shown.empty());
            QVERIFY(platform_->DriveAt(drive_).configBlock == before);
        }
        QVERIFY(Button(kWriteId)->isEnabled() && Button(IDC_STATUS_BUTTON)->isEnabled());
    }

    // Where the drive already holds what the rows show, Enter says so, asks nothing and sends no
    // write: each write of the block costs the drive a flash write. Before any status read the
    // rows are empty, which changes nothing either.
    void enterWritesNothingWhereNothingWouldChange_data() {
        QTest::addColumn<bool>("readFirst");
        QTest::newRow("after a status read") << true;
        QTest::newRow("empty rows") << false;
    }

    void enterWritesNothingWhereNothingWouldChange() {
        QFETCH(bool, readFirst);
        if (readFirst) Click(IDC_STATUS_BUTTON);
        const emulated::Block before = platform_->DriveAt(drive_).configBlock;
        platform_->ClearLog();
        boxes_->answer = true;
        QTest::keyClick(Edit(IDC_LUN0_EDIT), Qt::Key_Return);
        QVERIFY(boxes_->asked.empty());
        QCOMPARE(boxes_->shown.size(), std::size_t{1});
        QCOMPARE(boxes_->shown[0].text,
                 Utf8(kNothingToWrite) + QStringLiteral("\n\nLUN 0: Removable (unchanged)"
                                                        "\nLUN 1: Fixed Disk (unchanged)"));
        const std::vector<std::string> trace = platform_->CommandTrace();
        QCOMPARE(std::count(trace.begin(), trace.end(), "WRITE F"), 0);
        QVERIFY(platform_->DriveAt(drive_).configBlock == before);
        QVERIFY(!window_->UndoAction()->isEnabled());
        QVERIFY(window_->StatusLine()->text().isEmpty());
    }

    // The question's No is the default and Escape's answer: Enter pressed twice writes nothing.
    void theWriteQuestionDefaultsToNo() {
        const auto box =
            MakeQuestionBox(window_.get(), QStringLiteral("x"), Utf8(kApplicationName));
        QCOMPARE(box->standardButtons(),
                 QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(box->escapeButton(), box->button(QMessageBox::No));
    }

    // A failure's box carries vardelctl's detail line (outcome/failure_detail.h, which
    // both call): which command failed on which letter, and the drive's answer in words or the
    // system's error.
    void aFailureSaysWhatFailedAsVardelctlDoes_data() {
        QTest::addColumn<int>("effect");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("system error")
            << int(emulated::FaultEffect::FailControl) << 1117
            << "Fail: the write of the configuration block on F: failed in the system, system "
               "error 1117";
        QTest::newRow("SCSI status in words")
            << int(emulated::FaultEffect::ScsiStatus) << 0x08
            << "Fail: the drive on F: answered the write of the configuration block with BUSY "
               "(status 0x08), no sense data";
    }

    void aFailureSaysWhatFailedAsVardelctlDoes() {
        QFETCH(int, effect);
        QFETCH(int, code);
        QFETCH(QString, text);
        emulated::Fault fault;
        fault.letter = 'F';
        fault.operation = emulated::Operation::Write;
        fault.effect = static_cast<emulated::FaultEffect>(effect);
        fault.code = static_cast<std::uint32_t>(code);
        platform_->InjectFault(fault);
        Click(IDC_LUN0_FIXED);
        QCOMPARE(boxes_->shown.size(), std::size_t{1});
        QCOMPARE(boxes_->shown[0].text, text);
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

    // Row by row: LUN 0's box and buttons, LUN 1's, then the status button, and round again.
    void tabGoesRowByRow() {
        const int expected[] = {IDC_LUN0_REMOVABLE, IDC_LUN0_FIXED, IDC_LUN1_EDIT,
                                IDC_LUN1_REMOVABLE, IDC_LUN1_FIXED, IDC_STATUS_BUTTON,
                                IDC_LUN0_EDIT};
        QCOMPARE(QApplication::focusWidget(), window_->Control(IDC_LUN0_EDIT));
        for (int id : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), window_->Control(id));
        }
    }

    void controlsSitWhereTheTemplatePutsThem() {
        QCOMPARE(window_->windowTitle(), QStringLiteral("Vardel v" VARDEL_VERSION));
        const DialogUnits units(window_->font());
        QCOMPARE(window_->font().pointSize(), kMainDialogPointSize);
        QCOMPARE(window_->size(), units.ToPixels(kMainDialogWidth, kMainDialogHeight));
        QCOMPARE(window_->Control(IDC_LUN0_EDIT)->geometry(), units.ToPixels(kLun0EditRect));
        QCOMPARE(window_->Control(IDC_LUN1_FIXED)->geometry(), units.ToPixels(kLun1FixedRect));
        QCOMPARE(Button(IDC_STATUS_BUTTON)->text(), Utf8(kStatusButton));
        QCOMPARE(Button(IDC_LUN0_REMOVABLE)->text(), Utf8(kRemovableButton));
        QCOMPARE(Button(IDC_LUN1_FIXED)->text(), Utf8(kFixedButton));
        QVERIFY(Edit(IDC_LUN0_EDIT)->isReadOnly() && Edit(IDC_LUN1_EDIT)->isReadOnly());
        QPushButton* write = Button(kWriteId);
        QVERIFY(write->isDefault() && write->isHidden());
        QCOMPARE(write->text(), Utf8(kWriteButton));
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

    // At any scale the labels show all of "Lun0" and "Lun1" and stay clear of their edits. CTest
    // sets the scale; the window must run at it for the case to mean anything.
    void labelsShowTheirWholeText() {
        const QByteArray asked = qgetenv("QT_SCALE_FACTOR");
        if (!asked.isEmpty()) QCOMPARE(window_->devicePixelRatioF(), asked.toDouble());
        for (int editId : {IDC_LUN0_EDIT, IDC_LUN1_EDIT}) {
            const QWidget* edit = window_->Control(editId);
            const QLabel* label = LabelOf(*window_, edit);
            QVERIFY(label != nullptr);
            const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(label->width() >= textWidth,
                     qPrintable(QStringLiteral("%1: %2 pixels wide for a text of %3")
                                    .arg(label->text())
                                    .arg(label->width())
                                    .arg(textWidth)));
            QVERIFY(label->geometry().right() < edit->geometry().left());
        }
    }

    // The two rows' buttons share their Chinese captions; their English names tell them apart,
    // for a screen reader and as tooltips, and each edit is named and labelled by its row.
    void controlsCarryEnglishNames_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        // clang-format off
        QTest::newRow("LUN 0 removable") << IDC_LUN0_REMOVABLE << "LUN 0: make removable"
                                         << Utf8(kRemovableButton);
        QTest::newRow("LUN 0 fixed") << IDC_LUN0_FIXED << "LUN 0: make fixed"
                                     << Utf8(kFixedButton);
        QTest::newRow("LUN 1 removable") << IDC_LUN1_REMOVABLE << "LUN 1: make removable"
                                         << Utf8(kRemovableButton);
        QTest::newRow("LUN 1 fixed") << IDC_LUN1_FIXED << "LUN 1: make fixed"
                                     << Utf8(kFixedButton);
        QTest::newRow("status") << IDC_STATUS_BUTTON << "Show the type of both LUNs"
                                << Utf8(kStatusButton);
        QTest::newRow("LUN 0 edit") << IDC_LUN0_EDIT << "LUN 0 type" << Utf8(kLun0Label);
        QTest::newRow("LUN 1 edit") << IDC_LUN1_EDIT << "LUN 1 type" << Utf8(kLun1Label);
        // clang-format on
    }

    void controlsCarryEnglishNames() {
        QFETCH(int, control);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QWidget* widget = window_->Control(control);
        QCOMPARE(widget->accessibleName(), name);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->toolTip(), name);
            QCOMPARE(button->text(), caption);
        } else {
            const QLabel* label = LabelOf(*window_, widget);
            QVERIFY(label != nullptr);
            QCOMPARE(label->text(), caption);
        }
    }

    // Shift+F10 and the Menu key open a menu with the about entry wherever the focus is: the
    // buttons' menu is the window's, the edits' their own (copy, select all) with the entry added.
    void contextMenuKeysOpenTheMenuFromAnyControl_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const std::pair<int, const char*> controls[] = {
            {IDC_LUN0_EDIT, "LUN 0 edit"},           {IDC_LUN1_EDIT, "LUN 1 edit"},
            {IDC_STATUS_BUTTON, "status"},           {IDC_LUN0_REMOVABLE, "LUN 0 removable"},
            {IDC_LUN1_REMOVABLE, "LUN 1 removable"}, {IDC_LUN0_FIXED, "LUN 0 fixed"},
            {IDC_LUN1_FIXED, "LUN 1 fixed"}};
        for (const auto& [control, name] : controls) {
            QTest::addRow("%s, Menu key", name)
                << control << int(Qt::Key_Menu) << int(Qt::NoModifier);
            QTest::addRow("%s, Shift+F10", name)
                << control << int(Qt::Key_F10) << int(Qt::ShiftModifier);
        }
    }

    void contextMenuKeysOpenTheMenuFromAnyControl() {
        QFETCH(int, control);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QWidget* widget = window_->Control(control);
        widget->setFocus();
        QStringList entries;
        bool opened = false;
        QTimer inspect;  // a menu that never opens must not leave a timer behind
        inspect.setSingleShot(true);
        connect(&inspect, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            opened = true;
            for (const QAction* action : menu->actions()) entries << action->text();
            menu->close();
        });
        inspect.start(0);
        QTest::keyClick(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::processEvents();
        QVERIFY(opened);
        QVERIFY2(entries.contains(Utf8(kAboutMenuEntry)), qPrintable(entries.join('|')));
        QVERIFY2(entries.contains(Utf8(kUndoMenuEntry)), qPrintable(entries.join('|')));
        QCOMPARE(window_->focusWidget(), widget);
    }

    // A command that changes the drive leaves the reminder to replug beside the status button,
    // whole at any scale; one that changes nothing, or finds no drive, leaves none. The boxes
    // keep the commands' own texts.
    void aChangeRemindsToReplug_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("driveThere");
        QTest::addColumn<bool>("reminded");
        QTest::addColumn<QString>("boxText");
        // clang-format off
        QTest::newRow("LUN 0 fixed") << IDC_LUN0_FIXED << true << true << "";
        QTest::newRow("LUN 1 removable") << IDC_LUN1_REMOVABLE << true << true << "";
        QTest::newRow("LUN 0 removable, as it is") << IDC_LUN0_REMOVABLE << true << false << "";
        QTest::newRow("status") << IDC_STATUS_BUTTON << true << false << "";
        QTest::newRow("Write of the types the drive has")
            << kWriteId << true << false
            << Utf8(kNothingToWrite) + QStringLiteral("\n\nLUN 0: Removable (unchanged)"
                                                      "\nLUN 1: Fixed Disk (unchanged)");
        QTest::newRow("no drive") << IDC_LUN0_FIXED << false << false << Utf8(kNoDriveMessage);
        // clang-format on
    }

    void aChangeRemindsToReplug() {
        QFETCH(int, command);
        QFETCH(bool, driveThere);
        QFETCH(bool, reminded);
        QFETCH(QString, boxText);
        QLabel* statusLine = window_->StatusLine();
        if (command == kWriteId) Click(IDC_STATUS_BUTTON);  // the rows Write sends back
        if (!driveThere) {
            platform_->SetLetterExists('E', false);
            platform_->SetLetterExists('F', false);
        }
        window_->RunCommand(command);
        QCOMPARE(statusLine->text(), reminded ? Utf8(kReplugReminder) : QString());
        QCOMPARE(boxes_->shown.empty(), boxText.isEmpty());
        if (!boxText.isEmpty()) QCOMPARE(boxes_->shown.back().text, boxText);
        if (!reminded) return;

        QVERIFY(statusLine->isVisible());
        QVERIFY2(statusLine->heightForWidth(statusLine->width()) <= statusLine->height(),
                 qPrintable(QStringLiteral("%1 pixels high for %2")
                                .arg(statusLine->height())
                                .arg(statusLine->heightForWidth(statusLine->width()))));
        // A later command that changes nothing leaves the reminder: the drive has not restarted.
        Click(IDC_STATUS_BUTTON);
        QCOMPARE(statusLine->text(), Utf8(kReplugReminder));
        QVERIFY(window_->grab().save(ScreenshotPath(*window_, "vardel-replug")));
    }

    // The drive took the write but the read-back failed: the box says "Fail" and why, and the
    // line beside the status button says that the drive may hold the change and what to do,
    // whole at any scale (its tooltip at length). A later status read that succeeds leaves it:
    // the drive has not restarted.
    void anUnconfirmedWriteSaysWhatToDo() {
        emulated::Fault readBack;
        readBack.letter = 'F';
        readBack.operation = emulated::Operation::ReadConfig;
        readBack.skip = 1;
        readBack.effect = emulated::FaultEffect::FailControl;
        readBack.code = 1117;
        platform_->InjectFault(readBack);
        window_->RunCommand(IDC_LUN0_FIXED);
        QCOMPARE(boxes_->shown.size(), std::size_t{1});
        QCOMPARE(boxes_->shown.back().text,
                 Utf8(kFailMessage) + QStringLiteral(": the read of the configuration block on "
                                                     "F: failed in the system, system error 1117"));
        QLabel* statusLine = window_->StatusLine();
        const QString advice = Utf8(kUnconfirmedWriteLine);
        QCOMPARE(statusLine->text(), advice);
        QCOMPARE(statusLine->toolTip(), Utf8(UnconfirmedWriteAdvice(kReadAgainInWindow).c_str()));
        QVERIFY(statusLine->toolTip().contains(QStringLiteral("acknowledged")));
        QVERIFY(statusLine->isVisible());
        QVERIFY2(statusLine->heightForWidth(statusLine->width()) <= statusLine->height(),
                 qPrintable(QStringLiteral("%1 pixels high for %2")
                                .arg(statusLine->height())
                                .arg(statusLine->heightForWidth(statusLine->width()))));
        Click(IDC_STATUS_BUTTON);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), QStringLiteral("Fixed Disk"));
        QCOMPARE(statusLine->text(), advice);
        QVERIFY(window_->grab().save(ScreenshotPath(*window_, "vardel-unconfirmed")));
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

    // The no-rights box, as the program shows it: it names the rule where the package puts it,
    // says to start it without --direct, suggests no command run as root (the window refuses to
    // start so), and its paragraphs wrap evenly at the box's width, at any scale.
    void theNoRightsBoxNamesTheRuleAndWrapsEvenly() {
        emulated::Fault fault;
        fault.times = -1;
        fault.code = kErrorAccessDenied;
        platform_->InjectFault(fault);
        frontend::AccessWatch watch(*platform_, frontend::IsEmulatedNoRightsError);
        ModalMessageBoxes modal;
        LunModeWindow window(watch, modal);
        window.SetNoDriveHint([&watch](const CommandOutcome&) {
            return std::string(watch.SawNoRights() ? kNoRightsAdvice : "");
        });
        window.show();
        QString text;
        QStringList ragged;
        InspectNextModal([&](QWidget* shown) {
            auto* box = qobject_cast<QMessageBox*>(shown);
            if (box == nullptr) return;
            text = box->text();
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label == nullptr) return;
            ragged = RaggedLines(text, label->font(), label->contentsRect().width());
            box->grab().save(ScreenshotPath(*box, "no-rights"));
        });
        window.RunCommand(IDC_STATUS_BUTTON);
        QVERIFY(text.startsWith(Utf8(kNoDriveMessage) + QStringLiteral("\n\n")));
        QVERIFY(text.contains(QStringLiteral("/usr/lib/udev/rules.d/70-vardel.rules")));
        QVERIFY(text.contains(QStringLiteral("Start vardel without --direct")));
        QVERIFY2(!text.contains(QStringLiteral("sudo")), qPrintable(text));
        QVERIFY2(ragged.isEmpty(), qPrintable(ragged.join(QStringLiteral(" | "))));
    }

    // The context menu's undo is off until this window changes the drive; it then puts back the
    // block that change replaced, and is a change itself, which the next undo puts back. A drive
    // changed since by someone else is left alone.
    void undoFromTheContextMenuPutsBackTheWindowsLastChange() {
        QAction* undo = window_->UndoAction();
        QCOMPARE(undo->text(), Utf8(kUndoMenuEntry));
        QVERIFY(window_->actions().contains(undo));
        emulated::Block& block = platform_->DriveAt(drive_).configBlock;
        const emulated::Block first = block;
        Click(IDC_STATUS_BUTTON);
        Click(IDC_LUN1_FIXED);  // already fixed: nothing written, no change
        QVERIFY(!undo->isEnabled());

        Click(IDC_LUN0_FIXED);
        const emulated::Block changed = block;
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QVERIFY(block == first);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), QStringLiteral("Removable"));
        QCOMPARE(window_->StatusLine()->text(), Utf8(kReplugReminder));
        undo->trigger();
        QVERIFY(block == changed);
        QCOMPARE(Edit(IDC_LUN0_EDIT)->text(), QStringLiteral("Fixed Disk"));
        QVERIFY(boxes_->shown.empty());

        block[kTypeSlotBOffset] = kLunTypeRemovable;
        const emulated::Block elsewhere = block;
        undo->trigger();
        QVERIFY(block == elsewhere);
        QCOMPARE(boxes_->shown.size(), std::size_t{1});
        QCOMPARE(boxes_->shown.back().text, Utf8(kFailMessage));
    }

    // With a journal, each change's entry is in its file before the write; a journal that
    // cannot keep it stops the change, and the status line says why.
    void theWindowJournalsItsChanges() {
        QTemporaryDir state;
        const std::string folder = state.path().toStdString() + "/journal";
        frontend::DriveJournal journal(folder, "", "vardel test");
        window_->SetJournal(&journal);
        Click(IDC_LUN0_FIXED);
        std::vector<frontend::JournalEntry> entries;
        std::string problem;
        QVERIFY(frontend::ReadJournalFile(folder + "/VD0000000001.json", entries, problem));
        QCOMPARE(entries.size(), std::size_t{1});
        QCOMPARE(entries[0].command, std::string("set"));

        QVERIFY(QFile::remove(QString::fromStdString(folder + "/VD0000000001.json")));
        QVERIFY(QDir().rmdir(QString::fromStdString(folder)));
        QFile blocker(QString::fromStdString(folder));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const emulated::Block before = platform_->DriveAt(drive_).configBlock;
        Click(IDC_LUN1_REMOVABLE);
        QVERIFY(platform_->DriveAt(drive_).configBlock == before);
        QCOMPARE(boxes_->shown.back().text, Utf8(kFailMessage));
        QVERIFY2(window_->StatusLine()->text().startsWith(Utf8(kJournalNotSavedNote)),
                 qPrintable(window_->StatusLine()->text()));
        QVERIFY(window_->StatusLine()->text().contains(QStringLiteral("is not a folder")));
    }

    void aboutBoxFromTheContextMenu() {
        QAction* about = window_->AboutAction();
        QCOMPARE(about->text(), Utf8(kAboutMenuEntry));
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
            box->grab().save(ScreenshotPath(*box, "about"));
        });
        about->trigger();
        QCOMPARE(caption, Utf8(kAboutCaption));
        QCOMPARE(okText, Utf8(kAboutOk));
        QCOMPARE(labels, QStringList{QStringLiteral("Vardel Version " VARDEL_VERSION)});
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
        window.SetNoDriveHint([&watch](const CommandOutcome&) {
            return std::string(watch.SawNoRights() ? "ADVICE" : "");
        });
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
    // once the command holds the file, the scenario's folder is moved away and a plain file takes
    // its name.
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

            bool blocked = false;
            window.afterHold = [&] {
                QFile blocker(folder);
                blocked = QDir().rename(folder, aside) && blocker.open(QIODevice::WriteOnly);
            };
            QVERIFY(!window.Run(IDC_LUN0_FIXED));
            window.afterHold = nullptr;
            QVERIFY(blocked);
            QVERIFY2(window.Problem().find("drive.json") != std::string::npos,
                     window.Problem().c_str());
            QCOMPARE(window.Row(IDC_LUN0_EDIT), QStringLiteral("Fixed Disk"));
            // A replug could not make a change count that the file does not hold.
            QCOMPARE(window.StatusLine(), Utf8(kChangeNotKept));
            QVERIFY(window.StatusLineFits());
            QVERIFY(!window.Run(IDC_STATUS_BUTTON));
            QCOMPARE(window.StatusLine(), Utf8(kChangeNotKept));

            QVERIFY(QFile::remove(folder));
            QVERIFY(QDir().rename(aside, folder));
            QVERIFY2(window.Run(IDC_STATUS_BUTTON), window.Problem().c_str());
            QCOMPARE(window.StatusLine(), Utf8(kReplugReminder));
        }
        ScenarioWindow again(file);
        QVERIFY2(again.Started(), again.Problem().c_str());
        again.Run(IDC_STATUS_BUTTON);
        QCOMPARE(again.Row(IDC_LUN0_EDIT), QStringLiteral("Fixed Disk"));
        QCOMPARE(again.Row(IDC_LUN1_EDIT), QStringLiteral("Fixed Disk"));
    }

    // Two windows on one scenario file: each command holds the file and takes up what the other
    // wrote, so neither change is lost; while another program holds the file for the whole wait,
    // the command does not run and the window says the drive is busy.
    void twoWindowsOnOneScenarioKeepBothChanges() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString file = CopyOfPlainScenario(folder.path());
        ScenarioWindow first(file);
        ScenarioWindow second(file);
        QVERIFY(first.Started() && second.Started());
        QVERIFY2(first.Run(IDC_STATUS_BUTTON), first.Problem().c_str());
        QVERIFY2(second.Run(IDC_LUN1_REMOVABLE), second.Problem().c_str());
        QVERIFY2(first.Run(IDC_LUN0_FIXED), first.Problem().c_str());
        QVERIFY2(first.Run(IDC_STATUS_BUTTON), first.Problem().c_str());
        QCOMPARE(first.Row(IDC_LUN0_EDIT), QStringLiteral("Fixed Disk"));
        QCOMPARE(first.Row(IDC_LUN1_EDIT), QStringLiteral("Removable"));

        const QByteArray before = ReadAll(file);
        {
            frontend::FileLock other;
            std::string problem;
            QCOMPARE(other.Take(file.toStdString(), 0, problem), frontend::FileLockResult::Held);
            QVERIFY(!second.Run(IDC_LUN0_REMOVABLE));
            QVERIFY(!second.Held());
            QCOMPARE(second.ExitCode(), frontend::kExitBusy);
            QVERIFY2(second.Problem().rfind(kDriveBusyMessage, 0) == 0, second.Problem().c_str());
        }
        QCOMPARE(ReadAll(file), before);
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
        QVERIFY(!platform.SetUp(options, false, problem));
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
        QTest::newRow("scenario, separate")
            << QStringList{"--emulate", "d.json"} << true << true << "d.json" << "";
        QTest::newRow("screenshot") << QStringList{"--emulate", "--screenshot-after-status=s.png"}
                                    << true << true << "" << "s.png";
        QTest::newRow("both separate")
            << QStringList{"--screenshot-after-status", "s.png", "--emulate", "d.json"}
            << true << true << "d.json" << "s.png";
        QTest::newRow("emulate before another option")
            << QStringList{"--emulate", "--version"} << true << true << "" << "";
        QTest::newRow("empty scenario") << QStringList{"--emulate="} << false << false << "" << "";
        QTest::newRow("empty scenario, separate")
            << QStringList{"--emulate", ""} << false << false << "" << "";
        QTest::newRow("empty screenshot") << QStringList{"--screenshot-after-status="}
                                          << false << false << "" << "";
        QTest::newRow("screenshot without its file")
            << QStringList{"--screenshot-after-status"} << false << false << "" << "";
        QTest::newRow("screenshot before another option")
            << QStringList{"--screenshot-after-status", "--emulate"} << false << false << "" << "";
        QTest::newRow("a second file") << QStringList{"--emulate", "d.json", "e.json"}
                                       << false << false << "" << "";
        QTest::newRow("unknown") << QStringList{"--emulated"} << false << false << "" << "";
        QTest::newRow("a command") << QStringList{"status"} << false << false << "" << "";
        QTest::newRow("direct on an emulated machine")
            << QStringList{"--direct", "--emulate"} << true << true << "" << "";
        QTest::newRow("service") << QStringList{"--service"} << true << false << "" << "";
        QTest::newRow("both routes")
            << QStringList{"--direct", "--service"} << false << false << "" << "";
        QTest::newRow("service on an emulated machine")
            << QStringList{"--service", "--emulate"} << false << false << "" << "";
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
