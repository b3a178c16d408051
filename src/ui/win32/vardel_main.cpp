// Vardel.exe: the tool on the machine's own drives.

#include "platform/win32/win32_platform.h"
#include "ui/win32/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vardel::Win32Platform platform;
    return vardel::win32::RunApplication(instance, platform, false);
}
