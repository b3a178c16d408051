// The hook DLL: a call-window-procedure hook that, for the probe message, reads the system menu
// of the window the message goes to and writes what it found into the shared block.

#include "system_menu_probe.h"

namespace {

UINT ProbeMessage() {
    return RegisterWindowMessageW(vardel::e2e::kSystemMenuProbeMessageName);
}

void ReadSystemMenu(HWND window) {
    using vardel::e2e::SystemMenuReading;
    HANDLE mapping =
        OpenFileMappingW(FILE_MAP_WRITE, FALSE, vardel::e2e::kSystemMenuProbeBlockName);
    if (!mapping) return;
    auto* reading = static_cast<SystemMenuReading*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SystemMenuReading)));
    if (reading) {
        HMENU menu = GetSystemMenu(window, FALSE);
        const int count = menu ? GetMenuItemCount(menu) : -1;
        reading->itemCount = count;
        if (count > 0) {
            const UINT last = static_cast<UINT>(count - 1);
            reading->lastItemId = GetMenuItemID(menu, static_cast<int>(last));
            constexpr int kTextRoom =
                static_cast<int>(sizeof(reading->lastItemText) / sizeof(wchar_t));
            GetMenuStringW(menu, last, reading->lastItemText, kTextRoom, MF_BYPOSITION);
            reading->separatorBeforeLast =
                count > 1 && (GetMenuState(menu, last - 1, MF_BYPOSITION) & MF_SEPARATOR) != 0;
        }
        InterlockedExchange(&reading->done, 1);
        UnmapViewOfFile(reading);
    }
    CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    SystemMenuProbe(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == ProbeMessage()) ReadSystemMenu(call->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
