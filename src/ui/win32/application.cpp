#include "ui/win32/application.h"

#include <commctrl.h>

#include <string>

#include "journal/drive_journal.h"
#include "journal/journal_place.h"
#include "ui/win32/lun_mode_dialog.h"

namespace vardel::win32 {

int RunApplication(HINSTANCE instance, Platform& platform, bool emulated) {
    // Loads the themed controls that the manifest asks for.
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);

    std::string journalProblem;
    const std::string journalFolder = frontend::JournalFolder(emulated, journalProblem);
    frontend::DriveJournal journal(journalFolder, journalProblem, "Vardel " VARDEL_VERSION);
    LunModeDialog dialog(instance, platform, &journal);
    dialog.Run();
    return 0;
}

}  // namespace vardel::win32
