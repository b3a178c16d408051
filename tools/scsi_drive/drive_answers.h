#pragma once
// How a drive of ours answers one command on one of its LUNs, whichever way the command reached
// it: INQUIRY and the vendor commands through the project's firmware model, and the few commands
// that the kernel sends on its own while it attaches and opens a disk with plain answers of an
// empty disk. The TCMU handler and the USB drive program both serve their commands here.

#include <cstddef>
#include <cstdint>

#include "platform/emulated/emulated_drive.h"

namespace vardel::scsi_drive {

enum class DataDirection { None, ToInitiator, FromInitiator };

struct DriveBehaviour {
    bool refuseVendor = false;        // CHECK CONDITION for every vendor command
    std::uint32_t blockCount = 2048;  // of 512 bytes: what READ CAPACITY reports
};

constexpr std::size_t kFixedSenseLength = 18;

struct ScsiAnswer {
    std::uint8_t status = 0;
    // Data bytes the answer moved: put into the caller's buffer for data to the initiator, taken
    // from it for data from the initiator.
    std::size_t moved = 0;
    std::uint8_t sense[kFixedSenseLength] = {};
    std::size_t senseLength = 0;
};

// Answers one command on LUN `lunIndex` of `drive`. `cdb` holds the `cdbLength` CDB bytes as the
// drive received them and `direction` the way the initiator announced the data to flow; `data`
// holds `dataLength` bytes (the initiator's data for a write, zeros otherwise) and receives the
// answer's data.
ScsiAnswer AnswerCommand(emulated::Drive& drive, std::uint8_t lunIndex,
                         const DriveBehaviour& behaviour, const std::uint8_t* cdb,
                         std::size_t cdbLength, DataDirection direction, std::uint8_t* data,
                         std::size_t dataLength);

}  // namespace vardel::scsi_drive
