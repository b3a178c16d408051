#pragma once
// The faults of the fault matrix: what can go wrong at one device call of a command, which calls
// each can strike at all, and arming one so that it strikes at exactly the call of a given index.

#include <cstddef>

#include "platform/emulated/emulated_platform.h"

namespace vardel::fault_matrix {

enum class FaultKind {
    OpenFails,       // the volume does not open
    ControlFails,    // the pass-through call itself fails; nothing reaches the drive
    CheckCondition,  // the drive answers CHECK CONDITION and does nothing
    DriveGone,       // the drive is unplugged: this call and every later one fails
    OtherSerial,     // the identity block comes back with another drive's serial
    OtherLunIndex,   // the identity block comes back naming the other LUN
    WriteIgnored,    // the firmware acknowledges the write and keeps its old block
};

constexpr FaultKind kAllFaults[] = {
    FaultKind::OpenFails,    FaultKind::ControlFails, FaultKind::CheckCondition,
    FaultKind::DriveGone,    FaultKind::OtherSerial,  FaultKind::OtherLunIndex,
    FaultKind::WriteIgnored,
};

const char* FaultName(FaultKind fault);

// An open of a volume or a pass-through call: the calls a fault can strike.
bool IsDeviceCall(const emulated::CallRecord& call);

// Whether the fault means anything at this call: only an open can fail to open, only a command
// that reaches the drive can meet CHECK CONDITION, only an identity read can bring another
// identity, only a write can be ignored; a drive can go at any call.
bool Applies(FaultKind fault, const emulated::CallRecord& call);

// The drive under test and the letters it is seen through.
struct DriveUnderTest {
    int driveIndex;
    char lun0Letter;
    char lun1Letter;
};

// Arms `fault` so that it strikes device call number `callIndex` of the run about to start
// (counted from 0), which in the run without faults is `call`. Every call before it goes through
// as it did in that run.
void ArmFault(emulated::EmulatedPlatform& platform, const DriveUnderTest& drive, FaultKind fault,
              std::size_t callIndex, const emulated::CallRecord& call);

}  // namespace vardel::fault_matrix
