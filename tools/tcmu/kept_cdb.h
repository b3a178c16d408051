#pragma once
// What the loopback path does to a CDB before the handler sees it, and how the handler undoes it
// so that the drive model gets the CDB the initiator sent:
// - the SCSI midlayer puts the LUN into bits 5..7 of byte 1 for a SCSI-2 device (the model's
//   INQUIRY version is 2), as the SCSI-2 standard had it; USB mass storage asks the midlayer not
//   to, so the firmware never sees those bits;
// - the target core keeps only the opcode group's length of each CDB: 6 bytes for the group-0
//   vendor opcode 0x06, so the vendor read's byte 8 (0x80) never arrives. The tool always sends
//   it, so it is put back here; the USB drive program gets the whole CDB and puts back nothing.
// TCMU entries do not say which way a command's data flows either, so it is read from the opcode.

#include <cstddef>
#include <cstdint>

#include "scsi_drive/drive_answers.h"

namespace vardel::tcmu {

struct RestoredCdb {
    std::uint8_t bytes[16] = {};
    std::size_t length = 0;
};

RestoredCdb RestoreCdb(const std::uint8_t* kept, std::size_t keptLength, std::uint8_t lunIndex);

// The vendor write and the writes of the block commands carry data from the initiator, every
// other command with data sends it to the initiator.
scsi_drive::DataDirection DirectionOf(const std::uint8_t* cdb, std::size_t cdbLength);

}  // namespace vardel::tcmu
