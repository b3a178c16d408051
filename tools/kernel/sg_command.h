#pragma once
// One SCSI command through SG_IO on an sg node, and what came back: the small shared piece of the
// guest's helper programs.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vardel::kernel {

enum class Direction { None, In, Out };

struct SgResult {
    int error = 0;  // errno of a failed open or ioctl, 0 when the command went out
    std::uint8_t status = 0;
    std::uint16_t hostStatus = 0;
    std::uint16_t driverStatus = 0;
    int residue = 0;
    std::uint8_t sense[32] = {};
    std::size_t senseLength = 0;
};

// Sends `cdb` (`cdbLength` bytes announced) to the sg node at `path` with a 10-second time-out.
SgResult SendCommand(const std::string& path, const std::uint8_t* cdb, std::uint8_t cdbLength,
                     Direction direction, std::uint8_t* data, std::size_t dataLength);

// "status=0 host=0 driver=0 resid=0", with " sense=K/ASC/ASCQ" after a CHECK CONDITION, or
// "error=TEXT" for a call that failed.
std::string Describe(const SgResult& result);

}  // namespace vardel::kernel
