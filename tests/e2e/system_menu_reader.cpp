// Reading a window's system menu through the probe DLL: the menu belongs to the window's process,
// so the probe's hook reads it there and the answer comes back in a shared block.

#include <cstring>

#include "system_menu_probe.h"
#include "window_driver.h"

namespace vardel::e2e {
namespace {

constexpr UINT kProbeTimeoutMs = 15000;

// Owns what one reading needs and gives it back in the reverse order.
class ProbeSession {
  public:
    ~ProbeSession() {
        if (hook) UnhookWindowsHookEx(hook);
        if (reading) UnmapViewOfFile(reading);
        if (block) CloseHandle(block);
        if (probe) FreeLibrary(probe);
    }
    HANDLE block = nullptr;
    SystemMenuReading* reading = nullptr;
    HMODULE probe = nullptr;
    HHOOK hook = nullptr;
};

HOOKPROC ProbeProc(HMODULE probe) {
    const FARPROC exported = GetProcAddress(probe, kSystemMenuProbeProcName);
    HOOKPROC proc = nullptr;
    static_assert(sizeof(proc) == sizeof(exported), "both are code addresses");
    std::memcpy(&proc, &exported, sizeof(proc));
    return proc;
}

}  // namespace

bool ReadLastSystemMenuItem(HWND window, const std::string& probeDllPath, SystemMenuItem& item,
                            std::string& error) {
    ProbeSession session;
    session.block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(SystemMenuReading), kSystemMenuProbeBlockName);
    if (session.block) {
        session.reading = static_cast<SystemMenuReading*>(
            MapViewOfFile(session.block, FILE_MAP_WRITE, 0, 0, sizeof(SystemMenuReading)));
    }
    if (!session.reading) {
        error = "the shared block for the probe could not be made";
        return false;
    }
    std::memset(session.reading, 0, sizeof(SystemMenuReading));

    session.probe = LoadLibraryW(WindowsPath(probeDllPath).c_str());
    HOOKPROC proc = session.probe ? ProbeProc(session.probe) : nullptr;
    if (!proc) {
        error = "the probe DLL " + probeDllPath + " could not be loaded";
        return false;
    }
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    session.hook = SetWindowsHookExW(WH_CALLWNDPROC, proc, session.probe, thread);
    if (!session.hook) {
        error = "the probe's hook could not be set on the window's thread";
        return false;
    }
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, RegisterWindowMessageW(kSystemMenuProbeMessageName), 0, 0,
                             SMTO_ABORTIFHUNG, kProbeTimeoutMs, &ignored)) {
        error = "the window did not take the probe's message";
        return false;
    }
    const SystemMenuReading& reading = *session.reading;
    if (InterlockedCompareExchange(&session.reading->done, 1, 1) != 1) {
        error = "the probe did not run in the window's process";
        return false;
    }
    item.itemCount = reading.itemCount;
    item.id = reading.lastItemId;
    item.separatorBefore = reading.separatorBeforeLast != FALSE;
    item.text = Utf8(reading.lastItemText);
    return true;
}

}  // namespace vardel::e2e
