#pragma once
// The machine's own drives, one small file per system: the backend that reaches them, which of its
// error codes mean a lack of rights and what to do about it, and what the system knows of a
// letter's disk beyond its INQUIRY data.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drive/discovery.h"
#include "platform/platform.h"

namespace vardel::frontend {

// Null when this build has no backend for the machine's drives.
std::unique_ptr<Platform> MakeMachinePlatform();

// Whether an open that failed with `error` failed for lack of rights.
bool IsNoRightsError(std::uint32_t error);

// How the user gets the rights; one or more lines.
const char* NoRightsAdvice();

// The process runs as root (effective user id 0); false on Windows.
bool RunsAsRoot();

// The machine's drives are Linux disks: the udev rule and the sg nodes apply.
bool LinuxMachine();

struct DiskDescription {
    std::vector<std::string> paths;  // the system's device nodes behind the letter
    std::string vendor;
    std::string product;
    std::string revision;
    // The system says the disk is not attached through USB: no drive of the served kind.
    bool notOnUsb = false;
};

// False when the system says nothing about the letter's disk.
bool DescribeMachineDisk(char letter, DiskDescription& description);

// How the machine tells, among the disks whose open or INQUIRY failed, those that may hold a drive
// of the kind (ScanRecord): on Linux every disk the system does not place off USB; null on Windows,
// where a disk counts only when it showed the signature.
MayHoldDriveTest MachineMayHoldDrive();

}  // namespace vardel::frontend
