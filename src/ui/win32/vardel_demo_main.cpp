// VardelDemo.exe: the tool on an emulated machine, one drive over E: (LUN 0, removable) and F:
// (LUN 1, fixed) beside a C: with no drive of ours, to try it without the hardware.

#include "platform/emulated/emulated_platform.h"
#include "ui/win32/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vardel::emulated::EmulatedPlatform platform;
    platform.AddOtherVolume('C');
    const int drive = platform.AddDrive(vardel::emulated::StandardDrive());
    platform.AttachVolume('E', drive, 0);
    platform.AttachVolume('F', drive, 1);
    return vardel::win32::RunApplication(instance, platform);
}
