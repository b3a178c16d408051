// The journal's hook in every command that writes: it is given the block as read, the block to be
// written and the identity block before the write is sent, and a journal that cannot keep them
// stops the command with nothing written. An undo writes only while the drive holds what the
// change to undo wrote.

#include "commands/write_journal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "commands/block_backup.h"
#include "commands/command_context.h"
#include "commands/lun_mode_commands.h"
#include "commands/recording_window.h"
#include "drive/vendor_blocks.h"
#include "support/case_name.h"
#include "support/standard_machine.h"

namespace vardel {
namespace {

using emulated::Block;

// Keeps what each call was given, and what the drive had been sent by then.
class RecordingJournal : public WriteJournal {
  public:
    RecordingJournal(emulated::EmulatedPlatform& platform, int answer)
        : platform_(platform), answer_(answer) {}

    int BeforeWrite(const JournalWrite& write) override {
        Call call;
        call.command = write.command;
        call.target = write.target;
        std::memcpy(call.identity, write.identity, kVendorBlockSize);
        std::memcpy(call.asRead, write.asRead, kVendorBlockSize);
        std::memcpy(call.toWrite, write.toWrite, kVendorBlockSize);
        for (const std::string& command : platform_.CommandTrace()) {
            call.writesBefore += command.find("WRITE") != std::string::npos ? 1 : 0;
        }
        calls.push_back(call);
        return answer_;
    }

    struct Call {
        CommandKind command;
        char target;
        VendorBlock identity;
        VendorBlock asRead;
        VendorBlock toWrite;
        int writesBefore = 0;
    };
    std::vector<Call> calls;

  private:
    emulated::EmulatedPlatform& platform_;
    int answer_;
};

class WriteJournalTest : public ::testing::Test {
  public:
    Block& Config() { return machine_.Drive().configBlock; }
    Block& Identity() { return machine_.Drive().identityBlock; }

  protected:
    bool Wrote() const {
        for (const std::string& command : machine_.platform.CommandTrace()) {
            if (command.find("WRITE") != std::string::npos) return true;
        }
        return false;
    }

    testing_support::StandardMachine machine_;
    CommandState state_;
    testing_support::RecordingWindow window_;
};

// Each command that writes, run with the journal given; `expected` is what it would write.
struct WritingCase {
    const char* name;
    CommandKind kind;
    std::function<CommandOutcome(WriteJournalTest&, emulated::EmulatedPlatform&, CommandState&,
                                 WindowOperations&, WriteJournal*)>
        run;
};

CommandOutcome RunSet(WriteJournalTest&, emulated::EmulatedPlatform& platform, CommandState& state,
                      WindowOperations& window, WriteJournal* journal) {
    CommandContext context{platform, state, window};
    context.journal = journal;
    return SetLunMode(context, kLun0FixedBinding);
}

CommandOutcome RunWrite(WriteJournalTest&, emulated::EmulatedPlatform& platform,
                        CommandState& state, WindowOperations& window, WriteJournal* journal) {
    CommandContext context{platform, state, window};
    context.journal = journal;
    state.lun1Text = "Removable";
    return WriteRaw(context);
}

// A restore of a block with LUN 0 fixed, taken from the drive itself.
CommandOutcome RunRestore(WriteJournalTest&, emulated::EmulatedPlatform& platform,
                          CommandState& state, WindowOperations&, WriteJournal* journal) {
    BlockBackup backup{};
    if (BackupBlocks(platform, state, nullptr, backup).code != OutcomeCode::Done) return {};
    backup.info[kTypeSlotAOffset] = kLunTypeFixedDisk;
    platform.ClearLog();
    RestoreGuard guard;
    guard.journal = journal;
    return RestoreConfigBlock(platform, state, nullptr, backup.info, backup.identity, false,
                              nullptr, guard);
}

// An undo of a change that made LUN 0 fixed, which the drive still holds.
CommandOutcome RunUndo(WriteJournalTest& test, emulated::EmulatedPlatform& platform,
                       CommandState& state, WindowOperations&, WriteJournal* journal) {
    BlockBackup before{};
    if (BackupBlocks(platform, state, nullptr, before).code != OutcomeCode::Done) return {};
    alignas(kVendorBlockAlignment) VendorBlock written;
    std::memcpy(written, before.info, kVendorBlockSize);
    written[kTypeSlotAOffset] = kLunTypeFixedDisk;
    test.Config()[kTypeSlotAOffset] = kLunTypeFixedDisk;
    platform.ClearLog();
    const NamedChange change{"2026-12-11T01:23:45Z", 1, &written};
    RestoreGuard guard;
    guard.journal = journal;
    guard.undoes = &change;
    return RestoreConfigBlock(platform, state, nullptr, before.info, before.identity, false,
                              nullptr, guard);
}

class WritingCommandTest : public WriteJournalTest,
                           public ::testing::WithParamInterface<WritingCase> {};

TEST_P(WritingCommandTest, TheJournalHasTheBlocksBeforeTheWriteIsSent) {
    RecordingJournal journal(machine_.platform, kJournalSaved);
    const CommandOutcome outcome =
        GetParam().run(*this, machine_.platform, state_, window_, &journal);
    ASSERT_EQ(outcome.code, OutcomeCode::Done);
    ASSERT_TRUE(outcome.changed);
    ASSERT_EQ(journal.calls.size(), 1u);
    const RecordingJournal::Call& call = journal.calls[0];
    EXPECT_EQ(call.command, GetParam().kind);
    EXPECT_EQ(call.target, 'F');
    EXPECT_EQ(call.writesBefore, 0);
    // The identity block as read through F, which answers with its own LUN index.
    Block identity = Identity();
    identity[kLunIndexOffset] = 1;
    EXPECT_EQ(0, std::memcmp(call.identity, identity.data(), kVendorBlockSize));
    // What the change replaced, and what the drive holds after it.
    EXPECT_NE(0, std::memcmp(call.asRead, Config().data(), kVendorWriteLength));
    EXPECT_EQ(0, std::memcmp(call.toWrite, Config().data(), kVendorWriteLength));
}

TEST_P(WritingCommandTest, AJournalThatCannotKeepTheEntryStopsTheWrite) {
    const Block before = Config();
    RecordingJournal journal(machine_.platform, 1);
    const CommandOutcome outcome =
        GetParam().run(*this, machine_.platform, state_, window_, &journal);
    EXPECT_EQ(outcome.code, OutcomeCode::JournalNotSaved);
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(journal.calls.size(), 1u);
    EXPECT_FALSE(Wrote());
    // The undo's own set-up made LUN 0 fixed; nothing since.
    if (GetParam().kind != CommandKind::Undo) {
        EXPECT_EQ(Config(), before);
    }
    EXPECT_EQ(std::string(OutcomeMessage(outcome)),
              GetParam().kind == CommandKind::WriteRaw ? "Write Fail" : "Fail");
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, WritingCommandTest,
                         ::testing::Values(WritingCase{"set", CommandKind::SetLunMode, RunSet},
                                           WritingCase{"write", CommandKind::WriteRaw, RunWrite},
                                           WritingCase{"restore", CommandKind::Restore, RunRestore},
                                           WritingCase{"undo", CommandKind::Undo, RunUndo}),
                         testing_support::CaseName());

TEST_F(WriteJournalTest, ADryRunAndASetThatChangesNothingAskNoJournal) {
    RecordingJournal journal(machine_.platform, 1);
    CommandContext context{machine_.platform, state_, window_};
    context.journal = &journal;
    context.skipUnchangedWrite = true;
    EXPECT_EQ(SetLunMode(context, kLun1FixedBinding).code, OutcomeCode::Done);  // already fixed
    context.dryRun = true;
    EXPECT_EQ(SetLunMode(context, kLun0FixedBinding).code, OutcomeCode::Done);
    EXPECT_TRUE(journal.calls.empty());
    EXPECT_FALSE(Wrote());
}

// The plain drive holds LUN 0 Removable and LUN 1 Fixed Disk: each of these would write the block
// as read.
TEST_F(WriteJournalTest, AWriteThatWouldChangeNothingIsSentOnlyWhereAskedTo) {
    struct Case {
        const char* name;
        std::function<CommandOutcome(CommandContext&)> run;
    };
    const Case cases[] = {
        {"set lun1 fixed", [](CommandContext& c) { return SetLunMode(c, kLun1FixedBinding); }},
        {"set lun0 removable",
         [](CommandContext& c) { return SetLunMode(c, kLun0RemovableBinding); }},
        {"write both rows as read",
         [this](CommandContext& c) {
             state_.lun0Text = "Removable";
             state_.lun1Text = " Fixed Disk ";
             return WriteRaw(c);
         }},
        {"write without texts",
         [this](CommandContext& c) {
             state_.lun0Text.clear();
             state_.lun1Text.clear();
             return WriteRaw(c);
         }},
    };
    for (const Case& each : cases) {
        for (const bool skip : {true, false}) {
            SCOPED_TRACE(std::string(each.name) + (skip ? ", skipped" : ", sent"));
            machine_.platform.ClearLog();
            RecordingJournal journal(machine_.platform, kJournalSaved);
            CommandContext context{machine_.platform, state_, window_};
            context.journal = &journal;
            context.confirmWrite = true;
            context.skipUnchangedWrite = skip;
            const Block before = Config();
            const CommandOutcome outcome = each.run(context);
            EXPECT_EQ(outcome.code, OutcomeCode::Done);
            EXPECT_TRUE(outcome.unchanged);
            EXPECT_FALSE(outcome.changed);
            EXPECT_EQ(outcome.writeSkipped, skip);
            EXPECT_EQ(Wrote(), !skip);
            EXPECT_EQ(journal.calls.size(), skip ? 0u : 1u);
            EXPECT_EQ(Config(), before);
            ASSERT_TRUE(outcome.typesKnown);
            EXPECT_EQ(outcome.types.lun0, kLunTypeRemovable);
            EXPECT_EQ(outcome.types.lun1, kLunTypeFixedDisk);
        }
    }
}

// A write that changes a byte goes out whatever the setting.
TEST_F(WriteJournalTest, AWriteThatChangesAByteIsSentWhenSkippingUnchangedOnes) {
    RecordingJournal journal(machine_.platform, kJournalSaved);
    CommandContext context{machine_.platform, state_, window_};
    context.journal = &journal;
    context.skipUnchangedWrite = true;
    state_.lun0Text = "05";
    const CommandOutcome outcome = WriteRaw(context);
    EXPECT_EQ(outcome.code, OutcomeCode::Done);
    EXPECT_FALSE(outcome.unchanged);
    EXPECT_FALSE(outcome.writeSkipped);
    EXPECT_TRUE(outcome.changed);
    EXPECT_TRUE(Wrote());
    EXPECT_EQ(journal.calls.size(), 1u);
}

// The drive changed after the change to undo (here: LUN 1 made removable by someone else).
TEST_F(WriteJournalTest, AnUndoOntoADriveThatChangedSinceWritesNothing) {
    BlockBackup before{};
    ASSERT_EQ(BackupBlocks(machine_.platform, state_, nullptr, before).code, OutcomeCode::Done);
    alignas(kVendorBlockAlignment) VendorBlock written;
    std::memcpy(written, before.info, kVendorBlockSize);
    written[kTypeSlotAOffset] = kLunTypeFixedDisk;
    Config()[kTypeSlotAOffset] = kLunTypeFixedDisk;
    Config()[kTypeSlotBOffset] = kLunTypeRemovable;
    const Block now = Config();

    RecordingJournal journal(machine_.platform, kJournalSaved);
    const NamedChange change{"2026-12-11T01:23:45Z", 1, &written};
    RestoreGuard guard;
    guard.journal = &journal;
    guard.undoes = &change;
    for (const bool dryRun : {true, false}) {
        RestoreView view{};
        view.dryRun = dryRun;
        const CommandOutcome outcome = RestoreConfigBlock(
            machine_.platform, state_, nullptr, before.info, before.identity, false, &view, guard);
        EXPECT_EQ(outcome.command, CommandKind::Undo);
        EXPECT_EQ(outcome.code, OutcomeCode::NotAsChanged);
        // The front end shows the difference from the block as read.
        EXPECT_TRUE(view.blockRead);
        EXPECT_EQ(0, std::memcmp(view.asRead, now.data(), kVendorBlockSize));
    }
    EXPECT_TRUE(journal.calls.empty());
    EXPECT_FALSE(Wrote());
    EXPECT_EQ(Config(), now);
}

}  // namespace
}  // namespace vardel
