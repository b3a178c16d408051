#include "commands/single_drive.h"

#include <cstring>

#include "drive/discovery.h"

namespace vardel {

OutcomeCode FindSingleDrive(Platform& platform, CommandState& state, const PhysicalDevice* device,
                            ScanRecord* record, bool changes) {
    std::memset(state.letterList, 0, sizeof(state.letterList));
    state.device = {};
    std::uint8_t count = 0;
    ScanRecord looked = {};
    const int found = FindDrives(platform, state.letterList, sizeof(state.letterList), count,
                                 device, &looked, state.mayHoldDrive, &state.device);
    if (record != nullptr) *record = looked;
    if (found != kFindDrivesOk) return OutcomeCode::UnknownError;
    if (count == 0) return OutcomeCode::NoDrive;
    if (count >= 2) return OutcomeCode::SeveralDrives;
    if (changes && looked.unanswered != 0) return OutcomeCode::SeveralDrives;
    // The device's only letter sits in a LUN slot other than 0.
    if (state.letterList[0] == 0) return OutcomeCode::UnknownError;

    OrderByLun(platform, state.letterList);
    state.targetLetter = SelectTargetLetter(state.letterList);
    // The LUN indices changed between the scan and the ordering: no letter to send to.
    if (state.targetLetter == 0) return OutcomeCode::UnknownError;
    return OutcomeCode::Done;
}

}  // namespace vardel
