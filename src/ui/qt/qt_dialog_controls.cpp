#include "ui/qt/qt_dialog_controls.h"

#include <QApplication>
#include <QLineEdit>
#include <QValidator>

namespace vardel::qt {

// Refuses typing that makes the text longer than the limit, as a Windows edit does; a text the
// program put in may be longer and is shown whole, and shortening it is always allowed.
class TypingLimit : public QValidator {
  public:
    explicit TypingLimit(QLineEdit& edit) : QValidator(&edit), edit_(edit) {}
    void SetMax(int maxCharacters) { max_ = maxCharacters; }

    State validate(QString& input, int&) const override {
        const qsizetype length = input.size();
        return length <= max_ || length <= edit_.text().size() ? Acceptable : Invalid;
    }

  private:
    QLineEdit& edit_;
    int max_ = 0;
};

void QtDialogControls::AddEdit(int editId, QLineEdit& edit) {
    edits_[editId] = &edit;
    controls_[editId] = &edit;
}

void QtDialogControls::AddControl(int controlId, QWidget& control) {
    controls_[controlId] = &control;
}

bool QtDialogControls::TakeFocusMoved() {
    const bool moved = focusMoved_;
    focusMoved_ = false;
    return moved;
}

QLineEdit* QtDialogControls::Edit(int editId) const {
    const auto found = edits_.find(editId);
    return found != edits_.end() ? found->second : nullptr;
}

std::string QtDialogControls::EditText(int editId) {
    const QLineEdit* edit = Edit(editId);
    return edit != nullptr ? edit->text().toStdString() : std::string();
}

void QtDialogControls::SetEditText(int editId, const std::string& text) {
    if (QLineEdit* edit = Edit(editId)) edit->setText(QString::fromStdString(text));
}

// QLineEdit::setMaxLength would cut the program's own longer texts, hence a validator.
void QtDialogControls::LimitEditText(int editId, int maxCharacters) {
    QLineEdit* edit = Edit(editId);
    if (edit == nullptr) return;
    TypingLimit*& limit = limits_[editId];
    if (limit == nullptr) {
        limit = new TypingLimit(*edit);
        edit->setValidator(limit);
    }
    limit->SetMax(maxCharacters);
}

void QtDialogControls::FocusAndSelectEdit(int editId) {
    QLineEdit* edit = Edit(editId);
    if (edit == nullptr) return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    focusMoved_ = true;
}

void QtDialogControls::EnableControl(int controlId, bool enable) {
    const auto found = controls_.find(controlId);
    if (found != controls_.end()) found->second->setEnabled(enable);
}

// A box is no part of the work in progress: the arrow comes back while it is up.
void QtDialogControls::ShowMessageBox(const std::string& text, const std::string& caption,
                                      MessageIcon icon) {
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) QApplication::restoreOverrideCursor();
    boxes_.Show(&owner_, QString::fromStdString(text), QString::fromStdString(caption), icon);
    if (waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
}

bool QtDialogControls::Ask(const std::string& text, const std::string& caption) {
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) QApplication::restoreOverrideCursor();
    const bool yes =
        boxes_.Ask(&owner_, QString::fromStdString(text), QString::fromStdString(caption));
    if (waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
    return yes;
}

}  // namespace vardel::qt
