#include "command_machine.h"

namespace vardel::bench {

void SetUpTwentySixLetters(emulated::EmulatedPlatform& platform) {
    const int drive = platform.AddDrive(emulated::StandardDrive());
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (letter == 'E' || letter == 'F') {
            platform.AttachVolume(letter, drive, letter == 'E' ? 0 : 1);
        } else {
            platform.AddOtherVolume(letter);
        }
    }
}

}  // namespace vardel::bench
