#pragma once
// What the window keeps between commands: the last discovery's letters, the letter the vendor
// commands go to, the texts of the two status rows, and how its machine tells a disk that may
// hold a drive of the kind among those that said nothing.

#include <string>

#include "drive/discovery.h"
#include "drive/physical_device.h"

namespace vardel {

struct CommandState {
    char letterList[kLetterListSize] = {};
    char targetLetter = 0;
    // The physical device the last discovery found alone: where a change is made, as the journal
    // records it.
    PhysicalDevice device = {};
    std::string lun0Text;  // row "Lun0", edit 1002
    std::string lun1Text;  // row "Lun1", edit 1004
    // Set once by the front end for its machine (ScanRecord); null: only a disk that showed the
    // signature counts.
    MayHoldDriveTest mayHoldDrive = nullptr;
};

}  // namespace vardel
