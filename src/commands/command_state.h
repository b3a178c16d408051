#pragma once
// What the window keeps between commands: the last discovery's letters, the letter the vendor
// commands go to, and the texts of the two status rows.

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
};

}  // namespace vardel
