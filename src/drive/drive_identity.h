#pragma once
// Whether two identity blocks come from the same drive. Discovery groups volumes by the short,
// case-blind key; putting a whole configuration block back needs more: the whole serial, exactly.

#include <cstddef>

#include "device/scsi_commands.h"

namespace vardel {

enum class SerialComparison {
    Same,       // both carry a serial, and the serials are the same byte for byte
    Different,  // the serials differ, or only one of the blocks carries one
    NoSerial,   // neither block carries a serial: nothing can show that they are one drive
};

// How many serial bytes, from byte 98 on, the identity block's serial descriptor covers (as far as
// the block reaches); 0 for a block without serial (flag byte 16 is 0, or not one character).
std::size_t SerialByteCount(const VendorBlock& identity);

// Compares the serial-present flag, the serial descriptor's length and every serial byte the
// descriptor covers (as far as the block reaches).
SerialComparison CompareSerials(const VendorBlock& a, const VendorBlock& b);

}  // namespace vardel
