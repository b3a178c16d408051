#pragma once
// The user commands of the fault matrix, each on a fresh emulated machine (one standard drive
// seen as E, LUN 0, and F, LUN 1), set up so that every command that writes changes something.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/block_backup.h"
#include "commands/command_outcome.h"
#include "commands/command_state.h"
#include "commands/recording_window.h"
#include "fault_matrix_faults.h"
#include "platform/emulated/emulated_platform.h"

namespace vardel::fault_matrix {

enum class UserCommand {
    Status,         // button 1003
    Lun0Removable,  // 1005
    Lun1Removable,  // 1006
    Lun0Fixed,      // 1007
    Lun1Fixed,      // 1008
    Write,          // the default button, Enter
    Backup,         // vardelctl backup
    Restore,        // vardelctl restore
};

constexpr UserCommand kAllCommands[] = {
    UserCommand::Status,    UserCommand::Lun0Removable, UserCommand::Lun1Removable,
    UserCommand::Lun0Fixed, UserCommand::Lun1Fixed,     UserCommand::Write,
    UserCommand::Backup,    UserCommand::Restore,
};

const char* CommandName(UserCommand command);
bool IsModeCommand(UserCommand command);
// Whether the command works through a window (the console commands have none).
bool HasWindow(UserCommand command);

// A type byte the command means to write.
struct IntendedByte {
    std::size_t offset;
    std::uint8_t value;
};
std::vector<IntendedByte> IntendedBytes(UserCommand command);

// The status texts before the command: a text no command puts there, which a command that fails
// leaves as it was; the Write command writes from "Fixed Disk" (row Lun0) and "Removable".
constexpr char kTextBefore[] = "?";

// One machine for one run of one command.
class MatrixMachine {
  public:
    explicit MatrixMachine(UserCommand command);

    // Runs the command once; the log holds only what it sent.
    CommandOutcome Run();

    emulated::EmulatedPlatform platform;
    DriveUnderTest drive{};
    emulated::Block configBefore{};
    emulated::Block identityBefore{};
    CommandState state;
    testing_support::RecordingWindow window;
    BlockBackup backup{};  // Backup: what it took; Restore: what it puts back

  private:
    UserCommand command_;
};

}  // namespace vardel::fault_matrix
