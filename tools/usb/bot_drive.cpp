#include "usb/bot_drive.h"

#include <algorithm>
#include <cstring>

#include "scsi_drive/command_log.h"

namespace vardel::usb {
namespace {

using scsi_drive::DataDirection;
using scsi_drive::ScsiAnswer;

constexpr std::uint8_t kOpRequestSense = 0x03;
constexpr std::size_t kAllocationOffset = 4;
constexpr std::uint8_t kFixedSenseCurrent = 0x70;
constexpr std::uint8_t kAdditionalSenseLength = scsi_drive::kFixedSenseLength - 8;

DataDirection DirectionOf(const Cbw& cbw) {
    if (cbw.dataLength == 0) return DataDirection::None;
    return cbw.dataIn ? DataDirection::ToInitiator : DataDirection::FromInitiator;
}

// The kept sense, or fixed-format "no sense" when the last command passed; either is given
// once: the next REQUEST SENSE finds none.
ScsiAnswer AnswerRequestSense(KeptSense& kept, const Cbw& cbw, std::uint8_t* data) {
    std::uint8_t reply[scsi_drive::kFixedSenseLength] = {};
    reply[0] = kFixedSenseCurrent;
    reply[7] = kAdditionalSenseLength;
    if (kept.length > 0) std::memcpy(reply, kept.bytes, std::min(kept.length, sizeof reply));
    kept = KeptSense{};
    ScsiAnswer answer;
    answer.moved = std::min<std::size_t>(
        {sizeof reply, cbw.cdb[kAllocationOffset], cbw.dataIn ? cbw.dataLength : 0u});
    std::memcpy(data, reply, answer.moved);
    return answer;
}

}  // namespace

ServedCommand ServeCommand(BotDrive& drive, const Cbw& cbw, std::uint8_t* data) {
    const DataDirection direction = DirectionOf(cbw);
    KeptSense& kept = drive.sense[cbw.lun];
    const emulated::Block before = drive.options.model.configBlock;
    ServedCommand served;
    if (cbw.cdb[0] == kOpRequestSense) {
        served.answer = AnswerRequestSense(kept, cbw, data);
    } else {
        served.answer =
            scsi_drive::AnswerCommand(drive.options.model, cbw.lun, drive.options.behaviour,
                                      cbw.cdb, cbw.cdbLength, direction, data, cbw.dataLength);
        kept = KeptSense{};
        if (served.answer.status != 0) {
            kept.length = served.answer.senseLength;
            std::memcpy(kept.bytes, served.answer.sense, kept.length);
        }
    }
    served.logLine = scsi_drive::FormatCommandLine(
        drive.options.name, cbw.lun, cbw.cdb, cbw.cdbLength, cbw.dataLength, direction,
        served.answer, before, drive.options.model.configBlock);
    return served;
}

}  // namespace vardel::usb
