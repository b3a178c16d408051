// VardelDemo.exe: the tool on an emulated machine, one drive over E: (LUN 0, removable) and F:
// (LUN 1, fixed) beside a C: with no drive of ours, to try it without the hardware.

#include "platform/emulated/emulated_platform.h"
#include "ui/win32/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vardel::emulated::EmulatedPlatform platform;
    vardel::emulated::SetUpStandardMachine(platform);
    return vardel::win32::RunApplication(instance, platform, true);
}
