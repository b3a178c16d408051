#pragma once
// The dialog model's view of a live Win32 dialog: control ids map to the dialog's children.

#include "ui/dialog_controls.h"
#include "ui/win32/windows_headers.h"

namespace vardel::win32 {

class Win32DialogControls : public DialogControls {
  public:
    explicit Win32DialogControls(HWND dialog) : dialog_(dialog) {}

    std::string EditText(int editId) override;
    void SetEditText(int editId, const std::string& text) override;
    void LimitEditText(int editId, int maxCharacters) override;
    void FocusAndSelectEdit(int editId) override;
    void EnableControl(int controlId, bool enable) override;
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override;

  private:
    HWND dialog_;
};

}  // namespace vardel::win32
