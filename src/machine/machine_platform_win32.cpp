// The machine's drives on Windows, through their volumes.

#include "machine/machine_platform.h"
#include "platform/platform_constants.h"
#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace vardel::frontend {

std::unique_ptr<Platform> MakeMachinePlatform() {
    return std::make_unique<Win32Platform>();
}

bool IsNoRightsError(std::uint32_t error) {
    return error == kErrorAccessDenied;
}

// Under Wine an administrator's prompt changes nothing: the rights are the Linux user's, on the
// nodes the drive letters are mapped to. Wine's own ntdll is the one that exports its version.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const char* NoRightsAdvice() {
    if (UnderWine()) {
        return "The drives could not be opened: access denied.\n"
               "Under Wine, map the drive's letters to its SCSI generic nodes (/dev/sgN) and run\n"
               "Wine as a Linux user with rights to them (root); see README.txt.";
    }
    return "The drives could not be opened: access denied.\n"
           "Run vardelctl from a command prompt started as administrator.";
}

bool RunsAsRoot() {
    return false;
}

bool LinuxMachine() {
    return false;
}

bool DescribeMachineDisk(char, DiskDescription&) {
    return false;
}

MayHoldDriveTest MachineMayHoldDrive() {
    return nullptr;
}

}  // namespace vardel::frontend
