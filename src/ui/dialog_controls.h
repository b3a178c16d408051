#pragma once
// The controls of a dialog as the dialog model sees them; each toolkit supplies one. Texts are
// UTF-8; a toolkit converts at its edge.

#include <string>

namespace vardel {

enum class MessageIcon { None, Exclamation };

class DialogControls {
  public:
    virtual ~DialogControls() = default;
    virtual std::string EditText(int editId) = 0;
    virtual void SetEditText(int editId, const std::string& text) = 0;
    // Restricts typing to `maxCharacters`; text the program puts in is shown whole.
    virtual void LimitEditText(int editId, int maxCharacters) = 0;
    // Moves the focus to the edit and selects its text.
    virtual void FocusAndSelectEdit(int editId) = 0;
    virtual void EnableControl(int controlId, bool enable) = 0;
    // A message box owned by the dialog with an OK button only; returns when closed.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageIcon icon) = 0;
};

}  // namespace vardel
