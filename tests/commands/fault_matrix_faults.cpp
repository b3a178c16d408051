#include "fault_matrix_faults.h"

#include <functional>

#include "platform/platform_constants.h"

namespace vardel::fault_matrix {
namespace {

using emulated::CallRecord;
using emulated::EmulatedPlatform;
using emulated::Fault;
using emulated::FaultEffect;
using emulated::Operation;

// What the system answers for a handle whose device has been removed.
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kCheckCondition = 2;

constexpr Operation kCommandOperations[] = {Operation::Inquiry,      Operation::ReadConfig,
                                            Operation::ReadIdentity, Operation::Write,
                                            Operation::OtherCommand, Operation::Address};

void InjectOnce(EmulatedPlatform& platform, const CallRecord& call, FaultEffect effect,
                std::uint32_t code) {
    Fault fault;
    fault.letter = call.letter;
    fault.operation = call.operation;
    fault.effect = effect;
    fault.code = code;
    platform.InjectFault(fault);
}

// The letters vanish, and the handles still open onto them fail every call.
void Unplug(EmulatedPlatform& platform, const DriveUnderTest& drive) {
    for (char letter : {drive.lun0Letter, drive.lun1Letter}) {
        platform.SetLetterExists(letter, false);
        for (Operation operation : kCommandOperations) {
            Fault fault;
            fault.letter = letter;
            fault.operation = operation;
            fault.times = -1;
            fault.effect = FaultEffect::FailControl;
            fault.code = kErrorDeviceNotConnected;
            platform.InjectFault(fault);
        }
    }
}

}  // namespace

const char* FaultName(FaultKind fault) {
    switch (fault) {
        case FaultKind::OpenFails:
            return "open fails";
        case FaultKind::ControlFails:
            return "control call fails";
        case FaultKind::CheckCondition:
            return "CHECK CONDITION";
        case FaultKind::DriveGone:
            return "drive gone";
        case FaultKind::OtherSerial:
            return "identity with another serial";
        case FaultKind::OtherLunIndex:
            return "identity with another LUN index";
        case FaultKind::WriteIgnored:
            return "write ignored";
    }
    return "?";
}

bool IsDeviceCall(const CallRecord& call) {
    return call.kind == CallRecord::Kind::Open || call.kind == CallRecord::Kind::Control;
}

bool Applies(FaultKind fault, const CallRecord& call) {
    const bool open = call.kind == CallRecord::Kind::Open;
    const bool control = call.kind == CallRecord::Kind::Control;
    switch (fault) {
        case FaultKind::OpenFails:
            return open;
        case FaultKind::ControlFails:
            return control;
        case FaultKind::CheckCondition:
            // The address question reaches no drive, so no drive can answer it with a status.
            return control && call.operation != Operation::Address;
        case FaultKind::DriveGone:
            return open || control;
        case FaultKind::OtherSerial:
        case FaultKind::OtherLunIndex:
            return control && call.operation == Operation::ReadIdentity;
        case FaultKind::WriteIgnored:
            return control && call.operation == Operation::Write;
    }
    return false;
}

void ArmFault(EmulatedPlatform& platform, const DriveUnderTest& drive, FaultKind fault,
              std::size_t callIndex, const CallRecord& call) {
    // What the fault does just before its call, and how the drive is put back right after it,
    // for the faults that strike one answer only.
    std::function<void()> strike;
    std::function<void()> putBack = [] {};
    switch (fault) {
        case FaultKind::OpenFails:
            strike = [&platform, call] {
                InjectOnce(platform, call, FaultEffect::FailOpen, kErrorNotReady);
            };
            break;
        case FaultKind::ControlFails:
            strike = [&platform, call] {
                InjectOnce(platform, call, FaultEffect::FailControl, kErrorIoDevice);
            };
            break;
        case FaultKind::CheckCondition:
            strike = [&platform, call] {
                InjectOnce(platform, call, FaultEffect::ScsiStatus, kCheckCondition);
            };
            break;
        case FaultKind::DriveGone:
            strike = [&platform, drive] { Unplug(platform, drive); };
            break;
        case FaultKind::OtherSerial: {
            const emulated::Block identity = platform.DriveAt(drive.driveIndex).identityBlock;
            strike = [&platform, drive] {
                emulated::SetSerial(platform.DriveAt(drive.driveIndex), "VD0000000002");
            };
            putBack = [&platform, drive, identity] {
                platform.DriveAt(drive.driveIndex).identityBlock = identity;
            };
            break;
        }
        case FaultKind::OtherLunIndex: {
            const std::uint8_t lun = call.letter == drive.lun0Letter ? 0 : 1;
            strike = [&platform, drive, call, lun] {
                platform.AttachVolume(call.letter, drive.driveIndex,
                                      static_cast<std::uint8_t>(1 - lun));
            };
            putBack = [&platform, drive, call, lun] {
                platform.AttachVolume(call.letter, drive.driveIndex, lun);
            };
            break;
        }
        case FaultKind::WriteIgnored:
            strike = [&platform, drive] { platform.DriveAt(drive.driveIndex).keepsWrites = false; };
            putBack = [&platform, drive] { platform.DriveAt(drive.driveIndex).keepsWrites = true; };
            break;
    }

    if (callIndex == 0) strike();
    std::size_t done = 0;
    platform.SetAfterCallHook([=](const CallRecord& record) mutable {
        if (!IsDeviceCall(record)) return;
        ++done;
        if (done == callIndex) strike();
        if (done == callIndex + 1) putBack();
    });
}

}  // namespace vardel::fault_matrix
