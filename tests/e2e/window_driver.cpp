#include "window_driver.h"

#include <cstdio>
#include <cwchar>
#include <thread>

namespace vardel::e2e {
namespace {

// A window whose thread is busy in a command answers when that command pumps messages again;
// longer than this means the program hangs, and the test should say so rather than hang too.
constexpr UINT kSendTimeoutMs = 5000;

bool SameText(const std::wstring& a, const wchar_t* b) {
    return _wcsicmp(a.c_str(), b) == 0;
}

std::wstring WideClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring WideWindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
        return {};
    }
    text.resize(copied);
    return text;
}

bool IsDialogWindow(HWND window) {
    return SameText(WideClassName(window), L"#32770");
}

struct TopLevelSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

struct OwnedSearch {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<OwnedSearch*>(data);
    if (window != search->owner && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search->owner && IsDialogWindow(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

void CALLBACK OnClickHandled(HWND, UINT, ULONG_PTR data, LRESULT) {
    auto* done = reinterpret_cast<std::shared_ptr<bool>*>(data);
    **done = true;
    delete done;
}

bool PostKey(HWND target, UINT virtualKey) {
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    const LPARAM down = 1 | (scanCode << 16);
    const LPARAM up = down | (LPARAM{1} << 30) | static_cast<LPARAM>(0x80000000u);
    return PostMessageW(target, WM_KEYDOWN, virtualKey, down) &&
           PostMessageW(target, WM_KEYUP, virtualKey, up);
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

std::wstring WindowsPath(const std::string& path) {
    std::wstring result = Wide(path);
    for (auto& c : result) {
        if (c == L'/') c = L'\\';
    }
    if (!path.empty() && path[0] == '/') result = L"Z:" + result;
    return result;
}

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::optional<Process> Process::Start(const std::string& exePath, std::string& error) {
    const std::wstring path = WindowsPath(exePath);
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        error =
            "CreateProcess(" + Utf8(path) + ") failed with error " + std::to_string(GetLastError());
        return std::nullopt;
    }
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) {
    other.handle_ = nullptr;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        id_ = other.id_;
        other.handle_ = nullptr;
    }
    return *this;
}

Process::~Process() {
    Release();
}

void Process::Release() {
    if (!handle_) return;
    if (!HasExited()) Kill();
    CloseHandle(handle_);
    handle_ = nullptr;
}

bool Process::HasExited() const {
    return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
}

bool Process::WaitForExit(Milliseconds timeout) {
    return WaitUntil([this] { return HasExited(); }, timeout);
}

void Process::Kill() {
    TerminateProcess(handle_, 1);
    WaitForSingleObject(handle_, 5000);
}

std::string WindowText(HWND window) {
    return Utf8(WideWindowText(window));
}

std::string ClassName(HWND window) {
    return Utf8(WideClassName(window));
}

std::vector<HWND> VisibleTopLevelWindows(DWORD processId, const std::string& caption) {
    TopLevelSearch search{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    if (caption.empty()) return search.found;
    std::vector<HWND> matching;
    for (HWND window : search.found) {
        if (WindowText(window) == caption) matching.push_back(window);
    }
    return matching;
}

std::string DescribeWindows(DWORD processId) {
    std::string description;
    for (HWND window : VisibleTopLevelWindows(processId)) {
        description += "  [" + ClassName(window) + "] \"" + WindowText(window) + "\"";
        for (HWND child : Children(window)) {
            if (!IsWindowVisible(child)) continue;
            const std::string text = WindowText(child);
            if (!text.empty()) description += " | " + ClassName(child) + " \"" + text + "\"";
        }
        description += "\n";
    }
    return description.empty() ? "  (no visible window)\n" : description;
}

HWND TopLevelDialog(DWORD processId, const std::string& caption) {
    for (HWND window : VisibleTopLevelWindows(processId, caption)) {
        if (IsDialogWindow(window)) return window;
    }
    return nullptr;
}

MessageBoxContent ReadMessageBox(HWND box) {
    MessageBoxContent content;
    content.caption = WindowText(box);
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child)) continue;
        const std::wstring className = WideClassName(child);
        if (SameText(className, L"Static")) {
            const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
            if ((style & SS_TYPEMASK) == SS_ICON) {
                DWORD_PTR icon = 0;
                SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                    &icon);
                content.hasIcon = content.hasIcon || icon != 0;
                continue;
            }
            const std::string text = WindowText(child);
            if (text.empty()) continue;
            if (!content.text.empty()) content.text += "\n";
            content.text += text;
        } else if (SameText(className, L"Button")) {
            content.buttons.push_back(WindowText(child));
        }
    }
    return content;
}

std::string DialogDriver::ControlText(int id) const {
    return WindowText(Control(id));
}

bool DialogDriver::ClickButton(int id, Click* click) const {
    HWND button = Control(id);
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button) ||
        !IsWindowEnabled(dialog_)) {
        return false;
    }
    // Sent, not posted, so that the callback tells when the handler has returned; sending with a
    // callback does not wait for the modal message box that the handler may open.
    auto* done = new std::shared_ptr<bool>(click ? click->done_ : std::make_shared<bool>(false));
    if (!SendMessageCallbackW(button, BM_CLICK, 0, 0, OnClickHandled,
                              reinterpret_cast<ULONG_PTR>(done))) {
        delete done;
        return false;
    }
    return true;
}

bool DialogDriver::ClickInto(int id) const {
    HWND control = Control(id);
    if (!control || !IsWindowVisible(control)) return false;
    const LPARAM point = MAKELPARAM(2, 2);
    return PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point) &&
           PostMessageW(control, WM_LBUTTONUP, 0, point);
}

HWND DialogDriver::FocusedWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool DialogDriver::PressKey(UINT virtualKey) const {
    // The focus can still name a window that a message box took with it as it closed; the key then
    // goes to the dialog, as it would for a person.
    HWND target = FocusedWindow();
    if (target != nullptr && IsWindow(target) && PostKey(target, virtualKey)) return true;
    return PostKey(dialog_, virtualKey);
}

bool DialogDriver::SystemCommand(UINT command) const {
    return PostMessageW(dialog_, WM_SYSCOMMAND, command, 0) != FALSE;
}

HWND DialogDriver::OwnedDialog() const {
    OwnedSearch search{dialog_};
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND DialogDriver::WaitForOwnedDialog(Milliseconds timeout) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = OwnedDialog()) != nullptr; }, timeout);
    return found;
}

bool PressOk(HWND box) {
    for (HWND child : Children(box)) {
        if (GetDlgCtrlID(child) == IDOK && SameText(WideClassName(child), L"Button")) {
            return PostMessageW(child, BM_CLICK, 0, 0) != FALSE;
        }
    }
    return false;
}

bool WaitForWindowGone(HWND window, Milliseconds timeout) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

bool SaveScreenshot(HWND window, const std::string& bmpPath, std::string& error) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        error = "no such window";
        return false;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        error = "the window has no area";
        return false;
    }
    // Paint now, then give the display driver a moment to put the painted surface on the screen,
    // which it does on its own schedule; a late flush shows as a stale picture, not a failure.
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(Milliseconds(300));

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, the row order of a BMP file
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                        SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) {
        if (bitmap) DeleteObject(bitmap);
        error = "could not copy the window from the screen";
        return false;
    }

    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;

    bool written = false;
    if (FILE* file = _wfopen(WindowsPath(bmpPath).c_str(), L"wb")) {
        written = fwrite(&header, sizeof header, 1, file) == 1 &&
                  fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                  fwrite(bits, imageSize, 1, file) == 1;
        written = fclose(file) == 0 && written;
    }
    DeleteObject(bitmap);
    if (!written) error = "could not write " + bmpPath;
    return written;
}

}  // namespace vardel::e2e
