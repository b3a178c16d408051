// Backup and restore of the configuration block on the emulated drive seen as E (LUN 0) and
// F (LUN 1): what each reads, and that a restore writes only onto the drive it came from, after
// reading its block whole.

#include "commands/block_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "drive/vendor_blocks.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"
#include "support/standard_machine.h"

namespace vardel {
namespace {

using emulated::EmulatedPlatform;
using emulated::Fault;
using emulated::FaultEffect;
using emulated::Operation;
using testing_support::Trace;
const Trace& kDiscovery = testing_support::kStandardDiscovery;

Trace After(const Trace& discovery, const Trace& trace) {
    if (trace.size() < discovery.size()) return trace;
    return Trace(trace.begin() + static_cast<long>(discovery.size()), trace.end());
}

class BlockBackupTest : public ::testing::Test {
  public:
    emulated::Drive& Drive() { return machine_.Drive(); }

    void Fail(Operation operation, FaultEffect effect, std::uint32_t code, int skip = 0) {
        machine_.Fail(operation, effect, code, skip);
    }

  protected:
    BlockBackup TakeBackup() {
        BlockBackup backup;
        CommandState state;
        EXPECT_EQ(BackupBlocks(platform_, state, nullptr, backup).code, OutcomeCode::Done);
        return backup;
    }

    CommandOutcome Restore(const BlockBackup& backup, bool allowNoSerial = false) {
        CommandState state;
        platform_.ClearLog();
        return RestoreConfigBlock(platform_, state, nullptr, backup.info, backup.identity,
                                  allowNoSerial);
    }

    bool Wrote() const {
        for (const std::string& command : platform_.CommandTrace()) {
            if (command.find("WRITE") != std::string::npos) return true;
        }
        return false;
    }

    testing_support::StandardMachine machine_;
    EmulatedPlatform& platform_ = machine_.platform;
};

TEST_F(BlockBackupTest, BackupReadsBothBlocksAndTheInquiryThroughTheTarget) {
    const BlockBackup backup = TakeBackup();
    EXPECT_EQ(After(kDiscovery, platform_.CommandTrace()),
              (Trace{"INQUIRY F", "READ ID F", "READ INFO F"}));
    EXPECT_EQ(0, std::memcmp(backup.info, Drive().configBlock.data(), kVendorBlockSize));
    EXPECT_EQ(0, std::memcmp(backup.inquiry, Drive().inquiry.data(), kInquiryLength));
    EXPECT_EQ(backup.identity[kLunIndexOffset], 1);  // read through F
    EXPECT_EQ(std::string(backup.key.bytes, backup.key.bytes + 12), "VD0000000001");
    EXPECT_EQ(std::string({backup.lun0Letter, backup.lun1Letter, backup.target}), "EFF");
}

TEST_F(BlockBackupTest, BackupOfABlockThatArrivesShortFails) {
    Drive().configReturned = 527;
    BlockBackup backup;
    CommandState state;
    const CommandOutcome outcome = BackupBlocks(platform_, state, nullptr, backup);
    EXPECT_EQ(outcome.code, OutcomeCode::ReadFailed);
    EXPECT_EQ(outcome.driveStatus, kDriveShortRead);
}

TEST_F(BlockBackupTest, RestoreWritesTheBackupAndConfirmsIt) {
    const BlockBackup backup = TakeBackup();
    const emulated::Block original = Drive().configBlock;
    Drive().configBlock[kTypeSlotAOffset] = kLunTypeFixedDisk;
    Drive().configBlock[7] ^= 0xFF;
    Drive().configBlock[520] ^= 0xFF;  // the drive's own: never sent

    const CommandOutcome outcome = Restore(backup);
    EXPECT_EQ(outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(After(kDiscovery, platform_.CommandTrace()),
              (Trace{"READ ID F", "READ INFO F", "WRITE F", "READ INFO F"}));
    EXPECT_EQ(0, std::memcmp(Drive().configBlock.data(), original.data(), kVendorWriteLength));
    EXPECT_NE(Drive().configBlock[520], original[520]);
    EXPECT_EQ(outcome.types.lun0, kLunTypeRemovable);

    // Once the drive holds it, nothing more is written.
    const CommandOutcome again = Restore(backup);
    EXPECT_EQ(again.code, OutcomeCode::Done);
    EXPECT_FALSE(again.changed);
    EXPECT_FALSE(Wrote());
}

struct RestoreCase {
    const char* name;
    std::function<void(BlockBackupTest&)> setUp;
    OutcomeCode code;
    bool written;
};

class RestoreFailureTest : public BlockBackupTest,
                           public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreFailureTest, EndsWithTheOutcomeAndWritesOnlyWhenDue) {
    const BlockBackup backup = TakeBackup();
    Drive().configBlock[kTypeSlotBOffset] = kLunTypeRemovable;  // something to restore
    GetParam().setUp(*this);
    const CommandOutcome outcome = Restore(backup);
    EXPECT_EQ(outcome.code, GetParam().code);
    EXPECT_EQ(Wrote(), GetParam().written);
    // Only a read-back that failed leaves open whether the drive took the block.
    EXPECT_EQ(outcome.changed, GetParam().written && GetParam().code == OutcomeCode::ReadFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RestoreFailureTest,
    ::testing::Values(
        RestoreCase{
            "AnotherSerial",
            [](BlockBackupTest& test) { emulated::SetSerial(test.Drive(), "VD0000000002"); },
            OutcomeCode::WrongDevice, false},
        RestoreCase{"ShortIdentityBeforeTheCheck",
                    [](BlockBackupTest& test) {
                        test.Fail(Operation::ReadIdentity, FaultEffect::ScsiStatus, 2, 2);
                    },
                    OutcomeCode::ReadFailed, false},
        RestoreCase{"ConfigArrivesShort",
                    [](BlockBackupTest& test) { test.Drive().configReturned = 300; },
                    OutcomeCode::ReadFailed, false},
        RestoreCase{
            "WriteRefused",
            [](BlockBackupTest& test) { test.Fail(Operation::Write, FaultEffect::ScsiStatus, 2); },
            OutcomeCode::WriteFailed, true},
        RestoreCase{"WriteNotKept", [](BlockBackupTest& test) { test.Drive().keepsWrites = false; },
                    OutcomeCode::NotConfirmed, true},
        RestoreCase{"ReadBackFails",
                    [](BlockBackupTest& test) {
                        test.Fail(Operation::ReadConfig, FaultEffect::FailControl, kErrorIoDevice,
                                  1);
                    },
                    OutcomeCode::ReadFailed, true}),
    testing_support::CaseName());

// Discovery groups drives by the first twelve characters of the serial, without regard to case;
// a whole block goes back only onto the drive with the very same serial.
TEST_F(BlockBackupTest, RestoreComparesTheWholeSerialExactly) {
    struct Case {
        const char* backupSerial;  // nullptr: no serial (flag byte 16 is 0)
        const char* driveSerial;
        bool allowNoSerial;
        OutcomeCode code;
    } const cases[] = {
        {"AA0000000001-0002", "AA0000000001-0002", false, OutcomeCode::Done},
        {"AA0000000001-0002", "aa0000000001-0999", false, OutcomeCode::WrongDevice},
        {"AA0000000001-0002", "AA0000000001-0999", false, OutcomeCode::WrongDevice},
        {"AA0000000001", "aa0000000001", false, OutcomeCode::WrongDevice},
        {"AA0000000001", "AA0000000001-0002", false, OutcomeCode::WrongDevice},
        {"AA0000000001", nullptr, true, OutcomeCode::WrongDevice},
        {nullptr, "AA0000000001", true, OutcomeCode::WrongDevice},
        {nullptr, nullptr, false, OutcomeCode::NoSerial},
        {nullptr, nullptr, true, OutcomeCode::Done},
    };
    for (const Case& c : cases) {
        auto setSerial = [this](const char* serial) {
            if (serial != nullptr) {
                emulated::SetSerial(Drive(), serial);
            } else {
                Drive().identityBlock[kSerialPresentOffset] = 0;
            }
        };
        setSerial(c.backupSerial);
        Drive().configBlock[kTypeSlotBOffset] = kLunTypeFixedDisk;
        const BlockBackup backup = TakeBackup();
        setSerial(c.driveSerial);
        Drive().configBlock[kTypeSlotBOffset] = kLunTypeRemovable;  // something to restore

        const CommandOutcome outcome = Restore(backup, c.allowNoSerial);
        const std::string name = std::string(c.backupSerial ? c.backupSerial : "(none)") +
                                 " onto " + (c.driveSerial ? c.driveSerial : "(none)");
        EXPECT_EQ(outcome.code, c.code) << name;
        EXPECT_EQ(Wrote(), c.code == OutcomeCode::Done) << name;
    }
}

}  // namespace
}  // namespace vardel
