#include "ui/qt/window_platform.h"

#include "commands/command_messages.h"
#include "commands/drive_lock.h"
#include "machine/machine_platform.h"
#include "outcome/exit_codes.h"

namespace vardel::qt {

bool WindowPlatform::SetUp(const LaunchOptions& options, bool throughService,
                           std::string& problem) {
    throughService_ = throughService && !options.emulate;
    if (throughService_) {
        // Nothing is set up on the emulated machine: no command of the window reaches it.
    } else if (options.emulate && !options.scenarioFile.empty()) {
        try {
            scenario_ = frontend::Scenario::Load(options.scenarioFile);
        } catch (const frontend::ScenarioError& error) {
            problem = error.what();
            setUpExitCode_ = frontend::kExitUsage;
            return false;
        }
        scenario_->SetUp(emulated_);
    } else if (options.emulate) {
        emulated::SetUpStandardMachine(emulated_);
    } else {
        machine_ = frontend::MakeMachinePlatform();
        if (machine_ == nullptr) {
            problem =
                "This vardel is built without access to the machine's drives; try vardel "
                "--emulate";
            setUpExitCode_ = frontend::kExitNoMachineAccess;
            return false;
        }
    }
    if (machine_ != nullptr) {
        watch_.emplace(*machine_, frontend::IsNoRightsError);
    } else {
        watch_.emplace(emulated_, frontend::IsEmulatedNoRightsError);
    }
    return true;
}

bool WindowPlatform::BeforeCommand(std::string& problem, int& exitCode) {
    if (!scenario_) return true;
    try {
        scenario_->HoldAndRefresh(emulated_, kDriveLockWaitMilliseconds);
    } catch (const frontend::ScenarioBusy& busy) {
        problem = std::string(kDriveBusyMessage) + "\n" + busy.what();
        exitCode = frontend::kExitBusy;
        return false;
    } catch (const frontend::ScenarioError& error) {
        problem = error.what();
        exitCode = frontend::kExitUsage;
        return false;
    }
    return true;
}

bool WindowPlatform::AfterCommand(std::string& problem) {
    watch_->ForgetNoRights();
    if (machine_ != nullptr) {
        // The machine's backend keeps each letter on the device it first reached, so that no
        // command's write can land on a drive swapped in under it. Between two commands the user
        // may replug the drive: the next command starts with a backend of its own.
        std::unique_ptr<Platform> fresh = frontend::MakeMachinePlatform();
        if (fresh != nullptr) {
            watch_->Watch(*fresh);
            machine_ = std::move(fresh);
        }
    }
    if (!scenario_) return true;
    bool saved = true;
    try {
        scenario_->SaveChanges(emulated_);
    } catch (const frontend::ScenarioError& error) {
        problem = error.what();
        saved = false;
    }
    scenario_->Release();
    return saved;
}

}  // namespace vardel::qt
