#pragma once
// The backup document: both vendor blocks as read, the INQUIRY data, the letters and the serial
// key, in JSON (described in docs/vardelctl.md). vardelctl keeps it in a file; the system service
// hands it to its caller and takes it back for a restore, and never names a file itself.

#include <cstdint>
#include <string>

#include "commands/block_backup.h"

namespace vardel::frontend {

// The document's JSON text, with its final line break. `tool` names the program that took it.
std::string BackupDocumentText(const BlockBackup& backup, const std::string& tool);

// What a restore needs of a backup: the configuration block, and the identity block whose serial
// the drive must carry. The key and the serial text are taken from the identity block.
struct RestoreSource {
    alignas(kVendorBlockAlignment) VendorBlock info;
    alignas(kVendorBlockAlignment) VendorBlock identity;
    DeviceKey key;
    std::string serial;
    // An undo: the block the change to undo wrote, which the drive must still hold, and when the
    // journal says it was made: the two name the change.
    bool undo = false;
    alignas(kVendorBlockAlignment) VendorBlock written;
    std::string undoneTime;
    std::uint32_t undoneNumber = 0;
    // The block shown before the question: the drive must still hold it when the write comes.
    bool shown = false;
    alignas(kVendorBlockAlignment) VendorBlock shownBlock;
};

// Reads and checks a whole document. False, with `problem` naming the place in it ("configBlock:
// ...") and what is wrong, for a text that is no backup.
bool ParseBackupDocument(const std::string& text, RestoreSource& source, std::string& problem);

}  // namespace vardel::frontend
