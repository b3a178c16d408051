#pragma once
// The main window in Qt: the same controls, captions and proportions as the Windows dialog, with
// the tab order row by row. It hands every button to the dialog model and keeps only what belongs
// to the window: the keys, the wait cursor, the about entry, the icon, the controls' names for a
// screen reader, the window's words in the user's language, the question before a write and the
// reminder to replug after a change.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QDialog>
#include <QIcon>

#include "journal/drive_journal.h"
#include "platform/platform.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/qt/message_boxes.h"
#include "ui/qt/qt_dialog_controls.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vardel::qt {

// The window's icon, drawn from the same source as the Windows one.
QIcon ApplicationIcon();

class LunModeWindow : public QDialog {
  public:
    LunModeWindow(Platform& platform, MessageBoxes& boxes, QWidget* parent = nullptr);

    // Runs before every command; when it gives false the command does not run, nor the after
    // command (e.g. the emulated drive's file is held by another program).
    void SetBeforeCommand(std::function<bool()> beforeCommand) {
        beforeCommand_ = std::move(beforeCommand);
    }
    // Runs after every command, e.g. to write an emulated drive's new state back to its file;
    // false when the change could not be kept, which the status line then says.
    void SetAfterCommand(std::function<bool()> afterCommand);
    // What "No drive found" adds when the front end knows why (see the dialog model).
    void SetNoDriveHint(LunModeDialogModel::NoDriveHint hint) {
        model_.SetNoDriveHint(std::move(hint));
    }

    // Whether the drives are the machine's: a failure's detail then names the letter's device
    // nodes and puts the system's error codes in words (an emulated machine's are another
    // system's). False until set.
    void SetOnMachine(bool onMachine);

    // The journal every change of the window goes through first (null: none).
    void SetJournal(frontend::DriveJournal* journal);

    // Where the commands run in another process (the drive service), which knows the failed
    // command's nodes and its journal's problem: they come from there. Unset: from this machine
    // and this window's journal.
    using FailedPaths = std::function<std::vector<std::string>(const CommandOutcome&)>;
    void SetFailedPaths(FailedPaths paths) { failedPaths_ = std::move(paths); }
    void SetJournalProblem(std::function<std::string()> problem) {
        journalProblem_ = std::move(problem);
    }
    // The commands go to the model through `relay` (LunModeDialogModel::SetRelay).
    void SetRelay(CommandRelay relay) { model_.SetRelay(std::move(relay)); }

    // While a command waits for another process, the window keeps drawing but takes no input,
    // starts no other command and does not close.
    void SetBusy(bool busy);
    bool Busy() const { return busy_; }

    // A click on a command button, or IDOK for Enter: the write that asks first (see
    // LunModeDialogModel::SetWriteQuestion).
    void RunCommand(int controlId);
    // The context menu's undo: puts back what the window's last change replaced.
    void UndoLastChange();

    // The widget of a control id of the template (IDOK is the hidden Write button); null for
    // others.
    QWidget* Control(int controlId) const;
    // The entry "About Vardel..." of the window's context menu.
    QAction* AboutAction() const { return aboutAction_; }
    // The entry "Undo last change" beside it, enabled once this window changed the drive.
    QAction* UndoAction() const { return undoAction_; }
    // The line beside the status button: empty until a command changes the drive (or may have:
    // a write acknowledged but not confirmed), and then what to do.
    QLabel* StatusLine() const { return statusLine_; }

    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void ShowAboutBox();
    void OpenContextMenuFromKeyboard();
    void ShowEditMenu(QLineEdit& edit, const QPoint& position);
    // After a command or an undo: the status line, the undo entry, the program's own step.
    void AfterCommand();

    QtDialogControls controls_;
    LunModeDialogModel model_;
    std::function<bool()> beforeCommand_;
    std::function<bool()> afterCommand_;
    // The status line says that the last change could not be kept.
    bool changeNotKept_ = false;
    bool onMachine_ = false;
    bool busy_ = false;
    FailedPaths failedPaths_;
    std::function<std::string()> journalProblem_;
    QLineEdit* lun0Edit_ = nullptr;
    QLineEdit* lun1Edit_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QPushButton* statusButton_ = nullptr;
    QPushButton* lun0RemovableButton_ = nullptr;
    QPushButton* lun1RemovableButton_ = nullptr;
    QPushButton* lun0FixedButton_ = nullptr;
    QPushButton* lun1FixedButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    frontend::DriveJournal* journal_ = nullptr;
};

}  // namespace vardel::qt
