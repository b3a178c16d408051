#include "ui/win32/win32_dialog_controls.h"

#include <string>

#include "ui/win32/wide_text.h"

namespace vardel::win32 {

std::string Win32DialogControls::EditText(int editId) {
    const int length = GetWindowTextLengthW(GetDlgItem(dialog_, editId));
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = GetDlgItemTextW(dialog_, editId, text.data(), length + 1);
    text.resize(copied);
    return ToUtf8(text);
}

void Win32DialogControls::SetEditText(int editId, const std::string& text) {
    SetDlgItemTextW(dialog_, editId, ToWide(text).c_str());
}

void Win32DialogControls::LimitEditText(int editId, int maxCharacters) {
    SendDlgItemMessageW(dialog_, editId, EM_SETLIMITTEXT, static_cast<WPARAM>(maxCharacters), 0);
}

void Win32DialogControls::FocusAndSelectEdit(int editId) {
    const HWND edit = GetDlgItem(dialog_, editId);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

void Win32DialogControls::EnableControl(int controlId, bool enable) {
    EnableWindow(GetDlgItem(dialog_, controlId), enable ? TRUE : FALSE);
}

void Win32DialogControls::ShowMessageBox(const std::string& text, const std::string& caption,
                                         MessageIcon icon) {
    const UINT iconFlag = icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0;
    MessageBoxW(dialog_, ToWide(text).c_str(), ToWide(caption).c_str(), MB_OK | iconFlag);
}

}  // namespace vardel::win32
