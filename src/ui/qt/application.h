#pragma once
// The program around the window: the machine's drives, the drive service or an emulated machine
// beneath it, the rights hint, the write-back of a scenario file, and the screenshot run.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "journal/drive_journal.h"
#include "ui/qt/launch_options.h"
#include "ui/qt/lun_mode_window.h"
#include "ui/qt/message_boxes.h"
#include "ui/qt/service_relay.h"
#include "ui/qt/window_platform.h"

namespace vardel::qt {

// The window wired as the program runs it: for the program, and for tests that press its
// buttons. A QApplication must exist.
class VardelSession {
  public:
    // `throughService`: the window's commands go to the drive service (main's choice).
    VardelSession(const LaunchOptions& options, bool throughService, MessageBoxes& boxes,
                  std::ostream& err);
    VardelSession(const VardelSession&) = delete;
    VardelSession& operator=(const VardelSession&) = delete;

    // False with `problem` and the program's exit code when the window cannot run.
    bool SetUp(std::string& problem, int& exitCode);
    // Valid after SetUp succeeded.
    LunModeWindow& Window() { return *window_; }
    // What the program ends with: a scenario file not written, a busy one, or success.
    int ExitCode() const { return exitCode_; }

  private:
    LaunchOptions options_;
    bool throughService_;
    MessageBoxes& boxes_;
    std::ostream& err_;
    WindowPlatform platform_;
    std::optional<frontend::DriveJournal> journal_;
    std::unique_ptr<LunModeWindow> window_;
    std::optional<ServiceRelay> relay_;
    int exitCode_ = 0;
};

// Runs the window until it closes (or, for a screenshot, until the picture is saved); returns the
// program's exit code. A QApplication must exist.
int RunVardel(const LaunchOptions& options, bool throughService, std::ostream& out,
              std::ostream& err);

}  // namespace vardel::qt
