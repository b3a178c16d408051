// The fault matrix: every user command is run once on the emulated drive, and then once more for
// every device call it made and every fault that can strike that call. Each run must keep the
// drive safe (nothing written after a failed or missing read, a write changes only the bytes it
// means to), end with the outcome and message that fit, and give back the buttons it took.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "commands/command_outcome.h"
#include "drive/lun_type.h"
#include "drive/vendor_blocks.h"
#include "fault_matrix_commands.h"
#include "fault_matrix_faults.h"

namespace vardel::fault_matrix {
namespace {

using emulated::CallRecord;
using emulated::Operation;

// A device command as the run without faults made it: an open and the call that followed it.
struct DeviceCommand {
    char letter = 0;
    Operation operation = Operation::OtherCommand;
};

struct Baseline {
    std::vector<CallRecord> calls;        // device calls only, in order
    std::vector<std::size_t> commandOf;   // device command of each call
    std::vector<DeviceCommand> commands;  // the trace: discovery first, then the command's own
};

Baseline RunWithoutFaults(UserCommand command) {
    MatrixMachine machine(command);
    machine.Run();
    Baseline baseline;
    for (const CallRecord& call : machine.platform.Log()) {
        if (!IsDeviceCall(call)) continue;
        if (call.kind == CallRecord::Kind::Open) baseline.commands.push_back({call.letter, {}});
        baseline.commands.back().operation = call.operation;
        baseline.calls.push_back(call);
        baseline.commandOf.push_back(baseline.commands.size() - 1);
    }
    return baseline;
}

// Discovery on this machine: INQUIRY C, E, F; the scan's identity read and address question of E,
// then of F; the LUN ordering's identity reads of E and F. What a fault at each of them leads to
// follows from the discovery rules: a letter whose INQUIRY or scan read fails drops out, E alone
// is a device with a target, F alone (LUN 1 only) is not; a letter whose address is unknown is
// another device than one whose address is known; the ordering keeps the last block it read.
constexpr std::size_t kDiscoveryCommands = 9;
constexpr Operation kDiscoveryOperations[kDiscoveryCommands] = {
    Operation::Inquiry,      Operation::Inquiry,      Operation::Inquiry,
    Operation::ReadIdentity, Operation::Address,      Operation::ReadIdentity,
    Operation::Address,      Operation::ReadIdentity, Operation::ReadIdentity};
constexpr char kDiscoveryLetters[kDiscoveryCommands + 1] = "CEFEEFFEF";

struct Expected {
    OutcomeCode code;
    char target;  // 0 when discovery ends the command
    bool done;    // the command runs to its end as it does without the fault
};

constexpr Expected kDone{OutcomeCode::Done, 'F', true};
constexpr Expected kDoneThroughE{OutcomeCode::Done, 'E', true};
constexpr Expected kUnknown{OutcomeCode::UnknownError, 0, false};
constexpr Expected kNoDrive{OutcomeCode::NoDrive, 0, false};
constexpr Expected kSeveral{OutcomeCode::SeveralDrives, 0, false};
constexpr Expected kGoneAfterE{OutcomeCode::ReadFailed, 'E', false};
constexpr Expected kGoneAfterF{OutcomeCode::ReadFailed, 'F', false};

// By discovery command, for a call that fails, the drive gone from there on, another serial and
// another LUN index. The last two strike identity reads only: their other entries are never
// taken. Another serial in the scan makes two devices of one; in the ordering it does not matter.
// One letter's address lost makes two devices of one; the drive gone at E's address leaves E
// alone, at F's it leaves E with its address and F without. A letter whose identity read failed
// at an address a device found holds is that device's LUN; one whose address is gone too may be
// another drive, which stops a command that changes the drive (kGoneBesideE) and lets a read go
// on.
constexpr Expected kFailsInDiscovery[kDiscoveryCommands] = {
    kDone, kUnknown, kDoneThroughE, kUnknown, kSeveral, kDoneThroughE, kSeveral, kDone, kDone};
// Not an outcome: it stands for kSeveral or kGoneAfterE, by the command.
constexpr Expected kGoneBesideE{OutcomeCode::SeveralDrives, 'E', false};
constexpr Expected kGoneInDiscovery[kDiscoveryCommands] = {
    kNoDrive,     kNoDrive, kNoDrive,    kNoDrive,   kGoneBesideE,
    kGoneBesideE, kSeveral, kGoneAfterF, kGoneAfterF};

bool ChangesTheDrive(UserCommand command) {
    return command != UserCommand::Status && command != UserCommand::Backup;
}
constexpr Expected kOtherSerialInDiscovery[kDiscoveryCommands] = {
    kUnknown, kUnknown, kUnknown, kSeveral, kUnknown, kSeveral, kUnknown, kDone, kDone};
// E answering LUN 1 in the scan leaves LUN 0 without a letter; F answering LUN 0 there takes E's
// slot, and the ordering, which reads F again, still sends to F.
constexpr Expected kOtherLunInDiscovery[kDiscoveryCommands] = {
    kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kDone, kUnknown, kDone, kDone};

bool FailsTheCall(FaultKind fault) {
    return fault == FaultKind::OpenFails || fault == FaultKind::ControlFails ||
           fault == FaultKind::CheckCondition;
}

// The command's own device commands after discovery: reads, at most one write, its read-back.
enum class Role { ReadBeforeWrite, Write, ReadBack };

Role RoleOf(const Baseline& baseline, std::size_t command) {
    for (std::size_t i = kDiscoveryCommands; i < command; ++i) {
        if (baseline.commands[i].operation == Operation::Write) return Role::ReadBack;
    }
    return baseline.commands[command].operation == Operation::Write ? Role::Write
                                                                    : Role::ReadBeforeWrite;
}

Expected ExpectedOutcome(UserCommand command, const Baseline& baseline, std::size_t callIndex,
                         FaultKind fault) {
    const std::size_t at = baseline.commandOf[callIndex];
    if (at < kDiscoveryCommands) {
        if (FailsTheCall(fault)) return kFailsInDiscovery[at];
        if (fault == FaultKind::DriveGone) {
            const Expected gone = kGoneInDiscovery[at];
            const bool besideE = gone.code == kGoneBesideE.code && gone.target == kGoneBesideE.target;
            if (!besideE) return gone;
            return ChangesTheDrive(command) ? kSeveral : kGoneAfterE;
        }
        if (fault == FaultKind::OtherSerial) return kOtherSerialInDiscovery[at];
        return kOtherLunInDiscovery[at];
    }
    const Role role = RoleOf(baseline, at);
    if (FailsTheCall(fault) || fault == FaultKind::DriveGone) {
        const OutcomeCode code =
            role == Role::Write ? OutcomeCode::WriteFailed : OutcomeCode::ReadFailed;
        return {code, 'F', false};
    }
    if (fault == FaultKind::WriteIgnored) {
        // Only the Write command does not read its block back.
        return command == UserCommand::Write ? kDone
                                             : Expected{OutcomeCode::NotConfirmed, 'F', false};
    }
    if (fault == FaultKind::OtherSerial && command == UserCommand::Restore) {
        return {OutcomeCode::WrongDevice, 'F', false};
    }
    return kDone;  // the commands other than restore go by the layout, not by the serial
}

// Whether the run leaves the intended bytes on the drive.
bool EndsWritten(UserCommand command, const Baseline& baseline, std::size_t callIndex,
                 FaultKind fault, const Expected& expected) {
    if (IntendedBytes(command).empty() || fault == FaultKind::WriteIgnored) return false;
    if (expected.done) return true;
    const std::size_t at = baseline.commandOf[callIndex];
    // A read-back that fails comes after a write that went through.
    return at >= kDiscoveryCommands && RoleOf(baseline, at) == Role::ReadBack;
}

emulated::Block WithIntendedBytes(UserCommand command, emulated::Block block) {
    for (const IntendedByte& intended : IntendedBytes(command)) {
        block[intended.offset] = intended.value;
    }
    return block;
}

// Whole blocks compared, naming the first byte that differs.
::testing::AssertionResult SameBlock(const char* what, const emulated::Block& actual,
                                     const emulated::Block& expected) {
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            return ::testing::AssertionFailure()
                   << what << ": byte " << i << " is " << int{actual[i]} << ", expected "
                   << int{expected[i]};
        }
    }
    return ::testing::AssertionSuccess();
}

bool FailedCall(const CallRecord& call) {
    return !call.succeeded || call.scsiStatus != 0;
}

// Every write went out with the block read from the drive just before: the latest configuration
// and identity reads of its letter came whole, no call to that letter failed since, and the data
// is the block as read with only the intended bytes changed.
::testing::AssertionResult WritesOnlyAfterWholeReads(UserCommand command,
                                                     const MatrixMachine& machine) {
    const std::vector<CallRecord>& log = machine.platform.Log();
    const emulated::Block intended = WithIntendedBytes(command, machine.configBefore);
    for (std::size_t w = 0; w < log.size(); ++w) {
        const CallRecord& write = log[w];
        if (write.kind != CallRecord::Kind::Control || write.operation != Operation::Write) {
            continue;
        }
        if (IntendedBytes(command).empty()) {
            return ::testing::AssertionFailure() << "a command that only reads wrote";
        }
        bool configRead = false;
        bool identityRead = false;
        for (std::size_t i = w; i-- > 0 && !(configRead && identityRead);) {
            const CallRecord& call = log[i];
            if (call.letter != write.letter || !IsDeviceCall(call)) continue;
            if (FailedCall(call)) {
                return ::testing::AssertionFailure()
                       << "a write to " << write.letter << " after a failed call (log entry " << i
                       << ")";
            }
            configRead |= call.operation == Operation::ReadConfig;
            identityRead |= call.operation == Operation::ReadIdentity;
        }
        if (!configRead || !identityRead) {
            return ::testing::AssertionFailure() << "a write without both blocks read before it";
        }
        // A write refused before the firmware took its data sent nothing.
        if (write.dataSent.empty()) continue;
        if (write.dataSent.size() != emulated::kWrittenSize ||
            std::memcmp(write.dataSent.data(), intended.data(), emulated::kWrittenSize) != 0) {
            return ::testing::AssertionFailure()
                   << "the data written is not the block as read with only the intended bytes";
        }
    }
    return ::testing::AssertionSuccess();
}

// The message the window shows is the outcome's, and a command that took the buttons gives
// them back.
::testing::AssertionResult WindowFits(UserCommand command, const MatrixMachine& machine,
                                      const CommandOutcome& outcome) {
    const testing_support::RecordingWindow& window = machine.window;
    const char* message = OutcomeMessage(outcome);
    const std::vector<std::string> expected =
        message != nullptr ? std::vector<std::string>{message} : std::vector<std::string>{};
    if (window.Messages() != expected) {
        return ::testing::AssertionFailure()
               << "the window showed " << window.Messages().size() << " messages, expected "
               << (message != nullptr ? message : "none");
    }
    std::string lastButtons;
    for (const std::string& event : window.events) {
        if (event == "enable" || event == "disable") lastButtons = event;
    }
    const bool disables = command == UserCommand::Status || command == UserCommand::Write;
    const bool disabled = !window.events.empty() && window.events.front() == "disable";
    if (disabled != disables) {
        return ::testing::AssertionFailure() << (disables ? "the buttons were not disabled"
                                                          : "a mode button disabled the buttons");
    }
    if (disabled && lastButtons != "enable") {
        return ::testing::AssertionFailure() << "the buttons end disabled";
    }
    return ::testing::AssertionSuccess();
}

// The status texts: shown from the drive by a status that ends well, one row set by a confirmed
// mode switch, left alone otherwise.
::testing::AssertionResult TextsFit(UserCommand command, const MatrixMachine& machine,
                                    const CommandOutcome& outcome) {
    std::string lun0 = machine.state.lun0Text;
    std::string lun1 = machine.state.lun1Text;
    std::string expected0 = kTextBefore;
    std::string expected1 = kTextBefore;
    const bool done = outcome.code == OutcomeCode::Done;
    if (command == UserCommand::Write) return ::testing::AssertionSuccess();
    if (!HasWindow(command)) return ::testing::AssertionSuccess();
    if (done && command == UserCommand::Status) {
        expected0 = LunTypeText(machine.configBefore[kTypeSlotAOffset]);
        expected1 = LunTypeText(machine.configBefore[kTypeSlotBOffset]);
    }
    if (done && IsModeCommand(command)) {
        std::string& row = outcome.row == LunRow::Lun0 ? expected0 : expected1;
        row = LunTypeText(outcome.requestedType);
    }
    if (lun0 == expected0 && lun1 == expected1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the texts are \"" << lun0 << "\" and \"" << lun1 << "\", expected \"" << expected0
           << "\" and \"" << expected1 << "\"";
}

struct Tally {
    std::size_t calls = 0;
    std::size_t fewestCalls = SIZE_MAX;
    std::size_t mostCalls = 0;
    std::size_t pairs = 0;
    std::size_t runs = 0;
    std::size_t held = 0;
};

// One run of `command` with `fault` at device call `callIndex`; true when every check held.
bool RunOnce(UserCommand command, const Baseline& baseline, std::size_t callIndex,
             FaultKind fault) {
    MatrixMachine machine(command);
    ArmFault(machine.platform, machine.drive, fault, callIndex, baseline.calls[callIndex]);
    const CommandOutcome outcome = machine.Run();
    const Expected expected = ExpectedOutcome(command, baseline, callIndex, fault);

    const emulated::Drive& drive = machine.platform.DriveAt(machine.drive.driveIndex);
    const emulated::Block config = EndsWritten(command, baseline, callIndex, fault, expected)
                                       ? WithIntendedBytes(command, machine.configBefore)
                                       : machine.configBefore;
    const ::testing::AssertionResult checks[] = {
        outcome.code == expected.code ? ::testing::AssertionSuccess()
                                      : ::testing::AssertionFailure()
                                            << "outcome " << static_cast<int>(outcome.code)
                                            << ", expected " << static_cast<int>(expected.code),
        outcome.target == expected.target ? ::testing::AssertionSuccess()
                                          : ::testing::AssertionFailure()
                                                << "target '" << outcome.target << "', expected '"
                                                << expected.target << "'",
        SameBlock("configuration block", drive.configBlock, config),
        SameBlock("identity block", drive.identityBlock, machine.identityBefore),
        WritesOnlyAfterWholeReads(command, machine),
        HasWindow(command) ? WindowFits(command, machine, outcome) : ::testing::AssertionSuccess(),
        TextsFit(command, machine, outcome),
    };
    bool held = true;
    for (const ::testing::AssertionResult& check : checks) {
        EXPECT_TRUE(check);
        held = held && check;
    }
    return held;
}

std::string CallName(const Baseline& baseline, std::size_t callIndex) {
    const CallRecord& call = baseline.calls[callIndex];
    // By Operation's order.
    static const char* const kOperations[] = {"open",  "INQUIRY", "READ INFO", "READ ID",
                                              "WRITE", "OTHER",   "LOCK",      "ADDRESS"};
    const char* kind = call.kind == CallRecord::Kind::Open
                           ? "open for"
                           : kOperations[static_cast<int>(call.operation)];
    std::string name = "call " + std::to_string(callIndex) + " (" + kind;
    if (call.kind == CallRecord::Kind::Open) {
        name += std::string(" ") + kOperations[static_cast<int>(
                                       baseline.commands[baseline.commandOf[callIndex]].operation)];
    }
    return name + " " + call.letter + ")";
}

TEST(FaultMatrix, EveryCommandSurvivesEveryFaultAtEveryCall) {
    Tally tally;
    for (UserCommand command : kAllCommands) {
        SCOPED_TRACE(CommandName(command));
        const Baseline baseline = RunWithoutFaults(command);
        ASSERT_GT(baseline.commands.size(), kDiscoveryCommands);
        for (std::size_t i = 0; i < kDiscoveryCommands; ++i) {
            ASSERT_EQ(baseline.commands[i].letter, kDiscoveryLetters[i]) << i;
            ASSERT_EQ(baseline.commands[i].operation, kDiscoveryOperations[i]) << i;
        }
        tally.calls += baseline.calls.size();
        tally.fewestCalls = std::min(tally.fewestCalls, baseline.calls.size());
        tally.mostCalls = std::max(tally.mostCalls, baseline.calls.size());
        for (std::size_t callIndex = 0; callIndex < baseline.calls.size(); ++callIndex) {
            SCOPED_TRACE(CallName(baseline, callIndex));
            for (FaultKind fault : kAllFaults) {
                ++tally.pairs;
                if (!Applies(fault, baseline.calls[callIndex])) continue;
                SCOPED_TRACE(FaultName(fault));
                ++tally.runs;
                if (RunOnce(command, baseline, callIndex, fault)) ++tally.held;
            }
        }
    }
    const std::size_t commands = std::size(kAllCommands);
    const std::size_t faults = std::size(kAllFaults);
    std::cout << "fault matrix: " << commands << " commands with " << tally.calls
              << " device calls in all (" << tally.fewestCalls << " to " << tally.mostCalls
              << " each) x " << faults << " faults = " << tally.pairs << " pairs, "
              << tally.pairs - tally.runs << " meaningless skipped, " << tally.runs << " runs, "
              << tally.held << " held\n";
    EXPECT_EQ(tally.held, tally.runs);
}

}  // namespace
}  // namespace vardel::fault_matrix
