#pragma once
// SCSI status and sense data in words, as storage tools print them: the status by name, the sense
// key and the additional sense code (ASC, ASCQ) by name where the table knows them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/sense_key.h"

namespace vardel::frontend {

// Name of a SCSI status byte ("CHECK CONDITION"); null for one the table does not hold.
const char* ScsiStatusName(int status);
// Name of a sense key ("ILLEGAL REQUEST"); null outside 0..15.
const char* SenseKeyName(int key);
// Name of an additional sense code and qualifier ("INVALID FIELD IN CDB"); null when unknown.
const char* AdditionalSenseName(int asc, int ascq);

// "CHECK CONDITION (status 0x02), sense ILLEGAL REQUEST / INVALID COMMAND OPERATION CODE (key
// 0x5, ASC 0x20, ASCQ 0x00)", with whatever parts the answer holds.
std::string DescribeAnswer(int status, const std::uint8_t* sense, std::size_t length);

}  // namespace vardel::frontend
