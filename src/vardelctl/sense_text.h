#pragma once
// SCSI status and sense data in words, as storage tools print them: the status by name, the sense
// key and the additional sense code (ASC, ASCQ) by name where the table knows them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vardel::cli {

struct SenseFields {
    int key = -1;  // -1 when the sense data holds none
    int asc = -1;  // -1 when the sense data is too short to hold it
    int ascq = -1;
};

// Reads fixed format (response code 0x70/0x71: key in byte 2, ASC and ASCQ in bytes 12 and 13)
// and descriptor format (0x72/0x73: bytes 1, 2 and 3) from the first `length` bytes.
SenseFields ReadSense(const std::uint8_t* sense, std::size_t length);

// The bytes of the sense data that mean something: as many as its own additional length says,
// never more than `length`.
std::size_t SenseDataLength(const std::uint8_t* sense, std::size_t length);

// Name of a SCSI status byte ("CHECK CONDITION"); null for one the table does not hold.
const char* ScsiStatusName(int status);
// Name of a sense key ("ILLEGAL REQUEST"); null outside 0..15.
const char* SenseKeyName(int key);
// Name of an additional sense code and qualifier ("INVALID FIELD IN CDB"); null when unknown.
const char* AdditionalSenseName(int asc, int ascq);

// "CHECK CONDITION (status 0x02), sense ILLEGAL REQUEST / INVALID COMMAND OPERATION CODE (key
// 0x5, ASC 0x20, ASCQ 0x00)", with whatever parts the answer holds.
std::string DescribeAnswer(int status, const std::uint8_t* sense, std::size_t length);

}  // namespace vardel::cli
