// The commands behind the buttons, on an emulated drive seen as E (LUN 0) and F (LUN 1).

#include "commands/lun_mode_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "commands/recording_window.h"
#include "drive/vendor_blocks.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"
#include "support/standard_machine.h"

namespace vardel {
namespace {

using emulated::Block;
using emulated::EmulatedPlatform;
using emulated::Fault;
using emulated::FaultEffect;
using emulated::Operation;
using testing_support::RecordingWindow;

using testing_support::Trace;
const Trace& kDiscovery = testing_support::kStandardDiscovery;

Trace Concat(Trace a, const Trace& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const LunModeBinding kLun0Removable = {LunRow::Lun0, kLunTypeRemovable, false};
const LunModeBinding kLun1Removable = {LunRow::Lun1, kLunTypeRemovable, true};
const LunModeBinding kLun0Fixed = {LunRow::Lun0, kLunTypeFixedDisk, false};
const LunModeBinding kLun1Fixed = {LunRow::Lun1, kLunTypeFixedDisk, false};

class CommandsTest : public ::testing::Test {
  protected:
    CommandsTest() { drive_ = emulated::SetUpStandardMachine(platform_); }

    emulated::Drive& Drive() { return platform_.DriveAt(drive_); }
    Block& Config() { return Drive().configBlock; }

    void MakeSwapped() {
        Drive().identityBlock[kLayoutMarkerOffset] = kSwappedLayoutMarker;
        Config()[kLayoutSelectorOffset] = kSwappedLayoutSelector;
    }

    void Fail(char letter, Operation operation, FaultEffect effect, std::uint32_t code,
              int skip = 0) {
        Fault fault;
        fault.letter = letter;
        fault.operation = operation;
        fault.effect = effect;
        fault.code = code;
        fault.skip = skip;
        platform_.InjectFault(fault);
    }

    // The commands sent after discovery.
    Trace BlockCommands() const {
        const Trace trace = platform_.CommandTrace();
        if (trace.size() < kDiscovery.size()) return trace;
        return Trace(trace.begin() + static_cast<long>(kDiscovery.size()), trace.end());
    }

    // Every byte of the configuration block as it was, but for the ones named.
    void ExpectOnlyChanged(const Block& before, std::vector<std::size_t> changed) {
        const Block& after = Config();
        for (std::size_t i = 0; i < after.size(); ++i) {
            bool expectedChange = false;
            for (std::size_t offset : changed) expectedChange |= offset == i;
            if (!expectedChange) {
                EXPECT_EQ(after[i], before[i]) << "byte " << i;
            }
        }
    }

    EmulatedPlatform platform_;
    int drive_ = 0;
    CommandState state_;
    RecordingWindow window_;
    CommandContext context_{platform_, state_, window_};
};

// ReadStatus

struct StatusCase {
    const char* name;
    bool swapped;
    std::uint8_t slotA;  // byte 304
    std::uint8_t slotB;  // byte 305
    const char* lun0;
    const char* lun1;
};

class ReadStatusTest : public CommandsTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ReadStatusTest, ShowsEachRowsTypeByte) {
    const StatusCase& c = GetParam();
    if (c.swapped) MakeSwapped();
    Config()[kTypeSlotAOffset] = c.slotA;
    Config()[kTypeSlotBOffset] = c.slotB;

    ReadStatus(context_);
    EXPECT_EQ(state_.lun0Text, c.lun0);
    EXPECT_EQ(state_.lun1Text, c.lun1);
    EXPECT_EQ(window_.events, (Trace{"disable", "refresh", "enable"}));
    EXPECT_EQ(BlockCommands(), (Trace{"READ ID F", "READ INFO F"}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReadStatusTest,
    ::testing::Values(StatusCase{"Plain", false, 0x00, 0xA1, "Removable", "Fixed Disk"},
                      StatusCase{"PlainOtherValues", false, 0xA1, 0x01, "Fixed Disk", "Removable"},
                      StatusCase{"Swapped", true, 0x00, 0xA1, "Fixed Disk", "Removable"},
                      StatusCase{"SwappedBothFixed", true, 0xA1, 0xA1, "Fixed Disk", "Fixed Disk"},
                      StatusCase{"UnknownValuesShowRemovable", false, 0xFF, 0x0F, "Removable",
                                 "Removable"}),
    testing_support::CaseName());

TEST_F(CommandsTest, ReadStatusWithABlockThatCannotBeReadFailsAndKeepsTheTexts) {
    for (Operation unreadable : {Operation::ReadConfig, Operation::ReadIdentity}) {
        platform_.ClearLog();
        state_.lun0Text = "Fixed Disk";
        state_.lun1Text = "";
        window_.events.clear();
        // Discovery reads F's identity block twice before the command's own read.
        Fail('F', unreadable, FaultEffect::FailControl, kErrorIoDevice,
             unreadable == Operation::ReadIdentity ? 2 : 0);
        ReadStatus(context_);
        EXPECT_EQ(state_.lun0Text, "Fixed Disk");
        EXPECT_EQ(state_.lun1Text, "");
        EXPECT_EQ(window_.events, (Trace{"disable", "message Fail", "enable"}));
    }
}

// SetLunMode

struct ModeCase {
    const char* name;
    LunModeBinding binding;
    bool swapped;
    std::size_t changedOffset;
    const char* lun0;  // the texts afterwards, from empty
    const char* lun1;
};

class SetLunModeTest : public CommandsTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(SetLunModeTest, ChangesOneByteAndConfirmsByReadingBack) {
    const ModeCase& c = GetParam();
    if (c.swapped) MakeSwapped();
    // Start from the opposite type so that every button changes something.
    const std::uint8_t opposite =
        c.binding.type == kLunTypeFixedDisk ? kLunTypeRemovable : kLunTypeFixedDisk;
    Config()[c.changedOffset] = opposite;
    const Block before = Config();

    SetLunMode(context_, c.binding);

    EXPECT_EQ(Config()[c.changedOffset], c.binding.type);
    ExpectOnlyChanged(before, {c.changedOffset});
    EXPECT_EQ(state_.lun0Text, c.lun0);
    EXPECT_EQ(state_.lun1Text, c.lun1);
    EXPECT_EQ(window_.events, Trace{"refresh"});  // no message, the buttons left alone
    const Trace reads = c.binding.readsDeviceBlockFirst ? Trace{"READ ID F", "READ INFO F"}
                                                        : Trace{"READ INFO F", "READ ID F"};
    EXPECT_EQ(BlockCommands(), Concat(reads, {"WRITE F", "READ INFO F"}));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SetLunModeTest,
    ::testing::Values(ModeCase{"Lun0Removable", kLun0Removable, false, 304, "Removable", ""},
                      ModeCase{"Lun1Removable", kLun1Removable, false, 305, "", "Removable"},
                      ModeCase{"Lun0Fixed", kLun0Fixed, false, 304, "Fixed Disk", ""},
                      ModeCase{"Lun1Fixed", kLun1Fixed, false, 305, "", "Fixed Disk"},
                      ModeCase{"SwappedLun0Removable", kLun0Removable, true, 305, "Removable", ""},
                      ModeCase{"SwappedLun1Removable", kLun1Removable, true, 304, "", "Removable"},
                      ModeCase{"SwappedLun0Fixed", kLun0Fixed, true, 305, "Fixed Disk", ""},
                      ModeCase{"SwappedLun1Fixed", kLun1Fixed, true, 304, "", "Fixed Disk"}),
    testing_support::CaseName());

struct ModeFailureCase {
    const char* name;
    bool swapped;
    Operation operation;  // the call that fails; Write with keepsWrites = false: not kept
    FaultEffect effect;
    int skip;      // matching calls of F that pass first
    bool written;  // whether a write reached the drive
    LunModeBinding binding;
};

class SetLunModeFailureTest : public CommandsTest,
                              public ::testing::WithParamInterface<ModeFailureCase> {};

TEST_P(SetLunModeFailureTest, ShowsFailAndKeepsTheTexts) {
    const ModeFailureCase& c = GetParam();
    if (c.swapped) MakeSwapped();
    if (c.operation == Operation::OtherCommand) {
        Drive().keepsWrites = false;
    } else {
        Fail('F', c.operation, c.effect, c.effect == FaultEffect::ScsiStatus ? 2 : kErrorIoDevice,
             c.skip);
    }
    state_.lun0Text = "Removable";
    state_.lun1Text = "Removable";

    SetLunMode(context_, c.binding);
    EXPECT_EQ(window_.events, Trace{"message Fail"});
    EXPECT_EQ(state_.lun0Text, "Removable");
    EXPECT_EQ(state_.lun1Text, "Removable");
    bool wrote = false;
    for (const std::string& command : platform_.CommandTrace()) {
        wrote |= command.find("WRITE") != std::string::npos;
    }
    EXPECT_EQ(wrote, c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SetLunModeFailureTest,
    ::testing::Values(
        ModeFailureCase{"ConfigReadFails", false, Operation::ReadConfig, FaultEffect::FailControl,
                        0, false, kLun0Fixed},
        ModeFailureCase{"ConfigReadCheckCondition", false, Operation::ReadConfig,
                        FaultEffect::ScsiStatus, 0, false, kLun1Fixed},
        // Discovery reads F's identity block twice per command before the command does.
        ModeFailureCase{"IdentityReadFails", true, Operation::ReadIdentity,
                        FaultEffect::FailControl, 2, false, kLun0Fixed},
        ModeFailureCase{"WriteFails", false, Operation::Write, FaultEffect::FailControl, 0, true,
                        kLun1Fixed},
        ModeFailureCase{"WriteCheckCondition", true, Operation::Write, FaultEffect::ScsiStatus, 0,
                        true, kLun0Fixed},
        ModeFailureCase{"ReadBackFails", false, Operation::ReadConfig, FaultEffect::FailControl, 1,
                        true, kLun1Fixed},
        ModeFailureCase{"ReadBackDisagrees", false, Operation::OtherCommand,
                        FaultEffect::FailControl, 0, true, kLun0Fixed},
        ModeFailureCase{"SwappedReadBackDisagrees", true, Operation::OtherCommand,
                        FaultEffect::FailControl, 0, true, kLun1Fixed}),
    testing_support::CaseName());

// A firmware that changes the layout selector (byte 172) on the write: the read-back takes the
// row's byte under the layout the new selector gives, not the one the write was made under.
TEST_F(CommandsTest, ReadBackFollowsALayoutSelectorTheWriteChanged) {
    struct Case {
        bool swappedBefore;
        std::uint8_t lun1Slot;  // of the row Lun1 before the button, not swapped
        bool movesTypeBytes;    // the firmware also moves the two type bytes to the new layout
        const char* message;    // nullptr: confirmed
    } const cases[] = {
        // Swapped to plain: Lun0's byte is 304 now, still removable.
        {true, 0x00, false, "Fail"},
        // Plain to swapped, the types moved along: Lun0's byte is 305 now and fixed.
        {false, 0x00, true, nullptr},
    };
    for (const Case& c : cases) {
        EmulatedPlatform platform;
        const int drive = emulated::SetUpStandardMachine(platform);
        Block& config = platform.DriveAt(drive).configBlock;
        platform.DriveAt(drive).identityBlock[kLayoutMarkerOffset] = kSwappedLayoutMarker;
        config[kLayoutSelectorOffset] = c.swappedBefore ? kSwappedLayoutSelector : 0;
        config[c.swappedBefore ? 304 : 305] = c.lun1Slot;
        platform.SetAfterCallHook([&](const emulated::CallRecord& call) {
            if (call.operation != Operation::Write ||
                call.kind != emulated::CallRecord::Kind::Control) {
                return;
            }
            config[kLayoutSelectorOffset] = c.swappedBefore ? 0 : kSwappedLayoutSelector;
            if (c.movesTypeBytes) std::swap(config[304], config[305]);
        });
        CommandState state;
        RecordingWindow window;
        CommandContext context{platform, state, window};

        const CommandOutcome outcome = SetLunMode(context, kLun0Fixed);
        EXPECT_EQ(outcome.swapped, !c.swappedBefore);
        if (c.message != nullptr) {
            EXPECT_EQ(window.Messages(), Trace{c.message});
            EXPECT_EQ(state.lun0Text, "");
        } else {
            EXPECT_EQ(window.events, Trace{"refresh"});
            EXPECT_EQ(state.lun0Text, "Fixed Disk");
        }
    }
}

TEST_F(CommandsTest, ReadBackThatFailsAtTheOpenConfirmsNothing) {
    // The seventh open of F in a mode command is its read-back: inquiry, identity read, address
    // and identity read in discovery, then configuration read, identity read, write.
    Fail('F', Operation::Open, FaultEffect::FailOpen, kErrorNotReady, 7);
    SetLunMode(context_, kLun0Removable);
    EXPECT_EQ(window_.events, Trace{"message Fail"});
    EXPECT_EQ(state_.lun0Text, "");
    EXPECT_EQ(BlockCommands(), (Trace{"READ INFO F", "READ ID F", "WRITE F"}));
}

// Discovery outcomes end every command before any block command.

enum class Scenario { NoDrive, TwoDrives, OnlyLun1Letter, VersionRefused, TargetLost };

struct DiscoveryCase {
    const char* name;
    Scenario scenario;
    const char* message;
};

enum class Which { Status, Mode, Write };

class DiscoveryMessageTest
    : public CommandsTest,
      public ::testing::WithParamInterface<std::tuple<DiscoveryCase, Which>> {};

std::string DiscoveryCaseName(
    const ::testing::TestParamInfo<std::tuple<DiscoveryCase, Which>>& info) {
    static const char* const kWhich[] = {"Status", "Mode", "Write"};
    return std::string(std::get<0>(info.param).name) + "_" +
           kWhich[static_cast<int>(std::get<1>(info.param))];
}

TEST_P(DiscoveryMessageTest, EndsWithTheMessageAndEnabledButtons) {
    const DiscoveryCase& c = std::get<0>(GetParam());
    const Which which = std::get<1>(GetParam());
    switch (c.scenario) {
        case Scenario::NoDrive:
            platform_.AttachVolume('E', -1, 0);
            platform_.AttachVolume('F', -1, 0);
            break;
        case Scenario::TwoDrives: {
            emulated::Drive other = emulated::StandardDrive();
            emulated::SetSerial(other, "VD0000000002");
            platform_.AttachVolume('G', platform_.AddDrive(other), 0);
            break;
        }
        case Scenario::OnlyLun1Letter:
            platform_.SetLetterExists('E', false);
            break;
        case Scenario::VersionRefused:
            platform_.SetVersionNumber(0x25800306);
            break;
        case Scenario::TargetLost:
            // The drive answers with other LUN indices once the scan is over, so the ordering
            // finds nothing in slots 0 and 1.
            platform_.SetAfterCallHook([this](const emulated::CallRecord& call) {
                if (call.operation == Operation::ReadIdentity && call.letter == 'F') {
                    platform_.AttachVolume('E', drive_, 4);
                    platform_.AttachVolume('F', drive_, 5);
                }
            });
            break;
    }

    const Block before = Config();
    switch (which) {
        case Which::Status:
            ReadStatus(context_);
            break;
        case Which::Mode:
            SetLunMode(context_, kLun0Fixed);
            break;
        case Which::Write:
            WriteRaw(context_);
            break;
    }

    EXPECT_EQ(window_.Messages(), Trace{c.message});
    EXPECT_EQ(window_.events.back(), "enable");
    for (const std::string& command : platform_.CommandTrace()) {
        EXPECT_TRUE(command.rfind("INQUIRY", 0) == 0 || command.rfind("READ ID", 0) == 0 ||
                    command.rfind("ADDRESS", 0) == 0)
            << command;
    }
    EXPECT_EQ(Config(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DiscoveryMessageTest,
    ::testing::Combine(
        ::testing::Values(
            DiscoveryCase{"NoDrive", Scenario::NoDrive, "No drive found"},
            DiscoveryCase{"TwoDrives", Scenario::TwoDrives,
                          "More drives found, please remove others"},
            DiscoveryCase{"OnlyLun1Letter", Scenario::OnlyLun1Letter, "Unknown error"},
            DiscoveryCase{"VersionRefused", Scenario::VersionRefused, "Unknown error"},
            DiscoveryCase{"TargetLost", Scenario::TargetLost, "Unknown error"}),
        ::testing::Values(Which::Status, Which::Mode, Which::Write)),
    DiscoveryCaseName);

// WriteRaw

TEST_F(CommandsTest, WriteRawRightAfterStartWritesTheBlockBackUnchanged) {
    const Block before = Config();
    WriteRaw(context_);
    EXPECT_EQ(window_.events, (Trace{"disable", "take", "message Write Success", "enable"}));
    EXPECT_EQ(BlockCommands(), (Trace{"READ INFO F", "READ ID F", "WRITE F"}));
    EXPECT_EQ(Config(), before);
}

TEST_F(CommandsTest, WriteRawAfterStatusKeepsBothTypes) {
    for (bool swapped : {false, true}) {
        if (swapped) MakeSwapped();
        ReadStatus(context_);
        const Block before = Config();
        WriteRaw(context_);
        EXPECT_EQ(window_.Messages().back(), "Write Success");
        EXPECT_EQ(Config(), before) << "swapped " << swapped;
        ReadStatus(context_);
        EXPECT_EQ(state_.lun0Text, swapped ? "Fixed Disk" : "Removable");
        EXPECT_EQ(state_.lun1Text, swapped ? "Removable" : "Fixed Disk");
    }
}

TEST_F(CommandsTest, WriteRawAfterAModeChangeKeepsTheChange) {
    SetLunMode(context_, kLun0Fixed);
    ASSERT_EQ(state_.lun0Text, "Fixed Disk");
    const Block before = Config();
    WriteRaw(context_);
    EXPECT_EQ(Config(), before);
    EXPECT_EQ(Config()[304], 0xA1);
}

struct TextCase {
    const char* name;
    const char* text;
    int expected;  // -1: the byte as read
};

class WriteRawTextTest : public CommandsTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(WriteRawTextTest, WritesWhatTheRowShows) {
    for (bool swapped : {false, true}) {
        if (swapped) MakeSwapped();
        for (LunRow row : {LunRow::Lun0, LunRow::Lun1}) {
            Config()[304] = 0x5C;
            Config()[305] = 0x3D;
            const Block before = Config();
            // One row shows the text, the other is empty and keeps its byte.
            window_.onTake = [this, row] {
                state_.lun0Text = row == LunRow::Lun0 ? GetParam().text : "";
                state_.lun1Text = row == LunRow::Lun1 ? GetParam().text : "";
                return true;
            };
            WriteRaw(context_);
            const std::size_t offset = TypeByteOffset(row, swapped);
            const int expected = GetParam().expected < 0 ? before[offset] : GetParam().expected;
            EXPECT_EQ(Config()[offset], expected)
                << "row Lun" << (row == LunRow::Lun0 ? 0 : 1) << ", swapped " << swapped;
            ExpectOnlyChanged(before, {offset});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WriteRawTextTest,
    ::testing::Values(TextCase{"Empty", "", -1},
                      // 0x5C and 0x3D already show as "Removable": the word keeps them.
                      TextCase{"Removable", "Removable", -1},
                      TextCase{"FixedDisk", "Fixed Disk", 0xA1},
                      TextCase{"FixedDiskPadded", "  Fixed Disk ", 0xA1},
                      TextCase{"Hex", "A1", 0xA1}, TextCase{"HexLowerCase", "a1", 0xA1},
                      TextCase{"HexPrefix", "0x7", 0x07}, TextCase{"LeadingZeros", "000A1", 0xA1},
                      // Never a guess: a text the reader does not consume whole keeps the byte.
                      TextCase{"HexUpToAnotherCharacter", "1fz", -1},
                      TextCase{"PrefixWithoutDigit", "0xg", -1},
                      TextCase{"LargerThanAByte", "1FF", -1}, TextCase{"Negative", "-1", -1},
                      TextCase{"WordInOtherCase", "Fixed disk", -1},
                      TextCase{"NoDigits", "zz", -1}, TextCase{"OnlySpaces", "   ", -1}),
    testing_support::CaseName());

TEST_F(CommandsTest, WriteRawTrimsTheTextsThemselves) {
    window_.onTake = [this] {
        state_.lun0Text = "  A1 ";
        state_.lun1Text = " ";
        return false;  // a prompt does not stop the command
    };
    WriteRaw(context_);
    EXPECT_EQ(state_.lun0Text, "A1");
    EXPECT_EQ(state_.lun1Text, "");
    EXPECT_EQ(window_.Messages(), Trace{"Write Success"});
}

TEST_F(CommandsTest, WriteRawWritesNothingWhenABlockCannotBeRead) {
    struct Case {
        Operation operation;
        int skip;
    } const cases[] = {{Operation::ReadConfig, 0}, {Operation::ReadIdentity, 2}};
    for (const Case& c : cases) {
        EmulatedPlatform platform;
        emulated::SetUpStandardMachine(platform);
        Fault fault;
        fault.letter = 'F';
        fault.operation = c.operation;
        fault.effect = FaultEffect::FailControl;
        fault.code = kErrorIoDevice;
        fault.skip = c.skip;
        platform.InjectFault(fault);
        CommandState state;
        RecordingWindow window;
        CommandContext context{platform, state, window};

        WriteRaw(context);
        EXPECT_EQ(window.events, (Trace{"disable", "take", "message Write Fail", "enable"}));
        for (const std::string& command : platform.CommandTrace()) {
            EXPECT_EQ(command.find("WRITE"), std::string::npos);
        }
    }
}

TEST_F(CommandsTest, WriteRawReportsAFailedWrite) {
    Fail('F', Operation::Write, FaultEffect::ScsiStatus, 2);
    WriteRaw(context_);
    EXPECT_EQ(window_.events, (Trace{"disable", "take", "message Write Fail", "enable"}));
}

TEST_F(CommandsTest, WriteRawChangesAByteOnlyWhereTheWordMeansAnotherType) {
    struct Case {
        const char* text;
        std::uint8_t asRead;
        std::uint8_t written;
    } const cases[] = {{"Removable", 0xA1, 0x00}, {"Removable", 0x05, 0x05},
                       {"Removable", 0x00, 0x00}, {"Fixed Disk", 0xA1, 0xA1},
                       {"Fixed Disk", 0x05, 0xA1}};
    for (const Case& c : cases) {
        Config()[304] = c.asRead;
        window_.onTake = [this, &c] {
            state_.lun0Text = c.text;
            state_.lun1Text = "";
            return true;
        };
        WriteRaw(context_);
        EXPECT_EQ(Config()[304], c.written) << c.text << " over " << int(c.asRead);
    }
}

TEST_F(CommandsTest, ConfirmedWriteCountsOnlyWhatTheDriveKept) {
    context_.confirmWrite = true;
    window_.onTake = [this] {
        state_.lun0Text = "Fixed Disk";
        state_.lun1Text = "";
        return true;
    };
    // A drive that keeps the write: done, changed, the rows as read back.
    CommandOutcome outcome = WriteRaw(context_);
    EXPECT_EQ(outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(outcome.types.lun0, 0xA1);
    EXPECT_EQ(platform_.CommandTrace().back(), "READ INFO F");

    // A drive that acknowledges the write and keeps its block: not confirmed, nothing changed.
    Config()[304] = 0x00;
    Drive().keepsWrites = false;
    outcome = WriteRaw(context_);
    EXPECT_EQ(outcome.code, OutcomeCode::NotConfirmed);
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(outcome.types.lun0, 0x00);
    EXPECT_STREQ(OutcomeMessage(outcome), "Write Fail");
    EXPECT_EQ(Config()[304], 0x00);
}

}  // namespace
}  // namespace vardel
