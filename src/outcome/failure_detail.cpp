#include "outcome/failure_detail.h"

#include <system_error>

#include "machine/machine_platform.h"
#include "texts/display_text.h"
#include "texts/sense_text.h"

namespace vardel::frontend {
namespace {

const char* DeviceCommandText(DeviceCommand command) {
    switch (command) {
        case DeviceCommand::Inquiry:
            return "INQUIRY";
        case DeviceCommand::ReadIdentityBlock:
            return "read of the identity block";
        case DeviceCommand::ReadConfigBlock:
            return "read of the configuration block";
        case DeviceCommand::ReadTaggedBlock:
            return "vendor read";
        case DeviceCommand::WriteConfigBlock:
            return "write of the configuration block";
        case DeviceCommand::LockDrive:
            return "lock of the drive";
        case DeviceCommand::None:
            break;
    }
    return "command";
}

// "F:" or "F: (/dev/sdb, /dev/sg1)".
std::string Where(char letter, const std::vector<std::string>& paths) {
    std::string text = std::string(1, letter) + ":";
    if (paths.empty()) return text;
    text += " (";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        text += (i == 0 ? "" : ", ") + DisplayText(paths[i]);
    }
    return text + ")";
}

std::string SystemError(std::uint32_t error, bool nativeErrors) {
    std::string text = "system error " + std::to_string(error);
    if (nativeErrors) {
        text += " (" + std::system_category().message(static_cast<int>(error)) + ")";
    }
    return text;
}

}  // namespace

const char* DeviceCommandName(DeviceCommand command) {
    switch (command) {
        case DeviceCommand::Inquiry:
            return "inquiry";
        case DeviceCommand::ReadIdentityBlock:
            return "readIdentityBlock";
        case DeviceCommand::ReadConfigBlock:
            return "readConfigBlock";
        case DeviceCommand::ReadTaggedBlock:
            return "readTaggedBlock";
        case DeviceCommand::WriteConfigBlock:
            return "writeConfigBlock";
        case DeviceCommand::LockDrive:
            return "lockDrive";
        case DeviceCommand::None:
            break;
    }
    return "";
}

std::vector<std::string> FailedCommandPaths(const CommandOutcome& outcome, bool machine) {
    const bool failed = outcome.code == OutcomeCode::ReadFailed ||
                        outcome.code == OutcomeCode::WriteFailed ||
                        outcome.code == OutcomeCode::NotConfirmed;
    if (!failed || !machine) return {};
    const char letter = outcome.failedCommand.command != DeviceCommand::None
                            ? outcome.failedCommand.letter
                            : outcome.target;
    DiskDescription disk;
    if (letter == 0 || !DescribeMachineDisk(letter, disk)) return {};
    return disk.paths;
}

std::string FailureDetail(const CommandOutcome& outcome, const std::vector<std::string>& paths,
                          bool nativeErrors) {
    const CommandDetail& detail = outcome.failedCommand;
    if (outcome.code == OutcomeCode::NotConfirmed) {
        return "the drive on " + Where(outcome.target, paths) +
               " acknowledged the write of the configuration block, but the block read back "
               "does not hold what was sent";
    }
    const bool failed =
        outcome.code == OutcomeCode::ReadFailed || outcome.code == OutcomeCode::WriteFailed;
    if (!failed || detail.command == DeviceCommand::None) return "";

    const std::string what = DeviceCommandText(detail.command);
    const std::string where = Where(detail.letter, paths);
    if (detail.command == DeviceCommand::LockDrive) {
        return "the drive's lock could not be taken through " + where + ", " +
               SystemError(detail.systemError, nativeErrors) + "; nothing was read or written";
    }
    if (!detail.opened) {
        return "the " + what + " could not open " + where + ", " +
               SystemError(detail.systemError, nativeErrors);
    }
    if (!detail.delivered) {
        return "the " + what + " on " + where + " failed in the system, " +
               SystemError(detail.systemError, nativeErrors);
    }
    if (detail.scsiStatus != 0) {
        return "the drive on " + where + " answered the " + what + " with " +
               DescribeAnswer(detail.scsiStatus, detail.sense, detail.senseLength);
    }
    return "the drive on " + where + " answered " + std::to_string(detail.bytesMoved) + " of " +
           std::to_string(detail.bytesRequested) + " bytes to the " + what;
}

}  // namespace vardel::frontend
