#pragma once
// Works the dialogs of another process from outside, the way a person with a mouse and a keyboard
// would, for the end-to-end tests. Nothing here waits without a time-out: every wait returns
// whether it got what it waited for, and the caller says what that was when it did not.

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vardel::e2e {

using Milliseconds = std::chrono::milliseconds;

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);

// Wine maps drive Z: to the Unix root, so a Unix path from the build is reachable as Z:\...
std::wstring WindowsPath(const std::string& path);

// Polls `condition` until it holds or `timeout` has passed, handling this thread's messages in
// between (callbacks of sent messages arrive only that way). Returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout);

class Process {
  public:
    // Starts the program with its own folder as working directory. On failure returns nothing and
    // sets `error`.
    static std::optional<Process> Start(const std::string& exePath, std::string& error);

    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    ~Process();  // kills a program that is still running, so that no test leaves one behind

    DWORD Id() const { return id_; }
    bool HasExited() const;
    bool WaitForExit(Milliseconds timeout);
    void Kill();

  private:
    Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
    void Release();
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

std::string WindowText(HWND window);
std::string ClassName(HWND window);

// Visible top-level windows of the process with this caption (any caption when empty).
std::vector<HWND> VisibleTopLevelWindows(DWORD processId, const std::string& caption = {});

// One line per visible top-level window of the process: its class and caption and the texts of its
// visible controls; what a failed test shows of the screen.
std::string DescribeWindows(DWORD processId);

// A visible top-level dialog of the process with that caption, or null.
HWND TopLevelDialog(DWORD processId, const std::string& caption);

struct MessageBoxContent {
    std::string caption;
    // The texts of the visible static controls that carry text, joined by "\n"; icon statics and
    // empty ones are left out, so no control id is assumed.
    std::string text;
    bool hasIcon = false;
    std::vector<std::string> buttons;  // captions of the visible buttons, in child order
};
MessageBoxContent ReadMessageBox(HWND box);

// Tells when the handler of a click has returned; a command that opens a message box returns only
// after that box has been closed.
class Click {
  public:
    bool Done() const { return *done_; }

  private:
    friend class DialogDriver;
    std::shared_ptr<bool> done_ = std::make_shared<bool>(false);
};

class DialogDriver {
  public:
    explicit DialogDriver(HWND dialog) : dialog_(dialog) {}

    HWND Window() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    std::string ControlText(int id) const;
    bool IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool IsVisible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }

    // Clicks the button the way the mouse does (through the button itself, so a missing or
    // disabled button is not clicked) without waiting: the handler may open a modal message box.
    // False when the button is missing, hidden or disabled, when the dialog is disabled (a modal
    // box of its own is open), or when the click could not be sent.
    bool ClickButton(int id, Click* click = nullptr) const;

    // A mouse click into a control (an edit takes the keyboard focus).
    bool ClickInto(int id) const;

    // The control of the dialog's thread that has the keyboard focus, or null.
    HWND FocusedWindow() const;

    // A key press (down, up) delivered to the focused control, as the keyboard does; the dialog
    // manager then sees it in the dialog's message loop.
    bool PressKey(UINT virtualKey) const;

    // A system-menu command, as if chosen from the window's menu.
    bool SystemCommand(UINT command) const;

    // A visible dialog owned by this one (a message box or the about box).
    HWND OwnedDialog() const;
    HWND WaitForOwnedDialog(Milliseconds timeout) const;

  private:
    HWND dialog_;
};

// The last item of a window's system menu, where a program adds its own entries.
struct SystemMenuItem {
    std::string text;
    UINT id = 0;
    bool separatorBefore = false;
    int itemCount = 0;  // of the whole menu; -1 when the window has none
};

// Reads it from inside the window's process through the hook DLL at `probeDllPath` (built from
// system_menu_probe.cpp): a menu cannot be read from another process on every system. False with
// `error` set when the probe could not run.
bool ReadLastSystemMenuItem(HWND window, const std::string& probeDllPath, SystemMenuItem& item,
                            std::string& error);

// Presses the OK button (id IDOK) of a message box or dialog, through the button. False when the
// box has none.
bool PressOk(HWND box);

// Waits until the window has been destroyed or hidden.
bool WaitForWindowGone(HWND window, Milliseconds timeout);

// Writes what the screen shows of the window (frame included) as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& bmpPath, std::string& error);

}  // namespace vardel::e2e
