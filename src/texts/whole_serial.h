#pragma once
// The whole serial of an identity block as people read it, and as a file name.

#include <string>

#include "device/scsi_commands.h"

namespace vardel::frontend {

// Its characters when each is plain ASCII, otherwise "hex:" and the descriptor's bytes; empty for a
// block without serial.
std::string WholeSerialText(const VendorBlock& identity);

// A file name part that stands for the whole serial and for nothing else: ASCII letters, digits,
// '-' and '_' as they are, any other character as '%' and its two bytes in hexadecimal (low byte
// first); a very long serial is cut and given a hash of the whole. "@no-serial" for a block
// without serial, which no serial's name can be.
std::string SerialFileName(const VendorBlock& identity);

}  // namespace vardel::frontend
