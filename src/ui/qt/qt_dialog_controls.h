#pragma once
// The dialog model's view of the Qt window: control ids map to the window's widgets, message boxes
// go through the window's MessageBoxes.

#include <map>

#include "ui/dialog_controls.h"
#include "ui/qt/message_boxes.h"

class QLineEdit;
class QWidget;

namespace vardel::qt {

class TypingLimit;

class QtDialogControls : public DialogControls {
  public:
    QtDialogControls(QWidget& owner, MessageBoxes& boxes) : owner_(owner), boxes_(boxes) {}

    void AddEdit(int editId, QLineEdit& edit);
    void AddControl(int controlId, QWidget& control);

    // Whether the model moved the focus since the last call; the window then leaves it there.
    bool TakeFocusMoved();

    std::string EditText(int editId) override;
    void SetEditText(int editId, const std::string& text) override;
    void LimitEditText(int editId, int maxCharacters) override;
    void FocusAndSelectEdit(int editId) override;
    void EnableControl(int controlId, bool enable) override;
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override;

    // A Yes/No question owned by the window, with the arrow back while it is up; true for Yes.
    bool Ask(const std::string& text, const std::string& caption);

  private:
    QLineEdit* Edit(int editId) const;

    QWidget& owner_;
    MessageBoxes& boxes_;
    std::map<int, QLineEdit*> edits_;
    std::map<int, QWidget*> controls_;
    std::map<int, TypingLimit*> limits_;  // owned by their edits
    bool focusMoved_ = false;
};

}  // namespace vardel::qt
