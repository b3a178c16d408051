#pragma once
// The bytes a restore changes: where the configuration block as read differs from what goes to
// the drive, in the bytes that are sent (0..511).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/scsi_commands.h"

namespace vardel::cli {

struct ByteChange {
    std::size_t offset;
    std::uint8_t from;
    std::uint8_t to;
};

std::vector<ByteChange> WrittenBytesChanged(const VendorBlock& asRead, const VendorBlock& toWrite);

// "304: 0xA1 -> 0x00"
std::string ByteChangeText(const ByteChange& change);

}  // namespace vardel::cli
