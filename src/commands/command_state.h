#pragma once
// What the window keeps between commands: the last discovery's letters, the letter the vendor
// commands go to, and the texts of the two status rows.

#include <string>

#include "drive/discovery.h"

namespace vardel {

struct CommandState {
    char letterList[kLetterListSize] = {};
    char targetLetter = 0;
    std::string lun0Text;  // row "Lun0", edit 1002
    std::string lun1Text;  // row "Lun1", edit 1004
};

}  // namespace vardel
