#include "ui/qt/lun_mode_window.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "machine/machine_platform.h"
#include "outcome/failure_detail.h"
#include "resource.h"
#include "ui/qt/about_box.h"
#include "ui/qt/dialog_layout.h"
#include "ui/qt/translated_text.h"
#include "ui/qt/window_captions.h"
#include "ui/qt/window_texts.h"

namespace vardel::qt {
namespace {

constexpr int kWriteButtonId = 1;  // IDOK: the default button, reached by Enter

QString Text(const char* utf8) {
    return Translated(utf8);
}

// "LUN 0: Removable -> Fixed Disk", or "LUN 0: Removable (unchanged)", in the buttons' words.
QString RowChange(int lun, std::uint8_t before, std::uint8_t after) {
    const QString line = QStringLiteral("LUN %1: %2").arg(lun).arg(TypeWord(before));
    if (before == after) return line + QLatin1Char(' ') + Text(kWriteQuestionUnchangedRow);
    return line + QStringLiteral(" \u2192 ") + TypeWord(after);
}

}  // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/vardel/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/vardel/icon-32.png"), QSize(32, 32));
    return icon;
}

LunModeWindow::LunModeWindow(Platform& platform, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), controls_(*this, boxes), model_(platform, controls_) {
    // The title is the Windows dialog's: the name and the version, in every language.
    setWindowTitle(QStringLiteral("Vardel v" VARDEL_VERSION));
    setWindowIcon(ApplicationIcon());
    BuildControls();

    // Linux has no system menu to add to; the window's own context menu carries the entries.
    undoAction_ = new QAction(Text(kUndoMenuEntry), this);
    undoAction_->setEnabled(false);
    connect(undoAction_, &QAction::triggered, this, &LunModeWindow::UndoLastChange);
    addAction(undoAction_);
    aboutAction_ = new QAction(Text(kAboutMenuEntry), this);
    connect(aboutAction_, &QAction::triggered, this, &LunModeWindow::ShowAboutBox);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // Enter writes only what the user agrees to, and nothing where nothing would change.
    LunModeDialogModel::WriteQuestion question;
    question.ask = [this](const RowTypes& before, const RowTypes& after) {
        const QString text = Text(kWriteQuestion) + QStringLiteral("\n\n") +
                             RowChange(0, before.lun0, after.lun0) + QLatin1Char('\n') +
                             RowChange(1, before.lun1, after.lun1);
        return controls_.Ask(text.toStdString(), kApplicationName);
    };
    question.unchanged = [this](const RowTypes& rows) {
        const QString text = Text(kNothingToWrite) + QStringLiteral("\n\n") +
                             RowChange(0, rows.lun0, rows.lun0) + QLatin1Char('\n') +
                             RowChange(1, rows.lun1, rows.lun1);
        controls_.ShowMessageBox(text.toStdString(), kMessageCaption, MessageIcon::None);
    };
    model_.SetWriteQuestion(std::move(question));
    // A mode button that would change nothing writes nothing; its row shows the type it has.
    model_.SetSkipUnchangedWrites(true);
    // The commands' messages in the window's language, chosen by the outcome.
    model_.SetOutcomeText(
        [](const CommandOutcome& outcome) { return OutcomeText(outcome).toStdString(); });
    // A failure says what vardelctl says of it.
    model_.SetFailureDetail([this](const CommandOutcome& outcome) {
        const std::vector<std::string> paths =
            failedPaths_ ? failedPaths_(outcome)
                         : frontend::FailedCommandPaths(outcome, onMachine_);
        return frontend::FailureDetail(outcome, paths, onMachine_);
    });

    // As the Windows dialog on start: the edits get their (empty) texts and input limit.
    model_.Refresh();
    lun0Edit_->setFocus(Qt::OtherFocusReason);
}

// The controls are made in the template's order; the group box is
// then lowered beneath the edits it frames, so that it never takes their clicks.
void LunModeWindow::BuildControls() {
    QFont dialogFont = font();
    dialogFont.setPointSize(kMainDialogPointSize);
    setFont(dialogFont);
    const DialogUnits units(dialogFont);
    setFixedSize(units.ToPixels(kMainDialogWidth, kMainDialogHeight));

    // Each button and edit carries a name that says its row, spoken by a screen reader and shown
    // as the buttons' tooltip: the two rows' buttons have the same captions.
    const auto button = [&](const char* caption, const DialogRect& rect, int controlId,
                            const char* name) {
        auto* made = new QPushButton(Text(caption), this);
        made->setGeometry(units.ToPixels(rect));
        made->setAccessibleName(Text(name));
        made->setToolTip(Text(name));
        // A focused button takes Enter itself, as on Windows, where it becomes the default.
        made->setAutoDefault(true);
        controls_.AddControl(controlId, *made);
        connect(made, &QPushButton::clicked, this, [this, controlId] { RunCommand(controlId); });
        return made;
    };
    // The template sizes the labels for the system's dialog font; in a wider font, or rounded
    // at another scale, that cuts off the end of "Lun0", or its descent. A label grows to its
    // text: to the right up to its edit, and in height about its middle.
    const auto label = [&](const char* caption, const DialogRect& rect, const DialogRect& beside) {
        auto* made = new QLabel(Text(caption), this);
        QRect pixels = units.ToPixels(rect);
        const int room = units.ToPixels(beside).left() - pixels.left();
        const QSize text = made->sizeHint();
        pixels.setWidth(std::max(pixels.width(), std::min(text.width(), room)));
        made->setGeometry(TallEnoughFor(pixels, text.height()));
        return made;
    };
    // The read-only edits keep their own menu (copy, select all) and add the about entry.
    const auto edit = [&](const DialogRect& rect, int editId, const char* name, QLabel* caption) {
        auto* made = new QLineEdit(this);
        made->setGeometry(units.ToPixels(rect));
        made->setReadOnly(true);
        made->setAccessibleName(Text(name));
        caption->setBuddy(made);
        made->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(made, &QWidget::customContextMenuRequested, this,
                [this, made](const QPoint& position) { ShowEditMenu(*made, position); });
        controls_.AddEdit(editId, *made);
        return made;
    };

    writeButton_ = button(kWriteButton, kWriteButtonRect, kWriteButtonId, kWriteButton);
    writeButton_->setDefault(true);
    writeButton_->hide();
    QLabel* const lun0Label = label(kLun0Label, kLun0LabelRect, kLun0EditRect);
    lun0Edit_ = edit(kLun0EditRect, IDC_LUN0_EDIT, kLun0EditName, lun0Label);
    statusButton_ = button(kStatusButton, kStatusButtonRect, IDC_STATUS_BUTTON, kStatusButtonName);
    QLabel* const lun1Label = label(kLun1Label, kLun1LabelRect, kLun1EditRect);
    lun1Edit_ = edit(kLun1EditRect, IDC_LUN1_EDIT, kLun1EditName, lun1Label);
    lun0RemovableButton_ =
        button(kRemovableButton, kLun0RemovableRect, IDC_LUN0_REMOVABLE, kLun0RemovableName);
    auto* group = new QGroupBox(Text(kStatusGroup), this);
    group->setGeometry(units.ToPixels(kStatusGroupRect));
    group->lower();
    lun1RemovableButton_ =
        button(kRemovableButton, kLun1RemovableRect, IDC_LUN1_REMOVABLE, kLun1RemovableName);
    lun0FixedButton_ = button(kFixedButton, kLun0FixedRect, IDC_LUN0_FIXED, kLun0FixedName);
    lun1FixedButton_ = button(kFixedButton, kLun1FixedRect, IDC_LUN1_FIXED, kLun1FixedName);

    statusLine_ = new QLabel(this);
    statusLine_->setGeometry(units.ToPixels(kStatusLineRect));
    statusLine_->setWordWrap(true);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAccessibleName(Text(kStatusLineName));

    // Row by row, as the eye reads the window (the Windows template's order goes down the columns).
    QWidget* const tabOrder[] = {lun0Edit_,    lun0RemovableButton_, lun0FixedButton_,
                                 lun1Edit_,    lun1RemovableButton_, lun1FixedButton_,
                                 statusButton_};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
}

void LunModeWindow::SetOnMachine(bool onMachine) {
    onMachine_ = onMachine;
    model_.SetMayHoldDrive(onMachine ? frontend::MachineMayHoldDrive() : nullptr);
}

void LunModeWindow::SetJournal(frontend::DriveJournal* journal) {
    journal_ = journal;
    model_.SetJournal(journal);
}

void LunModeWindow::SetAfterCommand(std::function<bool()> afterCommand) {
    afterCommand_ = std::move(afterCommand);
}

QWidget* LunModeWindow::Control(int controlId) const {
    switch (controlId) {
        case kWriteButtonId:
            return writeButton_;
        case IDC_LUN0_EDIT:
            return lun0Edit_;
        case IDC_LUN1_EDIT:
            return lun1Edit_;
        case IDC_STATUS_BUTTON:
            return statusButton_;
        case IDC_LUN0_REMOVABLE:
            return lun0RemovableButton_;
        case IDC_LUN1_REMOVABLE:
            return lun1RemovableButton_;
        case IDC_LUN0_FIXED:
            return lun0FixedButton_;
        case IDC_LUN1_FIXED:
            return lun1FixedButton_;
        default:
            return nullptr;
    }
}

void LunModeWindow::SetBusy(bool busy) {
    busy_ = busy;
    // A disabled window gives each control back the state it had of its own once enabled again.
    setEnabled(!busy);
}

void LunModeWindow::reject() {
    if (!busy_) QDialog::reject();
}

void LunModeWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void LunModeWindow::RunCommand(int controlId) {
    if (busy_) return;
    if (beforeCommand_ && !beforeCommand_()) return;
    QWidget* const focus = QApplication::focusWidget();
    controls_.TakeFocusMoved();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.OnCommand(controlId);
    QApplication::restoreOverrideCursor();
    // A command disables the button that was clicked while it runs, which sends the focus on to
    // the next control; give it back, unless the command chose an edit for the user.
    if (!controls_.TakeFocusMoved() && focus != nullptr && focus->window() == this &&
        focus->isEnabled()) {
        focus->setFocus(Qt::OtherFocusReason);
    }
    AfterCommand();
}

void LunModeWindow::UndoLastChange() {
    if (busy_) return;
    if (beforeCommand_ && !beforeCommand_()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.UndoLastChange();
    QApplication::restoreOverrideCursor();
    AfterCommand();
}

void LunModeWindow::AfterCommand() {
    // The reminder stays once a command changed the drive: nothing tells the window of a replug.
    // A write the drive acknowledged but no read confirmed may have changed it: the line says so
    // (the message box says "Fail", as it always has).
    const CommandOutcome& last = model_.LastOutcome();
    if (WriteUnconfirmed(last)) {
        statusLine_->setText(UnconfirmedWriteLineText());
        statusLine_->setToolTip(UnconfirmedWriteAdviceText());
    } else if (last.changed) {
        statusLine_->setText(Text(kReplugReminder));
        statusLine_->setToolTip(QString());
    }
    if (last.code == OutcomeCode::JournalNotSaved && (journalProblem_ || journal_ != nullptr)) {
        const std::string problem = journalProblem_ ? journalProblem_() : journal_->Problem();
        statusLine_->setText(Text(kJournalNotSavedNote) + QString::fromStdString(problem));
    }
    undoAction_->setEnabled(model_.CanUndo());
    if (!afterCommand_) return;
    if (!afterCommand_()) {
        statusLine_->setText(Text(kChangeNotKept));
        changeNotKept_ = true;
    } else if (changeNotKept_) {
        // A later command kept the change that was pending.
        statusLine_->setText(Text(kReplugReminder));
        changeNotKept_ = false;
    }
}

// Enter runs the hidden default button, also from an edit (an edit passes Enter on); the Write
// button is disabled while a command runs. Escape closes the window through QDialog. Shift+F10
// and the Menu key, which the controls pass on as well, open the context menu, as on Windows.
// (Where the display server turns the Menu key into a context menu request itself, the menu is
// open before the key arrives, and the key goes to the menu.)
void LunModeWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (writeButton_->isEnabled()) RunCommand(kWriteButtonId);
        event->accept();
        return;
    }
    const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (menuKey || shiftF10) {
        OpenContextMenuFromKeyboard();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The menu of the control with the focus, as the right mouse button would open it there: an
// edit's own menu, or (a button passes the request on) the window's.
void LunModeWindow::OpenContextMenuFromKeyboard() {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr || target->window() != this) target = this;
    const QPoint position = target->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, position, target->mapToGlobal(position));
    QApplication::sendEvent(target, &request);
}

void LunModeWindow::ShowEditMenu(QLineEdit& edit, const QPoint& position) {
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    menu->addSeparator();
    menu->addAction(undoAction_);
    menu->addAction(aboutAction_);
    menu->exec(edit.mapToGlobal(position));
}

void LunModeWindow::ShowAboutBox() {
    AboutBox box(windowIcon(), this);
    box.exec();
}

}  // namespace vardel::qt
