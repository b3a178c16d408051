// What each command reports as its outcome, on the emulated drive seen as E (LUN 0) and F (LUN 1),
// and the message a front end shows for it.

#include "commands/command_outcome.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "commands/lun_mode_commands.h"
#include "commands/recording_window.h"
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
using testing_support::RecordingWindow;

enum class Run { Status, Lun0Fixed, Lun1Fixed, Write, WriteA1 };

using Machine = testing_support::StandardMachine;

CommandOutcome RunCommand(Machine& machine, Run run, const PhysicalDevice* device = nullptr) {
    CommandState state;
    RecordingWindow window;
    CommandContext context{machine.platform, state, window, device};
    switch (run) {
        case Run::Status:
            return ReadStatus(context);
        case Run::Lun0Fixed:
            return SetLunMode(context, {LunRow::Lun0, kLunTypeFixedDisk, false});
        case Run::Lun1Fixed:
            return SetLunMode(context, {LunRow::Lun1, kLunTypeFixedDisk, false});
        case Run::Write:
            return WriteRaw(context);
        case Run::WriteA1:
            window.onTake = [&state] {
                state.lun0Text = "A1";
                return true;
            };
            return WriteRaw(context);
    }
    return {};
}

struct OutcomeCase {
    const char* name;
    Run run;
    std::function<void(Machine&)> setUp;
    OutcomeCode code;
    DriveStatus driveStatus;
    int lun0;  // -1: the types are not known
    int lun1;
    bool changed;
    const char* message;  // nullptr: none
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

void Swap(Machine& m) {
    m.Drive().identityBlock[kLayoutMarkerOffset] = kSwappedLayoutMarker;
    m.Drive().configBlock[kLayoutSelectorOffset] = kSwappedLayoutSelector;
}

const OutcomeCase kOutcomeCases[] = {
    {"StatusPlain", Run::Status, [](Machine&) {}, OutcomeCode::Done, 0, 0x00, 0xA1, false, nullptr},
    {"StatusSwapped", Run::Status, Swap, OutcomeCode::Done, 0, 0xA1, 0x00, false, nullptr},
    {"StatusConfigReadFails", Run::Status,
     [](Machine& m) { m.Fail(Operation::ReadConfig, FaultEffect::FailControl, kErrorIoDevice); },
     OutcomeCode::ReadFailed, 1117, -1, -1, false, "Fail"},
    {"SetChangesTheRow", Run::Lun0Fixed, [](Machine&) {}, OutcomeCode::Done, 0, 0xA1, 0xA1, true,
     nullptr},
    {"SetSwappedChangesTheRow", Run::Lun1Fixed, Swap, OutcomeCode::Done, 0, 0xA1, 0xA1, true,
     nullptr},
    {"SetToTheTypeItHas", Run::Lun1Fixed, [](Machine&) {}, OutcomeCode::Done, 0, 0x00, 0xA1, false,
     nullptr},
    {"SetWriteRefused", Run::Lun0Fixed,
     [](Machine& m) { m.Fail(Operation::Write, FaultEffect::ScsiStatus, 2); },
     OutcomeCode::WriteFailed, -2, -1, -1, false, "Fail"},
    {"SetWriteNotKept", Run::Lun0Fixed, [](Machine& m) { m.Drive().keepsWrites = false; },
     OutcomeCode::NotConfirmed, 0, 0x00, 0xA1, false, "Fail"},
    {"SetReadBackFails", Run::Lun0Fixed,
     [](Machine& m) { m.Fail(Operation::ReadConfig, FaultEffect::FailControl, kErrorIoDevice, 1); },
     OutcomeCode::ReadFailed, 1117, -1, -1, true, "Fail"},
    {"WriteRightAfterStart", Run::Write, [](Machine&) {}, OutcomeCode::Done, 0, 0x00, 0xA1, false,
     "Write Success"},
    {"WriteAText", Run::WriteA1, [](Machine&) {}, OutcomeCode::Done, 0, 0xA1, 0xA1, true,
     "Write Success"},
    {"WriteSwappedKeepsTheRowsType", Run::WriteA1, Swap, OutcomeCode::Done, 0, 0xA1, 0x00, false,
     "Write Success"},
    {"WriteRefused", Run::WriteA1,
     [](Machine& m) { m.Fail(Operation::Write, FaultEffect::FailControl, kErrorIoDevice); },
     OutcomeCode::WriteFailed, 1117, 0xA1, 0xA1, false, "Write Fail"},
    {"WriteConfigReadFails", Run::Write,
     [](Machine& m) { m.Fail(Operation::ReadConfig, FaultEffect::ScsiStatus, 2); },
     OutcomeCode::ReadFailed, -2, -1, -1, false, "Write Fail"},
    {"NoDrive", Run::Lun0Fixed,
     [](Machine& m) {
         m.platform.SetLetterExists('E', false);
         m.platform.SetLetterExists('F', false);
     },
     OutcomeCode::NoDrive, 0, -1, -1, false, "No drive found"},
    {"TwoDrives", Run::Write,
     [](Machine& m) {
         emulated::Drive other = emulated::StandardDrive();
         emulated::SetSerial(other, "VD0000000002");
         m.platform.AttachVolume('G', m.platform.AddDrive(other), 0);
     },
     OutcomeCode::SeveralDrives, 0, -1, -1, false, "More drives found, please remove others"},
    {"VersionRefused", Run::Status, [](Machine& m) { m.platform.SetVersionNumber(0x25800306); },
     OutcomeCode::UnknownError, 0, -1, -1, false, "Unknown error"},
};

class OutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(OutcomeTest, ReportsHowTheCommandEnded) {
    const OutcomeCase& c = GetParam();
    Machine machine;
    c.setUp(machine);
    const CommandOutcome outcome = RunCommand(machine, c.run);

    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.driveStatus, c.driveStatus);
    const bool discoveryEnded = c.code == OutcomeCode::NoDrive ||
                                c.code == OutcomeCode::SeveralDrives ||
                                c.code == OutcomeCode::UnknownError;
    EXPECT_EQ(outcome.target, discoveryEnded ? 0 : 'F');
    EXPECT_EQ(outcome.typesKnown, c.lun0 >= 0);
    if (c.lun0 >= 0) {
        EXPECT_EQ(outcome.types.lun0, c.lun0);
        EXPECT_EQ(outcome.types.lun1, c.lun1);
    }
    EXPECT_EQ(outcome.changed, c.changed);
    const char* message = OutcomeMessage(outcome);
    EXPECT_EQ(std::string(message != nullptr ? message : "(none)"),
              c.message != nullptr ? c.message : "(none)");
}

INSTANTIATE_TEST_SUITE_P(Commands, OutcomeTest, ::testing::ValuesIn(kOutcomeCases),
                         testing_support::CaseName());

TEST(OutcomeTest, SetLunModeNamesItsRowAndType) {
    Machine machine;
    const CommandOutcome outcome = RunCommand(machine, Run::Lun1Fixed);
    EXPECT_EQ(outcome.command, CommandKind::SetLunMode);
    EXPECT_EQ(outcome.row, LunRow::Lun1);
    EXPECT_EQ(outcome.requestedType, kLunTypeFixedDisk);
}

// With two drives attached, naming one narrows discovery to its letters, also where both drives
// carry one serial.
TEST(OutcomeTest, ANamedDeviceIsTheOnlyOneFound) {
    for (const char* serial : {"vd0000000002", "VD0000000001"}) {
        SCOPED_TRACE(serial);
        Machine machine;
        emulated::Drive other = emulated::StandardDrive();
        emulated::SetSerial(other, serial);
        other.configBlock[kTypeSlotAOffset] = kLunTypeFixedDisk;
        machine.platform.AttachVolume('G', machine.platform.AddDrive(other), 0);
        alignas(kVendorBlockAlignment) VendorBlock identity = {};
        std::copy(other.identityBlock.begin(), other.identityBlock.end(), identity);
        const PhysicalDevice device =
            ReadPhysicalDevice(machine.platform, 'G', ExtractDeviceKey(identity));

        const CommandOutcome outcome = RunCommand(machine, Run::Status, &device);
        EXPECT_EQ(outcome.code, OutcomeCode::Done);
        EXPECT_EQ(outcome.target, 'G');
        EXPECT_EQ(outcome.types.lun0, kLunTypeFixedDisk);

        PhysicalDevice nobody = device;
        nobody.key = {};
        EXPECT_EQ(RunCommand(machine, Run::Status, &nobody).code, OutcomeCode::NoDrive);
        nobody = device;
        nobody.port = 7;
        EXPECT_EQ(RunCommand(machine, Run::Status, &nobody).code, OutcomeCode::NoDrive);
    }
}

// A block that arrives short counts as unread: no command writes after it, and none shows it.
enum class Short { Config, IdentityAfterDiscovery, IdentityAlways };

struct ShortReadCase {
    const char* name;
    Short which;
    Run run;
    OutcomeCode code;
};

void PrintTo(const ShortReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ShortReadTest : public ::testing::TestWithParam<ShortReadCase> {};

TEST_P(ShortReadTest, EndsTheCommandWithNothingWritten) {
    const ShortReadCase& c = GetParam();
    Machine machine;
    // The swapped layout, where a short identity block reads as the plain one and the wrong type
    // byte would be changed.
    Swap(machine);
    const emulated::Block before = machine.Drive().configBlock;
    int identityReads = 0;
    switch (c.which) {
        case Short::Config:
            machine.Drive().configReturned = 300;
            break;
        case Short::IdentityAlways:
            machine.Drive().identityReturned = 300;
            break;
        case Short::IdentityAfterDiscovery:
            // Discovery reads each of E and F twice; the command's own read comes after.
            machine.platform.SetAfterCallHook([&](const emulated::CallRecord& call) {
                if (call.operation == Operation::ReadIdentity && ++identityReads == 4) {
                    machine.Drive().identityReturned = 300;
                }
            });
            break;
    }

    const CommandOutcome outcome = RunCommand(machine, c.run);
    EXPECT_EQ(outcome.code, c.code);
    if (c.code == OutcomeCode::ReadFailed) {
        EXPECT_EQ(outcome.driveStatus, kDriveShortRead);
    }
    EXPECT_FALSE(outcome.typesKnown);
    EXPECT_FALSE(outcome.changed);
    for (const std::string& command : machine.platform.CommandTrace()) {
        EXPECT_EQ(command.find("WRITE"), std::string::npos);
    }
    EXPECT_EQ(machine.Drive().configBlock, before);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ShortReadTest,
    ::testing::Values(
        ShortReadCase{"ConfigStatus", Short::Config, Run::Status, OutcomeCode::ReadFailed},
        ShortReadCase{"ConfigSet", Short::Config, Run::Lun0Fixed, OutcomeCode::ReadFailed},
        ShortReadCase{"ConfigWrite", Short::Config, Run::WriteA1, OutcomeCode::ReadFailed},
        ShortReadCase{"IdentityStatus", Short::IdentityAfterDiscovery, Run::Status,
                      OutcomeCode::ReadFailed},
        ShortReadCase{"IdentitySet", Short::IdentityAfterDiscovery, Run::Lun0Fixed,
                      OutcomeCode::ReadFailed},
        ShortReadCase{"IdentityWrite", Short::IdentityAfterDiscovery, Run::WriteA1,
                      OutcomeCode::ReadFailed},
        // Discovery leaves out a letter whose identity arrives short: no drive.
        ShortReadCase{"IdentityInDiscoveryStatus", Short::IdentityAlways, Run::Status,
                      OutcomeCode::NoDrive},
        ShortReadCase{"IdentityInDiscoverySet", Short::IdentityAlways, Run::Lun0Fixed,
                      OutcomeCode::NoDrive},
        ShortReadCase{"IdentityInDiscoveryWrite", Short::IdentityAlways, Run::WriteA1,
                      OutcomeCode::NoDrive}),
    testing_support::CaseName());

}  // namespace
}  // namespace vardel
