#pragma once
// The drives the window runs on, as the command line asks: the machine's own, the standard
// emulated machine, or the emulated machine of a scenario file, whose drives' new state goes back
// into the file after each command. Everything reaches them through the access watch, which tells
// a lack of rights from an absent drive.

#include <memory>
#include <optional>
#include <string>

#include "machine/access_watch.h"
#include "platform/emulated/emulated_platform.h"
#include "scenario/scenario.h"
#include "ui/qt/launch_options.h"

namespace vardel::qt {

class WindowPlatform {
  public:
    WindowPlatform() = default;
    WindowPlatform(const WindowPlatform&) = delete;
    WindowPlatform& operator=(const WindowPlatform&) = delete;

    // False with `problem` when the scenario cannot be read or this build has no backend for the
    // machine's drives. `throughService`: the machine's drives are the drive service's, and the
    // window reaches no drive itself (its platform is an empty machine nothing is sent to).
    bool SetUp(const LaunchOptions& options, bool throughService, std::string& problem);
    // After SetUp failed: the exit code the program ends with, as vardelctl would for the case.
    int SetUpExitCode() const { return setUpExitCode_; }

    // Whether the drives are the machine's own, not an emulated machine's.
    bool OnMachine() const { return machine_ != nullptr || throughService_; }
    // Whether the drive service runs the window's commands.
    bool ThroughService() const { return throughService_; }
    // Valid after SetUp succeeded.
    frontend::AccessWatch& Watched() { return *watch_; }

    // Before each command: a scenario file is the emulated drives' state, so the window holds
    // it locked (Scenario::HoldAndRefresh) until the command's save, and takes what another
    // program wrote into it meanwhile. False with `problem` and the exit code for the case (busy:
    // another program kept it for the whole wait) when the command must not run.
    bool BeforeCommand(std::string& problem, int& exitCode);
    // After each command: the next one notes the rights afresh, and a scenario file gets the
    // drives' new state and is let go. False with `problem` when the file could not be written.
    bool AfterCommand(std::string& problem);

  private:
    std::unique_ptr<Platform> machine_;
    emulated::EmulatedPlatform emulated_;
    std::optional<frontend::Scenario> scenario_;
    std::optional<frontend::AccessWatch> watch_;
    int setUpExitCode_ = 0;
    bool throughService_ = false;
};

}  // namespace vardel::qt
