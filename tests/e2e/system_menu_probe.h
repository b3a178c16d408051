#pragma once
// A hook that reads the system menu of a window from inside the window's own process, where the
// menu lives (another process cannot reach a window's menu on every system), and hands what it
// read to the test through a named shared block.

#include <windows.h>

namespace vardel::e2e {

// The shared block's name; the test creates the block before it asks.
constexpr wchar_t kSystemMenuProbeBlockName[] = L"VardelE2eSystemMenuProbe";
// Sent to the window to have its system menu read.
constexpr wchar_t kSystemMenuProbeMessageName[] = L"VardelE2eReadSystemMenu";
// The hook procedure the DLL exports, for GetProcAddress.
constexpr char kSystemMenuProbeProcName[] = "SystemMenuProbe";

struct SystemMenuReading {
    LONG done;  // set last, once the fields below are filled
    int itemCount;
    UINT lastItemId;
    BOOL separatorBeforeLast;
    wchar_t lastItemText[128];
};

}  // namespace vardel::e2e
