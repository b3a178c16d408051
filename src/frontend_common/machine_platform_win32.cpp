// The machine's drives on Windows, through their volumes.

#include "frontend_common/machine_platform.h"
#include "platform/platform_constants.h"
#include "platform/win32/win32_platform.h"

namespace vardel::frontend {

std::unique_ptr<Platform> MakeMachinePlatform() {
    return std::make_unique<Win32Platform>();
}

bool IsNoRightsError(std::uint32_t error) {
    return error == kErrorAccessDenied;
}

const char* NoRightsAdvice() {
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

}  // namespace vardel::frontend
