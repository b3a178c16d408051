#include "scsi_drive/command_log.h"

#include <cstdio>

namespace vardel::scsi_drive {
namespace {

std::string Hex(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}

}  // namespace

std::string FormatCommandLine(const std::string& name, std::uint8_t lunIndex,
                              const std::uint8_t* cdb, std::size_t cdbLength,
                              std::size_t dataLength, DataDirection direction,
                              const ScsiAnswer& answer, const emulated::Block& blockBefore,
                              const emulated::Block& blockAfter) {
    std::string line = name + " lun" + std::to_string(lunIndex);
    for (std::size_t i = 0; i < cdbLength; ++i) line += " " + Hex(cdb[i]);
    line += " len=" + std::to_string(dataLength);
    if (answer.status == 0) {
        line += " GOOD";
    } else if (answer.senseLength > 12) {
        line += " CHECK " + std::to_string(answer.sense[2] & 0x0F) + "/" + Hex(answer.sense[12]);
    } else {
        line += " STATUS " + Hex(answer.status);
    }
    if (direction == DataDirection::ToInitiator && answer.status == 0 &&
        answer.moved < dataLength) {
        line += " returned=" + std::to_string(answer.moved);
    }
    std::string changed;
    for (std::size_t i = 0; i < blockBefore.size(); ++i) {
        if (blockBefore[i] == blockAfter[i]) continue;
        changed += (changed.empty() ? " changed=" : ",") + std::to_string(i) + ":" +
                   Hex(blockBefore[i]) + ">" + Hex(blockAfter[i]);
    }
    return line + changed;
}

}  // namespace vardel::scsi_drive
