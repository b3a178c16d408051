#include "ui/win32/application.h"

#include <commctrl.h>

#include "ui/win32/lun_mode_dialog.h"

namespace vardel::win32 {

int RunApplication(HINSTANCE instance, Platform& platform) {
    // Loads the themed controls that the manifest asks for.
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    LunModeDialog dialog(instance, platform);
    dialog.Run();
    return 0;
}

}  // namespace vardel::win32
