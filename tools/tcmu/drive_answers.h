#pragma once
// How the handler answers each command that reaches one LUN of the drive: INQUIRY and the vendor
// commands through the project's firmware model, and the few commands that the kernel sends on
// its own while it attaches and opens a disk with plain answers of an empty disk.

#include <cstddef>
#include <cstdint>

#include "platform/emulated/emulated_drive.h"

namespace vardel::tcmu {

enum class DataDirection { None, ToInitiator, FromInitiator };

struct DriveBehaviour {
    bool refuseVendor = false;        // CHECK CONDITION for every vendor command
    std::uint32_t blockCount = 2048;  // of 512 bytes: what READ CAPACITY reports
};

struct ScsiAnswer {
    std::uint8_t status = 0;
    std::size_t returned = 0;  // data bytes the answer put into the caller's buffer
    std::uint8_t sense[18] = {};
    std::size_t senseLength = 0;
};

// TCMU entries do not say which way a command's data flows, so it is read from the opcode: the
// vendor write and the writes of the block commands carry data from the initiator, every other
// command with data sends it to the initiator.
DataDirection DirectionOf(const std::uint8_t* cdb, std::size_t cdbLength);

// Answers one command on LUN `lunIndex` of `drive`. `cdb` holds what the target core kept of the
// CDB; `data` holds `dataLength` bytes (the initiator's data for a write, zeros otherwise) and
// receives the answer's data.
ScsiAnswer AnswerCommand(emulated::Drive& drive, std::uint8_t lunIndex,
                         const DriveBehaviour& behaviour, const std::uint8_t* cdb,
                         std::size_t cdbLength, std::uint8_t* data, std::size_t dataLength);

}  // namespace vardel::tcmu
