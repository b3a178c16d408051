#pragma once
// The main dialog (template 102) as a Win32 window: it hands every button to the dialog model and
// keeps only what belongs to the window itself (system menu, icons, minimised painting).

#include <optional>

#include "platform/platform.h"
#include "ui/lun_mode_dialog_model.h"
#include "ui/win32/win32_dialog_controls.h"
#include "ui/win32/windows_headers.h"

namespace vardel::win32 {

class LunModeDialog {
  public:
    // `journal` keeps the block as read before each change (null: none).
    LunModeDialog(HINSTANCE instance, Platform& platform, WriteJournal* journal);
    LunModeDialog(const LunModeDialog&) = delete;
    LunModeDialog& operator=(const LunModeDialog&) = delete;

    // Shows the dialog modally, with no owner; returns when it has closed.
    void Run();

  private:
    // The controls exist only while the window does, and the model needs them.
    struct Live {
        Live(HWND dialog, Platform& platform) : controls(dialog), model(platform, controls) {}
        Win32DialogControls controls;
        LunModeDialogModel model;
    };

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInitDialog();
    bool OnSysCommand(WPARAM command);
    bool OnPaint();
    bool OnCommand(WPARAM wParam);
    void RunCommand(int controlId);

    HINSTANCE instance_;
    Platform& platform_;
    WriteJournal* journal_;
    HICON icon_;
    HICON smallIcon_;
    HWND window_ = nullptr;
    std::optional<Live> live_;
};

}  // namespace vardel::win32
