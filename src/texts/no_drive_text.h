#pragma once
// What a front end says after "No drive found": what discovery looked at, and what to do.

#include <string>

#include "drive/discovery.h"

namespace vardel::frontend {

struct NoDriveFacts {
    ScanRecord scan = {};
    int noRightsDisks = 0;        // disks whose node could not be opened for lack of rights
    bool runsAsRoot = false;      // root is never told to run as root
    bool linuxMachine = false;    // the machine's own drives on Linux: the udev rule applies
    bool throughService = false;  // the drive service looked, with its group's rights
    // The program to run with sudo where rights are missing; null: none (the window refuses root).
    const char* program = "vardelctl";
};

// Lines without a closing newline: the counts, then what to do (plug the drive in, `vardelctl
// list`), then on Linux the rights the udev rule gives (to the drive service's group alone) and
// how to check them, and the way for whoever lacks them.
std::string NoDriveGuidance(const NoDriveFacts& facts);

}  // namespace vardel::frontend
