#pragma once
// How a change reads on the console: a row before and after, a count of bytes, the questions a
// restore and an undo ask first.

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/scsi_commands.h"
#include "vardelctl/run_notes.h"

namespace vardel::cli {

// "Removable", or "Removable -> Fixed Disk"; with the bytes where the texts alone would hide the
// change: "Removable (0x05) -> Removable (0x01)".
std::string RowChange(std::uint8_t before, std::uint8_t after);

// "1 byte", "3 bytes"
std::string BytesCount(std::size_t count);

// The question a restore asks on a terminal, with the bytes it would change.
std::string RestoreQuestion(const std::string& file, const std::string& serial,
                            const RunNotes& notes, char target);
// The same for an undo.
std::string UndoQuestion(const std::string& serial, const RunNotes& notes, char target);

// The rows of a configuration block, read under the layout its identity block gives, as text.
std::string RowsText(const VendorBlock& identity, const VendorBlock& before,
                     const VendorBlock& after);

}  // namespace vardel::cli
