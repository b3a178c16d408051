#include "ui/win32/lun_mode_dialog.h"

#include "resource.h"
#include "ui/win32/about_dialog.h"

namespace vardel::win32 {
namespace {

constexpr int kAboutTextCapacity = 256;

}  // namespace

LunModeDialog::LunModeDialog(HINSTANCE instance, Platform& platform, WriteJournal* journal)
    : instance_(instance),
      platform_(platform),
      journal_(journal),
      icon_(LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME))),
      // The 16 x 16 picture of the icon, not the 32 x 32 one shrunk.
      smallIcon_(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED))) {}

void LunModeDialog::Run() {
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_LUNMODE_DIALOG), nullptr, Procedure,
                    reinterpret_cast<LPARAM>(this));
    live_.reset();
    window_ = nullptr;
}

INT_PTR CALLBACK LunModeDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<LunModeDialog*>(lParam)->window_ = dialog;
    }
    // Messages before WM_INITDIALOG (the font, the size) belong to the dialog manager.
    auto* self = reinterpret_cast<LunModeDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR LunModeDialog::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;  // the focus goes to the first tab stop
        case WM_SYSCOMMAND:
            return OnSysCommand(wParam) ? TRUE : FALSE;
        case WM_PAINT:
            return OnPaint() ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(icon_);
        case WM_COMMAND:
            return OnCommand(wParam) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

void LunModeDialog::OnInitDialog() {
    live_.emplace(window_, platform_);
    live_->model.SetJournal(journal_);
    // As a framework's dialog does on start: the edits get their (empty) texts and input limit.
    live_->model.Refresh();

    if (const HMENU systemMenu = GetSystemMenu(window_, FALSE)) {
        wchar_t about[kAboutTextCapacity] = {};
        if (LoadStringW(instance_, IDS_ABOUTBOX, about, kAboutTextCapacity) > 0) {
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

bool LunModeDialog::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
    ShowAboutBox(instance_, window_);
    return true;
}

// A dialog paints its own minimised window; the picture is the application icon.
bool LunModeDialog::OnPaint() {
    if (!IsIconic(window_)) return false;
    PAINTSTRUCT paint = {};
    const HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client = {};
    GetClientRect(window_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
    return true;
}

// Escape and the close box arrive as IDCANCEL; Enter arrives as IDOK, sent by the dialog manager
// for the default button although that button is hidden.
bool LunModeDialog::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id == IDCANCEL) {
        EndDialog(window_, IDCANCEL);
        return true;
    }
    if (HIWORD(wParam) != BN_CLICKED) return false;
    RunCommand(id);
    return true;
}

void LunModeDialog::RunCommand(int controlId) {
    const HWND focus = GetFocus();
    const HCURSOR previousCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    live_->model.OnCommand(controlId);
    SetCursor(previousCursor);
    // A command disables the button that was clicked while it runs, which takes the keyboard
    // focus away for good; give it back so that Enter and Tab keep working.
    if (GetFocus() == nullptr && focus != nullptr && IsWindowEnabled(focus)) SetFocus(focus);
}

}  // namespace vardel::win32
