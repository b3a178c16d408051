// One change at a time per drive: the commands that may write hold the drive's lock from their
// first block read to their last, write nothing when another program holds it, and tell the user
// only once they have let it go.

#include "commands/drive_lock.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "commands/block_backup.h"
#include "commands/command_messages.h"
#include "commands/lun_mode_commands.h"
#include "commands/recording_window.h"
#include "drive/vendor_blocks.h"
#include "support/case_name.h"
#include "support/standard_machine.h"

namespace vardel {
namespace {

using emulated::Block;
using emulated::CallRecord;
using emulated::FaultEffect;
using emulated::Operation;
using testing_support::RecordingWindow;
using testing_support::StandardMachine;

constexpr std::uint32_t kErrorAccessDenied = 5;

struct WritingCommand {
    const char* name;
    std::function<CommandOutcome(StandardMachine&, CommandContext&)> run;
};

const WritingCommand kWritingCommands[] = {
    {"SetLun0Fixed",
     [](StandardMachine&, CommandContext& context) {
         return SetLunMode(context, kLun0FixedBinding);
     }},
    {"SetLun1Removable",
     [](StandardMachine&, CommandContext& context) {
         return SetLunMode(context, kLun1RemovableBinding);
     }},
    {"Write",
     [](StandardMachine&, CommandContext& context) {
         context.state.lun0Text = "Fixed Disk";
         return WriteRaw(context);
     }},
    {"Restore",
     [](StandardMachine& machine, CommandContext& context) {
         alignas(kVendorBlockAlignment) VendorBlock info = {};
         alignas(kVendorBlockAlignment) VendorBlock identity = {};
         const Block& drive = machine.Drive().configBlock;
         std::copy(drive.begin(), drive.end(), info);
         std::copy(machine.Drive().identityBlock.begin(), machine.Drive().identityBlock.end(),
                   identity);
         info[kTypeSlotAOffset] = kLunTypeFixedDisk;
         return RestoreConfigBlock(context.platform, context.state, nullptr, info, identity,
                                   false);
     }},
};

class WritingCommandLock : public ::testing::TestWithParam<WritingCommand> {
  protected:
    CommandOutcome Run(bool confirmWrite = true) {
        CommandContext context{machine_.platform, state_, window_};
        context.confirmWrite = confirmWrite;
        return GetParam().run(machine_, context);
    }

    // The block commands sent, each with whether the drive was locked then.
    std::vector<std::string> LockedCalls() const {
        std::vector<std::string> calls;
        for (const CallRecord& call : machine_.platform.Log()) {
            if (call.kind == CallRecord::Kind::Lock) {
                calls.push_back("LOCK " + std::string(1, call.letter));
            }
            if (call.kind == CallRecord::Kind::Unlock) calls.push_back("UNLOCK");
        }
        return calls;
    }

    StandardMachine machine_;
    CommandState state_;
    RecordingWindow window_;
};

// Every read, the write and the read-back go out while the drive is held through the target
// letter, and it is let go at the end; a message comes only after that.
TEST_P(WritingCommandLock, HoldsTheDriveFromTheFirstReadToTheReadBack) {
    std::vector<std::string> unheld;
    bool sawWrite = false;
    bool afterDiscovery = false;
    machine_.platform.SetAfterCallHook([&](const CallRecord& call) {
        if (call.kind == CallRecord::Kind::Lock) afterDiscovery = true;
        if (!afterDiscovery || call.kind != CallRecord::Kind::Control) return;
        sawWrite |= call.operation == Operation::Write;
        if (!machine_.platform.DriveLocked('F')) {
            unheld.push_back(emulated::TraceName(call.operation));
        }
    });
    const CommandOutcome outcome = Run();
    EXPECT_EQ(outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(sawWrite);
    EXPECT_TRUE(unheld.empty()) << unheld.front();
    EXPECT_EQ(LockedCalls(), (std::vector<std::string>{"LOCK F", "UNLOCK"}));
    EXPECT_FALSE(machine_.platform.DriveLocked('F'));
}

// Busy: nothing is read or written after discovery, and the outcome says so with its own message.
// A lock the system cannot give is a failure of its own, named as the lock's.
TEST_P(WritingCommandLock, WritesNothingWhenTheDriveIsNotHeld) {
    for (const FaultEffect effect : {FaultEffect::Busy, FaultEffect::FailControl}) {
        SCOPED_TRACE(effect == FaultEffect::Busy ? "busy" : "failed");
        machine_ = {};
        machine_.platform.ClearLog();
        window_.events.clear();
        machine_.Fail(Operation::Lock, effect, kErrorAccessDenied);
        const Block before = machine_.Drive().configBlock;
        const std::size_t discoveryCommands = testing_support::kStandardDiscovery.size();

        const CommandOutcome outcome = Run();
        EXPECT_EQ(machine_.platform.CommandTrace().size(), discoveryCommands);
        EXPECT_EQ(machine_.Drive().configBlock, before);
        EXPECT_FALSE(outcome.changed);
        EXPECT_FALSE(outcome.typesKnown);
        EXPECT_EQ(outcome.target, 'F');
        if (effect == FaultEffect::Busy) {
            EXPECT_EQ(outcome.code, OutcomeCode::Busy);
            EXPECT_STREQ(OutcomeMessage(outcome), kDriveBusyMessage);
        } else {
            EXPECT_EQ(outcome.code, OutcomeCode::ReadFailed);
            EXPECT_EQ(outcome.failedCommand.command, DeviceCommand::LockDrive);
            EXPECT_EQ(outcome.failedCommand.letter, 'F');
            EXPECT_EQ(outcome.failedCommand.systemError, kErrorAccessDenied);
        }
        if (std::string(GetParam().name) != "Restore") {
            EXPECT_EQ(window_.Messages(), (std::vector<std::string>{OutcomeMessage(outcome)}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, WritingCommandLock, ::testing::ValuesIn(kWritingCommands),
                         testing_support::CaseName());

// The window's messages never keep another program waiting: a failed write's box (the window's
// Write, which ends with a message either way) opens after the drive is let go.
TEST(DriveLock, TheWindowsMessageComesAfterTheDriveIsLetGo) {
    StandardMachine machine;
    machine.platform.InjectFault({'F', Operation::Write, 0, -1, FaultEffect::ScsiStatus, 2});
    CommandState state;
    struct LockCheckingWindow : RecordingWindow {
        explicit LockCheckingWindow(emulated::EmulatedPlatform& machine) : platform(machine) {}
        void ShowMessage(const CommandOutcome& outcome) override {
            heldAtMessage = platform.DriveLocked('F');
            RecordingWindow::ShowMessage(outcome);
        }
        emulated::EmulatedPlatform& platform;
        bool heldAtMessage = true;
    } window(machine.platform);
    CommandContext context{machine.platform, state, window};
    EXPECT_EQ(WriteRaw(context).code, OutcomeCode::WriteFailed);
    EXPECT_FALSE(window.heldAtMessage);
    window.heldAtMessage = true;
    EXPECT_EQ(SetLunMode(context, kLun0FixedBinding).code, OutcomeCode::WriteFailed);
    EXPECT_FALSE(window.heldAtMessage);
}

// What only reads waits for no one: status, backup and every dry run take no lock, so they run
// while another program holds the drive.
TEST(DriveLock, ReadingCommandsAndDryRunsTakeNoLock) {
    StandardMachine machine;
    machine.platform.InjectFault({'F', Operation::Lock, 0, -1, FaultEffect::Busy, 0});
    CommandState state;
    RecordingWindow window;
    CommandContext context{machine.platform, state, window};
    EXPECT_EQ(ReadStatus(context).code, OutcomeCode::Done);
    BlockBackup backup{};
    EXPECT_EQ(BackupBlocks(machine.platform, state, nullptr, backup).code, OutcomeCode::Done);
    context.dryRun = true;
    EXPECT_EQ(SetLunMode(context, kLun0FixedBinding).code, OutcomeCode::Done);
    EXPECT_EQ(WriteRaw(context).code, OutcomeCode::Done);
    RestoreView view{};
    view.dryRun = true;
    EXPECT_EQ(RestoreConfigBlock(machine.platform, state, nullptr, backup.info, backup.identity,
                                 false, &view)
                  .code,
              OutcomeCode::Done);
    for (const CallRecord& call : machine.platform.Log()) {
        EXPECT_NE(call.kind, CallRecord::Kind::Lock);
    }
}

}  // namespace
}  // namespace vardel
